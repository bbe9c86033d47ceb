// What a record source names, and the statements over its rows.

#include "platform/db/RecordSource.h"

#include <QRegularExpression>

#include <sqlite3.h>

namespace tv {

namespace {

QString unquoted(const QString& token) {
    if (token.size() >= 2 && ((token.startsWith(QLatin1Char('[')) && token.endsWith(QLatin1Char(']'))) ||
                              (token.startsWith(QLatin1Char('"')) && token.endsWith(QLatin1Char('"')))))
        return token.mid(1, token.size() - 2);
    return token;
}

// "?N", a parameter numbered after the source's own.
QString param(int n) { return QStringLiteral("?%1").arg(n); }

}  // namespace

QString quotedName(const QString& name) {
    QString q = name;
    q.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

RecordSource::RecordSource(QString text) : text_(std::move(text)) { parse(); }

void RecordSource::parse() {
    static const QRegularExpression bare(
        QStringLiteral("^\\s*(\\[[^\\]]+\\]|\"[^\"]+\"|[^\\s\\[\\]\"'`;,()]+)\\s*;?\\s*$"),
        QRegularExpression::UseUnicodePropertiesOption);
    static const QRegularExpression select(
        QStringLiteral("^\\s*select\\s+(.+?)\\s+from\\s+(\\[[^\\]]+\\]|\"[^\"]+\"|[^\\s\\[\\]\"'`;,()]+)(.*)$"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption |
            QRegularExpression::UseUnicodePropertiesOption);
    static const QRegularExpression simpleRest(QStringLiteral("^(where|order\\s+by)\\b"),
                                               QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression complexRest(
        QStringLiteral("\\b(group\\s+by|union|join|having|intersect|except)\\b"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression complexList(QStringLiteral("^distinct\\b|\\("),
                                                QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression orderBy(QStringLiteral("\\border\\s+by\\b"),
                                            QRegularExpression::CaseInsensitiveOption);
    // A where that is a condition alone, to which others can be added.
    static const QRegularExpression where(
        QStringLiteral("^where\\b(.*)$"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression limits(QStringLiteral("\\b(limit|offset)\\b"),
                                           QRegularExpression::CaseInsensitiveOption);

    if (const auto m = bare.match(text_);
        m.hasMatch() && m.captured(1).compare(QLatin1String("select"), Qt::CaseInsensitive) != 0) {
        shape_ = Shape::Table;
        tableToken_ = m.captured(1);
        table_ = unquoted(tableToken_);
        byRowid_ = true;
        return;
    }
    shape_ = Shape::Verbatim;
    const auto m = select.match(text_);
    if (!m.hasMatch())
        return;
    QString rest = m.captured(3).trimmed();
    while (rest.endsWith(QLatin1Char(';'))) rest.chop(1);
    rest = rest.trimmed();
    const QString list = m.captured(1).trimmed();
    table_ = unquoted(m.captured(2));
    if ((!rest.isEmpty() && !simpleRest.match(rest).hasMatch()) || complexRest.match(rest).hasMatch())
        return;
    // A list of its own or a limit to its rows: the query as it is written.
    if ((list != QLatin1String("*") && complexList.match(list).hasMatch()) || limits.match(rest).hasMatch())
        return;
    tableToken_ = m.captured(2);
    rest_ = rest;
    ordered_ = orderBy.match(rest_).hasMatch();
    shape_ = list == QLatin1String("*") ? Shape::Table : Shape::List;
    if (shape_ == Shape::List)
        selectList_ = list;
    if (ordered_)
        return;
    if (const auto w = where.match(rest_); w.hasMatch())
        condition_ = w.captured(1).trimmed();
    byRowid_ = true;
}

bool RecordSource::resolve(Database& db) {
    std::vector<Column> cols;
    std::vector<bool> untyped;
    QStringList origins;
    if (shape_ == Shape::Table) {
        cols = db.columns(table_);
        untyped.assign(cols.size(), false);
        for (const Column& c : cols) origins << c.name;
    }
    int params = 0;
    {
        // Preparing checks the source (bad SQL, missing table) before any row is read.
        Database::Lease st(db, allRows(cols));
        params = sqlite3_bind_parameter_count(st.get());
        if (shape_ != Shape::Table) {
            const int n = sqlite3_column_count(st.get());
            for (int c = shape_ == Shape::Verbatim ? 0 : 1; c < n; ++c) {
                const char* decl = sqlite3_column_decltype(st.get(), c);
                cols.push_back(Column{QString::fromUtf8(sqlite3_column_name(st.get(), c)),
                                      decl ? Database::kindOfDeclaredType(QString::fromUtf8(decl)) : ColumnKind::Text});
                untyped.push_back(decl == nullptr);
                origins << QString::fromUtf8(sqlite3_column_origin_name(st.get(), c));
            }
        }
    }
    bool same = cols.size() == columns_.size() && untyped == untyped_;
    for (size_t i = 0; same && i < cols.size(); ++i)
        same = cols[i].name == columns_[i].name && cols[i].kind == columns_[i].kind;
    paramCount_ = params;
    columns_ = std::move(cols);
    insert_.clear();
    untyped_ = std::move(untyped);
    origins_ = std::move(origins);
    later_.assign(columns_.size(), false);
    sameField_.assign(columns_.size(), std::string());
    cutField_.assign(columns_.size(), std::string());
    for (size_t i = 0; i < columns_.size(); ++i) {
        later_[i] = shape_ == Shape::Table && columns_[i].kind == ColumnKind::Blob;
        const QString& origin = origins_[static_cast<qsizetype>(i)];
        if (origin.isEmpty() || later_[i])
            continue;  // an expression, or a photo that is not held
        const std::string name = quotedName(origin).toStdString(), bytes = "cast(" + name + " as blob)";
        sameField_[i] = " and " + name + " is ?";
        cutField_[i] = " and length(" + bytes + ") = ? and tv_digest(" + bytes + ") = ?";
    }
    return !same;
}

// ---- the parts of the statements

namespace {

// " where (condition) and extra", " where extra" or "".
QString whereWith(const QString& condition, const QString& extra) {
    if (condition.isEmpty())
        return extra.isEmpty() ? QString() : QLatin1String(" where ") + extra;
    return QLatin1String(" where (") + condition + QLatin1Char(')') +
           (extra.isEmpty() ? QString() : QLatin1String(" and ") + extra);
}

}  // namespace

QString RecordSource::rowList(const std::vector<Column>& columns) const {
    if (shape_ != Shape::Table)
        return selectList_;
    QString list;
    for (size_t i = 0; i < columns.size(); ++i) {
        if (i)
            list += QLatin1String(", ");
        list += columns[i].kind == ColumnKind::Blob ? QStringLiteral("NULL") : quotedName(columns[i].name);
    }
    return list;
}

std::string RecordSource::allRows() const { return allRows(columns_); }

std::string RecordSource::allRows(const std::vector<Column>& columns) const {
    if (shape_ == Shape::Verbatim)
        return text_.toStdString();
    QString sql = QStringLiteral("select rowid, ") + rowList(columns) + QLatin1String(" from ") + tableToken_;
    if (!rest_.isEmpty())
        sql += QLatin1Char(' ') + rest_;
    if (!ordered_)
        sql += QLatin1String(" order by rowid");
    return sql.toStdString();
}

std::string RecordSource::rowsByRowid(bool range) const {
    return (QStringLiteral("select rowid, ") + rowList(columns_) + QLatin1String(" from ") + tableToken_ +
            (range ? QLatin1String(" where rowid between ?1 and ?2") : QLatin1String(" where rowid = ?1")))
        .toStdString();
}

std::string RecordSource::fieldByRowid(int column, int* at) const {
    const QString& origin = origins_[column];
    if (origin.isEmpty()) {  // the whole row, the field after the rowid
        *at = column + 1;
        return rowsByRowid(false);
    }
    *at = 0;
    return (QStringLiteral("select ") + quotedName(origin) + QLatin1String(" from ") + tableToken_ +
            QLatin1String(" where rowid = ?1"))
        .toStdString();
}

std::string RecordSource::listKeys() const {
    // A select list comes along: its where or order may name its own names.
    QString sql = QStringLiteral("select rowid") +
                  (shape_ == Shape::List ? QLatin1String(", ") + selectList_ : QString()) + QLatin1String(" from ") +
                  tableToken_;
    if (!rest_.isEmpty())
        sql += QLatin1Char(' ') + rest_;
    return sql.toStdString();
}

std::string RecordSource::countRows() const {
    // Without a condition each of the three is read from the table's b-trees
    // without a pass over its rows.
    if (condition_.isEmpty())
        return (QStringLiteral("select (select min(rowid) from %1), (select max(rowid) from %1), (select count(*) "
                               "from %1)")
                    .arg(tableToken_))
            .toStdString();
    if (shape_ == Shape::List)  // its condition may name the list's own names
        return (QStringLiteral("select min(tv_key), max(tv_key), count(*) from (select rowid as tv_key, ") +
                selectList_ + QLatin1String(" from ") + tableToken_ + whereWith(condition_, QString()) +
                QLatin1Char(')'))
            .toStdString();
    return (QStringLiteral("select min(rowid), max(rowid), count(*) from ") + tableToken_ +
            whereWith(condition_, QString()))
        .toStdString();
}

std::string RecordSource::keysBetween(bool forward) const {
    const int p = paramCount_;
    const QString between = QStringLiteral("rowid > %1 and rowid < %2").arg(param(p + 1), param(p + 2));
    return (QStringLiteral("select rowid") + (shape_ == Shape::List ? QLatin1String(", ") + selectList_ : QString()) +
            QLatin1String(" from ") + tableToken_ + whereWith(condition_, between) + QLatin1String(" order by rowid") +
            (forward ? QString() : QStringLiteral(" desc")) +
            QStringLiteral(" limit %1 offset %2").arg(param(p + 3), param(p + 4)))
        .toStdString();
}

std::string RecordSource::countBetween() const {
    const int p = paramCount_;
    const QString between = QStringLiteral("rowid > %1 and rowid < %2").arg(param(p + 1), param(p + 2));
    if (shape_ == Shape::List)
        return (QStringLiteral("select count(*) from (select rowid, ") + selectList_ + QLatin1String(" from ") +
                tableToken_ + whereWith(condition_, between) + QLatin1Char(')'))
            .toStdString();
    return (QStringLiteral("select count(*) from ") + tableToken_ + whereWith(condition_, between)).toStdString();
}

std::string RecordSource::fieldsByRowid(const std::vector<int>& columns, bool scan, std::vector<int>& at) const {
    at.resize(columns.size());
    QString list;
    if (shape_ != Shape::Table) {  // its names may be its own
        for (size_t i = 0; i < columns.size(); ++i) at[i] = columns[i] + 1;
        list = selectList_;
    } else {
        for (size_t i = 0; i < columns.size(); ++i) {
            if (i)
                list += QLatin1String(", ");
            list += quotedName(columns_[static_cast<size_t>(columns[i])].name);
            at[i] = static_cast<int>(i) + 1;
        }
    }
    const int p = paramCount_;
    return (QStringLiteral("select rowid, ") + list + QLatin1String(" from ") + tableToken_ +
            (scan ? whereWith(condition_,
                              QStringLiteral("rowid >= %1 and rowid <= %2").arg(param(p + 1), param(p + 2))) +
                        QLatin1String(" order by rowid")
                  : whereWith(condition_, QStringLiteral("rowid = %1").arg(param(p + 1)))))
        .toStdString();
}

std::string RecordSource::seekKeys(int column) const {
    // The key alone: an index of the field serves it (a condition of the
    // source beside it might have the rows read one by one instead).
    const QString name = quotedName(columns_[static_cast<size_t>(column)].name);
    return (QStringLiteral("select rowid from ") + tableToken_ + QLatin1String(" where ") + name +
            QLatin1String(" = ?1 or ") + name + QLatin1String(" >= x''"))
        .toStdString();
}

const std::string& RecordSource::insert() const {
    if (insert_.empty()) {
        QString sql = QStringLiteral("insert into ") + tableToken_ + QLatin1String(" (");
        QString marks;
        for (size_t i = 0; i < columns_.size(); ++i) {
            if (i) {
                sql += QLatin1String(", ");
                marks += QLatin1String(", ");
            }
            sql += quotedName(columns_[i].name);
            marks += QLatin1Char('?');
        }
        insert_ = (sql + QLatin1String(") values (") + marks + QLatin1Char(')')).toStdString();
    }
    return insert_;
}

QString RecordSource::update(const std::vector<bool>& changed) const {
    QString sql = QStringLiteral("update ") + tableToken_ + QLatin1String(" set ");
    bool first = true;
    for (size_t i = 0; i < columns_.size(); ++i) {
        if (!changed[i])
            continue;
        if (!first)
            sql += QLatin1String(", ");
        first = false;
        sql += quotedName(columns_[i].name) + QLatin1String(" = ?");
    }
    return sql;
}

QString RecordSource::remove() const { return QStringLiteral("delete from ") + tableToken_; }

const std::string& RecordSource::sameField(int column, bool cut) const {
    return (cut ? cutField_ : sameField_)[static_cast<size_t>(column)];
}

}  // namespace tv

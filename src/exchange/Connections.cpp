// What the exchange windows share.

#include "exchange/Connections.h"

#include "platform/dialogs/Dialogs.h"
#include "shared/SharedState.h"

#include <QFileDialog>
#include <QFileInfo>

#include <memory>
#include <string>
#include <unordered_map>

namespace tv::exchange {

Connections& connections() {
    static Connections c;
    return c;
}

void OpenAccessConnection() {
    Connections& c = connections();
    c.access.reset();
    c.access = tv::Database::open(tv::state().AccessFilePath);
}

void OpenExcelConnection() {
    Connections& c = connections();
    c.excel.reset();
    c.sheet = -1;
    c.excel = std::make_shared<const std::vector<tv::workbook::Sheet>>(tv::workbook::read(tv::state().ExcelFilePath));
}

const tv::workbook::Sheet* chosenSheet() {
    const Connections& c = connections();
    if (!c.excel || c.sheet < 0 || c.sheet >= static_cast<int>(c.excel->size()))
        return nullptr;
    return &(*c.excel)[static_cast<size_t>(c.sheet)];
}

QStringList tableNames(tv::Database& db) {
    QStringList names;
    const auto rows = db.query(QStringLiteral(
        "select name from sqlite_master where type in ('table', 'view') and substr(name, 1, 4) <> 'MSys' "
        "and substr(name, 1, 7) <> 'sqlite_' order by type = 'view', name"));
    for (const auto& r : rows) names << r[0].toText();
    return names;
}

QString quoted(const QString& name) {
    if (name.size() > 2 && name.startsWith(QLatin1Char('[')) && name.endsWith(QLatin1Char(']')) &&
        !name.mid(1, name.size() - 2).contains(QLatin1Char(']')))
        return name;
    QString inner = name;
    return QLatin1Char('[') + inner.replace(QLatin1Char(']'), QLatin1String("]]")) + QLatin1Char(']');
}

QStringList fieldList(const QString& text) {
    QStringList names;
    for (const QString& part : text.split(QLatin1Char(','))) {
        const QString name = part.trimmed();
        if (!name.isEmpty())
            names << name;
    }
    return names;
}

qint64 exportTable(tv::Database& db, const QString& table, const QStringList& fields, const QString& path) {
    QStringList names;
    for (const QString& f : fields) names << quoted(f);
    tv::workbook::Writer book(path);
    qint64 r = 0;
    // Each row goes to the workbook as it is read: the rows are never all
    // held twice.
    db.forEachRow(QStringLiteral("select %1 from %2").arg(names.join(QStringLiteral(", ")), quoted(table)), {},
                  [&](std::vector<tv::Value>& row) {
                      for (size_t c = 0; c < row.size(); ++c) book.write(r, static_cast<int>(c), row[c]);
                      ++r;
                  });
    book.close();
    return r;
}

// The import of a sheet into a table.
ImportCounts appendRows(tv::Database& db, const QString& table, const tv::workbook::Sheet& sheet) {
    const std::vector<tv::Column> columns = db.columns(table);
    const int used = std::min<int>(sheet.columns, static_cast<int>(columns.size()));
    // The insert statement for each set of fields a row fills ('1' for a
    // field taken), prepared once; rows mostly fill the same fields as the
    // row before them.
    std::unordered_map<std::string, std::unique_ptr<tv::Statement>> statements;
    std::string lastTaken;
    tv::Statement* last = nullptr;
    auto statementFor = [&](const std::string& taken) -> tv::Statement& {
        if (last && taken == lastTaken)
            return *last;
        std::unique_ptr<tv::Statement>& st = statements[taken];
        if (!st) {
            QStringList names, marks;
            for (size_t i = 0; i < taken.size(); ++i) {
                if (taken[i] == '1') {
                    names << quoted(columns[i].name);
                    marks << QStringLiteral("?");
                }
            }
            st = std::make_unique<tv::Statement>(
                db, names.isEmpty()
                        ? QStringLiteral("insert into %1 default values").arg(quoted(table))
                        : QStringLiteral("insert into %1 (%2) values (%3)")
                              .arg(quoted(table), names.join(QLatin1Char(',')), marks.join(QLatin1Char(','))));
        }
        lastTaken = taken;
        last = st.get();
        return *st;
    };
    ImportCounts n;
    n.failedCells = sheet.errors;  // error values: nothing to take
    db.transaction([&] {
        std::vector<tv::Value> params;
        params.reserve(static_cast<size_t>(used));
        std::string taken(static_cast<size_t>(used), '0');
        for (const tv::workbook::Sheet::Row& row : sheet.rows) {
            params.clear();
            auto cell = row.cells.begin();
            for (int i = 0; i < used; ++i) {
                taken[static_cast<size_t>(i)] = '0';
                while (cell != row.cells.end() && cell->first < i) ++cell;
                const bool has = cell != row.cells.end() && cell->first == i;
                const tv::ColumnKind kind = columns[static_cast<size_t>(i)].kind;
                if (kind == tv::ColumnKind::Blob) {
                    n.failedCells += has;
                    continue;
                }
                if (!has) {
                    params.emplace_back();
                } else if (tv::Database::holds(cell->second, kind)) {
                    params.push_back(cell->second);
                } else {
                    try {
                        params.push_back(tv::Database::convert(cell->second, kind));
                    } catch (const tv::DbError&) {
                        ++n.failedCells;
                        continue;
                    }
                }
                taken[static_cast<size_t>(i)] = '1';
            }
            try {
                statementFor(taken).run(params);
                ++n.stored;
            } catch (const tv::DbError&) {
                ++n.failedRows;
            }
        }
    });
    return n;
}

void notice(const QString& text, int style) { tv::dlg::msgBox(text, style, QStringLiteral("温馨提示")); }

QString pickNewFile(const QString& title, const QString& filter) {
    // The scripted dialogs of the tests answer for the file dialog.
    if (tv::dlg::script::active() || tv::dlg::script::unexpectedHandler())
        return tv::dlg::openFile(title, filter);
    std::unique_ptr<QFileDialog> fd(tv::dlg::makeOpenFileDialog(title, filter));
    fd->setFileMode(QFileDialog::AnyFile);
    fd->setLabelText(QFileDialog::Accept, QStringLiteral("确定(&O)"));
    if (fd->exec() != QDialog::Accepted || fd->selectedFiles().isEmpty())
        return QString();
    return QFileInfo(fd->selectedFiles().constFirst()).absoluteFilePath();
}

}  // namespace tv::exchange

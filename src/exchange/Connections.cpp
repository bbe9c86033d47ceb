// What the exchange windows share.

#include "exchange/Connections.h"

#include "platform/dialogs/Dialogs.h"
#include "platform/dialogs/Progress.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QTableView>

#include <algorithm>
#include <memory>
#include <string>
#include <unordered_map>

namespace tv::exchange {

Connections& connections() {
    static Connections c;
    return c;
}

QString HoldsDataFile::heldDataFile() const {
    const Connections& c = connections();
    return c.access ? c.access->path() : QString();
}

void OpenAccessConnection() {
    Connections& c = connections();
    c.access.reset();
    c.access = tv::Database::open(c.AccessFilePath);
}

namespace {

// The user's answer while a workbook is read: 取消 stops the reading.
std::function<void()> answering(tv::dlg::Progress* progress) {
    if (!progress)
        return {};
    return [progress] {
        if (!progress->stillWorking())
            throw tv::dlg::Cancelled();
    };
}

}  // namespace

void OpenExcelConnection(tv::dlg::Progress* progress) {
    Connections& c = connections();
    c.sheets.clear();
    c.sheet = -1;
    c.preview.reset();
    c.sheets = tv::workbook::sheetNames(c.ExcelFilePath, answering(progress));
}

void chooseSheet(int index, tv::dlg::Progress* progress) {
    Connections& c = connections();
    c.sheet = -1;
    c.preview.reset();
    if (index < 0 || index >= c.sheets.size())
        return;
    c.preview = std::make_shared<tv::workbook::SheetFile>(c.ExcelFilePath, index, [progress](qint64 rows) {
        if (progress)
            progress->advanceOrStop(rows);
    });
    c.sheet = index;
}

tv::workbook::SheetFile* chosenSheet() { return connections().preview.get(); }

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

qint64 rowCount(tv::Database& db, const QString& table) {
    const auto rows = db.query(QStringLiteral("select count(*) from %1").arg(quoted(table)));
    return rows.empty() ? 0 : static_cast<qint64>(rows.front()[0].toDouble());
}

qint64 exportTable(tv::Database& db, const QString& table, const QStringList& fields, const QString& path,
                   tv::dlg::Progress* progress, qint64* cut) {
    QStringList names;
    for (const QString& f : fields) names << quoted(f);
    tv::workbook::Writer book(path);
    qint64 r = 0;
    // Each row goes to the workbook as it is read: the rows are never all
    // held twice.
    db.forEachRow(QStringLiteral("select %1 from %2").arg(names.join(QStringLiteral(", ")), quoted(table)), {},
                  [&](std::vector<tv::Value>& row) {
                      if (progress)
                          progress->advanceOrStop(r);
                      for (size_t c = 0; c < row.size(); ++c) book.write(r, static_cast<int>(c), row[c]);
                      ++r;
                  });
    // The workbook is put together as it is saved, a while for a large one.
    if (progress) {
        progress->setWhat(QStringLiteral("正在保存“%1”").arg(QDir::toNativeSeparators(path)));
        progress->advanceOrStop(r);
    }
    book.close();
    if (cut)
        *cut = book.cutCells();
    return r;
}

namespace {

// Appends rows to a table by column position, each cell converted on its own
// by its field's declared type. The insert statement for each set of fields a
// row fills ('1' for a field taken) is prepared once; rows mostly fill the
// same fields as the row before them.
class Appender {
public:
    Appender(tv::Database& db, const QString& table, int sheetColumns)
        : db_(db),
          table_(table),
          columns_(db.columns(table)),
          used_(std::min<int>(sheetColumns, static_cast<int>(columns_.size()))),
          taken_(static_cast<size_t>(used_), '0') {
        params_.reserve(static_cast<size_t>(used_));
    }

    ImportCounts counts;

    void add(const tv::workbook::Sheet::Row& row) {
        params_.clear();
        auto cell = row.cells.begin();
        for (int i = 0; i < used_; ++i) {
            taken_[static_cast<size_t>(i)] = '0';
            while (cell != row.cells.end() && cell->first < i) ++cell;
            const bool has = cell != row.cells.end() && cell->first == i;
            const tv::ColumnKind kind = columns_[static_cast<size_t>(i)].kind;
            if (kind == tv::ColumnKind::Blob) {
                counts.failedCells += has;
                continue;
            }
            if (!has) {
                params_.emplace_back();
            } else if (kind == tv::ColumnKind::Text && cell->second.kind() == tv::Value::Kind::Double) {
                params_.push_back(numberAsText(row, i));
            } else if (tv::Database::holds(cell->second, kind)) {
                params_.push_back(cell->second);
            } else {
                try {
                    params_.push_back(tv::Database::convert(cell->second, kind));
                } catch (const tv::DbError&) {
                    ++counts.failedCells;
                    continue;
                }
            }
            taken_[static_cast<size_t>(i)] = '1';
        }
        try {
            statement().run(params_);
            ++counts.stored;
        } catch (const tv::DbError& e) {
            // Only a row refused for its values is counted and passed over:
            // after a full disk or an I/O error the engine may have rolled
            // the transaction back, and later rows would land one by one.
            if (!db_.refusedRowOnly(e))
                throw;
            ++counts.failedRows;
        }
    }

private:
    // A number for a text field: the digits the workbook keeps for it, else
    // its own; counted when more than 15 significant digits make its last
    // ones doubtful.
    tv::Value numberAsText(const tv::workbook::Sheet::Row& row, int column) {
        const QString text = row.textAt(column);
        int significant = 0, zeros = 0;
        for (const QChar c : text) {
            if (c == QLatin1Char('E'))
                break;
            if (c == QLatin1Char('0')) {
                zeros += significant > 0;
            } else if (c.isDigit()) {
                significant += zeros + 1;
                zeros = 0;
            }
        }
        counts.doubtfulDigits += significant > 15;
        return tv::Value(text);
    }

    tv::Statement& statement() {
        if (last_ && taken_ == lastTaken_)
            return *last_;
        std::unique_ptr<tv::Statement>& st = statements_[taken_];
        if (!st) {
            QStringList names, marks;
            for (size_t i = 0; i < taken_.size(); ++i) {
                if (taken_[i] == '1') {
                    names << quoted(columns_[i].name);
                    marks << QStringLiteral("?");
                }
            }
            st = std::make_unique<tv::Statement>(
                db_, names.isEmpty()
                         ? QStringLiteral("insert into %1 default values").arg(quoted(table_))
                         : QStringLiteral("insert into %1 (%2) values (%3)")
                               .arg(quoted(table_), names.join(QLatin1Char(',')), marks.join(QLatin1Char(','))));
        }
        lastTaken_ = taken_;
        last_ = st.get();
        return *st;
    }

    tv::Database& db_;
    QString table_;
    std::vector<tv::Column> columns_;
    int used_;
    std::vector<tv::Value> params_;
    std::string taken_, lastTaken_;
    std::unordered_map<std::string, std::unique_ptr<tv::Statement>> statements_;
    tv::Statement* last_ = nullptr;
};

}  // namespace

ImportCounts appendRows(tv::Database& db, const QString& table, const tv::workbook::Sheet& sheet) {
    Appender out(db, table, sheet.columns);
    out.counts.failedCells = sheet.errors;  // error values: nothing to take
    db.transaction([&] {
        for (const tv::workbook::Sheet::Row& row : sheet.rows) out.add(row);
    });
    return out.counts;
}

ImportCounts importSheet(tv::Database& db, const QString& table, const QString& path, int sheet, int columns,
                         tv::dlg::Progress* progress) {
    Appender out(db, table, columns);
    qint64 done = 0;
    db.transaction([&] {
        db.exec(QStringLiteral("savepoint tv_rows"));
        const auto store = [&](std::vector<tv::workbook::Sheet::Row>& batch) {
            for (const tv::workbook::Sheet::Row& row : batch) {
                if (progress)
                    progress->advanceOrStop(done);
                out.add(row);
                ++done;
            }
        };
        const auto again = [&] {
            // The rows come again, in order: those stored are undone.
            db.exec(QStringLiteral("rollback to tv_rows"));
            out.counts = {};
            done = 0;
        };
        const tv::workbook::Sheet read = tv::workbook::readRows(path, sheet, {store, again, answering(progress)});
        out.counts.failedCells += read.errors;  // error values: nothing to take
        // The last word is the user's: a cancel now still stores nothing.
        if (progress)
            progress->advanceOrStop(done);
    });
    return out.counts;
}

void checkWritable(tv::Database& db) {
    if (db.readOnly())
        throw tv::DbError(QStringLiteral("数据文件是只读的，不能写入。"));
    // A write that changes nothing, undone at once: the engine opens its
    // journal beside the file for it, so that a folder or a disk it cannot
    // write, or one already full, refuses here.
    struct Undo {};
    try {
        db.transaction([&db] {
            const QString version = db.query(QStringLiteral("pragma user_version")).at(0).at(0).toText();
            db.exec(QStringLiteral("pragma user_version = ") + version);
            throw Undo();
        });
    } catch (const Undo&) {
    }
}

QString nothingImported(const tv::DbError& e) {
    if (tv::Database::diskFull(e))
        return QStringLiteral("磁盘空间不足，没有导入任何记录。");
    return e.text() + QStringLiteral("\n没有导入任何记录。");
}

void fitColumns(QTableView* grid, int least, int most) {
    // Measured on the rows in view and some more: a sheet of many rows is not read whole for it.
    const int room = grid->fontMetrics().averageCharWidth() * 2;
    for (int c = 0; c < grid->model()->columnCount(); ++c) {
        grid->resizeColumnToContents(c);
        grid->setColumnWidth(c, std::clamp(grid->columnWidth(c) + room, least, most));
    }
}

void notice(const QString& text, tv::dlg::Style style) { tv::dlg::msgBox(text, style, tv::dlg::kKindTitle); }

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

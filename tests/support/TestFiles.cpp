#include "support/TestFiles.h"

#include <sqlite3.h>
#include <QFile>
#include <stdexcept>

namespace tv::test {

namespace {
QString schemaText() {
    QFile f(QStringLiteral(TV_SOURCE_DIR "/install/schema.sql"));
    if (!f.open(QIODevice::ReadOnly))
        throw std::runtime_error("install/schema.sql not found");
    return QString::fromUtf8(f.readAll());
}
const QString kUserMark = QStringLiteral("-- user database Rave.ini:");

void run(const QString& path, const QString& sql, bool create) {
    sqlite3* db = nullptr;
    int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, flags, nullptr) != SQLITE_OK) {
        std::string err = sqlite3_errmsg(db);
        sqlite3_close(db);
        throw std::runtime_error("open " + path.toStdString() + ": " + err);
    }
    char* msg = nullptr;
    if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &msg) != SQLITE_OK) {
        std::string err = msg ? msg : "?";
        sqlite3_free(msg);
        sqlite3_close(db);
        throw std::runtime_error("sql: " + err);
    }
    sqlite3_close(db);
}
}  // namespace

QString dataSchemaSql() {
    QString s = schemaText();
    return s.left(s.indexOf(kUserMark));
}

QString userSchemaSql() {
    QString s = schemaText();
    return s.mid(s.indexOf(kUserMark));
}

void makeDataFile(const QString& path) { run(path, dataSchemaSql(), true); }

void makeUserDb(const QString& path) {
    run(path, userSchemaSql() + "INSERT INTO yhzc VALUES ('admin','472619','13800000000');", true);
}

void execSql(const QString& path, const QString& sql) { run(path, sql, false); }

QString queryText(const QString& path, const QString& sql) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        throw std::runtime_error("open failed");
    }
    sqlite3_stmt* st = nullptr;
    QString out;
    if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW && sqlite3_column_type(st, 0) != SQLITE_NULL)
        out = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    sqlite3_close(db);
    return out;
}

}  // namespace tv::test

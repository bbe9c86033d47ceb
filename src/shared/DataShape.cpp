#include "shared/DataShape.h"

#include "platform/db/Database.h"
#include "platform/values/FileRead.h"
#include "shared/Windows.h"

#include <QDir>
#include <QFile>

namespace tv {

TableShape checkInTableShape() {
    return {QStringLiteral("zfdj"),
            {"fjh",   "jzrs",  "xm",  "dw",    "dh",    "yh",  "wh",    "n1",    "n2",   "rzrq",  "lkrq",
             "sfzhm", "fq",    "xb1", "cxny1", "mq",    "xb2", "cxny2", "xm1",   "xb3",  "cxny3", "xm2",
             "xb4",   "cxny4", "xm3", "xb5",   "cxny5", "xm4", "xb6",   "cxny6", "ysno", "xp"}};
}

std::vector<TableShape> dataFileShape() {
    return {checkInTableShape(),
            {"fzsdjs",
             {"jfrq", "fjh", "xm", "sfzhm", "zj", "sfsd1", "sfsd2", "bysb", "sysb", "ysl", "sdj", "sf", "bydb", "sydb",
              "ydl", "ddj", "df", "zf", "hj"}},
            {"bysj", {"jfrq", "fjh", "xm", "sfzhm", "zj", "bysb", "sdj", "bydb", "ddj"}},
            {"sysj", {"jfrq", "fjh", "xm", "sfzhm", "zj", "sysb", "sdj", "sydb", "ddj"}},
            {"qtfy", {"jfrq", "fjh", "sfzhm", "kdf", "dtf", "wsf", "zaf", "wgf", "qtf", "hj"}}};
}

namespace {

// The first table or field of `need` that `db` lacks, "" when it has them all.
QString missingOf(Database& db, const std::vector<TableShape>& need) {
    for (const TableShape& t : need) {
        if (!db.hasTable(t.table))
            return QStringLiteral("数据文件中没有数据表“%1”").arg(t.table);
        QStringList have;
        for (const Column& c : db.columns(t.table)) have << c.name;
        for (const QString& f : t.fields)
            if (!have.contains(f, Qt::CaseInsensitive))
                return QStringLiteral("数据表“%1”中没有字段“%2”").arg(t.table, f);
    }
    return QString();
}

}  // namespace

bool hasShape(const QString& path, const std::vector<TableShape>& need) {
    try {
        const auto db = Database::open(path);
        return missingOf(*db, need).isEmpty();
    } catch (const DbError&) {
        return false;
    }
}

std::vector<TableShape> shapeNeededBy(const QString& window) {
    const std::vector<TableShape> all = dataFileShape();  // zfdj, fzsdjs, bysj, sysj, qtfy
    if (window == QLatin1String(windows::kCheckIn))
        return {all[0]};
    if (window == QLatin1String(windows::kRecords))
        return {all[0], all[1], all[4]};
    if (window == QLatin1String(windows::kBilling))
        return all;
    if (window == QLatin1String(windows::kFees))
        return {all[1], all[4], {QStringLiteral("zfdj"), {QStringLiteral("sfzhm")}}};
    return {};
}

QString dataFileRefusal(const QString& path, const std::vector<TableShape>& need) {
    QFile file;
    QString why;
    if (openRegularFile(path, file, &why) != FileReadError::None)
        return why;
    if (file.size() > kMaxDataFileBytes)
        return QStringLiteral("文件太大（%1 GB），不是本程序的数据文件")
            .arg(QString::number(double(file.size()) / double(qint64(1) << 30), 'f', 1));
    // Every data file of the engine begins so; text or random bytes do not.
    static const QByteArray kHeader("SQLite format 3", 16);
    if (file.read(kHeader.size()) != kHeader)
        return QStringLiteral("它不是本程序的数据文件");
    file.close();
    try {
        const auto db = Database::open(path);
        return missingOf(*db, need);
    } catch (const DbError& e) {
        QString engine = e.text();
        if (engine.endsWith(u'。'))
            engine.chop(1);
        return QStringLiteral("它不是本程序的数据文件（%1）").arg(engine);
    }
}

QString refusedDataFileText(const QString& path, const QString& why) {
    return QStringLiteral("无法使用数据文件“%1”：%2。").arg(QDir::toNativeSeparators(path), why);
}

}  // namespace tv

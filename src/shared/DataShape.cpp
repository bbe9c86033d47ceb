#include "shared/DataShape.h"

#include "platform/db/Database.h"

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

bool hasShape(const QString& path, const std::vector<TableShape>& need) {
    try {
        const auto db = Database::open(path);
        for (const TableShape& t : need) {
            QStringList have;
            for (const Column& c : db->columns(t.table)) have << c.name;
            for (const QString& f : t.fields)
                if (!have.contains(f, Qt::CaseInsensitive))
                    return false;
        }
        return true;
    } catch (const DbError&) {
        return false;
    }
}

}  // namespace tv

#pragma once
// Whether a data file has the tables and fields a window needs: checked once
// when the window loads, so that a file of the wrong shape is told once
// instead of failing field by field in every handler.

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <vector>

namespace tv {

struct TableShape {
    QString table;
    QStringList fields;
};

// The registration table with every field of a registration.
TableShape checkInTableShape();
// Every table of a data file with every field.
std::vector<TableShape> dataFileShape();

// True when the data file at `path` opens and holds every table of `need`
// with at least the fields named (letter case does not count, as in SQL).
// A missing file or one that is no database is false too.
bool hasShape(const QString& path, const std::vector<TableShape>& need);

// What a data window needs of its data file (the check-in, tenant records,
// computation and fee records windows, by their names in shared/Windows.h);
// nothing for any other window.
std::vector<TableShape> shapeNeededBy(const QString& window);

// The largest data file opened: a keeper's file of a million bills takes a
// few hundred megabytes.
inline constexpr qint64 kMaxDataFileBytes = qint64(2) << 30;

// Why the file at `path` cannot be a data file holding `need`, in Chinese
// ("" when it can): it is missing, not a regular file (a FIFO, a device, a
// folder, a link that leads nowhere or in a loop), too large, not a data file
// of this program (text, random bytes, a damaged database), or it lacks a
// table or a field, which is named. Never waits on the file.
QString dataFileRefusal(const QString& path, const std::vector<TableShape>& need);
// The message that refuses the data file at `path` for `why`.
QString refusedDataFileText(const QString& path, const QString& why);

}  // namespace tv

#pragma once
// Whether a data file has the tables and fields a window needs: checked once
// when the window loads, so that a file of the wrong shape is told once
// instead of failing field by field in every handler.

#include <QString>
#include <QStringList>

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

}  // namespace tv

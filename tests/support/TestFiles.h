#pragma once
// Data files and user databases made from install/schema.sql, SQL run on
// them directly, and a value read back to check what landed.

#include <QString>
#include <QTemporaryDir>

namespace tv::test {

// The data tables part of install/schema.sql, and the user table part.
QString dataSchemaSql();
QString userSchemaSql();

// Makes a data file with the five empty tables at `path`.
void makeDataFile(const QString& path);
// Makes a user database at `path` holding the account admin / 472619.
void makeUserDb(const QString& path);
// Runs SQL on a file directly (setting up rows, checking what landed).
void execSql(const QString& path, const QString& sql);
// First column of the first row of a query, as text ("" when no row).
QString queryText(const QString& path, const QString& sql);

}  // namespace tv::test

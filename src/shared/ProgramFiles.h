#pragma once
// The program's own files as the windows know them: the user database and
// the template in the program folder, the receipt file beside a data file
// with its lock and staging files, and the data files the loaded windows
// have open. They are the own files no save by a name the user gave may
// write (platform/values/OwnFiles.h), known from the program's start.

#include <QString>
#include <QStringList>

namespace tv {

// Rave.ini and MDB/Lunrek.mdb in the program folder.
QString userDatabaseFile();
QString templateFile();

// The names of the receipt file beside a data file, of its lock (the hidden
// one and that of older builds) and of its staging files.
QStringList receiptFileNames();

// The data files the loaded windows have open: their data sources' files and
// those a window holds otherwise (windows::DataFileHolder).
QStringList dataFilesInUse();
// True when `path` names one of them (by what it resolves to).
bool dataFileInUse(const QString& path);

// Makes the own files above (and the program folder and the program itself)
// known to every save; once is enough.
void knowProgramFiles();

}  // namespace tv

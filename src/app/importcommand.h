#pragma once

#include <QString>

// "eveluna --import FILE [--dry-run]" and "eveluna --export FILE": the import and the full export from
// the command line, on the data folder of this build (layout.h). No window and no display: a
// QCoreApplication is enough. Exit statuses: 0 done, 1 a data file or the export could not be written
// (or the data folder may not be used), 2 the file to import cannot be read, 3 an import that would
// write while a copy of the program runs (its window would go on showing the old records; the dialog
// 登録データ > ほかのアプリから読み込む does it there). --dry-run writes nothing and may run beside it.
int runImportCommand(const QString &file, bool dryRun);
int runExportCommand(const QString &file);

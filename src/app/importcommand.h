#pragma once

#include "exitstatus.h"

#include <QString>

// "eveluna --import FILE [--dry-run]" and "eveluna --export FILE": the import and the full export from
// the command line, on the data folder of this build (layout.h). No window and no display: a
// QCoreApplication is enough. Exit statuses (exitstatus.h): Done; Failed when a data file or the export
// could not be written (or the data folder may not be used); Refused when the file to import cannot be
// read; CopyRunning for an import that would write while a copy of the program runs (its window would go on showing the
// old records; the dialog 登録データ > ほかのアプリから読み込む does it there). --dry-run writes nothing and may run
// beside it.
ExitStatus runImportCommand(const QString &file, bool dryRun);
ExitStatus runExportCommand(const QString &file);

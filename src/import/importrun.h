#pragma once

#include "exitstatus.h"

#include <QString>
#include <QTextStream>

// The command-line import and export on a data folder, for the program's entry point: Done, Failed when
// a data file or the export could not be written, Refused when the file to import cannot be read.
namespace ImportCommand {

// Reads the file, prints the preview to out and, unless dryRun, backs the data files up
// (backup/yyyy-mm-dd-hhmmss/, named in out) and merges. A file that cannot be read gives one line on
// err, "<file>: <reason>", and nothing is written.
ExitStatus runImport(const QString &dataFolder, const QString &file, bool dryRun, QTextStream &out, QTextStream &err);

// Writes the full export of the data folder to file; a file that is a link or one of her data files is
// refused (Refused, one line on err) and nothing is written.
ExitStatus runExport(const QString &dataFolder, const QString &file, QTextStream &out, QTextStream &err);

} // namespace ImportCommand

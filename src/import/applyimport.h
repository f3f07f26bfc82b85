#pragma once

#include "importrecords.h"

#include <QDateTime>
#include <QString>

// Writes an import that she (or the absence of --dry-run) agreed to: creates a missing data folder as a
// first save would, backs the data files up (backup/yyyy-mm-dd-hhmmss/ at `now`) and merges the
// records into every data file together, all or none (datacommit.h), holding the data folder's lock
// from the backup to the last rename. Returns the backup made. Throws EFileError; nothing of hers is
// changed then, or, when the stop came after the commit's record, the next start finishes it.
QString applyImport(const QString &dataFolder, const ImportedRecords &records, const QDateTime &now);

#include "applyimport.h"

#include "backup.h"
#include "datacommit.h"
#include "importfile.h"
#include "restore.h"

QString applyImport(const QString &dataFolder, const ImportedRecords &records, const QDateTime &now)
{
    createDataFolder(dataFolder);
    DataFilesCommit commit(dataFolder);
    const QString backup = Backup::makeTimedBackup(dataFolder, now, Backup::BackupPurpose::Import);
    mergeImport(dataFolder, records, true);
    commit.apply();
    return backup;
}

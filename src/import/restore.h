#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

// The backups of backup/ (backup.h) as the backup window lists them, and their restore.

struct BackupSummary
{
    QString name;        // "2026-12-07" or "2026-12-07-195440-import"
    QString takenBefore; // Backup::backupPurposeText
    QString folder;      // full path
    int firstDays = 0;
    int memos = 0;
    int readings = 0;
};

// Newest first. A backup whose files cannot be read is listed with the counts it could take.
QList<BackupSummary> listBackupSummaries(const QString &dataFolder);

// Makes a timed backup of the current files (so the restore can be undone), then puts every data file
// back as the backup holds it, byte for byte, and removes a data file the backup does not hold. Each
// file is replaced atomically under the data folder's lock. Returns the backup made first. Throws
// EFileError.
QString restoreBackup(const QString &dataFolder, const QString &backupFolder, const QDateTime &now);

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
    QString unreadable; // not empty: the backup cannot be read or restored, and why (naming its files)
};

// Newest first. A backup whose files cannot be read, or that holds a link or another user's file where
// a data file belongs, is listed with the reason in `unreadable`, never as empty.
QList<BackupSummary> listBackupSummaries(const QString &dataFolder);

// Reads every data file of the backup (regular files of this user only: a link or another user's file
// there is refused with its name), creates a missing data folder as a first save would, makes a timed
// backup of the current files (so the restore can be undone), then puts every data file back as the
// backup holds it, byte for byte, and removes a data file the backup does not hold: all of them
// together (datacommit.h), under the data folder's lock. Returns the backup made first. Throws
// EFileError.
QString restoreBackup(const QString &dataFolder, const QString &backupFolder, const QDateTime &now);

// Creates the data folder and its missing parents, private to her (0700), as the first save does; a
// folder that exists is left as it is. Throws EFileError with the system's reason.
void createDataFolder(const QString &dataFolder);

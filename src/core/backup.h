#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>

// Copies of the data files in the data folder's backup/ folder:
//   backup/yyyy-mm-dd/          the files as they were before the first change of that day
//   backup/yyyy-mm-dd-hhmmss-import/, -restore/   the files before an import or a restore (older
//                               versions wrote yyyy-mm-dd-hhmmss/ for both)
// Folders 0700, files 0600. The backups of the 30 newest days are kept; older ones are removed when a
// new day's backup is made.
namespace Backup {

// How many days of backups stay.
constexpr int KeptDays = 30;

// "<dataFolder>/backup/"
QString backupRoot(const QString &dataFolder);

// Copies the data files (datafiles.h) that exist into backup/<name>/ (made under a temporary name and renamed, so a
// half-made backup never counts). A folder of that name already there gets "-2", "-3", ... appended.
// Returns the folder made; throws EFileError with the system's reason when it cannot be made.
QString makeBackup(const QString &dataFolder, const QString &name);

// What a timed backup is taken before.
enum class BackupPurpose { Import, Restore };

// The backup before an import or a restore: backup/yyyy-mm-dd-hhmmss-import/ or -restore/ at `now`.
QString makeTimedBackup(const QString &dataFolder, const QDateTime &now, BackupPurpose purpose);

// What the backup of that folder name was taken before: "その日の最初の変更", "読み込み", "復元", or
// "読み込みか復元" for a timed backup of an older version, which did not say.
QString backupPurposeText(const QString &name);

// The name makeTimedBackup gives at `now` (a "-2" follows when it is taken).
QString timedBackupName(const QDateTime &now, BackupPurpose purpose);

// Makes backup/<today>/ unless it exists (empty when no data file exists yet), then removes the folders of all
// but the KeptDays newest days. Throws EFileError when the copy cannot be made.
void makeDailyBackup(const QString &dataFolder, const QDate &today);

// Called by writeFileAtomically before it replaces a file: when the file is one of the data files of
// the program's data folder (Variable::AppDir), the day's backup is made first. A backup that fails
// does not stop the save (the user's change matters more than the copy of the old state): the reason
// goes to standard error and lastFailure(), and the next save of the day tries again.
void beforeDataFileWrite(const QString &path);

// The reason the last automatic backup failed, empty when it worked (or none was tried).
QString lastFailure();

// The backup folder names, newest first.
QStringList listBackups(const QString &dataFolder);

} // namespace Backup

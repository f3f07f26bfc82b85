#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>

// Copies of the data files in the data folder's backup/ folder:
//   backup/yyyy-mm-dd/          the files as they were before the first change of that day
//   backup/yyyy-mm-dd-hhmmss-import/, -restore/   the files before an import or a restore (older
//                               versions wrote yyyy-mm-dd-hhmmss/ for both)
// Folders 0700, files 0600 from their creation, synced before the folder is renamed into place. The
// backups of the 30 newest days are kept; older ones are removed when a new day's backup is made. Only
// real folders of this user with a backup's name, its day a real date, are listed, counted or removed:
// a link planted under such a name is never followed, and "0000-00-00" is none.
namespace Backup {

// How many days of backups stay.
constexpr int KeptDays = 30;

// "<dataFolder>/backup/"
QString backupRoot(const QString &dataFolder);

// Copies the data files (datafiles.h) that exist into backup/<name>/ (made under a temporary name and
// renamed, so a half-made backup never counts), under the data folder's lock. A folder of that name
// already there gets "-2", "-3", ... appended; ".<name>.part" folders a kill left behind are removed
// first. Returns the folder made; throws EFileError with the system's reason when it cannot be made,
// also when the data folder is missing: a backup never creates it.
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

// Makes backup/<today>/ unless it exists (empty when no data file exists yet), then removes the folders
// of all but the KeptDays newest days, today's always kept. Throws EFileError when the copy cannot be
// made or an old folder cannot be removed.
void makeDailyBackup(const QString &dataFolder, const QDate &today);

// Called by writeFileAtomically before it replaces a file: when the file is one of the data files of
// the program's data folder (Variable::AppDir), the day's backup is made first. A backup that fails
// does not stop the save (the user's change matters more than the copy of the old state): the reason
// goes to standard error and lastFailure(), and the next save of the day tries again.
void beforeDataFileWrite(const QString &path);

// While one lives on this thread, saves take no backup: the program's own bookkeeping (the day of the
// last reminder, the cycle mode stored at the window's close) is no change of hers, and a daily backup
// for it would push the backups of her last changes out of the KeptDays kept.
class Bookkeeping final
{
public:
    Bookkeeping();
    ~Bookkeeping();
    Bookkeeping(const Bookkeeping &) = delete;
    Bookkeeping &operator=(const Bookkeeping &) = delete;
};

// The reason the last automatic backup failed, empty when it worked (or none was tried).
QString lastFailure();

// The backup folder names, newest first.
QStringList listBackups(const QString &dataFolder);

} // namespace Backup

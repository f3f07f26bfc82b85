#include "backup.h"

#include "datafiles.h"
#include "datalock.h"
#include "errors.h"
#include "textfile.h"
#include "variable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace Backup {

namespace {

QString g_lastFailure;
thread_local int t_bookkeeping = 0;

const QString ImportSuffix = QStringLiteral("-import");
const QString RestoreSuffix = QStringLiteral("-restore");

// A backup folder's name: its day, then "-hhmmss" and its purpose for one made before an import or a
// restore (older versions wrote no purpose), then "-n" when that name was taken. The day must be a
// real date.
const QString NamePattern = QStringLiteral("\\d{4}-\\d{2}-\\d{2}(?:-\\d{6}(?:-(?:import|restore))?)?(?:-\\d{1,4})?");

QDate dayOf(const QString &name)
{
    return QDate::fromString(name.left(10), QStringLiteral("yyyy-MM-dd"));
}

bool isBackupName(const QString &name)
{
    static const QRegularExpression pattern(QStringLiteral("^%1$").arg(NamePattern));
    return pattern.match(name).hasMatch() && dayOf(name).isValid();
}

// ".<backup name>.part": a backup being made, or one a kill cut off.
bool isUnfinishedName(const QString &name)
{
    static const QRegularExpression pattern(QStringLiteral("^\\.(%1)\\.part$").arg(NamePattern));
    const QRegularExpressionMatch match = pattern.match(name);
    return match.hasMatch() && dayOf(match.captured(1)).isValid();
}

[[noreturn]] void fail(const QString &folder, const QString &reason)
{
    throw EFileError(QStringLiteral("バックアップ \"%1\" を作成できません。%2").arg(folder, reason));
}

bool isOwnFolder(const QString &path)
{
    struct stat info = {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::geteuid();
}

// Removes the folder `name` inside the open folder parent with everything in it, never following a
// link: a link inside goes as a link, and a folder that is a link, or not this user's, is not entered.
// Backups hold files only, so a few levels are plenty. False with errno set when something stays.
bool removeTree(int parent, const char *name, int depth = 0)
{
    if (depth > 4) {
        errno = ENOTEMPTY;
        return false;
    }
    const int fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat info = {};
    if (fd < 0 || ::fstat(fd, &info) != 0 || info.st_uid != ::geteuid()) {
        const int error = fd < 0 ? errno : EPERM;
        if (fd >= 0) {
            ::close(fd);
        }
        errno = error;
        return false;
    }
    DIR *dir = ::fdopendir(fd);
    if (dir == nullptr) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return false;
    }
    bool removed = true;
    int error = 0;
    while (const dirent *entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) {
            continue;
        }
        struct stat child = {};
        const bool ok =
            ::fstatat(fd, entry->d_name, &child, AT_SYMLINK_NOFOLLOW) == 0 &&
            (S_ISDIR(child.st_mode) ? removeTree(fd, entry->d_name, depth + 1) : ::unlinkat(fd, entry->d_name, 0) == 0);
        if (!ok && removed) {
            removed = false;
            error = errno;
        }
    }
    ::closedir(dir);
    if (removed && ::unlinkat(parent, name, AT_REMOVEDIR) != 0) {
        removed = false;
        error = errno;
    }
    errno = error;
    return removed;
}

// Removes backup/<name> when it is a real folder of this user; a link or someone else's folder stays.
// Returns the system's reason when it could not be removed, empty when it went or was left alone.
QString removeOwnFolder(const QString &root, const QString &name)
{
    if (!isOwnFolder(root + name)) {
        return QString();
    }
    const int parent = ::open(QFile::encodeName(root).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (parent < 0) {
        return systemErrorText(errno);
    }
    const bool removed = removeTree(parent, QFile::encodeName(name).constData());
    const int error = errno;
    ::close(parent);
    return removed ? QString() : systemErrorText(error);
}

// The copy is made 0600 from its creation and synced like a data file, so that a backup folder renamed
// into place never holds a copy that a power loss takes back or another user could open meanwhile.
void copyPrivately(const QString &from, const QString &to, const QString &backupFolder)
{
    QByteArray bytes;
    QString reason;
    if (!readFileBytes(from, bytes, reason)) {
        fail(backupFolder, reason);
    }
    const int fd = ::open(QFile::encodeName(to).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                          S_IRUSR | S_IWUSR);
    if (fd < 0) {
        fail(backupFolder, systemErrorText(errno));
    }
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            const int error = written == 0 ? ENOSPC : errno;
            ::close(fd);
            fail(backupFolder, systemErrorText(error));
        }
        done += written;
    }
    if (::fchmod(fd, S_IRUSR | S_IWUSR) != 0 || (::fsync(fd) != 0 && errno != EINVAL && errno != EROFS)) {
        const int error = errno;
        ::close(fd);
        fail(backupFolder, systemErrorText(error));
    }
    ::close(fd);
}

// Keeps the backups of the KeptDays newest days up to the day of `kept`, which is always among them.
// Folders named for a later day (a clock that once ran ahead) are neither counted nor removed: they
// would otherwise push out every backup made since, the new one first. Names that are no backup's are
// neither counted nor removed either. Throws EFileError naming the first folder that could not be
// removed.
void prune(const QString &dataFolder, const QString &kept)
{
    const QString root = backupRoot(dataFolder);
    std::map<QString, QStringList, std::greater<>> byDay;
    for (const QString &folder : listBackups(dataFolder)) {
        byDay[folder.left(10)].append(folder);
    }
    int day = 1; // the kept day
    for (const auto &[dayText, folders] : byDay) {
        if (dayText >= kept.left(10) || ++day <= KeptDays) {
            continue;
        }
        for (const QString &folder : folders) {
            const QString reason = removeOwnFolder(root, folder);
            if (!reason.isEmpty()) {
                throw EFileError(
                    QStringLiteral("古いバックアップ \"%1\" を削除できません。%2").arg(root + folder, reason));
            }
        }
    }
}

} // namespace

Bookkeeping::Bookkeeping()
{
    ++t_bookkeeping;
}

Bookkeeping::~Bookkeeping()
{
    --t_bookkeeping;
}

QString backupRoot(const QString &dataFolder)
{
    return QDir(dataFolder).filePath(QStringLiteral("backup")) + QLatin1Char('/');
}

QString makeBackup(const QString &dataFolder, const QString &name)
{
    const QString root = backupRoot(dataFolder);
    // Only backup/ itself is made: a data folder that is missing is not created here (the portable
    // program's save must fail then, and the installed program's save makes it first).
    if (!QFileInfo(dataFolder).isDir()) {
        fail(root, systemErrorText(ENOENT));
    }
    // No other copy makes or removes a backup meanwhile: a folder half made by a kill is then no one's.
    const DataFolderLock lock(QDir(dataFolder).filePath(QStringLiteral("date.dat")));
    if (lock.busy()) {
        fail(root, DataFolderLock::busyText());
    }
    if (::mkdir(QFile::encodeName(root).constData(), S_IRWXU) != 0 && errno != EEXIST) {
        fail(root, systemErrorText(errno));
    }
    if (!isOwnFolder(root)) {
        fail(root, systemErrorText(ENOTDIR));
    }
    for (const QString &leftover : QDir(root).entryList(QDir::AllEntries | QDir::Hidden | QDir::System)) {
        // A link under such a name goes as a link (what it leads to is never entered), so that it
        // cannot keep the day's backup from its name.
        const QByteArray path = QFile::encodeName(root + leftover);
        struct stat info = {};
        if (!isUnfinishedName(leftover) || ::lstat(path.constData(), &info) != 0) {
            continue;
        }
        if (S_ISLNK(info.st_mode)) {
            ::unlink(path.constData());
        } else {
            removeOwnFolder(root, leftover);
        }
    }
    // Made under a hidden name first: listBackups never shows, and a restore never takes, a half copy.
    const auto workOf = [&](const QString &folder) {
        return root + QLatin1Char('.') + QFileInfo(folder).fileName() + QStringLiteral(".part");
    };
    const auto taken = [](const QString &path) { return QFileInfo::exists(path) || QFileInfo(path).isSymLink(); };
    QString target = root + name;
    for (int n = 2; taken(target) || taken(workOf(target)); ++n) {
        target = root + name + QLatin1Char('-') + QString::number(n);
    }
    const QString work = workOf(target);
    if (::mkdir(QFile::encodeName(work).constData(), S_IRWXU) != 0) {
        fail(target, systemErrorText(errno));
    }
    try {
        for (const DataFile &file : DataFiles) {
            const QString from = QDir(dataFolder).filePath(dataFileName(file));
            if (file.backedUp && QFileInfo(from).isFile()) {
                copyPrivately(from, work + QLatin1Char('/') + dataFileName(file), target);
            }
        }
    } catch (...) {
        removeOwnFolder(root, QFileInfo(work).fileName());
        throw;
    }
    syncFolderOf(QFile::encodeName(work + QStringLiteral("/.")));
    if (::rename(QFile::encodeName(work).constData(), QFile::encodeName(target).constData()) != 0) {
        const int error = errno;
        removeOwnFolder(root, QFileInfo(work).fileName());
        fail(target, systemErrorText(error));
    }
    syncFolderOf(QFile::encodeName(target));
    return target;
}

QString makeTimedBackup(const QString &dataFolder, const QDateTime &now, BackupPurpose purpose)
{
    return makeBackup(dataFolder, timedBackupName(now, purpose));
}

QString backupPurposeText(const QString &name)
{
    if (name.contains(ImportSuffix)) {
        return QStringLiteral("読み込み");
    }
    if (name.contains(RestoreSuffix)) {
        return QStringLiteral("復元");
    }
    // yyyy-mm-dd, perhaps with "-n": the daily one; a six-digit time after the day: an older timed one.
    static const QRegularExpression timed(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}-\\d{6}"));
    return timed.match(name).hasMatch() ? QStringLiteral("読み込みか復元") : QStringLiteral("その日の最初の変更");
}

QString timedBackupName(const QDateTime &now, BackupPurpose purpose)
{
    return now.toString(QStringLiteral("yyyy-MM-dd-HHmmss")) +
           (purpose == BackupPurpose::Import ? ImportSuffix : RestoreSuffix);
}

void makeDailyBackup(const QString &dataFolder, const QDate &today)
{
    const QString name = today.toString(QStringLiteral("yyyy-MM-dd"));
    if (isOwnFolder(backupRoot(dataFolder) + name)) {
        return;
    }
    // Also when no data file exists yet: the empty backup says so, and restoring it empties the folder.
    const QString made = makeBackup(dataFolder, name);
    prune(dataFolder, QFileInfo(made).fileName());
}

void beforeDataFileWrite(const QString &path)
{
    if (Variable::AppDir.isEmpty() || t_bookkeeping > 0) {
        return;
    }
    const QFileInfo info(path);
    if (info.absolutePath() + QLatin1Char('/') != Variable::AppDir || !findDataFile(info.fileName()) ||
        !QFileInfo(Variable::AppDir).isDir()) {
        return; // a missing folder holds nothing to keep; the save reports its own error
    }
    try {
        makeDailyBackup(Variable::AppDir, QDate::currentDate());
        g_lastFailure.clear();
    } catch (const AppError &e) {
        g_lastFailure = e.message();
        std::fprintf(stderr, "eveluna: %s\n", e.message().toUtf8().constData());
    }
}

QString lastFailure()
{
    return g_lastFailure;
}

QStringList listBackups(const QString &dataFolder)
{
    QStringList names;
    const QString root = backupRoot(dataFolder);
    if (!isOwnFolder(root)) {
        return names;
    }
    for (const QString &name :
         QDir(root).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System, QDir::Name | QDir::Reversed)) {
        if (isBackupName(name) && isOwnFolder(root + name)) {
            names.append(name);
        }
    }
    return names;
}

} // namespace Backup

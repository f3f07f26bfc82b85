#include "restore.h"

#include "backup.h"
#include "datacommit.h"
#include "datafiles.h"
#include "errors.h"
#include "linefile.h"
#include "memofile.h"
#include "temperaturefile.h"
#include "textfile.h"
#include "variable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A file of a backup, or nothing when the backup does not hold it.
struct BackupFile
{
    QString name;
    std::optional<QByteArray> bytes;
};

// Reads a backup's copy of a data file: only a regular file of this user is taken, never a link (one
// planted there could lead to any file of hers) or a device. Returns false with the reason otherwise.
bool readOwnCopy(const QString &path, std::optional<QByteArray> &bytes, QString &reason)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) {
            bytes.reset();
            return true;
        }
        reason = errno == ELOOP ? QStringLiteral("リンクです") : systemErrorText(errno);
        return false;
    }
    struct stat info = {};
    const bool own = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid();
    if (!own) {
        ::close(fd);
        reason = S_ISREG(info.st_mode) ? QStringLiteral("ほかのユーザーのファイルです") : notRegularFileText();
        return false;
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        reason = file.errorString();
        return false;
    }
    const QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        reason = file.errorString();
        return false;
    }
    bytes = content;
    return true;
}

// Every data file of the backup, each read as readOwnCopy reads it. Throws EFileError naming every
// file that was refused, with its reason.
QList<BackupFile> readBackup(const QString &backupFolder)
{
    QList<BackupFile> files;
    QStringList refused;
    for (const DataFile &file : DataFiles) {
        if (!file.backedUp) {
            continue;
        }
        BackupFile copy{dataFileName(file), std::nullopt};
        QString reason;
        if (!readOwnCopy(QDir(backupFolder).filePath(copy.name), copy.bytes, reason)) {
            refused << QStringLiteral("%1（%2）").arg(copy.name, reason);
        }
        files.append(copy);
    }
    if (!refused.isEmpty()) {
        throw EFileError(QStringLiteral("バックアップ \"%1\" の %2 は使えません。")
                             .arg(backupFolder, refused.join(QStringLiteral("、"))));
    }
    return files;
}

} // namespace

QList<BackupSummary> listBackupSummaries(const QString &dataFolder)
{
    QList<BackupSummary> list;
    for (const QString &name : Backup::listBackups(dataFolder)) {
        BackupSummary summary;
        summary.name = name;
        summary.takenBefore = Backup::backupPurposeText(name);
        summary.folder = Backup::backupRoot(dataFolder) + name;
        try {
            // The same checks as a restore: a link in a backup is neither read nor counted.
            readBackup(summary.folder);
            const LineFile dates = LineFile::readIfExists(dataFilePath(summary.folder, DataKind::FirstDays));
            for (const QString &line : dates.lines()) {
                summary.firstDays += line.trimmed().isEmpty() ? 0 : 1;
            }
            summary.memos = int(ReadMemoDays(dataFilePath(summary.folder, DataKind::Memos)).size());
            summary.readings =
                int(readTemperatureFile(dataFilePath(summary.folder, DataKind::Readings)).readings.size());
        } catch (const AppError &e) {
            summary.unreadable = e.message();
        }
        list.append(summary);
    }
    return list;
}

QString restoreBackup(const QString &dataFolder, const QString &backupFolder, const QDateTime &now)
{
    // Every file of the backup is read before anything is replaced.
    const QList<BackupFile> files = readBackup(backupFolder);
    createDataFolder(dataFolder);
    // The files go back together: a kill in the middle leaves all of them as they were, or all restored.
    DataFilesCommit commit(dataFolder);
    const QString undo = Backup::makeTimedBackup(dataFolder, now, Backup::BackupPurpose::Restore);
    for (const BackupFile &file : files) {
        const QString target = QDir(dataFolder).filePath(file.name);
        QString reason;
        if (!file.bytes) {
            if (QFileInfo::exists(target) || QFileInfo(target).isSymLink()) {
                commit.removeFile(file.name);
            }
        } else if (!writeFileAtomically(target, *file.bytes, QFileDevice::ReadOwner | QFileDevice::WriteOwner,
                                        reason)) {
            throw EFileError(
                QStringLiteral("ファイル \"%1\" を作成できません。%2（元に戻す前のファイルは %3 にあります）")
                    .arg(target, reason, undo));
        }
    }
    commit.apply();
    return undo;
}

void createDataFolder(const QString &dataFolder)
{
    if (QFileInfo(dataFolder).isDir()) {
        return;
    }
    QString reason;
    if (!Variable::makePrivatePath(dataFolder, reason)) {
        throw EFileError(QStringLiteral("データフォルダー \"%1\" を作成できません。%2").arg(dataFolder, reason));
    }
}

#include "restore.h"

#include "backup.h"
#include "datafiles.h"
#include "datalock.h"
#include "errors.h"
#include "linefile.h"
#include "memofile.h"
#include "temperaturefile.h"
#include "textfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <unistd.h>

QList<BackupSummary> listBackupSummaries(const QString &dataFolder)
{
    QList<BackupSummary> list;
    for (const QString &name : Backup::listBackups(dataFolder)) {
        BackupSummary summary;
        summary.name = name;
        summary.takenBefore = Backup::backupPurposeText(name);
        summary.folder = Backup::backupRoot(dataFolder) + name;
        try {
            const LineFile dates = LineFile::readIfExists(dataFilePath(summary.folder, DataKind::FirstDays));
            for (const QString &line : dates.lines()) {
                summary.firstDays += line.trimmed().isEmpty() ? 0 : 1;
            }
            summary.memos = int(ReadMemoDays(dataFilePath(summary.folder, DataKind::Memos)).size());
            summary.readings =
                int(readTemperatureFile(dataFilePath(summary.folder, DataKind::Readings)).readings.size());
        } catch (const AppError &) {
        }
        list.append(summary);
    }
    return list;
}

QString restoreBackup(const QString &dataFolder, const QString &backupFolder, const QDateTime &now)
{
    const QDir from(backupFolder);
    // Every file of the backup is read before anything is replaced.
    QList<std::pair<QString, std::optional<QByteArray>>> files;
    for (const DataFile &file : DataFiles) {
        if (!file.backedUp) {
            continue;
        }
        const QString name = dataFileName(file);
        const QString source = from.filePath(name);
        if (!QFileInfo::exists(source)) {
            files.append({name, std::nullopt});
            continue;
        }
        QByteArray bytes;
        QString reason;
        if (!readFileBytes(source, bytes, reason)) {
            throw EFileError(QStringLiteral("ファイル %1 は開けません。 %2 ").arg(source, reason));
        }
        files.append({name, bytes});
    }
    const QString undo = Backup::makeTimedBackup(dataFolder, now, Backup::BackupPurpose::Restore);
    const QDir to(dataFolder);
    for (const auto &[name, bytes] : files) {
        const QString target = to.filePath(name);
        const auto lock = LineFile::lockForUpdate(target);
        QString reason;
        if (!bytes) {
            if (QFileInfo::exists(target) && ::unlink(QFile::encodeName(target).constData()) != 0) {
                reason = systemErrorText(errno);
            }
        } else if (!writeFileAtomically(target, *bytes, QFileDevice::ReadOwner | QFileDevice::WriteOwner, reason)) {
            // reason is set
        }
        if (!reason.isEmpty()) {
            throw EFileError(
                QStringLiteral("ファイル \"%1\" を作成できません。%2（元に戻す前のファイルは %3 にあります）")
                    .arg(target, reason, undo));
        }
    }
    return undo;
}

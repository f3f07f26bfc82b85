#include "backup.h"

#include "datafiles.h"
#include "errors.h"
#include "textfile.h"
#include "variable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <cstdio>
#include <map>

#include <sys/stat.h>

namespace Backup {

namespace {

QString g_lastFailure;

const QString ImportSuffix = QStringLiteral("-import");
const QString RestoreSuffix = QStringLiteral("-restore");

// A backup folder's name begins with its day: yyyy-mm-dd, then nothing or "-hhmmss" with its purpose,
// and a "-n" suffix when the name was taken.
bool isBackupName(const QString &name)
{
    static const QRegularExpression pattern(
        QStringLiteral("^\\d{4}-\\d{2}-\\d{2}(-\\d+)*(-(import|restore)(-\\d+)?)?$"));
    return pattern.match(name).hasMatch();
}

[[noreturn]] void fail(const QString &folder, const QString &reason)
{
    throw EFileError(QStringLiteral("バックアップ \"%1\" を作成できません。%2").arg(folder, reason));
}

void copyPrivately(const QString &from, const QString &to, const QString &backupFolder)
{
    QByteArray bytes;
    QString reason;
    if (!readFileBytes(from, bytes, reason)) {
        fail(backupFolder, reason);
    }
    QFile out(to);
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        fail(backupFolder, out.errorString());
    }
    out.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (out.write(bytes) != bytes.size() || !out.flush()) {
        fail(backupFolder, out.errorString());
    }
    out.close();
}

void removeFolder(const QString &path)
{
    QDir(path).removeRecursively();
}

} // namespace

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
    if (::mkdir(QFile::encodeName(root).constData(), S_IRWXU) != 0 && errno != EEXIST) {
        fail(root, systemErrorText(errno));
    }
    QString target = root + name;
    for (int n = 2; QFileInfo::exists(target); ++n) {
        target = root + name + QLatin1Char('-') + QString::number(n);
    }
    // Made under a hidden name first: listBackups never shows, and a restore never takes, a half copy.
    const QString work = root + QLatin1Char('.') + QFileInfo(target).fileName() + QStringLiteral(".part");
    removeFolder(work);
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
        removeFolder(work);
        throw;
    }
    if (::rename(QFile::encodeName(work).constData(), QFile::encodeName(target).constData()) != 0) {
        const int error = errno;
        removeFolder(work);
        fail(target, systemErrorText(error));
    }
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
    if (QFileInfo::exists(backupRoot(dataFolder) + name)) {
        return;
    }
    // Also when no data file exists yet: the empty backup says so, and restoring it empties the folder.
    makeBackup(dataFolder, name);
    // Keep the folders of the KeptDays newest days (a day may have several: the daily one, imports).
    std::map<QString, QStringList, std::greater<>> byDay;
    for (const QString &folder : listBackups(dataFolder)) {
        byDay[folder.left(10)].append(folder);
    }
    int day = 0;
    for (const auto &[dayText, folders] : byDay) {
        if (++day > KeptDays) {
            for (const QString &folder : folders) {
                removeFolder(backupRoot(dataFolder) + folder);
            }
        }
    }
}

void beforeDataFileWrite(const QString &path)
{
    if (Variable::AppDir.isEmpty()) {
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
    const QDir root(backupRoot(dataFolder));
    for (const QString &name : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::Reversed)) {
        if (isBackupName(name)) {
            names.append(name);
        }
    }
    return names;
}

} // namespace Backup

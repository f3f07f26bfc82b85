#include "variable.h"

#include "datafiles.h"
#include "textfile.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Variable {

QString AppDir;
QString DateFilePath;
QString SettingFilePath;
QString MemoFilePath;
QString TempFilePath;
QString DayFilePath;
bool ShowToday = false;
bool ShowMemos = false;
bool CreateAppDirOnSave = false;

bool makePrivatePath(const QString &folder, QString &errorText)
{
    const QFileInfo info(folder);
    if (info.isDir()) {
        return true;
    }
    const QString parent = info.absolutePath();
    if (parent != folder && !makePrivatePath(parent, errorText)) {
        return false;
    }
    const QByteArray path = QFile::encodeName(folder);
    if (::mkdir(path.constData(), S_IRWXU) != 0) {
        if (errno == EEXIST && QFileInfo(folder).isDir()) {
            return true; // made meanwhile by someone else: not ours to change
        }
        errorText = systemErrorText(errno);
        return false;
    }
    // The umask can only take bits away; one that took the owner's own bits would leave a folder she
    // cannot write to, so the mode is set whole.
    if (::chmod(path.constData(), S_IRWXU) != 0) {
        errorText = systemErrorText(errno);
        return false;
    }
    return true;
}

QString userHome()
{
    const QString home = qEnvironmentVariable("HOME");
    if (QDir::isAbsolutePath(home)) {
        return home;
    }
    if (const passwd *account = ::getpwuid(::getuid()); account != nullptr && account->pw_dir != nullptr) {
        return QFile::decodeName(account->pw_dir);
    }
    return home;
}

void initFileLocations(const QString &dataDir)
{
    AppDir = QDir(dataDir).absolutePath();
    if (!AppDir.endsWith(QLatin1Char('/'))) {
        AppDir += QLatin1Char('/');
    }
    DateFilePath = dataFilePath(AppDir, DataKind::FirstDays);
    SettingFilePath = dataFilePath(AppDir, DataKind::Settings);
    MemoFilePath = dataFilePath(AppDir, DataKind::Memos);
    TempFilePath = dataFilePath(AppDir, DataKind::Readings);
    DayFilePath = dataFilePath(AppDir, DataKind::DayRecords);
    ShowToday = false;
    ShowMemos = false;
}

QString xdgBaseFolder(const QString &xdgValue, const QString &home, const QString &underHome)
{
    return QDir::isAbsolutePath(xdgValue) ? xdgValue : home + QLatin1Char('/') + underHome;
}

QString userDataDir(const QString &xdgDataHome, const QString &home)
{
    const QString base = xdgBaseFolder(xdgDataHome, home, QStringLiteral(".local/share"));
    return QDir::cleanPath(base + QStringLiteral("/eveluna")) + QLatin1Char('/');
}

bool prepareFolderOf(const QString &filePath, QString &errorText)
{
    if (!CreateAppDirOnSave) {
        return true;
    }
    const QString folder = QFileInfo(filePath).absolutePath();
    if (folder + QLatin1Char('/') != AppDir || QFileInfo(folder).isDir()) {
        return true;
    }
    return makePrivatePath(folder, errorText);
}

QString besideExecutable(const QString &executablePath, const QString &suffix)
{
    const QFileInfo info(executablePath);
    const QString name = info.fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString base = dot < 0 ? name : name.left(dot);
    return info.dir().filePath(base + suffix);
}

QString helpFilePath(const QString &executablePath)
{
    return besideExecutable(executablePath, QStringLiteral(".chm"));
}

} // namespace Variable

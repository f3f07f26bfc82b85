#include "variable.h"

#include <QDir>
#include <QFileInfo>

namespace Variable {

QString AppDir;
QString DateFilePath;
QString SettingFilePath;
QString MemoFilePath;
bool ShowToday = false;
bool ShowMemos = false;

void initFileLocations(const QString &executableDir)
{
    AppDir = QDir(executableDir).absolutePath();
    if (!AppDir.endsWith(QLatin1Char('/'))) {
        AppDir += QLatin1Char('/');
    }
    DateFilePath = AppDir + QStringLiteral("date.dat");
    SettingFilePath = AppDir + QStringLiteral("setting.ini");
    MemoFilePath = AppDir + QStringLiteral("dateMemo.dat");
    ShowToday = false;
    ShowMemos = false;
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

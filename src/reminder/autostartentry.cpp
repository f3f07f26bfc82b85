#include "autostartentry.h"

#include "errors.h"
#include "ownerfile.h"
#include "variable.h"

#include <QDir>
#include <QFileInfo>

QString autostartEntryPath(const QString &xdgConfigHome, const QString &home)
{
    const QString config = Variable::xdgBaseFolder(xdgConfigHome, home, QStringLiteral(".config"));
    return QDir(config).filePath(QStringLiteral("autostart/" EVELUNA_APP_ID "-reminder.desktop"));
}

QByteArray autostartEntry(const QString &executablePath)
{
    const auto refused = [&executablePath] {
        return EFileError(QStringLiteral("%1 はログイン時の起動に登録できないパスです").arg(executablePath));
    };
    // GLib looks for the program of an Exec line before it expands the field codes, so a path with "%"
    // (written "%%") names no program there and the desktop never starts the entry. env, which GLib
    // finds, is given the path as its argument instead; env would take a path with "=" for a variable.
    const bool throughEnv = executablePath.contains(u'%');
    if (!QDir::isAbsolutePath(executablePath) || (throughEnv && executablePath.contains(u'='))) {
        throw refused();
    }
    QString quoted;
    for (const QChar c : executablePath) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F) {
            throw refused();
        }
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\') {
            quoted += u'\\';
        }
        quoted += c;
    }
    quoted = u'"' + quoted + u'"';
    quoted.replace(u'\\', QStringLiteral("\\\\"));
    quoted.replace(u'%', QStringLiteral("%%"));
    if (throughEnv) {
        quoted = QStringLiteral("/usr/bin/env ") + quoted;
    }
    const QString text = QStringLiteral("[Desktop Entry]\n"
                                        "Type=Application\n"
                                        "Name=Easy VELUNA reminder\n"
                                        "Name[ja]=Easy VELUNA 通知\n"
                                        "Comment=Reminds of the next period at login\n"
                                        "Comment[ja]=次の生理の予定をログイン時に知らせます\n"
                                        "Exec=%1 --remind\n"
                                        "Icon=" EVELUNA_APP_ID "\n"
                                        "Terminal=false\n"
                                        "NoDisplay=true\n"
                                        "X-GNOME-Autostart-enabled=true\n")
                             .arg(quoted);
    return text.toUtf8();
}

void writeAutostartEntry(const QString &entryPath, const QString &executablePath)
{
    const QByteArray bytes = autostartEntry(executablePath);
    const QString folder = QFileInfo(entryPath).absolutePath();
    if (!QDir().mkpath(folder)) {
        throw EFileError(QStringLiteral("%1 を作成できません").arg(folder));
    }
    writeOwnerOnlyFile(entryPath, bytes);
}

void removeAutostartEntry(const QString &entryPath)
{
    removeFileIfPresent(entryPath);
}

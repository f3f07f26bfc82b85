#include "helpfile.h"

#include "variable.h"

#include <QFileInfo>
#include <QProcess>

namespace HelpFile {

QString htmlIndexPath(const QString &executablePath)
{
    return Variable::besideExecutable(executablePath, QStringLiteral("-help/index.html"));
}

namespace {

// The registered name of the type and an older alias that some desktops still use.
const char *const ChmMimeTypes[] = {"application/vnd.ms-htmlhelp", "application/x-chm"};

bool mimeTypeHasHandler(const QString &program, const QString &mimeType, int timeoutMs)
{
    QProcess query;
    query.setProcessChannelMode(QProcess::SeparateChannels);
    query.setStandardInputFile(QProcess::nullDevice());
    query.start(program, {QStringLiteral("query"), QStringLiteral("default"), mimeType});
    if (!query.waitForStarted(timeoutMs)) {
        return false;
    }
    if (!query.waitForFinished(timeoutMs)) {
        query.kill();
        query.waitForFinished(1000);
        return false;
    }
    if (query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0) {
        return false;
    }
    return !query.readAllStandardOutput().trimmed().isEmpty();
}

} // namespace

bool desktopHasChmViewer(const QString &program, int timeoutMs)
{
    for (const char *type : ChmMimeTypes) {
        if (mimeTypeHasHandler(program, QString::fromLatin1(type), timeoutMs)) {
            return true;
        }
    }
    return false;
}

QString chooseHelpTarget(const QString &chmPath, const QString &htmlPath, bool chmViewerAvailable)
{
    const bool haveChm = QFileInfo(chmPath).isFile();
    const bool haveHtml = QFileInfo(htmlPath).isFile();
    if (haveChm && chmViewerAvailable) {
        return chmPath;
    }
    if (haveHtml) {
        return htmlPath;
    }
    if (haveChm) {
        return chmPath;
    }
    return QString();
}

} // namespace HelpFile

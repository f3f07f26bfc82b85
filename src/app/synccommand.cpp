#include "synccommand.h"

#include "calendarsync.h"
#include "layout.h"
#include "variable.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QLoggingCategory>

#include <cstdio>

namespace {

void printLine(FILE *stream, const QString &line)
{
    const QByteArray bytes = (line + u'\n').toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

} // namespace

ExitStatus runSyncCommand()
{
    const std::optional<DataLayout> layout = commandLineDataLayout("--sync");
    if (!layout) {
        return ExitStatus::Failed;
    }
    // Qt 6.4's TLS backend, first used on Qt's network thread when a connection fails, warns about a
    // connection of its own; the command keeps to its one line.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.core.qobject.connect.warning=false"));
    Variable::initFileLocations(layout->folder);
    Variable::CreateAppDirOnSave = layout->createdOnSave;
    std::optional<ExitStatus> status;
    QEventLoop loop;
    startCalendarSync(Variable::AppDir, QCoreApplication::instance(), [&](const SyncResult &result) {
        if (!result.comeHomeMessage.isEmpty()) {
            printLine(stdout, result.comeHomeMessage);
        }
        switch (result.outcome) {
        case SyncOutcome::Done:
            printLine(stdout, result.line);
            status = ExitStatus::Done;
            break;
        case SyncOutcome::NotSetUp:
        case SyncOutcome::BadSetting:
            status = ExitStatus::Refused;
            break;
        case SyncOutcome::ServerFailed:
            status = ExitStatus::ServerUnreachable;
            break;
        case SyncOutcome::LocalFailed:
            status = ExitStatus::Failed;
            break;
        }
        if (*status != ExitStatus::Done) {
            printLine(stderr, QStringLiteral("eveluna --sync: ") + result.line);
        }
        loop.quit();
    });
    if (!status) {
        loop.exec();
    }
    return *status;
}

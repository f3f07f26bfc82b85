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
    if (!useCommandLineDataFolder("--sync")) {
        return ExitStatus::Failed;
    }
    // Qt 6.4's TLS backend, first used on Qt's network thread when a connection fails, warns about a
    // connection of its own; the command keeps to its one line.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.core.qobject.connect.warning=false"));
    std::optional<ExitStatus> status;
    QEventLoop loop;
    startCalendarSync(Variable::AppDir, QCoreApplication::instance(), [&](const SyncResult &result) {
        switch (result.outcome) {
        case SyncOutcome::Done:
            printLine(stdout,
                      result.comeHomeMessage.isEmpty() ? result.line : result.comeHomeMessage + u'。' + result.line);
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
            // First days may have come home before the sending failed: said on the same line.
            const QString home = result.comeHomeMessage.isEmpty() ? QString() : result.comeHomeMessage + u'。';
            printLine(stderr, QStringLiteral("eveluna --sync: ") + home + result.line);
        }
        loop.quit();
    });
    if (!status) {
        loop.exec();
    }
    // The finished sync and Qt's network thread are taken down by deferred deletions: run them before
    // the application object goes, so nothing is left behind.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return *status;
}

#include "calendarsyncrunner.h"

#include "calendarsync.h"
#include "datafiles.h"

#include <QCryptographicHash>
#include <QFile>

#include <memory>

namespace {

CalendarSyncRunner *theRunner = nullptr;

} // namespace

CalendarSyncRunner::CalendarSyncRunner(const QString &dataFolder, QObject *parent)
    : QObject(parent)
    , m_dataFolder(dataFolder)
{
    theRunner = this;
    m_settle.setSingleShot(true);
    m_settle.setInterval(SettleMs);
    connect(&m_settle, &QTimer::timeout, this, [this] {
        // As the last sync that worked left them: the calendar holds what they give.
        if (currentInputs() != m_syncedInputs) {
            start();
        }
    });
    m_retry.setSingleShot(true);
    m_retry.setInterval(RetryMs);
    connect(&m_retry, &QTimer::timeout, this, &CalendarSyncRunner::start);
}

CalendarSyncRunner::~CalendarSyncRunner()
{
    if (theRunner == this) {
        theRunner = nullptr;
    }
}

CalendarSyncRunner *CalendarSyncRunner::instance()
{
    return theRunner;
}

// The first days and every setting a sync depends on (the cycle mode and length, the discreet titles,
// the [CalDAV] section) live in these two files.
QByteArray CalendarSyncRunner::currentInputs() const
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const DataKind kind : {DataKind::FirstDays, DataKind::Settings}) {
        QFile file(dataFilePath(m_dataFolder, kind));
        hash.addData(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArrayLiteral("-"));
        hash.addData("\n");
    }
    return hash.result();
}

void CalendarSyncRunner::inputsMayHaveChanged()
{
    if (m_running) {
        m_again = true;
        return;
    }
    // Compared when the time is up: the window stores some settings (the cycle mode) only after it
    // has repainted.
    m_settle.start();
}

QString CalendarSyncRunner::lastSyncText() const
{
    if (!m_lastTime.isValid()) {
        return QStringLiteral("前回の同期: 起動してからまだありません");
    }
    return QStringLiteral("前回の同期: %1 %2").arg(m_lastTime.toString(QStringLiteral("M月d日 H:mm")), m_lastLine);
}

void CalendarSyncRunner::start()
{
    if (m_running) {
        m_again = true;
        return;
    }
    m_again = false;
    m_retry.stop();
    // The answer may come before startCalendarSync returns (nothing set up), or long after.
    const auto ended = std::make_shared<bool>(false);
    QObject *job = startCalendarSync(m_dataFolder, this, [this, ended](const SyncResult &result) {
        *ended = true;
        m_running = nullptr;
        if (result.outcome == SyncOutcome::NotSetUp) {
            // Nothing to say, and nothing to try until the settings change.
            m_syncedInputs = currentInputs();
            return;
        }
        m_lastTime = QDateTime::currentDateTime();
        m_lastLine = result.line;
        if (result.outcome == SyncOutcome::Done) {
            m_syncedInputs = currentInputs();
        } else if (result.outcome == SyncOutcome::ServerFailed) {
            m_retry.start();
        }
        if (!result.comeHomeMessage.isEmpty()) {
            emit firstDaysCameHome(result.comeHomeMessage);
        }
        if (m_again) {
            m_settle.start();
        }
    });
    if (!*ended) {
        m_running = job;
    }
}

#pragma once

#include "smtpsession.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

// One SMTP session on a thread of its own, for a window. A plain object of the window's thread: the
// session thread only adds to a report under a lock and calls `notify`, which should post a call to
// the window that takes the report. However many lines arrive, at most one notification is waiting at a
// time, so a flood of reply lines never floods the window's event queue.
class SmtpSessionWorker final
{
public:
    enum class End { Sent, NotSent, Cancelled, Failed };

    // What the session reported since the last take(): reply lines in order and, once, its end
    // (with the error text when Failed).
    struct Report
    {
        QStringList lines;
        std::optional<End> end;
        QString message;
    };

    // Starts the session at once. `notify` runs on the session thread.
    SmtpSessionWorker(SmtpRequest request, std::function<void()> notify);
    // Cancels the session and waits for its thread, which then ends at once (a name lookup that has not
    // answered is left behind, see ResolveHost). Never runs an event loop.
    ~SmtpSessionWorker();
    SmtpSessionWorker(const SmtpSessionWorker &) = delete;
    SmtpSessionWorker &operator=(const SmtpSessionWorker &) = delete;

    Report take();
    // Cancels the session, waits for its thread to end and returns what was not taken yet.
    Report stop();

private:
    void run(const SmtpRequest &request);
    void add(const std::function<void(Report &)> &change);

    std::function<void()> m_notify;
    std::shared_ptr<CancelSwitch> m_cancel;
    std::mutex m_mutex;
    Report m_report;
    bool m_announced = false;
    std::thread m_thread;
};

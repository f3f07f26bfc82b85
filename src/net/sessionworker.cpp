#include "sessionworker.h"

#include "wsockutils.h"

SmtpSessionWorker::SmtpSessionWorker(SmtpRequest request, std::function<void()> notify)
    : m_notify(std::move(notify))
    , m_cancel(std::make_shared<CancelSwitch>())
{
    request.cancel = m_cancel;
    m_thread = std::thread([this, request = std::move(request)] { run(request); });
}

SmtpSessionWorker::~SmtpSessionWorker()
{
    stop();
}

SmtpSessionWorker::Report SmtpSessionWorker::stop()
{
    m_cancel->cancel();
    if (m_thread.joinable()) {
        m_thread.join();
    }
    return take();
}

SmtpSessionWorker::Report SmtpSessionWorker::take()
{
    const std::lock_guard lock(m_mutex);
    m_announced = false;
    return std::exchange(m_report, Report());
}

void SmtpSessionWorker::add(const std::function<void(Report &)> &change)
{
    bool announce = false;
    {
        const std::lock_guard lock(m_mutex);
        change(m_report);
        announce = !std::exchange(m_announced, true);
    }
    if (announce) {
        m_notify();
    }
}

void SmtpSessionWorker::run(const SmtpRequest &request)
{
    End end = End::Failed;
    QString message;
    try {
        const SmtpVerdict verdict =
            RunSmtpSession(request, [this](const QString &line) { add([&line](Report &r) { r.lines << line; }); });
        end = verdict == SmtpVerdict::Sent ? End::Sent : End::NotSent;
    } catch (const ECancelled &) {
        end = End::Cancelled;
    } catch (const AppError &e) {
        message = e.message();
    } catch (const std::exception &e) {
        message = QString::fromUtf8(e.what());
    }
    add([&](Report &r) {
        r.end = end;
        r.message = message;
    });
}

#include "socketwait.h"

#include "neterrors.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

CancelSwitch::CancelSwitch()
    : m_event(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
}

CancelSwitch::~CancelSwitch()
{
    if (m_event != -1) {
        ::close(m_event);
    }
}

void CancelSwitch::cancel()
{
    const std::lock_guard lock(m_mutex);
    m_cancelled = true;
    if (m_socket != -1) {
        // Ends a blocked receive or send at once, and tells the server that the session is over.
        ::shutdown(m_socket, SHUT_RDWR);
    }
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_event, &one, sizeof one);
}

void CancelSwitch::attach(int fd)
{
    const std::lock_guard lock(m_mutex);
    m_socket = fd;
}

void CancelSwitch::detach()
{
    const std::lock_guard lock(m_mutex);
    m_socket = -1;
}

void SocketWait::limitSession(int milliseconds)
{
    m_sessionLimitMs = milliseconds;
    m_sessionEnd = QDeadlineTimer(milliseconds);
}

void SocketWait::setCancelSwitch(std::shared_ptr<CancelSwitch> cancel)
{
    m_cancel = std::move(cancel);
}

void SocketWait::checkCancelled() const
{
    if (isCancelled()) {
        throw ECancelled();
    }
}

void SocketWait::attach(int fd)
{
    if (m_cancel) {
        m_cancel->attach(fd);
    }
}

void SocketWait::detach()
{
    if (m_cancel) {
        m_cancel->detach();
    }
}

bool SocketWait::wait(int fd, short events)
{
    checkCancelled();
    pollfd waits[2] = {{fd, events, 0}, {m_cancel ? m_cancel->wakeFd() : -1, POLLIN, 0}};
    const QDeadlineTimer waitEnd(m_timeoutMs);
    const bool sessionFirst = m_sessionEnd < waitEnd;
    const QDeadlineTimer end = sessionFirst ? m_sessionEnd : waitEnd;
    int ready;
    do {
        const qint64 left = end.remainingTime();
        ready = ::poll(waits, 2, left > INT32_MAX ? -1 : int(left));
    } while (ready == -1 && errno == EINTR);
    checkCancelled();
    if (ready == 0 && sessionFirst) {
        throw EKTcpClient(SessionLimitText(m_sessionLimitMs));
    }
    return ready != 0;
}

void SocketWait::waitReady(int fd, bool forWrite)
{
    if (!wait(fd, short(forWrite ? POLLOUT : POLLIN))) {
        throw EKTcpClient((forWrite ? SendErrorText : ReceiveErrorText)(WsaTimedOut));
    }
}

#pragma once

#include <QDeadlineTimer>
#include <QString>

#include <atomic>
#include <memory>
#include <mutex>

// Lets another thread stop a session that waits for the network: cancel() shuts the attached socket
// down and wakes every wait at once. One switch serves one session; once thrown it stays thrown.
class CancelSwitch final
{
public:
    CancelSwitch();
    ~CancelSwitch();
    CancelSwitch(const CancelSwitch &) = delete;
    CancelSwitch &operator=(const CancelSwitch &) = delete;

    // Safe from any thread, any number of times.
    void cancel();
    bool isCancelled() const { return m_cancelled.load(); }

private:
    friend class SocketWait;
    // The session's socket, shut down by cancel(); detached before the descriptor is closed so that a
    // late cancel can never reach a descriptor number that has been reused.
    void attach(int fd);
    void detach();
    int wakeFd() const { return m_event; }

    std::mutex m_mutex;
    int m_socket = -1;
    std::atomic<bool> m_cancelled = false;
    int m_event = -1;
};

// Every wait of one connection: for its socket to be readable or writable, or for another descriptor
// (a name lookup running elsewhere). Each wait ends after the time-out of one wait, at the deadline of
// the whole session, or at once when the cancel switch is thrown.
class SocketWait final
{
public:
    // Milliseconds one wait may take; 60000 by default.
    int timeout() const { return m_timeoutMs; }
    void setTimeout(int milliseconds) { m_timeoutMs = milliseconds; }
    // From now on, no wait goes past `milliseconds` from now; a wait cut short by it throws
    // SessionLimitText. None by default.
    void limitSession(int milliseconds);
    void setCancelSwitch(std::shared_ptr<CancelSwitch> cancel);
    bool isCancelled() const { return m_cancel && m_cancel->isCancelled(); }
    // Throws ECancelled when the switch has been thrown.
    void checkCancelled() const;

    // The socket that cancel() shuts down; detach() before closing it.
    void attach(int fd);
    void detach();

    // Waits until fd has any of `events` (poll flags), or an error or hang-up the next call on it will
    // report. False when the time-out of one wait passed first; throws ECancelled, or SessionLimitText
    // at the session's deadline.
    bool wait(int fd, short events);
    // The same for the socket's data; a time-out throws the receive (send) error 10060.
    void waitReady(int fd, bool forWrite);

private:
    int m_timeoutMs = 60000;
    QDeadlineTimer m_sessionEnd = QDeadlineTimer::Forever;
    int m_sessionLimitMs = 0;
    std::shared_ptr<CancelSwitch> m_cancel;
};

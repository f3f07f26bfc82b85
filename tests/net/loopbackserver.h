#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <thread>

// The far end of one test connection, driven by a script on the server thread. Every wait is bounded
// (five seconds) so that a client that misbehaves fails the test instead of hanging it.
class Peer
{
public:
    explicit Peer(int fd)
        : m_fd(fd)
    {
    }

    void send(const QByteArray &bytes);
    // Bytes up to and including the next LF; what came before the end when the client closes first.
    QByteArray readLine();
    // Bytes up to and including terminator.
    QByteArray readUntil(const QByteArray &terminator);
    // Everything until the client closes.
    QByteArray readToEnd();
    // Each byte in a send of its own, gapMs apart, so that the client receives them one by one.
    void sendBytewise(const QByteArray &bytes, int gapMs);
    // Bytes the client has sent that have not been read yet.
    qsizetype unread() const;
    static void pause(int milliseconds);
    // Closes the connection at once; with reset, the client sees a reset instead of an orderly end.
    void close(bool reset = false);

    const QByteArray &received() const { return m_received; }

private:
    // One receive into m_received; false when the client has closed.
    bool receiveSome(std::size_t limit);

    int m_fd;
    QByteArray m_received;
};

// A listening socket on 127.0.0.1 with an ephemeral port. The script runs on its own thread on the
// first connection accepted; the destructor waits for it.
class LoopbackServer
{
public:
    using Script = std::function<void(Peer &)>;

    explicit LoopbackServer(Script script);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer &) = delete;
    LoopbackServer &operator=(const LoopbackServer &) = delete;

    int port() const { return m_port; }
    // Waits for the script to end; then the bytes the script read and whatever went wrong on its side.
    void finish();
    const QByteArray &received() const { return m_received; }
    const QString &failure() const { return m_failure; }

private:
    int m_listener = -1;
    int m_port = 0;
    std::thread m_thread;
    QByteArray m_received;
    QString m_failure;
};

// A local port with a bound socket that does not listen: connecting to it is refused.
class ClosedPort
{
public:
    ClosedPort();
    ~ClosedPort();
    int port() const { return m_port; }

private:
    int m_fd = -1;
    int m_port = 0;
};

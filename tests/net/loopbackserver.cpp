#include "loopbackserver.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <stdexcept>

namespace {

constexpr int kTimeoutMs = 5000;

struct ScriptFailure : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

void waitReadable(int fd)
{
    pollfd p{fd, POLLIN, 0};
    int ready;
    do {
        ready = ::poll(&p, 1, kTimeoutMs);
    } while (ready == -1 && errno == EINTR);
    if (ready <= 0) {
        throw ScriptFailure("timed out waiting for the client");
    }
}

int boundSocket(int &port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof address;
    if (fd == -1 || ::bind(fd, reinterpret_cast<sockaddr *>(&address), len) == -1 ||
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &len) == -1) {
        throw std::runtime_error("cannot bind a loopback socket");
    }
    port = ntohs(address.sin_port);
    return fd;
}

} // namespace

void Peer::send(const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(m_fd, bytes.constData() + done, size_t(bytes.size() - done), MSG_NOSIGNAL);
        if (n == -1) {
            if (errno == EINTR) {
                continue;
            }
            throw ScriptFailure("send to the client failed");
        }
        done += n;
    }
}

void Peer::sendBytewise(const QByteArray &bytes, int gapMs)
{
    for (const char byte : bytes) {
        send(QByteArray(1, byte));
        pause(gapMs);
    }
}

qsizetype Peer::unread() const
{
    int pending = 0;
    ::ioctl(m_fd, FIONREAD, &pending);
    return pending;
}

bool Peer::receiveSome(std::size_t limit)
{
    waitReadable(m_fd);
    char buffer[65536];
    ssize_t n;
    do {
        n = ::recv(m_fd, buffer, std::min(limit, sizeof buffer), 0);
    } while (n == -1 && errno == EINTR);
    if (n <= 0) {
        return false;
    }
    m_received.append(buffer, n);
    return true;
}

QByteArray Peer::readLine()
{
    return readUntil(QByteArrayLiteral("\n"));
}

QByteArray Peer::readUntil(const QByteArray &terminator)
{
    // Byte by byte, so nothing after the terminator is taken from the client's next command.
    const qsizetype start = m_received.size();
    while (!m_received.sliced(start).endsWith(terminator)) {
        if (!receiveSome(1)) {
            break;
        }
    }
    return m_received.sliced(start);
}

QByteArray Peer::readToEnd()
{
    const qsizetype start = m_received.size();
    while (receiveSome(65536)) {
    }
    return m_received.sliced(start);
}

void Peer::pause(int milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void Peer::close(bool reset)
{
    if (m_fd == -1) {
        return;
    }
    if (reset) {
        const linger abort{1, 0};
        ::setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    }
    ::close(m_fd);
    m_fd = -1;
}

LoopbackServer::LoopbackServer(Script script)
{
    m_listener = boundSocket(m_port);
    if (::listen(m_listener, 1) == -1) {
        throw std::runtime_error("cannot listen on a loopback socket");
    }
    m_thread = std::thread([this, script = std::move(script)] {
        int fd = -1;
        try {
            waitReadable(m_listener);
            fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd == -1) {
                throw ScriptFailure("accept failed");
            }
            Peer peer(fd);
            try {
                script(peer);
            } catch (...) {
                m_received = peer.received();
                peer.close();
                throw;
            }
            m_received = peer.received();
            peer.close();
        } catch (const std::exception &e) {
            m_failure = QString::fromUtf8(e.what());
        }
    });
}

LoopbackServer::~LoopbackServer()
{
    finish();
    ::close(m_listener);
}

void LoopbackServer::finish()
{
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

ClosedPort::ClosedPort()
{
    m_fd = boundSocket(m_port);
}

ClosedPort::~ClosedPort()
{
    ::close(m_fd);
}

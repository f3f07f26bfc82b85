#include "scriptedsmtp.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int WaitMilliseconds = 10000;

int boundLoopbackSocket(int &port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length);
    port = ntohs(address.sin_port);
    return fd;
}

bool waitReadable(int fd)
{
    pollfd entry{fd, POLLIN, 0};
    return ::poll(&entry, 1, WaitMilliseconds) == 1;
}

// Reads one line ending in LF; false when the client closed (or went silent) first.
bool readLine(int fd, QByteArray &pending, QByteArray &line)
{
    for (;;) {
        const qsizetype end = pending.indexOf('\n');
        if (end >= 0) {
            line = pending.left(end + 1);
            pending.remove(0, end + 1);
            return true;
        }
        if (!waitReadable(fd)) {
            return false;
        }
        char buffer[4096];
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0) {
            return false;
        }
        pending.append(buffer, got);
    }
}

void sendAll(int fd, const QByteArray &bytes)
{
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.constData() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
        if (n <= 0) {
            return;
        }
        sent += n;
    }
}

} // namespace

ScriptedSmtpServer::ScriptedSmtpServer(QList<QByteArray> replies, bool repeatLast)
    : m_replies(std::move(replies))
    , m_repeatLast(repeatLast)
{
    m_listener = boundLoopbackSocket(m_port);
    ::listen(m_listener, 1);
    m_thread = std::thread([this] { serve(); });
}

ScriptedSmtpServer::~ScriptedSmtpServer()
{
    finish();
    ::close(m_listener);
}

QByteArray ScriptedSmtpServer::finish()
{
    if (m_thread.joinable()) {
        m_thread.join();
    }
    return m_received;
}

void ScriptedSmtpServer::serve()
{
    if (!waitReadable(m_listener)) {
        return;
    }
    const int fd = ::accept(m_listener, nullptr, nullptr);
    if (fd < 0) {
        return;
    }
    ++m_connections;
    qsizetype next = 0;
    const auto replyOrClose = [&] {
        if (next >= m_replies.size()) {
            return false;
        }
        if (m_replies.at(next).isEmpty()) {
            char byte;
            while (waitReadable(fd) && ::recv(fd, &byte, 1, 0) == 1) {
                m_received += byte;
            }
            return false;
        }
        if (m_repeatLast && next == m_replies.size() - 1) {
            pollfd writable{fd, POLLOUT, 0};
            const QByteArray &last = m_replies.last();
            while (::poll(&writable, 1, WaitMilliseconds) == 1 &&
                   ::send(fd, last.constData(), size_t(last.size()), MSG_NOSIGNAL) > 0) {
            }
            return false;
        }
        sendAll(fd, m_replies.at(next++));
        return true;
    };
    QByteArray pending;
    QByteArray line;
    bool inMessage = false;
    if (replyOrClose()) {
        while (readLine(fd, pending, line)) {
            m_received += line;
            if (inMessage) {
                if (line != ".\r\n") {
                    continue;
                }
                inMessage = false;
            } else if (line == "DATA\r\n") {
                inMessage = true;
            }
            if (!replyOrClose()) {
                break;
            }
        }
    }
    ::close(fd);
}

RefusingPort::RefusingPort()
{
    m_fd = boundLoopbackSocket(m_port);
}

RefusingPort::~RefusingPort()
{
    ::close(m_fd);
}

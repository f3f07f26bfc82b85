#include "wsockutils.h"

#include "codepage.h"
#include "tls.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <mutex>
#include <thread>
#include <utility>

namespace {

std::optional<in_addr> lookUp(const QByteArray &name)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    if (::getaddrinfo(name.constData(), nullptr, &hints, &found) != 0 || found == nullptr) {
        return std::nullopt;
    }
    const in_addr address = reinterpret_cast<const sockaddr_in *>(found->ai_addr)->sin_addr;
    ::freeaddrinfo(found);
    return address;
}

// A lookup on a thread of its own. The thread keeps the state alive, so a caller that stops waiting
// leaves nothing behind that the late answer could reach.
struct Lookup
{
    Lookup()
        : done(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
    {
    }
    ~Lookup() { ::close(done); }
    Lookup(const Lookup &) = delete;
    Lookup &operator=(const Lookup &) = delete;

    const int done;
    std::mutex mutex;
    std::optional<in_addr> address;
};

std::optional<in_addr> lookUpWhileWaiting(const QByteArray &name, SocketWait &wait)
{
    auto lookup = std::make_shared<Lookup>();
    if (lookup->done == -1) {
        throw EKTcpClient(QStringLiteral("ソケットを作成できませんでした。"));
    }
    std::thread([lookup, name] {
        const std::optional<in_addr> address = lookUp(name);
        const std::lock_guard lock(lookup->mutex);
        lookup->address = address;
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(lookup->done, &one, sizeof one);
    }).detach();
    if (!wait.wait(lookup->done, POLLIN)) {
        throw EKTcpClient(QStringLiteral("ホストと接続できません。") + SocketErrorText(WsaTimedOut));
    }
    const std::lock_guard lock(lookup->mutex);
    return lookup->address;
}

bool hasControlCharacter(const QString &text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.category() == QChar::Other_Control; });
}

} // namespace

std::optional<in_addr> ResolveHost(const QString &host, SocketWait *wait)
{
    const QByteArray name = encodeAnsi(host);
    const std::optional<in_addr> found = wait != nullptr ? lookUpWhileWaiting(name, *wait) : lookUp(name);
    if (found) {
        return found;
    }
    // Forms of an address that the lookup does not take. Text that is no address at all is not looked
    // up in reverse as the broadcast address that inet_addr gives for it.
    in_addr address{};
    address.s_addr = ::inet_addr(name.constData());
    if (address.s_addr != INADDR_NONE || name == "255.255.255.255") {
        return address;
    }
    return std::nullopt;
}

TKTcpClient::TKTcpClient() = default;

TKTcpClient::~TKTcpClient()
{
    Close();
}

void TKTcpClient::connectWithTimeout(const in_addr &address)
{
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(static_cast<uint16_t>(FPort & 0xFFFF));
    peer.sin_addr = address;
    int error = 0;
    if (::connect(FSocket, reinterpret_cast<const sockaddr *>(&peer), sizeof peer) == -1) {
        error = errno;
    }
    if (error == EINPROGRESS || error == EINTR) {
        if (!FWait.wait(FSocket, POLLOUT)) {
            error = ETIMEDOUT;
        } else {
            socklen_t length = sizeof error;
            if (::getsockopt(FSocket, SOL_SOCKET, SO_ERROR, &error, &length) == -1) {
                error = errno;
            }
        }
    }
    if (error != 0) {
        FErrCode = WsaErrorCode(error);
        FErrMsg = SocketErrorText(FErrCode);
        throw EKTcpClient(QStringLiteral("ホストと接続できません。") + FErrMsg);
    }
}

void TKTcpClient::StartTls()
{
    FTls = std::make_unique<TlsChannel>(FSocket, FHost, FWait);
}

void TKTcpClient::Open()
{
    if (FConnected) {
        Close();
    } else if (FSocket != -1) {
        // The socket left by a failed connection; it never carried data, so nothing is worth recording.
        FWait.detach();
        ::close(FSocket);
        FSocket = -1;
    }

    // Such a name cannot be meant: it would cut a TLS host-name check short, or a line of a protocol.
    if (hasControlCharacter(FHost)) {
        throw EKTcpClient(QStringLiteral("サーバー名に制御文字が含まれています。"));
    }
    const std::optional<in_addr> address = ResolveHost(FHost, &FWait);
    if (!address) {
        throw EKTcpClient(FHost + QStringLiteral("は存在しません。"));
    }

    // Non-blocking throughout, so that every wait goes through poll with the time-out and the cancel switch.
    FSocket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (FSocket == -1) {
        throw EKTcpClient(QStringLiteral("ソケットを作成できませんでした。"));
    }
    // Each command is one small write that waits for its reply: without this, Nagle's algorithm holds a
    // line back until the peer's delayed acknowledgement of the previous one (about 40 ms each time).
    const int noDelay = 1;
    ::setsockopt(FSocket, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
    FWait.attach(FSocket);
    FSkipLf = false;
    connectWithTimeout(*address);
    FConnected = true;
}

void TKTcpClient::Close()
{
    if (FSocket == -1) {
        return;
    }
    if (FTls) {
        if (FConnected && !FWait.isCancelled()) {
            FTls->shutdown();
        }
        FTls.reset();
    }
    FWait.detach();
    CheckSocketError(::shutdown(FSocket, SHUT_RDWR), QStringLiteral("切断に失敗しました。"));
    // The descriptor is released even when close reports an error, so it is never retried.
    CheckSocketError(::close(FSocket), QStringLiteral("ソケットが閉じられません。"));
    FConnected = false;
    FSocket = -1;
}

int TKTcpClient::CheckSocketError(int result, const QString &prefix)
{
    if (result != -1) {
        return result;
    }
    FErrCode = WsaErrorCode(errno);
    FErrMsg = prefix + SocketErrorText(FErrCode);
    if (FOnError) {
        // Close runs from the destructor too, so a throwing handler must not escape from here.
        try {
            FOnError(*this);
        } catch (...) {
        }
    }
    return result;
}

void TKTcpClient::send(const QByteArray &s)
{
    FWait.checkCancelled();
    if (FTls) {
        FTls->write(s.constData(), s.size());
        return;
    }
    const char *next = s.constData();
    qsizetype left = s.size();
    while (left > 0) {
        // MSG_NOSIGNAL: a peer that has gone away must raise the send error, not SIGPIPE the program.
        const ssize_t sent = ::send(FSocket, next, size_t(left), MSG_NOSIGNAL);
        if (sent == -1) {
            if (errno == EINTR) {
                continue;
            }
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                FWait.waitReady(FSocket, true);
                continue;
            }
            FWait.checkCancelled();
            throw EKTcpClient(SendErrorText(WsaErrorCode(errno)));
        }
        next += sent;
        left -= sent;
    }
}

QByteArray TKTcpClient::receiveBytes()
{
    QByteArray buffer(FBufSize, '\0');
    if (FTls) {
        buffer.truncate(FTls->read(buffer.data(), FBufSize - 1));
        return buffer;
    }
    ssize_t received;
    for (;;) {
        received = ::recv(FSocket, buffer.data(), size_t(FBufSize - 1), 0);
        if (received == -1 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            FWait.waitReady(FSocket, false);
            continue;
        }
        if (received != -1 || errno != EINTR) {
            break;
        }
    }
    FWait.checkCancelled();
    if (received == -1) {
        throw EKTcpClient(ReceiveErrorText(WsaErrorCode(errno)));
    }
    buffer.truncate(received);
    return buffer;
}

QString TKTcpClient::recv()
{
    return decodeAnsi(receiveBytes());
}

void TKTcpClient::SendLn(const QString &cmd, const QByteArray &eol)
{
    send(encodeAnsi(cmd + QString::fromLatin1(eol)));
}

QString TKTcpClient::RecvLn()
{
    for (;;) {
        qsizetype end = FReadBuffer.indexOf(u'\r');
        if (end < 0) {
            end = FReadBuffer.indexOf(u'\n');
        }
        if (end >= 0) {
            const QString line = FReadBuffer.left(end);
            FReadBuffer.remove(0, end);
            FSkipLf = FReadBuffer == u"\r";
            FReadBuffer.remove(0, FReadBuffer.startsWith(u"\r\n") ? 2 : 1);
            return line;
        }
        if (FReadBuffer.size() > MaxLineLength) {
            throw EKTcpClient(QStringLiteral("受信エラー:64KiBを超える行を受信しました。"));
        }

        QByteArray bytes = receiveBytes();
        if (std::exchange(FSkipLf, false) && bytes.startsWith('\n')) {
            // A CR LF cut between two receives is one line end, wherever the sender's pieces end.
            bytes.remove(0, 1);
            if (bytes.isEmpty()) {
                continue;
            }
        }
        if (bytes.isEmpty()) {
            // The peer has closed: waiting for a line end would never end.
            if (FReadBuffer.isEmpty()) {
                throw EKTcpClient(ReceiveErrorText(WsaConnectionReset));
            }
            return std::exchange(FReadBuffer, QString());
        }
        FReadBuffer += decodeAnsi(bytes);
    }
}

QString TKTcpClient::RecvLnToDot()
{
    QString text;
    for (QString line = RecvLn(); line != u"."; line = RecvLn()) {
        text += line + QStringLiteral("\r\n");
    }
    return text;
}

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

#include <cerrno>
#include <cstring>
#include <utility>

namespace {

// Windows reports a peer that has gone away as a reset; a closed connection seen by recv is the same.
constexpr int kConnectionReset = 10054;
constexpr int kTimedOut = 10060;

QString sendErrorText(int code)
{
    return QStringLiteral("送信エラー:") + QString::number(code);
}

QString receiveErrorText(int code)
{
    return QStringLiteral("受信エラー:") + QString::number(code);
}

} // namespace

QString SocketErrorText(int code)
{
    switch (code) {
    case 10000:
        return QStringLiteral("[0] No Error");
    case 10004:
        return QStringLiteral("[10004] Interrupted system call");
    case 10009:
        return QStringLiteral("[10009] Bad file number");
    case 10013:
        return QStringLiteral("[10013] Permission denied");
    case 10014:
        return QStringLiteral("[10014] Bad address");
    case 10022:
        return QStringLiteral("[10022] Invalid argument");
    case 10024:
        return QStringLiteral("[10024] Too many open files");
    case 10035:
        return QStringLiteral("[10035] Operation would block");
    case 10036:
        return QStringLiteral("[10036] Operation now in progress");
    case 10037:
        return QStringLiteral("[10037] Operation already in progress");
    case 10038:
        return QStringLiteral("[10038] Socket operation on non-socket");
    case 10039:
        return QStringLiteral("[10039] Destination address required");
    case 10040:
        return QStringLiteral("[10040] Message too long");
    case 10041:
        return QStringLiteral("[10041] Protocol wrong type for socket");
    case 10042:
        return QStringLiteral("[10042] Bad protocol option");
    case 10043:
        return QStringLiteral("[10043] Protocol not supported");
    case 10044:
        return QStringLiteral("[10044] Socket type not supported");
    case 10045:
        return QStringLiteral("[10045] Operation not supported on socket");
    case 10046:
        return QStringLiteral("[10046] Protocol family not supported");
    case 10047:
        return QStringLiteral("[10047] Address family not supported by protocol family");
    case 10048:
        return QStringLiteral("[10048] Address already in use");
    case 10049:
        return QStringLiteral("[10049] Can't assign requested address");
    case 10050:
        return QStringLiteral("[10050] Network is down");
    case 10051:
        return QStringLiteral("[10051] Network is unreachable");
    case 10052:
        return QStringLiteral("[10052] Net dropped connection or reset");
    case 10053:
        return QStringLiteral("[10053] Software caused connection abort");
    case 10054:
        return QStringLiteral("[10054] Connection reset by peer");
    case 10055:
        return QStringLiteral("[10055] No buffer space available");
    case 10056:
        return QStringLiteral("[10056] Socket is already connected");
    case 10057:
        return QStringLiteral("[10057] Socket is not connected");
    case 10058:
        return QStringLiteral("[10058] Can't send after socket shutdown");
    case 10059:
        return QStringLiteral("[10059] Too many referencescan't splice");
    case 10060:
        return QStringLiteral("[10060] 接続タイムアウト。接続先からの応答が長時間届きません。(Connection timed out)");
    case 10061:
        return QStringLiteral(
            "[10061] 接続が拒絶されました。接続先PCのポートが開いてない可能性があります。(Connection refused)");
    case 10062:
        return QStringLiteral("[10062] Too many levels of symbolic links");
    case 10063:
        return QStringLiteral("[10063] File name too long");
    case 10064:
        return QStringLiteral("[10064] Host is down");
    case 10065:
        return QStringLiteral("[10065] No Route to Host");
    case 10066:
        return QStringLiteral("[10066] Directory not empty");
    case 10067:
        return QStringLiteral("[10067] Too many processes");
    case 10068:
        return QStringLiteral("[10068] Too many users");
    case 10069:
        return QStringLiteral("[10069] Disc Quota Exceeded");
    case 10070:
        return QStringLiteral("[10070] Stale NFS file handle");
    case 10071:
        return QStringLiteral("[10071] Too many levels of remote in path");
    case 10091:
        return QStringLiteral("[10091] Network SubSystem is unavailable");
    case 10092:
        return QStringLiteral("[10092] WINSOCK DLL Version out of range");
    case 10093:
        return QStringLiteral("[10093] Successful WSASTARTUP not yet performed");
    case 11001:
        return QStringLiteral("[11001] Host not found");
    case 11002:
        return QStringLiteral("[11002] Non-Authoritative Host not found");
    case 11003:
        return QStringLiteral("[11003] Non-Recoverable errors: FORMER RREFUSED NOTIMP");
    case 11004:
        return QStringLiteral("[11004] Valid name no data record of requested type");
    default:
        return QLatin1Char('[') + QString::number(code) + QStringLiteral("] エラー");
    }
}

int WsaErrorCode(int posixErrno)
{
    switch (posixErrno) {
    case EINTR:
        return 10004;
    case EBADF:
        return 10009;
    case EACCES:
    case EPERM: // a firewall rule refusing the connection
        return 10013;
    case EFAULT:
        return 10014;
    case EINVAL:
        return 10022;
    case EMFILE:
    case ENFILE:
        return 10024;
    case EWOULDBLOCK:
#if EAGAIN != EWOULDBLOCK
    case EAGAIN:
#endif
        return 10035;
    case EINPROGRESS:
        return 10036;
    case EALREADY:
        return 10037;
    case ENOTSOCK:
        return 10038;
    case EDESTADDRREQ:
        return 10039;
    case EMSGSIZE:
        return 10040;
    case EPROTOTYPE:
        return 10041;
    case ENOPROTOOPT:
        return 10042;
    case EPROTONOSUPPORT:
        return 10043;
    case ESOCKTNOSUPPORT:
        return 10044;
    case EOPNOTSUPP:
        return 10045;
    case EPFNOSUPPORT:
        return 10046;
    case EAFNOSUPPORT:
        return 10047;
    case EADDRINUSE:
        return 10048;
    case EADDRNOTAVAIL:
        return 10049;
    case ENETDOWN:
        return 10050;
    case ENETUNREACH:
        return 10051;
    case ENETRESET:
        return 10052;
    case ECONNABORTED:
        return 10053;
    case ECONNRESET:
    // Linux reports a send to a peer that has gone away as a broken pipe; Windows calls it a reset.
    case EPIPE:
        return kConnectionReset;
    case ENOBUFS:
    case ENOMEM:
        return 10055;
    case EISCONN:
        return 10056;
    case ENOTCONN:
        return 10057;
    case ESHUTDOWN:
        return 10058;
    case ETOOMANYREFS:
        return 10059;
    case ETIMEDOUT:
        return 10060;
    case ECONNREFUSED:
        return 10061;
    case ELOOP:
        return 10062;
    case ENAMETOOLONG:
        return 10063;
    case EHOSTDOWN:
        return 10064;
    case EHOSTUNREACH:
        return 10065;
    case ENOTEMPTY:
        return 10066;
    case EUSERS:
        return 10068;
    case EDQUOT:
        return 10069;
    case ESTALE:
        return 10070;
    case EREMOTE:
        return 10071;
    default:
        return posixErrno;
    }
}

std::optional<in_addr> ResolveHost(const QString &host)
{
    const QByteArray name = encodeAnsi(host);

    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    if (::getaddrinfo(name.constData(), nullptr, &hints, &found) == 0 && found != nullptr) {
        const in_addr address = reinterpret_cast<const sockaddr_in *>(found->ai_addr)->sin_addr;
        ::freeaddrinfo(found);
        return address;
    }

    // inet_addr yields INADDR_NONE for text that is no address; that value is looked up as it comes.
    in_addr address{};
    address.s_addr = ::inet_addr(name.constData());
    const bool isDottedAddress = address.s_addr != INADDR_NONE || name == "255.255.255.255";
    sockaddr_in reverse{};
    reverse.sin_family = AF_INET;
    reverse.sin_addr = address;
    char hostName[NI_MAXHOST];
    const bool reverseFound = ::getnameinfo(reinterpret_cast<const sockaddr *>(&reverse), sizeof reverse, hostName,
                                            sizeof hostName, nullptr, 0, NI_NAMEREQD) == 0;
    if (reverseFound || isDottedAddress) {
        return address;
    }
    return std::nullopt;
}

QString ServerNameText(const QString &host)
{
    return QStringLiteral("サーバー「") + host + QStringLiteral("」");
}

ECancelled::ECancelled()
    : EKTcpClient(QStringLiteral("メール送信に失敗しました"))
{
}

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

TKTcpClient::TKTcpClient() = default;

TKTcpClient::~TKTcpClient()
{
    Close();
}

void TKTcpClient::waitReady(bool forWrite)
{
    if (FCancel && FCancel->isCancelled()) {
        throw ECancelled();
    }
    pollfd waits[2] = {{FSocket, short(forWrite ? POLLOUT : POLLIN), 0}, {-1, POLLIN, 0}};
    if (FCancel) {
        waits[1].fd = FCancel->wakeFd();
    }
    int ready;
    do {
        ready = ::poll(waits, 2, FTimeoutMs);
    } while (ready == -1 && errno == EINTR);
    if (FCancel && FCancel->isCancelled()) {
        throw ECancelled();
    }
    if (ready == 0) {
        throw EKTcpClient((forWrite ? sendErrorText : receiveErrorText)(kTimedOut));
    }
    // Ready, or an error or hang-up that the next call reports itself.
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
        try {
            waitReady(true);
        } catch (const ECancelled &) {
            throw;
        } catch (const EKTcpClient &) {
            error = ETIMEDOUT;
        }
        if (error != ETIMEDOUT) {
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
    FTls = std::make_unique<TlsChannel>(*this, FSocket, FHost);
}

void TKTcpClient::Open()
{
    if (FConnected) {
        Close();
    } else if (FSocket != -1) {
        // The socket left by a failed connection; it never carried data, so nothing is worth recording.
        if (FCancel) {
            FCancel->detach();
        }
        ::close(FSocket);
        FSocket = -1;
    }

    const std::optional<in_addr> address = ResolveHost(FHost);
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
    if (FCancel) {
        FCancel->attach(FSocket);
    }
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
        if (FConnected && !(FCancel && FCancel->isCancelled())) {
            FTls->shutdown();
        }
        FTls.reset();
    }
    if (FCancel) {
        FCancel->detach();
    }
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
    if (FCancel && FCancel->isCancelled()) {
        throw ECancelled();
    }
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
                waitReady(true);
                continue;
            }
            if (FCancel && FCancel->isCancelled()) {
                throw ECancelled();
            }
            throw EKTcpClient(sendErrorText(WsaErrorCode(errno)));
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
            waitReady(false);
            continue;
        }
        if (received != -1 || errno != EINTR) {
            break;
        }
    }
    if (FCancel && FCancel->isCancelled()) {
        throw ECancelled();
    }
    if (received == -1) {
        throw EKTcpClient(receiveErrorText(WsaErrorCode(errno)));
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
                throw EKTcpClient(receiveErrorText(kConnectionReset));
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

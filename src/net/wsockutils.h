#pragma once

#include "errors.h"

#include <QByteArray>
#include <QString>

#include <netinet/in.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

// The fixed text of a Windows Sockets error code: the rows of the socket error table, and
// "[<code>] エラー" for every other code (negative ones included).
QString SocketErrorText(int code);

// The Windows Sockets code (10004..10071) that stands for a POSIX errno value of a socket call, so the
// user sees the same texts as on the platform the program was made for. An errno without a counterpart
// comes back unchanged and so takes the general "[<code>] エラー" form.
int WsaErrorCode(int posixErrno);

// Looks the host up by name (IPv4 only); failing that, parses it as a dotted IPv4 address and looks
// that up in reverse. A valid dotted address is returned even when its reverse lookup finds no name.
std::optional<in_addr> ResolveHost(const QString &host);

// How a message names the server: "サーバー「<host>」".
QString ServerNameText(const QString &host);

// A failure of name lookup, socket creation, connection, sending or receiving, with its fixed message.
class EKTcpClient : public AppError
{
public:
    using AppError::AppError;
};

// The session was cancelled from another thread (CancelSwitch::cancel); not a failure to show.
class ECancelled final : public EKTcpClient
{
public:
    ECancelled();
};

class TlsChannel;

// Lets another thread stop a client that waits in connect, send or receive: cancel() shuts the socket
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
    friend class TKTcpClient;
    // The client's socket, shut down by cancel(); detached before the descriptor is closed so that a
    // late cancel can never reach a descriptor number that has been reused.
    void attach(int fd);
    void detach();
    int wakeFd() const { return m_event; }

    std::mutex m_mutex;
    int m_socket = -1;
    std::atomic<bool> m_cancelled = false;
    int m_event = -1;
};

// A blocking IPv4 TCP client that sends and receives text lines in code page 932. POSIX sockets need no
// start-up or clean-up; sends use MSG_NOSIGNAL, so a vanished peer is a send error and never SIGPIPE.
// One client serves one connection on one thread; the mail dialog creates one per send and destroys it
// afterwards.
// Connecting and every wait for data to send or receive end after timeoutMs (60 s by default) with the
// 10060 texts. StartTls turns the open connection into a verified TLS one; everything after it is
// encrypted.
class TKTcpClient final
{
public:
    using ErrorHandler = std::function<void(TKTcpClient &sender)>;

    // The longest line RecvLn collects before it gives up: 64 KiB of text without a line end.
    static constexpr qsizetype MaxLineLength = 64 * 1024;

    TKTcpClient();
    ~TKTcpClient();
    TKTcpClient(const TKTcpClient &) = delete;
    TKTcpClient &operator=(const TKTcpClient &) = delete;

    const QString &host() const { return FHost; }
    void setHost(const QString &host) { FHost = host; }
    // Only the low 16 bits are used when connecting.
    int port() const { return FPort; }
    void setPort(int port) { FPort = port; }
    // Received text not yet returned as a line.
    const QString &readBuffer() const { return FReadBuffer; }
    void setReadBuffer(const QString &text) { FReadBuffer = text; }
    // The last failure recorded by Close (or by a failed connection in Open).
    int errorCode() const { return FErrCode; }
    const QString &errorMsg() const { return FErrMsg; }
    const ErrorHandler &onError() const { return FOnError; }
    void setOnError(ErrorHandler handler) { FOnError = std::move(handler); }
    // Milliseconds that connecting and each wait for the peer may take; 60000 by default.
    int timeout() const { return FTimeoutMs; }
    void setTimeout(int milliseconds) { FTimeoutMs = milliseconds; }
    // A switch that another thread may throw to end the session at once; none by default.
    void setCancelSwitch(std::shared_ptr<CancelSwitch> cancel) { FCancel = std::move(cancel); }
    bool isSecure() const { return FTls != nullptr; }

    // TLS 1.2 or newer on the open connection: the server's certificate must chain to the system's
    // trust store and name Host (SNI and host-name check). A failed verification throws before any
    // application data has been sent, with a message that names what failed and the server.
    void StartTls();

    // Resolves Host, creates a socket and connects; an open connection is closed first.
    void Open();
    // Shuts the connection down and closes the socket. Never throws; failures are only recorded.
    void Close();

    // Sends every byte of s, however many sends the system needs.
    void send(const QByteArray &s);
    // One receive of at most 8191 bytes, decoded from code page 932; empty when the peer has closed.
    QString recv();
    // Sends cmd followed by eol in code page 932 (unmappable characters become "?").
    void SendLn(const QString &cmd, const QByteArray &eol = QByteArrayLiteral("\r\n"));
    // The next line without its end. A line ends at the first CR in the buffer, or at the first LF when
    // the buffer holds no CR; a CR LF pair is consumed whole. When the peer closes before a line end
    // the rest of the buffer is the last line; with nothing buffered it is a receive error (10054).
    QString RecvLn();
    // The lines up to a line that is exactly ".", each followed by CR LF; the "." line is consumed.
    QString RecvLnToDot();

private:
    int CheckSocketError(int result, const QString &prefix);
    // One receive; empty when the peer has closed the connection.
    QByteArray receiveBytes();
    // Waits until the socket can be read (or written), the time-out passes or the session is cancelled.
    // A time-out throws the receive (send) error 10060.
    void waitReady(bool forWrite);
    void connectWithTimeout(const in_addr &address);

    friend class TlsChannel;

    bool FConnected = false;
    int FPort = 80;
    QString FHost;
    int FErrCode = 0;
    QString FErrMsg;
    int FSocket = -1;
    ErrorHandler FOnError;
    int FBufSize = 8192;
    QString FReadBuffer;
    int FTimeoutMs = 60000;
    // The previous line ended with a CR that was the last byte received: an LF that opens the next
    // receive belongs to that line end.
    bool FSkipLf = false;
    std::shared_ptr<CancelSwitch> FCancel;
    std::unique_ptr<TlsChannel> FTls;
};

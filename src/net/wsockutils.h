#pragma once

#include "neterrors.h"
#include "socketwait.h"

#include <QByteArray>
#include <QString>

#include <netinet/in.h>

#include <functional>
#include <memory>
#include <optional>

// Looks the host up by name (IPv4 only); failing that, takes it as a dotted IPv4 address when it is one.
// With a wait, the lookup runs on a thread of its own and the wait's time-out and cancel switch end it
// at once: the lookup is then abandoned, and what it finds later goes nowhere. A lookup that outlasts the
// time-out throws the connection error 10060.
std::optional<in_addr> ResolveHost(const QString &host, SocketWait *wait = nullptr);

class TlsChannel;

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
    // Milliseconds that the name lookup, connecting and each wait for the peer may take; 60000 by default.
    int timeout() const { return FWait.timeout(); }
    void setTimeout(int milliseconds) { FWait.setTimeout(milliseconds); }
    // No wait goes on past `milliseconds` from now (see SocketWait::limitSession).
    void limitSession(int milliseconds) { FWait.limitSession(milliseconds); }
    // A switch that another thread may throw to end the session at once; none by default.
    void setCancelSwitch(std::shared_ptr<CancelSwitch> cancel) { FWait.setCancelSwitch(std::move(cancel)); }
    bool isSecure() const { return FTls != nullptr; }

    // TLS 1.2 or newer on the open connection: the server's certificate must chain to the system's
    // trust store and name Host (SNI and host-name check). A failed verification throws before any
    // application data has been sent, with a message that names what failed and the server.
    void StartTls();

    // Resolves Host, creates a socket and connects; an open connection is closed first. A host name with
    // a control character is refused before anything else.
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
    void connectWithTimeout(const in_addr &address);

    bool FConnected = false;
    int FPort = 80;
    QString FHost;
    int FErrCode = 0;
    QString FErrMsg;
    int FSocket = -1;
    ErrorHandler FOnError;
    int FBufSize = 8192;
    QString FReadBuffer;
    // The previous line ended with a CR that was the last byte received: an LF that opens the next
    // receive belongs to that line end.
    bool FSkipLf = false;
    SocketWait FWait;
    std::unique_ptr<TlsChannel> FTls;
};

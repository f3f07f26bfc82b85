#pragma once

#include "errors.h"

#include <QByteArray>
#include <QString>

#include <netinet/in.h>

#include <functional>
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

// A failure of name lookup, socket creation, connection, sending or receiving, with its fixed message.
class EKTcpClient final : public AppError
{
public:
    using AppError::AppError;
};

// A blocking IPv4 TCP client that sends and receives text lines in code page 932. POSIX sockets need no
// start-up or clean-up; sends use MSG_NOSIGNAL, so a vanished peer is a send error and never SIGPIPE.
// One client serves one connection on one thread; the mail dialog creates one per send and destroys it
// afterwards.
// No time-outs of its own: every call waits as long as the operating system lets it.
class TKTcpClient final
{
public:
    using ErrorHandler = std::function<void(TKTcpClient &sender)>;

    TKTcpClient() = default;
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

    bool FConnected = false;
    int FPort = 80;
    QString FHost;
    int FErrCode = 0;
    QString FErrMsg;
    int FSocket = -1;
    ErrorHandler FOnError;
    int FBufSize = 8192;
    QString FReadBuffer;
};

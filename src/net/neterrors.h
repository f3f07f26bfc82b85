#pragma once

#include "errors.h"

#include <QString>

// Windows Sockets codes the client reports itself: a peer that has gone away (a connection closed under
// a receive is the same) and a wait that ran out of time.
constexpr int WsaConnectionReset = 10054;
constexpr int WsaTimedOut = 10060;

// The fixed text of a Windows Sockets error code: the rows of the socket error table, and
// "[<code>] エラー" for every other code (negative ones included).
QString SocketErrorText(int code);

// The Windows Sockets code (10004..10071) that stands for a POSIX errno value of a socket call, so the
// user sees the same texts as on the platform the program was made for. An errno without a counterpart
// comes back unchanged and so takes the general "[<code>] エラー" form.
int WsaErrorCode(int posixErrno);

// "送信エラー:<code>" and "受信エラー:<code>": a failed send or receive, code in decimal.
QString SendErrorText(int code);
QString ReceiveErrorText(int code);

// How a message names the server: "サーバー「<host>」".
QString ServerNameText(const QString &host);

// A session that went on longer than its limit: "通信が5分以内に終わらないため中止しました。" (whole minutes,
// else seconds).
QString SessionLimitText(int milliseconds);

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

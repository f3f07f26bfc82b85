#include "neterrors.h"

#include <cerrno>

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
        return WsaConnectionReset;
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

QString SendErrorText(int code)
{
    return QStringLiteral("送信エラー:") + QString::number(code);
}

QString ReceiveErrorText(int code)
{
    return QStringLiteral("受信エラー:") + QString::number(code);
}

ECancelled::ECancelled()
    : EKTcpClient(QStringLiteral("メール送信に失敗しました"))
{
}

QString ServerNameText(const QString &host)
{
    return QStringLiteral("サーバー「") + host + QStringLiteral("」");
}

QString SessionLimitText(int milliseconds)
{
    const QString span = milliseconds % 60000 == 0 ? QStringLiteral("%1分").arg(milliseconds / 60000)
                                                   : QStringLiteral("%1秒").arg(milliseconds / 1000.0);
    return QStringLiteral("通信が") + span + QStringLiteral("以内に終わらないため中止しました。");
}

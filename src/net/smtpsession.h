#pragma once

#include "mimeparts.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <functional>
#include <memory>

class CancelSwitch;

// How the connection to the server is protected: the values stored as "Security" in setting.ini.
enum class SmtpSecurity { None = 0, SslTls = 1, StartTls = 2 };

// The security that a well-known port implies (25 plain, 465 implicit TLS, 587 STARTTLS); fallback for
// every other port.
SmtpSecurity SecurityForPort(int port, SmtpSecurity fallback);

// What the mail dialog sends: server, port (already converted; only its low 16 bits are used),
// AUTH LOGIN account, envelope addresses (unchanged, unchecked) and the body as shown.
struct SmtpRequest
{
    QString host;
    int port = 25;
    QString user;
    QString password;
    QString from;
    QString to;
    QString body;
    // Sent after the text as parts of a multipart/mixed message; none: the text alone.
    QList<MailAttachment> attachments;
    SmtpSecurity security = SmtpSecurity::None;
    // The dialog's "SMTP認証が必要". Off: a server that does not know AUTH (500, 502 or 504, as relays
    // without login answer) gets the mail without login; one that takes AUTH is still logged in to.
    bool authentication = true;
    // Connecting and each wait for a reply, in milliseconds.
    int timeoutMs = 60000;
    // The whole session, from the name lookup to the reply to QUIT, in milliseconds.
    int sessionLimitMs = 5 * 60 * 1000;
    // Thrown from another thread to end the session at once; may be null.
    std::shared_ptr<CancelSwitch> cancel;
};

enum class SmtpVerdict { Sent, Failed };

// RFC 5322 date-time in the zone of `when`, e.g. "Mon, 07 Dec 2026 20:15:03 +0900".
QString MailDate(const QDateTime &when);

// The whole message as sent after DATA, without the final "." line: Date, From, To, Subject,
// Message-ID (unique part `unique`, domain of the sender's address), MIME-Version, Content-Type and
// Content-Transfer-Encoding headers, an empty line and the ISO-2022-JP body (with attachments: the
// multipart/mixed entity of MimeBody) with every line that begins with "." doubled, ending with CR LF.
QByteArray ComposeMessage(const SmtpRequest &request, const QDateTime &date, const QString &unique);

// Runs one SMTP dialogue on a new TKTcpClient. Plain: greeting, HELO. SSL/TLS: TLS from the first
// byte, greeting, EHLO (HELO when EHLO is refused). STARTTLS: greeting, EHLO, STARTTLS (a server that
// does not offer or refuses it ends the session with an error), TLS, EHLO again. Then AUTH LOGIN with
// the account and password in Base64 (left out when authentication is off and the server answers AUTH
// with 500, 502 or 504: it has no login), MAIL FROM, RCPT TO, DATA, the message, ".", QUIT.
// Every reply is read whole by ReadSmtpReply (malformed or oversized replies are errors) and each of its
// lines goes to addLog. The account and the password each go out only after a 334 reply; any other reply
// there ends the session with an error. Other replies are never treated as failures: the dialogue runs
// to its end. Sent only when the reply to "." is 2xx and the QUIT reply contains "221".
// Fields that cannot be sent as they stand are refused first (CheckSmtpRequest). Network and TLS
// failures propagate as EKTcpClient (ECancelled when cancelled); the client is closed on every path.
// Every text field of a request, in the order of the dialog, named by the dialog's captions; throws
// EMailFieldError (mailfields.h) for the first that cannot be sent.
void CheckSmtpRequest(const SmtpRequest &request);

SmtpVerdict RunSmtpSession(const SmtpRequest &request, const std::function<void(const QString &)> &addLog);

#pragma once

#include "mimeparts.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QObject>
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
    // Connecting and each wait for a reply, in milliseconds.
    int timeoutMs = 60000;
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
// the account and password in Base64, MAIL FROM, RCPT TO, DATA, the message, ".", QUIT.
// Every reply is read whole (its "NNN-" continuation lines up to the "NNN " line) and each of its lines
// goes to addLog; replies are never treated as failures and the dialogue always runs to its end.
// Sent only when the last line of the reply to "." is 2xx and that of the QUIT reply contains "221".
// Network and TLS failures propagate as EKTcpClient (ECancelled when cancelled); the client is closed
// on every path.
SmtpVerdict RunSmtpSession(const SmtpRequest &request, const std::function<void(const QString &)> &addLog);

// One session for a worker thread: run() reports each reply line and the end through signals, which
// reach the window queued, on its own thread.
class SmtpSessionWorker final : public QObject
{
    Q_OBJECT

public:
    enum class End { Sent, NotSent, Cancelled, Failed };
    Q_ENUM(End)

    explicit SmtpSessionWorker(SmtpRequest request);

    void run();

signals:
    void replyLine(const QString &line);
    // message: the error text when Failed.
    void finished(SmtpSessionWorker::End end, const QString &message);

private:
    SmtpRequest m_request;
};

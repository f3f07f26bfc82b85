#include "smtpsession.h"

#include "base64.h"
#include "jis.h"
#include "mailfields.h"
#include "smtpreply.h"
#include "wsockutils.h"

#include <QLocale>
#include <QRegularExpression>
#include <QUuid>

namespace {

// A positive completion reply: three digits, the first one "2".
bool isPositiveCompletion(const QString &reply)
{
    return reply.size() >= 3 && reply.at(0) == u'2' && reply.at(1).isDigit() && reply.at(2).isDigit();
}

// The replies of a server without login to AUTH: command not recognised (500), not implemented (502),
// parameter not implemented (504).
bool knowsNoLogin(const QString &reply)
{
    return reply.startsWith(QStringLiteral("500")) || reply.startsWith(QStringLiteral("502")) ||
           reply.startsWith(QStringLiteral("504"));
}

bool advertises(const QStringList &ehloReply, const QString &keyword)
{
    for (const QString &line : ehloReply) {
        if (line.size() > 4 && line.mid(4).section(u' ', 0, 0).compare(keyword, Qt::CaseInsensitive) == 0) {
            return true;
        }
    }
    return false;
}

// The part after the sender's "@" when it can stand in a Message-ID; "localhost" otherwise.
QString messageIdDomain(const QString &from)
{
    static const QRegularExpression domain(QStringLiteral("^[A-Za-z0-9](?:[A-Za-z0-9.-]*[A-Za-z0-9])?$"));
    const QString part = from.section(u'@', -1).trimmed();
    return from.contains(u'@') && domain.match(part).hasMatch() ? part : QStringLiteral("localhost");
}

} // namespace

SmtpSecurity SecurityForPort(int port, SmtpSecurity fallback)
{
    switch (port) {
    case 25:
        return SmtpSecurity::None;
    case 465:
        return SmtpSecurity::SslTls;
    case 587:
        return SmtpSecurity::StartTls;
    default:
        return fallback;
    }
}

QString MailDate(const QDateTime &when)
{
    const int offsetMinutes = when.offsetFromUtc() / 60;
    const int magnitude = qAbs(offsetMinutes);
    return QLocale::c().toString(when, QStringLiteral("ddd, dd MMM yyyy hh:mm:ss ")) +
           (offsetMinutes < 0 ? u'-' : u'+') +
           QStringLiteral("%1%2")
               .arg(magnitude / 60, 2, 10, QLatin1Char('0'))
               .arg(magnitude % 60, 2, 10, QLatin1Char('0'));
}

QByteArray ComposeMessage(const SmtpRequest &request, const QDateTime &date, const QString &unique)
{
    const QString headers = QStringLiteral("Date: ") + MailDate(date) + QStringLiteral("\r\nFrom: <") + request.from +
                            QStringLiteral(">\r\nTo: <") + request.to +
                            QStringLiteral(">\r\nSubject: EasyVELUNA Plus\r\nMessage-ID: <") + unique + u'@' +
                            messageIdDomain(request.from) + QStringLiteral(">\r\nMIME-Version: 1.0\r\n");
    QByteArray message = headers.toUtf8();
    // Being 7-bit the body needs no code page. A line that begins with "." gets a second one, so that a
    // memo line "." can never end the message early; the receiver takes it off again.
    QByteArray text = ConvertToJIS(request.body);
    if (!text.endsWith("\r\n")) {
        text += "\r\n";
    }
    const QByteArray body = MimeBody(text, request.attachments, unique.toLatin1());
    qsizetype lineStart = 0;
    while (lineStart < body.size()) {
        if (body.at(lineStart) == '.') {
            message += '.';
        }
        qsizetype end = body.indexOf("\r\n", lineStart);
        end = end < 0 ? body.size() : end + 2;
        message += body.mid(lineStart, end - lineStart);
        lineStart = end;
    }
    return message;
}

void CheckSmtpRequest(const SmtpRequest &request)
{
    CheckMailField(QStringLiteral("SMTPサーバ"), request.host);
    CheckMailField(QStringLiteral("アカウント名"), request.user, FieldCharacters::Latin1);
    CheckMailField(QStringLiteral("パスワード"), request.password, FieldCharacters::Latin1);
    CheckMailField(QStringLiteral("送信元メールアドレス"), request.from);
    CheckMailField(QStringLiteral("送信先メールアドレス"), request.to);
}

SmtpVerdict RunSmtpSession(const SmtpRequest &request, const std::function<void(const QString &)> &addLog)
{
    CheckSmtpRequest(request);
    TKTcpClient client;
    client.limitSession(request.sessionLimitMs);
    client.setHost(request.host);
    client.setPort(request.port);
    client.setTimeout(request.timeoutMs);
    client.setCancelSwitch(request.cancel);
    client.Open();
    if (request.security == SmtpSecurity::SslTls) {
        client.StartTls();
    }

    // The whole reply; its last line decides.
    const auto reply = [&]() { return ReadSmtpReply(client, addLog); };
    const auto command = [&](const QString &text) {
        client.SendLn(text);
        return reply();
    };
    // Servers advertise AUTH only after EHLO; one that does not know EHLO still takes HELO.
    const auto greet = [&]() {
        if (!isPositiveCompletion(command(QStringLiteral("EHLO EasyVELUNA")).last())) {
            command(QStringLiteral("HELO EasyVELUNA"));
        }
    };

    reply();
    switch (request.security) {
    case SmtpSecurity::None:
        command(QStringLiteral("HELO EasyVELUNA"));
        break;
    case SmtpSecurity::SslTls:
        greet();
        break;
    case SmtpSecurity::StartTls: {
        const QStringList ehlo = command(QStringLiteral("EHLO EasyVELUNA"));
        if (!isPositiveCompletion(ehlo.last()) || !advertises(ehlo, QStringLiteral("STARTTLS"))) {
            throw EKTcpClient(ServerNameText(request.host) + QStringLiteral("はSTARTTLSに対応していません。"));
        }
        if (!command(QStringLiteral("STARTTLS")).last().startsWith(QStringLiteral("220"))) {
            throw EKTcpClient(ServerNameText(request.host) + QStringLiteral("がSTARTTLSを断りました。"));
        }
        // Nothing received in plain text may count as part of the protected dialogue.
        client.setReadBuffer(QString());
        client.StartTls();
        greet();
        break;
    }
    }
    // Nothing of the account goes out unless the server asks for it.
    const auto refusedLogin = [&](const QStringList &answer) {
        return EKTcpClient(ServerNameText(request.host) + QStringLiteral("がログインを断りました。(") +
                           quotedValue(answer.join(u' ')) + QLatin1Char(')'));
    };
    const QStringList authAnswer = command(QStringLiteral("AUTH LOGIN"));
    if (authAnswer.last().startsWith(QStringLiteral("334"))) {
        const QStringList userAnswer = command(Base64Encode(request.user));
        if (!userAnswer.last().startsWith(QStringLiteral("334"))) {
            throw refusedLogin(userAnswer);
        }
        command(Base64Encode(request.password));
    } else if (request.authentication || !knowsNoLogin(authAnswer.last())) {
        throw refusedLogin(authAnswer);
    }
    command(QStringLiteral("MAIL FROM:<") + request.from + QLatin1Char('>'));
    command(QStringLiteral("RCPT TO:<") + request.to + QLatin1Char('>'));
    command(QStringLiteral("DATA"));
    client.send(
        ComposeMessage(request, QDateTime::currentDateTime(), QUuid::createUuid().toString(QUuid::WithoutBraces)));
    const QString dataReply = command(QStringLiteral(".")).last();
    const QString quitReply = command(QStringLiteral("QUIT")).last();
    client.Close();

    // A rejected message with a polite QUIT is still a failure.
    return isPositiveCompletion(dataReply) && quitReply.contains(QStringLiteral("221")) ? SmtpVerdict::Sent
                                                                                        : SmtpVerdict::Failed;
}

#include "smtpsession.h"

#include "base64.h"
#include "jis.h"
#include "wsockutils.h"

namespace {

// A positive completion reply: three digits, the first one "2".
bool isPositiveCompletion(const QString &reply)
{
    return reply.size() >= 3 && reply.at(0) == u'2' && reply.at(1).isDigit() && reply.at(2).isDigit();
}

} // namespace

SmtpVerdict RunSmtpSession(const SmtpRequest &request, const std::function<void(const QString &)> &addLog)
{
    TKTcpClient client;
    client.setHost(request.host);
    client.setPort(request.port);
    client.Open();

    const auto reply = [&]() {
        QString line = client.RecvLn();
        addLog(line);
        return line;
    };
    const auto command = [&](const QString &text) {
        client.SendLn(text);
        return reply();
    };

    reply();
    command(QStringLiteral("HELO EasyVELUNA"));
    command(QStringLiteral("AUTH LOGIN"));
    command(Base64Encode(request.user));
    command(Base64Encode(request.password));
    command(QStringLiteral("MAIL FROM:<") + request.from + QLatin1Char('>'));
    command(QStringLiteral("RCPT TO:<") + request.to + QLatin1Char('>'));
    command(QStringLiteral("DATA"));
    client.SendLn(QStringLiteral("Subject: EasyVELUNA Plus"));
    client.SendLn(QString());
    // The body keeps its own CR LFs and goes out in one piece; being 7-bit it needs no code page.
    client.send(ConvertToJIS(request.body) + QByteArrayLiteral("\r\n"));
    const QString dataReply = command(QStringLiteral("."));
    const QString quitReply = command(QStringLiteral("QUIT"));
    client.Close();

    // A rejected message with a polite QUIT is still a failure.
    return isPositiveCompletion(dataReply) && quitReply.contains(QStringLiteral("221")) ? SmtpVerdict::Sent
                                                                                        : SmtpVerdict::Failed;
}

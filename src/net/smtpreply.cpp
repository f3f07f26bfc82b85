#include "smtpreply.h"

#include "wsockutils.h"

namespace {

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

bool isReplyLine(const QString &line)
{
    return line.size() >= 3 && isDigit(line[0]) && isDigit(line[1]) && isDigit(line[2]) &&
           (line.size() == 3 || line[3] == u' ' || line[3] == u'-');
}

} // namespace

QStringList ReadSmtpReply(TKTcpClient &client, const std::function<void(const QString &)> &addLog)
{
    QStringList lines;
    qsizetype size = 0;
    for (;;) {
        const QString line = client.RecvLn();
        if (!isReplyLine(line) || (!lines.isEmpty() && !line.startsWith(lines.first().first(3)))) {
            throw EKTcpClient(ServerNameText(client.host()) + QStringLiteral("から正しくない応答を受信しました。(") +
                              quotedValue(line) + QLatin1Char(')'));
        }
        if (lines.size() == MaxReplyLines) {
            throw EKTcpClient(QStringLiteral("受信エラー:%1行を超える応答を受信しました。").arg(MaxReplyLines));
        }
        size += line.size() + 2;
        if (size > MaxReplySize) {
            throw EKTcpClient(QStringLiteral("受信エラー:64KiBを超える応答を受信しました。"));
        }
        lines << line;
        addLog(line);
        if (line.size() == 3 || line[3] == u' ') {
            return lines;
        }
    }
}

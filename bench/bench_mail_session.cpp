// One mail session per request, for bench/bench-mail: reads "plain PORT" or "tls PORT" lines on stdin,
// runs a whole session to 127.0.0.1:PORT (account "user" / "secret") and prints the wall time in
// microseconds, or "error <message>". The first line it prints is the message it sends, in hex, so that
// the Python side can send the very same bytes.
#include "smtpsession.h"
#include "wsockutils.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QUuid>

#include <iostream>
#include <string>

namespace {

SmtpRequest request(SmtpSecurity security, int port)
{
    SmtpRequest r;
    r.host = QStringLiteral("127.0.0.1");
    r.port = port;
    r.user = QStringLiteral("user");
    r.password = QStringLiteral("secret");
    r.from = QStringLiteral("me@example.jp");
    r.to = QStringLiteral("you@example.jp");
    r.security = security;
    // A body of the usual size: the heading, 35 predicted days and five past first days.
    r.body = QStringLiteral("EasyVELUNA Plus\r\n\r\n※28日周期を想定\r\n");
    for (int day = 1; day <= 35; ++day) {
        r.body += QStringLiteral("2026/12/%1　妊娠しにくい日\r\n").arg(day % 28 + 1, 2, 10, QLatin1Char('0'));
    }
    r.body += QStringLiteral(
        "\r\n※過去5回の生理日\r\n2026/12/01\r\n2026/11/03\r\n2026/10/06\r\n2026/09/08\r\n2026/08/11\r\n");
    return r;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const SmtpRequest sample = request(SmtpSecurity::None, 25);
    std::cout << "message "
              << ComposeMessage(sample, QDateTime::currentDateTime(), QStringLiteral("x")).toHex().constData()
              << std::endl;
    std::string mode;
    int port = 0;
    while (std::cin >> mode >> port) {
        const SmtpRequest r = request(mode == "tls" ? SmtpSecurity::SslTls : SmtpSecurity::None, port);
        QElapsedTimer clock;
        clock.start();
        try {
            RunSmtpSession(r, [](const QString &) {});
            std::cout << clock.nsecsElapsed() / 1000 << std::endl;
        } catch (const AppError &e) {
            std::cout << "error " << e.message().toStdString() << std::endl;
        }
    }
    return 0;
}

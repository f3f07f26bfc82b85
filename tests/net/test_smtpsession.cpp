#include "base64.h"
#include "jis.h"
#include "loopbackserver.h"
#include "smtpsession.h"
#include "suites.h"
#include "wsockutils.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTest>
#include <QTimeZone>

#include <thread>

namespace {

const QList<QByteArray> kPoliteReplies{"220 mail.example ESMTP\r\n",
                                       "250 mail.example\r\n",
                                       "334 VXNlcm5hbWU6\r\n",
                                       "334 UGFzc3dvcmQ6\r\n",
                                       "235 accepted\r\n",
                                       "250 sender ok\r\n",
                                       "250 recipient ok\r\n",
                                       "354 go ahead\r\n",
                                       "250 queued\r\n",
                                       "221 bye\r\n"};

// A server that answers the greeting and then one reply per command line; after the reply to DATA it
// takes everything up to the "." line before answering. A reply may hold several lines.
LoopbackServer::Script smtpServer(QList<QByteArray> replies)
{
    return [replies = std::move(replies)](Peer &peer) {
        peer.send(replies.value(0));
        for (qsizetype i = 1; i < replies.size(); ++i) {
            const QByteArray line = peer.readLine();
            if (!line.endsWith('\n')) {
                return;
            }
            if (line == "DATA\r\n") {
                peer.send(replies.at(i));
                if (++i == replies.size()) {
                    return;
                }
                peer.readUntil("\r\n.\r\n");
            }
            peer.send(replies.at(i));
        }
        peer.readToEnd();
    };
}

SmtpRequest requestFor(int port)
{
    SmtpRequest r;
    r.host = u"127.0.0.1"_qs;
    r.port = port;
    r.user = u"taro"_qs;
    r.password = u"pa:ss"_qs;
    r.from = u"taro@example.jp"_qs;
    r.to = u"hanako@example.jp"_qs;
    r.body = u"EasyVELUNA Plus\r\n\r\n※28日周期を想定\r\n"_qs;
    return r;
}

struct SessionOutcome
{
    QStringList log;
    std::optional<SmtpVerdict> verdict;
    QString error;
};

SessionOutcome runSession(const SmtpRequest &request)
{
    SessionOutcome outcome;
    try {
        outcome.verdict = RunSmtpSession(request, [&](const QString &line) { outcome.log << line; });
    } catch (const EKTcpClient &e) {
        outcome.error = e.message();
    }
    return outcome;
}

QStringList linesOf(const QList<QByteArray> &replies)
{
    QStringList lines;
    for (const QByteArray &reply : replies) {
        lines += QString::fromLatin1(reply).split(u"\r\n"_qs, Qt::SkipEmptyParts);
    }
    return lines;
}

} // namespace

class SmtpSessionTest : public QObject
{
    Q_OBJECT

private slots:
    void session_oneLineReplies_sendsExactDialogueAndSucceeds()
    {
        LoopbackServer server(smtpServer(kPoliteReplies));
        const SmtpRequest request = requestFor(server.port());
        const SessionOutcome outcome = runSession(request);
        server.finish();
        QCOMPARE(server.failure(), QString());
        QCOMPARE(outcome.error, QString());
        QVERIFY(outcome.verdict == SmtpVerdict::Sent);
        QCOMPARE(outcome.log, linesOf(kPoliteReplies));

        const QByteArray body(
            "EasyVELUNA Plus\r\n\r\n\x1b$B\x22\x28\x1b(B28\x1b$B\x46\x7c\x3c\x7e\x34\x7c\x24\x72\x41\x5b"
            "\x44\x6a\x1b(B\r\n");
        const QByteArray head("HELO EasyVELUNA\r\n"
                              "AUTH LOGIN\r\n"
                              "dGFybw==\r\n"
                              "cGE6c3M=\r\n"
                              "MAIL FROM:<taro@example.jp>\r\n"
                              "RCPT TO:<hanako@example.jp>\r\n"
                              "DATA\r\n");
        const QByteArray received = server.received();
        QVERIFY2(received.startsWith(head), received.constData());
        // The body keeps its own last line end; "." follows at once.
        QVERIFY2(received.endsWith("\r\n\r\n" + body + ".\r\nQUIT\r\n"), received.constData());
        const QString headers = QString::fromLatin1(received.mid(head.size())).section(u"\r\n\r\n"_qs, 0, 0);
        QVERIFY2(
            QRegularExpression(u"^Date: [A-Z][a-z]{2}, \\d\\d [A-Z][a-z]{2} \\d{4} \\d\\d:\\d\\d:\\d\\d [+-]\\d{4}\r\n"
                               u"From: <taro@example.jp>\r\nTo: <hanako@example.jp>\r\nSubject: EasyVELUNA Plus\r\n"
                               u"Message-ID: <[0-9a-f-]{36}@example.jp>\r\nMIME-Version: 1.0\r\n"
                               u"Content-Type: text/plain; charset=ISO-2022-JP\r\n"
                               u"Content-Transfer-Encoding: 7bit$"_qs)
                .match(headers)
                .hasMatch(),
            qPrintable(headers));
    }

    void session_emptyAccount_stillAuthenticatesWithEmptyLines()
    {
        LoopbackServer server(smtpServer(kPoliteReplies));
        SmtpRequest request = requestFor(server.port());
        request.user.clear();
        request.password.clear();
        request.from.clear();
        const SessionOutcome outcome = runSession(request);
        server.finish();
        QVERIFY(outcome.verdict == SmtpVerdict::Sent);
        QVERIFY(server.received().startsWith("HELO EasyVELUNA\r\nAUTH LOGIN\r\n\r\n\r\nMAIL FROM:<>\r\n"));
    }

    // Only a 2xx reply to the end of the data together with "221" in the QUIT reply means sent.
    void session_verdict_data()
    {
        QTest::addColumn<QByteArray>("dataReply");
        QTest::addColumn<QByteArray>("quitReply");
        QTest::addColumn<bool>("sent");
        QTest::newRow("accepted, 221") << QByteArray("250 2.0.0 queued") << QByteArray("221 2.0.0 bye") << true;
        QTest::newRow("221 inside the reply") << QByteArray("250 ok") << QByteArray("250 closing (221)") << true;
        QTest::newRow("QUIT without 221") << QByteArray("250 ok") << QByteArray("250 bye") << false;
        QTest::newRow("message rejected, 221") << QByteArray("554 5.7.1 rejected") << QByteArray("221 bye") << false;
        QTest::newRow("temporary failure, 221") << QByteArray("451 try later") << QByteArray("221 bye") << false;
    }
    void session_verdict()
    {
        QFETCH(QByteArray, dataReply);
        QFETCH(QByteArray, quitReply);
        QFETCH(bool, sent);
        QList<QByteArray> replies = kPoliteReplies;
        replies[8] = dataReply + "\r\n";
        replies[9] = quitReply + "\r\n";
        LoopbackServer server(smtpServer(replies));
        const SessionOutcome outcome = runSession(requestFor(server.port()));
        server.finish();
        QCOMPARE(outcome.error, QString());
        QVERIFY(outcome.verdict == (sent ? SmtpVerdict::Sent : SmtpVerdict::Failed));
        QCOMPARE(outcome.log.size(), 10);
        QCOMPARE(outcome.log.last(), QString::fromLatin1(quitReply));
    }

    // Every reply is read whole before the next command goes out, whether the server sends whole lines
    // or one byte at a time (with CR and LF in separate receives).
    void session_multiLineReplies_readWhole_data()
    {
        QTest::addColumn<int>("byteGapMs");
        QTest::newRow("whole lines") << -1;
        QTest::newRow("one byte per send") << 1;
    }
    void session_multiLineReplies_readWhole()
    {
        QFETCH(int, byteGapMs);
        QList<QByteArray> replies = kPoliteReplies;
        replies[0] = "220-mail.example ESMTP\r\n220-more\r\n220 ready\r\n";
        replies[1] = "250-mail.example\r\n250 AUTH LOGIN\r\n";
        replies[8] = "250-queued\r\n250 as 42\r\n";
        replies[9] = "221-bye\r\n221\r\n";
        LoopbackServer server([&](Peer &peer) {
            // All but the last line, a pause in which the client must stay silent, then the last line.
            const auto reply = [&](const QByteArray &text) {
                const qsizetype last = text.lastIndexOf("\r\n", text.size() - 3) + 2;
                const QByteArray pieces[] = {text.left(last), text.mid(last)};
                for (const QByteArray &piece : pieces) {
                    byteGapMs < 0 ? peer.send(piece) : peer.sendBytewise(piece, byteGapMs);
                    if (&piece == &pieces[0]) {
                        Peer::pause(30);
                        if (peer.unread() != 0) {
                            throw std::runtime_error("a command came before the reply was complete");
                        }
                    }
                }
            };
            reply(replies.at(0));
            for (qsizetype i = 1; i < replies.size(); ++i) {
                peer.readLine();
                if (i == 8) {
                    peer.readUntil("\r\n.\r\n");
                }
                reply(replies.at(i));
            }
            peer.readToEnd();
        });
        const SessionOutcome outcome = runSession(requestFor(server.port()));
        server.finish();
        QCOMPARE(server.failure(), QString());
        QCOMPARE(outcome.error, QString());
        QCOMPARE(outcome.log, linesOf(replies));
        QVERIFY(outcome.verdict == SmtpVerdict::Sent);
    }

    // Servers that never finish their part: each ends the session within the time-out (300 ms here).
    void session_hostileServer_endsWithError_data()
    {
        QTest::addColumn<QList<QByteArray>>("replies");
        QTest::addColumn<int>("security");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QByteArray>("received");
        QTest::newRow("silent after connecting") << QList<QByteArray>{} << 0 << u"受信エラー:10060"_qs << QByteArray();
        QTest::newRow("silent after HELO")
            << QList<QByteArray>{"220 hi\r\n"} << 0 << u"受信エラー:10060"_qs << QByteArray("HELO EasyVELUNA\r\n");
        QTest::newRow("endless line") << QList<QByteArray>{QByteArray(70000, 'x')} << 0
                                      << u"受信エラー:64KiBを超える行を受信しました。"_qs << QByteArray();
        QTest::newRow("STARTTLS not offered")
            << QList<QByteArray>{"220 hi\r\n", "250-mail.example\r\n250 AUTH LOGIN\r\n"} << 2
            << u"サーバー「127.0.0.1」はSTARTTLSに対応していません。"_qs << QByteArray("EHLO EasyVELUNA\r\n");
        QTest::newRow("STARTTLS refused")
            << QList<QByteArray>{"220 hi\r\n", "250-mail.example\r\n250 STARTTLS\r\n", "454 4.7.0 not now\r\n"} << 2
            << u"サーバー「127.0.0.1」がSTARTTLSを断りました。"_qs << QByteArray("EHLO EasyVELUNA\r\nSTARTTLS\r\n");
    }
    void session_hostileServer_endsWithError()
    {
        QFETCH(QList<QByteArray>, replies);
        QFETCH(int, security);
        QFETCH(QString, error);
        QFETCH(QByteArray, received);
        LoopbackServer server(smtpServer(replies));
        SmtpRequest request = requestFor(server.port());
        request.security = SmtpSecurity(security);
        request.timeoutMs = 300;
        QElapsedTimer clock;
        clock.start();
        const SessionOutcome outcome = runSession(request);
        QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
        server.finish();
        QCOMPARE(outcome.error, error);
        QCOMPARE(server.received(), received);
    }

    // A cancel from another thread ends a session that waits for a silent server at once.
    void session_cancelled_endsAtOnce()
    {
        LoopbackServer server(smtpServer({"220 hi\r\n"}));
        SmtpRequest request = requestFor(server.port());
        request.cancel = std::make_shared<CancelSwitch>();
        std::thread canceller([cancel = request.cancel] {
            Peer::pause(100);
            cancel->cancel();
        });
        QElapsedTimer clock;
        clock.start();
        bool cancelled = false;
        try {
            RunSmtpSession(request, [](const QString &) {});
        } catch (const ECancelled &) {
            cancelled = true;
        }
        canceller.join();
        QVERIFY(cancelled);
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
        server.finish();
        QCOMPARE(server.received(), QByteArray("HELO EasyVELUNA\r\n"));
    }

    // The header block and the dot-stuffed body, for a fixed date and unique part.
    void composeMessage_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("body");
        QTest::addColumn<int>("offsetSeconds");
        QTest::addColumn<QByteArray>("dateAndId");
        QTest::addColumn<QByteArray>("encodedBody");
        QTest::newRow("dot lines doubled") << u"taro@example.jp"_qs << u".\r\n.hidden\r\nmid.dle\r\n..\r\n"_qs
                                           << 9 * 3600 << QByteArray("Mon, 07 Dec 2026 20:15:03 +0900|u@example.jp")
                                           << QByteArray("..\r\n..hidden\r\nmid.dle\r\n...\r\n");
        QTest::newRow("line end added, western zone")
            << u"no address"_qs << u"abc"_qs << -(3 * 3600 + 30 * 60)
            << QByteArray("Mon, 07 Dec 2026 20:15:03 -0330|u@localhost") << QByteArray("abc\r\n");
    }
    void composeMessage()
    {
        QFETCH(QString, from);
        QFETCH(QString, body);
        QFETCH(int, offsetSeconds);
        QFETCH(QByteArray, dateAndId);
        QFETCH(QByteArray, encodedBody);
        SmtpRequest request = requestFor(25);
        request.from = from;
        request.body = body;
        const QDateTime date(QDate(2026, 12, 7), QTime(20, 15, 3), QTimeZone(offsetSeconds));
        const QByteArray message = ComposeMessage(request, date, u"u"_qs);
        const QList<QByteArray> parts = dateAndId.split('|');
        QCOMPARE(message, "Date: " + parts[0] + "\r\nFrom: <" + from.toLatin1() +
                              ">\r\nTo: <hanako@example.jp>\r\nSubject: EasyVELUNA Plus\r\nMessage-ID: <" + parts[1] +
                              ">\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=ISO-2022-JP\r\n"
                              "Content-Transfer-Encoding: 7bit\r\n\r\n" +
                              encodedBody);
    }

    void session_serverClosesEarly_raisesWithoutHanging()
    {
        LoopbackServer server([](Peer &peer) {
            peer.send("220 hello\r\n");
            peer.readLine();
            peer.close();
        });
        const SessionOutcome outcome = runSession(requestFor(server.port()));
        server.finish();
        QCOMPARE(outcome.error, u"受信エラー:10054"_qs);
        QVERIFY(!outcome.verdict);
        QCOMPARE(outcome.log, QStringList{u"220 hello"_qs});
        QCOMPARE(server.received(), QByteArray("HELO EasyVELUNA\r\n"));
    }

    void session_refusedConnection_logsNothing()
    {
        ClosedPort closed;
        const SessionOutcome outcome = runSession(requestFor(closed.port()));
        QCOMPARE(outcome.error, u"ホストと接続できません。[10061] 接続が拒絶されました。"
                                u"接続先PCのポートが開いてない可能性があります。(Connection refused)"_qs);
        QVERIFY(outcome.log.isEmpty());
    }
};

int runSmtpSessionTests(int argc, char **argv)
{
    SmtpSessionTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_smtpsession.moc"

#include "base64.h"
#include "jis.h"
#include "loopbackserver.h"
#include "smtpsession.h"
#include "suites.h"
#include "wsockutils.h"

#include <QTest>

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
        QCOMPARE(server.received(), QByteArray("HELO EasyVELUNA\r\n"
                                               "AUTH LOGIN\r\n"
                                               "dGFybw==\r\n"
                                               "cGE6c3M=\r\n"
                                               "MAIL FROM:<taro@example.jp>\r\n"
                                               "RCPT TO:<hanako@example.jp>\r\n"
                                               "DATA\r\n"
                                               "Subject: EasyVELUNA Plus\r\n"
                                               "\r\n") +
                                        body +
                                        "\r\n"
                                        ".\r\n"
                                        "QUIT\r\n");
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

    // Each continuation line is taken as the reply to the next command, so the line read after QUIT
    // is the reply to the end of the data and the session cannot be called sent.
    void session_multiLineReply_shiftsDialogue()
    {
        QList<QByteArray> replies = kPoliteReplies;
        replies[1] = "250-mail.example\r\n250 AUTH LOGIN\r\n";
        LoopbackServer server(smtpServer(replies));
        const SessionOutcome outcome = runSession(requestFor(server.port()));
        server.finish();
        QCOMPARE(outcome.error, QString());
        QVERIFY(outcome.verdict == SmtpVerdict::Failed);
        QCOMPARE(outcome.log, linesOf(replies).mid(0, 10));
        QCOMPARE(outcome.log.at(8), u"354 go ahead"_qs);
        QCOMPARE(outcome.log.at(9), u"250 queued"_qs);
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

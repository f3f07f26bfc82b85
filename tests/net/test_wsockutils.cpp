#include "codepage.h"
#include "loopbackserver.h"
#include "suites.h"
#include "wsockutils.h"

#include <QElapsedTimer>
#include <QTest>

#include <arpa/inet.h>
#include <pthread.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <vector>

namespace {

const QString kRefusedText =
    QStringLiteral("[10061] 接続が拒絶されました。接続先PCのポートが開いてない可能性があります。(Connection refused)");

// Long enough for the client to be back in recv before the next piece arrives.
constexpr int kGapMs = 200;

void openLocal(TKTcpClient &client, int port)
{
    client.setHost(QStringLiteral("127.0.0.1"));
    client.setPort(port);
    client.Open();
}

QString exceptionText(const std::function<void()> &action)
{
    try {
        action();
    } catch (const EKTcpClient &e) {
        return e.message();
    }
    return QStringLiteral("(no exception)");
}

} // namespace

class WSockUtilsTest : public QObject
{
    Q_OBJECT

private slots:
    void socketErrorText_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        QTest::newRow("refused") << 10061 << kRefusedText;
        QTest::newRow("timed out") << 10060
                                   << QStringLiteral("[10060] 接続タイムアウト。接続先からの応答が長時間届きません。"
                                                     "(Connection timed out)");
        QTest::newRow("10000 brackets 0") << 10000 << QStringLiteral("[0] No Error");
        QTest::newRow("typo kept") << 10059 << QStringLiteral("[10059] Too many referencescan't splice");
        QTest::newRow("last row") << 11004 << QStringLiteral("[11004] Valid name no data record of requested type");
        QTest::newRow("zero") << 0 << QStringLiteral("[0] エラー");
        QTest::newRow("negative") << -10061 << QStringLiteral("[-10061] エラー");
        QTest::newRow("gap after 10071") << 10072 << QStringLiteral("[10072] エラー");
        QTest::newRow("gap before 11001") << 10094 << QStringLiteral("[10094] エラー");
        QTest::newRow("above table") << 11005 << QStringLiteral("[11005] エラー");
        QTest::newRow("errno without counterpart") << EIO << QStringLiteral("[5] エラー");
    }
    void socketErrorText()
    {
        QFETCH(int, code);
        QFETCH(QString, text);
        QCOMPARE(SocketErrorText(code), text);
    }

    void socketErrorText_tableHas51RowsEachLedByItsCode()
    {
        int rows = 0;
        for (int code = -1; code <= 12000; ++code) {
            const QString text = SocketErrorText(code);
            if (text.endsWith(QStringLiteral("] エラー"))) {
                continue;
            }
            ++rows;
            const QString lead = QLatin1Char('[') + QString::number(code == 10000 ? 0 : code) + QStringLiteral("] ");
            QVERIFY2(text.startsWith(lead), qPrintable(text));
        }
        QCOMPARE(rows, 51);
    }

    // Socket failures on this system must reach the user as the table's texts, not the general form.
    void wsaErrorCode_socketErrnosHaveTableTexts()
    {
        QCOMPARE(WsaErrorCode(ECONNREFUSED), 10061);
        QCOMPARE(WsaErrorCode(ETIMEDOUT), 10060);
        QCOMPARE(WsaErrorCode(ECONNRESET), 10054);
        QCOMPARE(WsaErrorCode(EPIPE), 10054);
        QCOMPARE(WsaErrorCode(EHOSTUNREACH), 10065);
        QCOMPARE(WsaErrorCode(ENETUNREACH), 10051);
        QCOMPARE(WsaErrorCode(ENOTCONN), 10057);
        const int socketErrnos[] = {EINTR,         EBADF,       EACCES,          EFAULT,       EINVAL,       EMFILE,
                                    EWOULDBLOCK,   EINPROGRESS, EALREADY,        ENOTSOCK,     EDESTADDRREQ, EMSGSIZE,
                                    EPROTOTYPE,    ENOPROTOOPT, EPROTONOSUPPORT, EOPNOTSUPP,   EAFNOSUPPORT, EADDRINUSE,
                                    EADDRNOTAVAIL, ENETDOWN,    ENETRESET,       ECONNABORTED, ENOBUFS,      EISCONN,
                                    ESHUTDOWN,     EHOSTDOWN,   ESOCKTNOSUPPORT, EPFNOSUPPORT, ETOOMANYREFS, ELOOP};
        for (const int e : socketErrnos) {
            const int code = WsaErrorCode(e);
            QVERIFY2(code >= 10004 && code <= 10071, qPrintable(QString::number(e)));
            QVERIFY2(!SocketErrorText(code).endsWith(QStringLiteral("] エラー")), qPrintable(QString::number(e)));
        }
    }

    void resolveHost()
    {
        const auto loopback = ResolveHost(QStringLiteral("localhost"));
        QVERIFY(loopback);
        QCOMPARE(ntohl(loopback->s_addr), quint32(INADDR_LOOPBACK));
        const auto dotted = ResolveHost(QStringLiteral("127.0.0.2"));
        QVERIFY(dotted);
        QCOMPARE(ntohl(dotted->s_addr), quint32(0x7F000002));
        QVERIFY(!ResolveHost(QStringLiteral("no-such-host.invalid")));
        QVERIFY(!ResolveHost(QString()));
    }

    // The server sends each piece as a receive of its own, then waits for the client's "bye": a RecvLn
    // that received once too often would block here until the server gave up.
    void recvLn_lineEnds_data()
    {
        QTest::addColumn<QList<QByteArray>>("pieces");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("one CR LF line") << QList<QByteArray>{"220 ready\r\n"} << QStringList{u"220 ready"_qs};
        QTest::newRow("two lines in one receive")
            << QList<QByteArray>{"250 a\r\n250 b\r\n"} << QStringList{u"250 a"_qs, u"250 b"_qs};
        QTest::newRow("line split over two receives") << QList<QByteArray>{"hel", "lo\r\n"} << QStringList{u"hello"_qs};
        // A CR LF cut between receives is one line end, wherever the cut falls.
        QTest::newRow("CR ends a receive, LF alone in the next")
            << QList<QByteArray>{"abc\r", "\n", "def\r\n"} << QStringList{u"abc"_qs, u"def"_qs};
        QTest::newRow("CR ends a receive, LF starts the next")
            << QList<QByteArray>{"abc\r", "\ndef\r\n"} << QStringList{u"abc"_qs, u"def"_qs};
        QTest::newRow("CR ends a receive, an empty line follows")
            << QList<QByteArray>{"abc\r", "\n\r\nx\r\n"} << QStringList{u"abc"_qs, QString(), u"x"_qs};
        QTest::newRow("LF-only lines") << QList<QByteArray>{"a\nb\n"} << QStringList{u"a"_qs, u"b"_qs};
        QTest::newRow("first CR decides over an earlier LF")
            << QList<QByteArray>{"a\nb\r\n"} << QStringList{u"a\nb"_qs};
        QTest::newRow("empty line") << QList<QByteArray>{"\r\nx\r\n"} << QStringList{QString(), u"x"_qs};
        QTest::newRow("lone CR lines") << QList<QByteArray>{"p\rq\r"} << QStringList{u"p"_qs, u"q"_qs};
        QTest::newRow("code page 932 text")
            << QList<QByteArray>{encodeAnsi(u"日本語の応答\r\n"_qs)} << QStringList{u"日本語の応答"_qs};
    }
    void recvLn_lineEnds()
    {
        QFETCH(QList<QByteArray>, pieces);
        QFETCH(QStringList, lines);
        LoopbackServer server([&](Peer &peer) {
            for (const QByteArray &piece : pieces) {
                peer.send(piece);
                Peer::pause(kGapMs);
            }
            peer.readLine();
        });
        TKTcpClient client;
        openLocal(client, server.port());
        for (const QString &expected : lines) {
            QCOMPARE(client.RecvLn(), expected);
        }
        QCOMPARE(client.readBuffer(), QString());
        client.SendLn(u"bye"_qs);
        server.finish();
        QCOMPARE(server.failure(), QString());
    }

    // The server's accept queue is full, so the handshake never completes: connecting gives up after
    // the client's time-out with the 10060 text.
    void open_noAnswer_timesOutWith10060()
    {
        const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        QVERIFY(::bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0);
        socklen_t length = sizeof address;
        ::getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length);
        QVERIFY(::listen(listener, 0) == 0);
        // Fill the queue (the kernel takes backlog + 1) with connections nobody accepts.
        std::vector<int> queued;
        for (int i = 0; i < 2; ++i) {
            queued.push_back(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0));
            ::connect(queued.back(), reinterpret_cast<sockaddr *>(&address), sizeof address);
        }
        Peer::pause(50);
        TKTcpClient client;
        client.setTimeout(300);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(exceptionText([&] { openLocal(client, ntohs(address.sin_port)); }),
                 u"ホストと接続できません。[10060] 接続タイムアウト。接続先からの応答が長時間届きません。"
                 u"(Connection timed out)"_qs);
        QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(client.errorCode(), 10060);
        for (const int fd : queued) {
            ::close(fd);
        }
        ::close(listener);
    }

    void recvLn_peerClosesMidLine_returnsPartThenFails()
    {
        LoopbackServer server([](Peer &peer) {
            peer.send("250 complete\r\npart");
            peer.close();
        });
        TKTcpClient client;
        openLocal(client, server.port());
        QCOMPARE(client.RecvLn(), u"250 complete"_qs);
        QCOMPARE(client.RecvLn(), u"part"_qs);
        QCOMPARE(client.readBuffer(), QString());
        QCOMPARE(exceptionText([&] { client.RecvLn(); }), u"受信エラー:10054"_qs);
        QCOMPARE(exceptionText([&] { client.RecvLnToDot(); }), u"受信エラー:10054"_qs);
        QCOMPARE(client.recv(), QString());
    }

    void recv_takesAtMost8191Bytes_recvLnJoinsLongLine()
    {
        const QByteArray head(9000, 'a');
        const QByteArray tail(20000, 'b');
        LoopbackServer server([&](Peer &peer) {
            peer.send(head);
            Peer::pause(kGapMs);
            peer.send(tail + "\r\nnext\r\n");
            peer.readLine();
        });
        TKTcpClient client;
        openLocal(client, server.port());
        const QString first = client.recv();
        QVERIFY(first.size() > 0 && first.size() <= 8191);
        QCOMPARE(first, QString(first.size(), u'a'));
        QCOMPARE(client.RecvLn(), QString(9000 - first.size(), u'a') + QString(20000, u'b'));
        QCOMPARE(client.RecvLn(), u"next"_qs);
        client.SendLn(QString());
    }

    void recvLnToDot_stopsAtDotLineOnly()
    {
        LoopbackServer server([](Peer &peer) {
            peer.send("first\r\n..x\r\n.y");
            Peer::pause(kGapMs);
            peer.send("\r\n\r\n.\r\nafter\r\n");
            peer.readLine();
        });
        TKTcpClient client;
        openLocal(client, server.port());
        QCOMPARE(client.RecvLnToDot(), u"first\r\n..x\r\n.y\r\n\r\n"_qs);
        QCOMPARE(client.RecvLn(), u"after"_qs);
        client.SendLn(QString());
    }

    void sendLn_bytesOnTheWire()
    {
        LoopbackServer server([](Peer &peer) { peer.readToEnd(); });
        TKTcpClient client;
        openLocal(client, server.port());
        client.SendLn(u"日本 😀"_qs);
        client.SendLn(QString());
        client.SendLn(u"x"_qs, "\n");
        client.send(QByteArray());
        client.Close();
        server.finish();
        QCOMPARE(server.received(), QByteArray("\x93\xfa\x96\x7b ?\r\n\r\nx\n"));
    }

    void open_refused_reportsCode10061_thenCloseRecordsShutdownFailure()
    {
        ClosedPort closed;
        TKTcpClient client;
        int handlerCalls = 0;
        client.setOnError([&](TKTcpClient &sender) {
            QCOMPARE(&sender, &client);
            ++handlerCalls;
        });
        QCOMPARE(exceptionText([&] { openLocal(client, closed.port()); }),
                 QStringLiteral("ホストと接続できません。") + kRefusedText);
        QCOMPARE(client.errorCode(), 10061);
        QCOMPARE(client.errorMsg(), kRefusedText);
        QCOMPARE(handlerCalls, 0);

        // The unconnected socket stays until Close, whose shutdown then fails and is only recorded.
        client.Close();
        QCOMPARE(client.errorCode(), 10057);
        QCOMPARE(client.errorMsg(), u"切断に失敗しました。[10057] Socket is not connected"_qs);
        QCOMPARE(handlerCalls, 1);
        client.Close();
        QCOMPARE(handlerCalls, 1);
    }

    void open_unresolvableHost_namesTheHost()
    {
        TKTcpClient client;
        client.setHost(u"mail.no-such-host.invalid"_qs);
        client.setPort(25);
        QCOMPARE(exceptionText([&] { client.Open(); }), u"mail.no-such-host.invalidは存在しません。"_qs);
        QCOMPARE(client.errorCode(), 0);
    }

    void open_defaultsAndPortAbove65535UsesLow16Bits()
    {
        TKTcpClient client;
        QCOMPARE(client.port(), 80);
        QCOMPARE(client.host(), QString());
        QCOMPARE(client.errorCode(), 0);
        LoopbackServer server([](Peer &peer) {
            peer.send("220 hello\r\n");
            peer.readToEnd();
        });
        openLocal(client, server.port() + 3 * 65536);
        QCOMPARE(client.RecvLn(), u"220 hello"_qs);
        client.Close();
    }

    void close_twice_closesOnceAndRecordsNothing()
    {
        LoopbackServer server([](Peer &peer) { peer.readToEnd(); });
        TKTcpClient client;
        int handlerCalls = 0;
        client.setOnError([&](TKTcpClient &) { ++handlerCalls; });
        client.Close(); // without a socket
        openLocal(client, server.port());
        client.Close();
        client.Close();
        server.finish(); // the server saw the end of the connection
        QCOMPARE(server.failure(), QString());
        QCOMPARE(client.errorCode(), 0);
        QCOMPARE(client.errorMsg(), QString());
        QCOMPARE(handlerCalls, 0);
    }

    void open_whileConnected_closesFirst()
    {
        LoopbackServer first([](Peer &peer) { peer.readToEnd(); });
        LoopbackServer second([](Peer &peer) { peer.send("220 second\r\n"); });
        TKTcpClient client;
        openLocal(client, first.port());
        client.setPort(second.port());
        client.Open();
        first.finish();
        QCOMPARE(first.failure(), QString());
        QCOMPARE(client.RecvLn(), u"220 second"_qs);
    }

    // With SIGPIPE at its default action a single raised signal would end this test program.
    void send_toClosedPeer_raisesSendErrorWithoutSigpipe()
    {
        LoopbackServer server([](Peer &peer) { peer.close(); });
        TKTcpClient client;
        openLocal(client, server.port());
        server.finish();
        const QByteArray chunk(65536, 'x');
        QString message;
        for (int attempt = 0; attempt < 100 && message.isEmpty(); ++attempt) {
            try {
                client.send(chunk);
            } catch (const EKTcpClient &e) {
                message = e.message();
            }
            Peer::pause(10);
        }
        QCOMPARE(message, u"送信エラー:10054"_qs);
    }

    // Signals without SA_RESTART interrupt the blocking send part-way; every byte must still arrive.
    void send_interruptedBySignals_deliversEveryByte()
    {
        struct sigaction action
        {
        };
        struct sigaction previous
        {
        };
        action.sa_handler = [](int) {};
        sigemptyset(&action.sa_mask);
        QVERIFY(::sigaction(SIGUSR1, &action, &previous) == 0);

        QByteArray payload(8 * 1024 * 1024, '\0');
        for (qsizetype i = 0; i < payload.size(); ++i) {
            payload[i] = char('a' + i % 23);
        }
        LoopbackServer server([](Peer &peer) { peer.readToEnd(); });
        TKTcpClient client;
        openLocal(client, server.port());

        std::atomic<bool> sending = true;
        const pthread_t sender = pthread_self();
        std::thread interrupter([&] {
            while (sending) {
                pthread_kill(sender, SIGUSR1);
                Peer::pause(1);
            }
        });
        QString error;
        try {
            client.send(payload);
        } catch (const EKTcpClient &e) {
            error = e.message();
        }
        sending = false;
        interrupter.join();
        client.Close();
        server.finish();
        ::sigaction(SIGUSR1, &previous, nullptr);

        QCOMPARE(error, QString());
        QCOMPARE(server.received().size(), payload.size());
        QVERIFY(server.received() == payload);
    }
};

int runWSockUtilsTests(int argc, char **argv)
{
    WSockUtilsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_wsockutils.moc"

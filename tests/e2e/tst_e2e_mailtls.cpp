// The real program sends its mail through implicit TLS to a local aiosmtpd whose certificate comes
// from a test authority that the program is told to trust through SSL_CERT_FILE.
#include "e2eharness.h"
#include "realsmtpserver.h"

#include <QDate>
#include <QJsonArray>
#include <QTest>

using namespace E2e;

class TestMailTls : public QObject
{
    Q_OBJECT

private:
    XServer m_x;
    QTemporaryDir m_certs;

private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(m_x.start(&error), qPrintable(error));
        QVERIFY(m_certs.isValid());
        QCOMPARE(
            QProcess::execute(QStringLiteral("/usr/bin/python3"), {QStringLiteral(TEST_CERTS_SCRIPT), m_certs.path()}),
            0);
    }

    void mailDialog_sendsThroughImplicitTls_andStoresTheChoice()
    {
        RealSmtpServer server(QStringLiteral("user"), QStringLiteral("p@ss w0rd"),
                              {QStringLiteral("--mode"), QStringLiteral("tls"), QStringLiteral("--cert"),
                               m_certs.filePath(QStringLiteral("good.pem")), QStringLiteral("--key"),
                               m_certs.filePath(QStringLiteral("good.key"))});
        QVERIFY(server.port() > 0);
        const QByteArray port = QByteArray::number(server.port());
        ProgramFolder folder;
        QVERIFY(folder.isValid());
        QVERIFY(folder.writeFile(QStringLiteral("date.dat"),
                                 QDate::currentDate().toString(QStringLiteral("yyyy/MM/dd")).toLatin1() + "\r\n"));
        const QByteArray settings = "[Mail Setting]\r\nSMTP=localhost\r\nPort=" + port +
                                    "\r\nChkSMTP=1\r\nUser=dXNlcg==\r\nPass=Y0VCemN5QjNNSEpr\r\nFrom=me@example.jp\r\n"
                                    "To=you@example.jp\r\nSecurity=1\r\n";
        QVERIFY(folder.writeFile(QStringLiteral("setting.ini"), settings));

        QProcessEnvironment trust;
        trust.insert(QStringLiteral("SSL_CERT_FILE"), m_certs.filePath(QStringLiteral("ca.pem")));
        trust.insert(QStringLiteral("SSL_CERT_DIR"), m_certs.path());
        RunningProgram program(m_x, folder.executable(), folder.path(), trust);
        QVERIFY2(program.start(), qPrintable(program.report()));
        const QString window = m_x.waitForWindow(QStringLiteral("Easy VELUNA"), 15000, &program);
        QVERIFY2(!window.isEmpty(), qPrintable(program.report()));
        QVERIFY(m_x.pressKey(window, QStringLiteral("alt+m")));
        const QString mail = m_x.waitForWindow(QStringLiteral("メール送信"), 15000, &program);
        QVERIFY2(!mail.isEmpty(), qPrintable(program.report()));
        QVERIFY(m_x.pressKey(mail, QStringLiteral("Return")));

        const QJsonObject ehlo = server.recordWith(QStringLiteral("ehlo"));
        QCOMPARE(ehlo.value(QStringLiteral("ehlo")).toString(), QStringLiteral("EasyVELUNA"));
        QVERIFY(ehlo.value(QStringLiteral("tls")).toBool());
        const QJsonObject auth = server.recordWith(QStringLiteral("auth"));
        QVERIFY(auth.value(QStringLiteral("auth")).toArray().last().toBool());
        QVERIFY(auth.value(QStringLiteral("auth_tls")).toBool());
        const QJsonObject parsed =
            server.recordWith(QStringLiteral("parsed")).value(QStringLiteral("parsed")).toObject();
        QCOMPARE(parsed.value(QStringLiteral("defects")).toArray(), QJsonArray());
        QVERIFY2(parsed.value(QStringLiteral("body")).toString().startsWith(QStringLiteral("EasyVELUNA Plus\r\n")),
                 qPrintable(parsed.value(QStringLiteral("error")).toString()));

        // The session ran to its end: the same fields are written back, the choice of security with them.
        QTRY_COMPARE_WITH_TIMEOUT(folder.readFile(QStringLiteral("setting.ini")), settings, 10000);
        QVERIFY(m_x.pressKey(mail, QStringLiteral("Escape")));
        QTRY_VERIFY_WITH_TIMEOUT(m_x.visibleWindows(QStringLiteral("メール送信")).isEmpty(), 10000);
        QVERIFY(m_x.pressKey(window, QStringLiteral("Escape")));
        QVERIFY2(program.waitForExit(10000) && program.exitCode() == 0, qPrintable(program.report()));
    }
};

QTEST_GUILESS_MAIN(TestMailTls)

#include "tst_e2e_mailtls.moc"

#include "mail.h"
#include "modalanswer.h"
#include "scriptedsmtp.h"
#include "testfiles.h"

#include "calendar.h"
#include "variable.h"

#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace {

const QString NotSent = QStringLiteral("メール送信に失敗しました");
const QByteArray StoredSettings = "[Mail Setting]\r\nSMTP=old.example.jp\r\n";
// Set in the copy of this test that runs inside its own network and mount namespace.
const char *const InNamespace = "EVELUNA_TEST_IN_NAMESPACE";

// Kilobytes of a line of /proc/self/status ("VmRSS", "VmHWM").
qint64 statusKiB(const QByteArray &field)
{
    for (const QByteArray &line : readFile(QStringLiteral("/proc/self/status")).split('\n')) {
        if (line.startsWith(field + ':')) {
            return line.mid(field.size() + 1).trimmed().split(' ').first().toLongLong();
        }
    }
    return -1;
}

} // namespace

class TestMailHostile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void hostileServer_endsSessionWithinLimits_data();
    void hostileServer_endsSessionWithinLimits();
    void pastedValue_isRefusedBeforeAnythingIsSentOrStored_data();
    void pastedValue_isRefusedBeforeAnythingIsSentOrStored();
    void tlsSession_data();
    void tlsSession();
    void nameLookupNeverAnswers_escClosesDialogAtOnce();

private:
    QLineEdit *field(const char *name) const { return m_dlg->findChild<QLineEdit *>(QString::fromLatin1(name)); }
    void fill(const QString &host, int port, int security);
    QStringList logLines() const
    {
        return memoText(m_dlg->findChild<QPlainTextEdit *>(QStringLiteral("txtLog"))).split(QStringLiteral("\r\n"));
    }
    ShownBox send();

    QTemporaryDir m_certs;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Calendar> m_engine;
    std::unique_ptr<TfrmMail> m_dlg;
};

void TestMailHostile::initTestCase()
{
    if (qEnvironmentVariableIsSet(InNamespace)) {
        return;
    }
    QCOMPARE(QProcess::execute(QStringLiteral("/usr/bin/python3"), {QStringLiteral(TEST_CERTS_SCRIPT), m_certs.path()}),
             0);
    qputenv("SSL_CERT_FILE", m_certs.filePath(QStringLiteral("ca.pem")).toLocal8Bit());
    qputenv("SSL_CERT_DIR", m_certs.path().toLocal8Bit());
}

void TestMailHostile::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    Variable::initFileLocations(m_dir->path());
    QVERIFY(writeFile(Variable::DateFilePath, "2011/03/01\r\n2011/02/01\r\n"));
    QVERIFY(writeFile(Variable::SettingFilePath, StoredSettings));
    m_engine = std::make_unique<Calendar>(Variable::DateFilePath, Variable::MemoFilePath);
    m_dlg = std::make_unique<TfrmMail>(*m_engine, QStringLiteral("28"), QStringLiteral("0"));
    m_dlg->setSessionTimeout(5000);
    m_dlg->show();
}

void TestMailHostile::cleanup()
{
    m_dlg.reset();
    m_engine.reset();
    m_dir.reset();
}

void TestMailHostile::fill(const QString &host, int port, int security)
{
    field("txtSMTP")->setText(host);
    field("txtPort")->setText(QString::number(port));
    m_dlg->findChild<QComboBox *>(QStringLiteral("cmbSecurity"))->setCurrentIndex(security);
    field("txtUser")->setText(QStringLiteral("taro"));
    field("txtPass")->setText(QStringLiteral("secret"));
    field("txtFrom")->setText(QStringLiteral("a@example.jp"));
    field("txtTo")->setText(QStringLiteral("b@example.jp"));
}

ShownBox TestMailHostile::send()
{
    return captureMessageBox([this] {
        QSignalSpy ended(m_dlg.get(), &TfrmMail::sessionEnded);
        QTest::mouseClick(m_dlg->findChild<QPushButton *>(QStringLiteral("btnMailSend")), Qt::LeftButton);
        if (m_dlg->isSending()) {
            QVERIFY(ended.wait(20000));
        }
    });
}

void TestMailHostile::hostileServer_endsSessionWithinLimits_data()
{
    QTest::addColumn<QList<QByteArray>>("replies"); // empty: nothing may connect
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("security");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QByteArray>("received");
    QTest::addColumn<int>("logLines");

    const QList<QByteArray> upToData = {"220 hi\r\n", "250 hello\r\n", "334 a\r\n", "334 b\r\n",
                                        "235 ok\r\n", "250 f\r\n",     "250 t\r\n", "354 go\r\n"};
    const auto malformed = [&](const char *row, const QByteArray &reply, const QString &quoted) {
        QTest::newRow(row) << (upToData + QList<QByteArray>{reply}) << QStringLiteral("127.0.0.1") << 0
                           << QStringLiteral("サーバー「127.0.0.1」から正しくない応答を受信しました。(%1)").arg(quoted)
                           << QByteArray(".\r\n") << (reply.startsWith("554-") ? 10 : 9);
    };
    // 100 lines are taken, the 101st ends the session.
    QTest::newRow("endless 250- reply") << QList<QByteArray>{"220 hi\r\n", QByteArray("250-flood\r\n").repeated(64)}
                                        << QStringLiteral("127.0.0.1") << 0
                                        << QStringLiteral("受信エラー:100行を超える応答を受信しました。.")
                                        << QByteArray("HELO EasyVELUNA\r\n") << 102;
    malformed("four digits", "2500 ok\r\n", QStringLiteral("2500 ok"));
    malformed("eight digits", "29999999 x\r\n", QStringLiteral("29999999 x"));
    malformed("554- then 250", "554-5.7.1 rejected\r\n250 ok\r\n", QStringLiteral("250 ok"));
    QTest::newRow("AUTH LOGIN refused")
        << QList<QByteArray>{"220 hi\r\n", "250 hello\r\n", "530 5.7.0 Must issue a STARTTLS command first\r\n"}
        << QStringLiteral("127.0.0.1") << 0
        << QStringLiteral(
               "サーバー「127.0.0.1」がログインを断りました。(530 5.7.0 Must issue a STARTTLS command first)")
        << QByteArray("HELO EasyVELUNA\r\nAUTH LOGIN\r\n") << 4;
    QTest::newRow("NUL in the server name, TLS")
        << QList<QByteArray>() << QStringLiteral("localhost") + QChar(0) + QStringLiteral(".evil") << 1
        << QStringLiteral("「SMTPサーバ」に改行や制御文字は使えません。貼り付けた文字を確かめてください。.")
        << QByteArray() << 1;
}

void TestMailHostile::hostileServer_endsSessionWithinLimits()
{
    QFETCH(QList<QByteArray>, replies);
    QFETCH(QString, host);
    QFETCH(int, security);
    QFETCH(QString, message);
    QFETCH(QByteArray, received);
    QFETCH(int, logLines);
    ListeningPort listening;
    std::unique_ptr<ScriptedSmtpServer> server;
    if (!replies.isEmpty()) {
        // The last reply comes again and again: nothing after the end of a reply may count as part of it.
        server = std::make_unique<ScriptedSmtpServer>(replies, true);
    }
    fill(host, server ? server->port() : listening.port(), security);

    // The window keeps answering: timer ticks stay close together and the log is painted.
    QElapsedTimer sinceTick;
    qint64 longestGap = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, this, [&] { longestGap = std::max(longestGap, sinceTick.restart()); });
    int paints = 0;
    auto *log = m_dlg->findChild<QPlainTextEdit *>(QStringLiteral("txtLog"));
    struct PaintCounter : QObject
    {
        int &count;
        explicit PaintCounter(int &n)
            : count(n)
        {
        }
        bool eventFilter(QObject *, QEvent *event) override
        {
            count += event->type() == QEvent::Paint;
            return false;
        }
    } counter(paints);
    log->viewport()->installEventFilter(&counter);
    const qint64 residentBefore = statusKiB("VmRSS");
    sinceTick.start();
    ticker.start(5);

    const ShownBox box = send();
    QCOMPARE(box.text, message);
    QVERIFY2(longestGap < 500, qPrintable(QString::number(longestGap)));
    QVERIFY2(statusKiB("VmHWM") - residentBefore < 100 * 1024, qPrintable(QString::number(statusKiB("VmHWM"))));
    QCOMPARE(this->logLines().size(), logLines);
    QVERIFY(logLines == 1 || paints > 0);
    if (server) {
        QVERIFY2(server->finish().endsWith(received), server->finish().right(80).constData());
    } else {
        QVERIFY(!listening.wasConnected());
    }
    QCOMPARE(readFile(Variable::SettingFilePath), StoredSettings);
}

void TestMailHostile::pastedValue_isRefusedBeforeAnythingIsSentOrStored_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("caption");
    const QString controls = QStringLiteral("」に改行や制御文字は使えません。貼り付けた文字を確かめてください。.");
    const QString wide = QStringLiteral("」に全角文字などの使えない文字が含まれています。.");
    QTest::newRow("To with CR LF and a command")
        << QStringLiteral("txtTo") << QStringLiteral("b@example.jp\r\nRCPT TO:<c@example.jp>")
        << QStringLiteral("「送信先メールアドレス") + controls;
    QTest::newRow("From with LF") << QStringLiteral("txtFrom") << QStringLiteral("a@example.jp\nBcc: c@example.jp")
                                  << QStringLiteral("「送信元メールアドレス") + controls;
    QTest::newRow("server with NUL") << QStringLiteral("txtSMTP") << QStringLiteral("127.0.0.1") + QChar(0)
                                     << QStringLiteral("「SMTPサーバ") + controls;
    QTest::newRow("port with CR LF") << QStringLiteral("txtPort") << QStringLiteral("25\r\n")
                                     << QStringLiteral("「ポート番号") + controls;
    QTest::newRow("Japanese account") << QStringLiteral("txtUser") << QStringLiteral("山田太郎")
                                      << QStringLiteral("「アカウント名") + wide;
    QTest::newRow("password beyond U+00FF")
        << QStringLiteral("txtPass") << QStringLiteral("pässwörd✓") << QStringLiteral("「パスワード") + wide;
}

void TestMailHostile::pastedValue_isRefusedBeforeAnythingIsSentOrStored()
{
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(QString, caption);
    ListeningPort listening;
    fill(QStringLiteral("127.0.0.1"), listening.port(), 0);
    auto *box = m_dlg->findChild<QLineEdit *>(field);
    box->clear();
    QGuiApplication::clipboard()->setText(value);
    box->paste();
    QCOMPARE(box->text(), value);

    QCOMPARE(send().text, caption);
    QVERIFY(!m_dlg->isSending());
    QVERIFY(!listening.wasConnected());
    QCOMPARE(logLines(), QStringList{QString()});
    QCOMPARE(readFile(Variable::SettingFilePath), StoredSettings);
}

void TestMailHostile::tlsSession_data()
{
    QTest::addColumn<QList<QByteArray>>("replies");
    QTest::addColumn<bool>("cancel"); // Esc once the greeting is logged
    QTest::addColumn<QString>("verdict");
    QTest::addColumn<QByteArray>("received");
    QTest::newRow("EHLO refused, HELO taken")
        << QList<QByteArray>{"220 hi\r\n",    "502 5.5.1 no EHLO\r\n",
                             "250 hello\r\n", "334 a\r\n",
                             "334 b\r\n",     "235 ok\r\n",
                             "250 f\r\n",     "250 t\r\n",
                             "354 go\r\n",    "250 queued\r\n",
                             "221 bye\r\n"}
        << false << QStringLiteral("メールを送信しました")
        << QByteArray("EHLO EasyVELUNA\r\nHELO EasyVELUNA\r\nAUTH LOGIN\r\ndGFybw==\r\nc2VjcmV0\r\n");
    QTest::newRow("cancel while waiting for the EHLO reply")
        << QList<QByteArray>{"220 hi\r\n", QByteArray()} << true << NotSent << QByteArray("EHLO EasyVELUNA\r\n");
}

void TestMailHostile::tlsSession()
{
    QFETCH(QList<QByteArray>, replies);
    QFETCH(bool, cancel);
    QFETCH(QString, verdict);
    QFETCH(QByteArray, received);
    ScriptedSmtpServer server(replies);
    QProcess front;
    front.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    front.start(QStringLiteral("/usr/bin/python3"),
                {QStringLiteral(TLS_FRONT_SCRIPT), m_certs.filePath(QStringLiteral("good.pem")),
                 m_certs.filePath(QStringLiteral("good.key")), QString::number(server.port())});
    QVERIFY(front.waitForReadyRead(10000));
    fill(QStringLiteral("localhost"), front.readLine().trimmed().toInt(), 1);

    const ShownBox box = captureMessageBox([&] {
        QSignalSpy ended(m_dlg.get(), &TfrmMail::sessionEnded);
        QTest::mouseClick(m_dlg->findChild<QPushButton *>(QStringLiteral("btnMailSend")), Qt::LeftButton);
        if (cancel) {
            QTRY_COMPARE(logLines().size(), 2);
            QTest::keyClick(m_dlg.get(), Qt::Key_Escape);
        }
        QVERIFY(ended.count() == 1 || ended.wait(20000));
    });
    QCOMPARE(box.count, 0);
    QCOMPARE(logLines().value(1), QStringLiteral("220 hi"));
    QCOMPARE(logLines().last(), verdict);
    QVERIFY2(server.finish().startsWith(received), server.finish().constData());
    QVERIFY(front.waitForFinished(10000));
}

// The copy of this test inside the namespace does the work; this one makes the namespace with unshare.
void TestMailHostile::nameLookupNeverAnswers_escClosesDialogAtOnce()
{
    if (!qEnvironmentVariableIsSet(InNamespace)) {
        const QStringList unshare = {QStringLiteral("--user"), QStringLiteral("--map-root-user"),
                                     QStringLiteral("--net"), QStringLiteral("--mount")};
        QProcess probe;
        probe.start(QStringLiteral("unshare"), unshare + QStringList{QStringLiteral("true")});
        if (!probe.waitForFinished(10000) || probe.exitStatus() != QProcess::NormalExit || probe.exitCode() != 0) {
            QSKIP(qPrintable(QStringLiteral("unshare cannot make a user, network and mount namespace here: ") +
                             QString::fromLocal8Bit(probe.readAllStandardError()).trimmed()));
        }
        QProcess copy;
        copy.setProcessChannelMode(QProcess::MergedChannels);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QString::fromLatin1(InNamespace), QStringLiteral("1"));
        copy.setProcessEnvironment(environment);
        copy.start(QStringLiteral("unshare"), unshare + QStringList{QCoreApplication::applicationFilePath(),
                                                                    QString::fromLatin1(QTest::currentTestFunction())});
        QVERIFY(copy.waitForFinished(60000));
        QVERIFY2(copy.exitCode() == 0, copy.readAll().constData());
        return;
    }

    // Inside: the loopback interface up, a name server on 127.0.0.1 that takes queries and never answers.
    const int control = ::socket(AF_INET, SOCK_DGRAM, 0);
    ifreq loopback{};
    std::strcpy(loopback.ifr_name, "lo");
    loopback.ifr_flags = IFF_UP | IFF_LOOPBACK | IFF_RUNNING;
    QCOMPARE(::ioctl(control, SIOCSIFFLAGS, &loopback), 0);
    const int silent = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in dns{};
    dns.sin_family = AF_INET;
    dns.sin_port = htons(53);
    dns.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    QCOMPARE(::bind(silent, reinterpret_cast<sockaddr *>(&dns), sizeof dns), 0);
    const QString resolvConf = m_dir->filePath(QStringLiteral("resolv.conf"));
    QVERIFY(writeFile(resolvConf, "nameserver 127.0.0.1\noptions timeout:30 attempts:1\n"));
    QCOMPARE(::mount(QFile::encodeName(resolvConf).constData(), "/etc/resolv.conf", nullptr, MS_BIND, nullptr), 0);

    fill(QStringLiteral("mail.never-answers.test"), 25, 0);
    QTest::mouseClick(m_dlg->findChild<QPushButton *>(QStringLiteral("btnMailSend")), Qt::LeftButton);
    QTest::qWait(300);
    QVERIFY(m_dlg->isSending());
    QElapsedTimer clock;
    clock.start();
    QTest::keyClick(m_dlg.get(), Qt::Key_Escape);
    QVERIFY(!m_dlg->isVisible());
    m_dlg.reset();
    QVERIFY2(clock.elapsed() < 300, qPrintable(QString::number(clock.elapsed())));
    ::close(silent);
    ::close(control);
}

QTEST_MAIN(TestMailHostile)
#include "tst_mailhostile.moc"

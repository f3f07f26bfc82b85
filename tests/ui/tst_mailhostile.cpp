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
#include <sys/ioctl.h>
#include <sys/mount.h>

#include <cstring>

namespace {

const QString Sent = QStringLiteral("メールを送信しました");
const QString NotSent = QStringLiteral("メール送信に失敗しました");
const QByteArray StoredSettings = "[Mail Setting]\r\nSMTP=old.example.jp\r\nUser=dGFybw==\r\nPass=YzJWamNtVjA=\r\n"
                                  "From=a@example.jp\r\nTo=b@example.jp\r\n";
// Set in the copy of this test that runs inside its own network and mount namespace.
const char *const InNamespace = "EVELUNA_TEST_IN_NAMESPACE";

qint64 statusKiB(const QByteArray &field) // a line of /proc/self/status: "VmRSS", "VmHWM"
{
    const QByteArray status = readFile(QStringLiteral("/proc/self/status"));
    return status.mid(status.indexOf(field + ':') + field.size() + 1).trimmed().split(' ').first().toLongLong();
}

} // namespace

class TestMailHostile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup() { m_dlg.reset(); }
    void session_data();
    void session();
    void nameLookupNeverAnswers_escClosesDialogAtOnce();

private:
    template<typename T = QLineEdit> T *control(const char *name) const
    {
        return m_dlg->findChild<T *>(QString::fromLatin1(name));
    }
    // Without a session bus a send that ran to its end logs where the password went (tst_mailkeyring).
    QStringList logLines() const
    {
        QStringList lines = memoText(control<QPlainTextEdit>("txtLog")).split(QStringLiteral("\r\n"));
        lines.removeIf([](const QString &line) { return line.startsWith(u"キーリングを使えないため"_qs); });
        return lines;
    }

    QTemporaryDir m_certs;
    QTemporaryDir m_dir;
    std::unique_ptr<Calendar> m_engine;
    std::unique_ptr<TfrmMail> m_dlg;
};

void TestMailHostile::initTestCase()
{
    Variable::initFileLocations(m_dir.path());
    QVERIFY(writeFile(Variable::DateFilePath, "2011/03/01\r\n2011/02/01\r\n"));
    m_engine = std::make_unique<Calendar>(Variable::DateFilePath, Variable::MemoFilePath);
    if (!qEnvironmentVariableIsSet(InNamespace)) {
        QCOMPARE(QProcess::execute(QStringLiteral("python3"), {QStringLiteral(TEST_CERTS_SCRIPT), m_certs.path()}), 0);
        qputenv("SSL_CERT_FILE", m_certs.filePath(QStringLiteral("ca.pem")).toLocal8Bit());
    }
}

void TestMailHostile::init()
{
    QVERIFY(writeFile(Variable::SettingFilePath, StoredSettings));
    m_dlg = std::make_unique<TfrmMail>(*m_engine, QStringLiteral("28"), QStringLiteral("0"));
    m_dlg->setSessionTimeout(5000);
    m_dlg->show();
}

// One scripted server per row (none: the port refuses), behind a TLS front for security 1. The last
// reply comes again and again, so nothing after the end of a reply may be taken as part of it.
void TestMailHostile::session_data()
{
    QTest::addColumn<QList<QByteArray>>("replies");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("security");
    QTest::addColumn<QString>("field"); // pasted into just before the send
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("log");     // number of lines, then the last one
    QTest::addColumn<QByteArray>("received"); // the end of what the server got

    const QList<QByteArray> upToData = {"220 hi\r\n", "250 hello\r\n", "334 a\r\n", "334 b\r\n",
                                        "235 ok\r\n", "250 f\r\n",     "250 t\r\n", "354 go\r\n"};
    const auto row = [&](const char *name, QList<QByteArray> replies, QString message, QStringList log,
                         QByteArray received, QString host = QStringLiteral("127.0.0.1"), int security = 0) {
        QTest::newRow(name) << replies << host << security << QString() << QString() << message << log << received;
    };
    row("endless 250- reply", {"220 hi\r\n", QByteArray("250-flood\r\n").repeated(64)},
        QStringLiteral("受信エラー:100行を超える応答を受信しました。."), {u"102"_qs, u"250-flood"_qs},
        "HELO EasyVELUNA\r\n");
    for (const auto &[reply, quoted, logged] :
         {std::tuple{"2500 ok\r\n", "2500 ok", QStringList{u"9"_qs, u"354 go"_qs}},
          {"29999999 x\r\n", "29999999 x", QStringList{u"9"_qs, u"354 go"_qs}},
          {"554-5.7.1 rejected\r\n250 ok\r\n", "250 ok", QStringList{u"10"_qs, u"554-5.7.1 rejected"_qs}}}) {
        row(QByteArray(reply).replace("\r\n", " ").trimmed().constData(), upToData + QList<QByteArray>{reply},
            QStringLiteral("サーバー「127.0.0.1」から正しくない応答を受信しました。(%1)").arg(QLatin1String(quoted)),
            logged, ".\r\n");
    }
    row("AUTH LOGIN refused", {"220 hi\r\n", "250 hello\r\n", "530 5.7.0 Must issue a STARTTLS command first\r\n"},
        QStringLiteral("サーバー「127.0.0.1」がログインを断りました。(530 5.7.0 Must issue a STARTTLS command first)"),
        {u"4"_qs, u"530 5.7.0 Must issue a STARTTLS command first"_qs}, "HELO EasyVELUNA\r\nAUTH LOGIN\r\n");
    const QString controls = QStringLiteral("」に改行や制御文字は使えません。貼り付けた文字を確かめてください。.");
    row("NUL in the server name, TLS", {}, QStringLiteral("「SMTPサーバ") + controls, {u"1"_qs, QString()}, {},
        QStringLiteral("localhost") + QChar(0) + QStringLiteral(".evil"), 1);
    row("EHLO refused on TLS, HELO taken",
        {"220 hi\r\n", "502 5.5.1 no EHLO\r\n", "250 hello\r\n", "334 a\r\n", "334 b\r\n", "235 ok\r\n", "250 f\r\n",
         "250 t\r\n", "354 go\r\n", "250 queued\r\n", "221 bye\r\n"},
        QString(), {u"13"_qs, Sent}, "QUIT\r\n", QStringLiteral("localhost"), 1);
    // Silence after the greeting: Esc once it is logged.
    row("cancel in a TLS receive", {"220 hi\r\n", {}}, QString(), {u"3"_qs, NotSent}, "EHLO EasyVELUNA\r\n",
        QStringLiteral("localhost"), 1);

    const QString wide = QStringLiteral("」に全角文字などの使えない文字が含まれています。.");
    for (const auto &[field, caption, value] :
         {std::tuple{"txtTo", u"「送信先メールアドレス"_qs + controls, u"b@example.jp\r\nRCPT TO:<c@example.jp>"_qs},
          {"txtFrom", u"「送信元メールアドレス"_qs + controls, u"a@example.jp\nBcc: c@example.jp"_qs},
          {"txtSMTP", u"「SMTPサーバ"_qs + controls, u"127.0.0.1"_qs + QChar(0)},
          {"txtPort", u"「ポート番号"_qs + controls, u"25\r\n"_qs},
          {"txtUser", u"「アカウント名"_qs + wide, u"山田太郎"_qs},
          {"txtPass", u"「パスワード"_qs + wide, u"pässwörd✓"_qs}}) {
        QTest::newRow(field) << QList<QByteArray>() << u"127.0.0.1"_qs << 0 << QString::fromLatin1(field) << value
                             << caption << QStringList{u"1"_qs, QString()} << QByteArray();
    }
}

void TestMailHostile::session()
{
    QFETCH(QList<QByteArray>, replies);
    QFETCH(QString, host);
    QFETCH(int, security);
    QFETCH(QString, field);
    QFETCH(QString, pasted);
    QFETCH(QString, message);
    QFETCH(QStringList, log);
    QFETCH(QByteArray, received);
    RefusingPort refusing;
    std::unique_ptr<ScriptedSmtpServer> server;
    QProcess front;
    int port = refusing.port();
    if (!replies.isEmpty()) {
        server = std::make_unique<ScriptedSmtpServer>(replies, true);
        port = server->port();
    }
    if (server && security == 1) {
        front.start(QStringLiteral("python3"), {QStringLiteral(TLS_FRONT_SCRIPT), m_certs.filePath(u"good.pem"_qs),
                                                m_certs.filePath(u"good.key"_qs), QString::number(port)});
        QVERIFY(front.waitForReadyRead(10000));
        port = front.readLine().trimmed().toInt();
    }
    control("txtSMTP")->setText(host);
    control("txtPort")->setText(QString::number(port));
    control<QComboBox>("cmbSecurity")->setCurrentIndex(security);
    if (!field.isEmpty()) {
        control(qPrintable(field))->clear();
        QGuiApplication::clipboard()->setText(pasted);
        control(qPrintable(field))->paste();
    }

    // The window keeps answering (timer ticks stay close together) and memory stays bounded.
    QElapsedTimer sinceTick;
    qint64 longestGap = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, this, [&] { longestGap = std::max(longestGap, sinceTick.restart()); });
    const qint64 residentBefore = statusKiB("VmRSS");
    sinceTick.start();
    ticker.start(5);
    const ShownBox box = captureMessageBox([&] {
        QSignalSpy ended(m_dlg.get(), &TfrmMail::sessionEnded);
        QTest::mouseClick(control<QPushButton>("btnMailSend"), Qt::LeftButton);
        if (!replies.isEmpty() && replies.last().isEmpty()) {
            QTRY_COMPARE(logLines().size(), 2);
            QTest::keyClick(m_dlg.get(), Qt::Key_Escape);
        }
        QVERIFY(!m_dlg->isSending() || ended.wait(20000));
    });
    QCOMPARE(box.text, message);
    QVERIFY2(longestGap < 500, qPrintable(QString::number(longestGap)));
    QVERIFY2(statusKiB("VmHWM") - residentBefore < 100 * 1024, qPrintable(QString::number(statusKiB("VmHWM"))));
    QCOMPARE(QString::number(logLines().size()), log.first());
    QCOMPARE(logLines().last(), log.last());
    if (server) {
        QVERIFY2(server->finish().endsWith(received), server->finish().right(80).constData());
    }
    QVERIFY(log.last() == Sent || readFile(Variable::SettingFilePath) == StoredSettings);
}

// This copy makes the namespace with unshare and runs a copy of itself there, which does the work.
void TestMailHostile::nameLookupNeverAnswers_escClosesDialogAtOnce()
{
    if (!qEnvironmentVariableIsSet(InNamespace)) {
        const QStringList unshare = {u"--user"_qs, u"--map-root-user"_qs, u"--net"_qs, u"--mount"_qs};
        QProcess copy;
        copy.setProcessChannelMode(QProcess::MergedChannels);
        copy.start(QStringLiteral("unshare"),
                   unshare + QStringList{u"env"_qs, QString::fromLatin1(InNamespace) + u"=1"_qs,
                                         QCoreApplication::applicationFilePath(),
                                         QString::fromLatin1(QTest::currentTestFunction())});
        QVERIFY(copy.waitForFinished(60000));
        const QByteArray output = copy.readAll();
        if (output.startsWith("unshare:")) {
            QSKIP("unshare cannot make a user, network and mount namespace here: " + output.trimmed());
        }
        QVERIFY2(copy.exitCode() == 0, output.constData());
        return;
    }
    // Inside: loopback up, and a name server on 127.0.0.1 that takes every query and never answers.
    ifreq loopback{};
    std::strcpy(loopback.ifr_name, "lo");
    loopback.ifr_flags = IFF_UP | IFF_LOOPBACK | IFF_RUNNING;
    QCOMPARE(::ioctl(::socket(AF_INET, SOCK_DGRAM, 0), SIOCSIFFLAGS, &loopback), 0);
    sockaddr_in dns{sa_family_t(AF_INET), htons(53), {htonl(INADDR_LOOPBACK)}, {}};
    QCOMPARE(::bind(::socket(AF_INET, SOCK_DGRAM, 0), reinterpret_cast<sockaddr *>(&dns), sizeof dns), 0);
    const QString resolvConf = m_dir.filePath(QStringLiteral("resolv.conf"));
    QVERIFY(writeFile(resolvConf, "nameserver 127.0.0.1\noptions timeout:30 attempts:1\n"));
    QCOMPARE(::mount(QFile::encodeName(resolvConf).constData(), "/etc/resolv.conf", nullptr, MS_BIND, nullptr), 0);

    control("txtSMTP")->setText(QStringLiteral("mail.never-answers.test"));
    QTest::mouseClick(control<QPushButton>("btnMailSend"), Qt::LeftButton);
    QTest::qWait(300);
    QVERIFY(m_dlg->isSending());
    QElapsedTimer clock;
    clock.start();
    QTest::keyClick(m_dlg.get(), Qt::Key_Escape);
    QVERIFY(!m_dlg->isVisible());
    m_dlg.reset();
    QVERIFY2(clock.elapsed() < 300, qPrintable(QString::number(clock.elapsed())));
}

QTEST_MAIN(TestMailHostile)
#include "tst_mailhostile.moc"

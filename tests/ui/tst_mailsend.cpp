#include "icscheck.h"
#include "mail.h"
#include "modalanswer.h"
#include "realsmtpserver.h"
#include "scriptedsmtp.h"
#include "testfiles.h"

#include "calendar.h"
#include "variable.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

const QString Sent = QStringLiteral("メールを送信しました");
const QString NotSent = QStringLiteral("メール送信に失敗しました");
// The line logged after a send without a session bus: the password went to setting.ini.
const QString KeyringNote = QStringLiteral("キーリングを使えないため");

template<typename T> T *control(QWidget *dialog, const char *name)
{
    return dialog->findChild<T *>(QString::fromLatin1(name));
}

QString b64(const QString &text)
{
    return QString::fromLatin1(text.toLatin1().toBase64());
}

const QStringList MessageHeaders = {QStringLiteral("Date"),         QStringLiteral("From"),
                                    QStringLiteral("To"),           QStringLiteral("Subject"),
                                    QStringLiteral("Message-ID"),   QStringLiteral("MIME-Version"),
                                    QStringLiteral("Content-Type"), QStringLiteral("Content-Transfer-Encoding")};

} // namespace

class TestMailSend : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void realServer_deliversBodyLogsRepliesAndStoresSettings();
    void realServer_refusedLogin_isLoggedAndSessionGoesOn();
    void realServer_calendarAttachment_keepsTextPartAndParses();

    void scriptedServer_verdict_data();
    void scriptedServer_verdict();
    void scriptedServer_authOffWithEmptyFields_stillSendsAuthLoginAndEmptyLines();
    void sessionFailure_showsErrorAndStoresNothing_data();
    void sessionFailure_showsErrorAndStoresNothing();

    void tlsServer_deliversOverVerifiedTls_data();
    void tlsServer_deliversOverVerifiedTls();
    void tlsServer_failedVerification_sendsNoAccountData_data();
    void tlsServer_failedVerification_sendsNoAccountData();
    void silentServer_timesOutWhileTheWindowStaysAlive();
    void closingDuringSession_cancelsAtOnceAndStoresNothing_data();
    void closingDuringSession_cancelsAtOnceAndStoresNothing();

private:
    // Opens the dialog over a date.dat of two days; the log watcher notes the state of btnClose each
    // time a line is logged.
    std::unique_ptr<TfrmMail> openDialog();
    void fill(const QString &host, const QString &port, bool authentication, const QString &user,
              const QString &password, const QString &from, const QString &to);
    // Presses btnMailSend and waits for the session to end; the text of the error box that followed, if any.
    ShownBox send();
    QStringList logLines() const;
    QString certificate(const QString &name) const { return m_certs.filePath(name); }
    // The parsed message of a server record: no defects, the headers in order, the body of txtKekka.
    void verifyWellFormed(const QJsonObject &message, const QString &from, const QString &to);

    QTemporaryDir m_certs;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Calendar> m_engine;
    std::unique_ptr<TfrmMail> m_dlg;
    QList<bool> m_sendEnabledWhileLogging;
};

void TestMailSend::initTestCase()
{
    QVERIFY(m_certs.isValid());
    QCOMPARE(QProcess::execute(QStringLiteral("/usr/bin/python3"), {QStringLiteral(TEST_CERTS_SCRIPT), m_certs.path()}),
             0);
    // OpenSSL's default trust store gives way to the test authority alone.
    qputenv("SSL_CERT_FILE", certificate(QStringLiteral("ca.pem")).toLocal8Bit());
    qputenv("SSL_CERT_DIR", m_certs.path().toLocal8Bit());
}

void TestMailSend::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    Variable::initFileLocations(m_dir->path());
    QVERIFY(writeFile(Variable::DateFilePath, "2011/03/01\r\n2011/02/01\r\n"));
    m_engine = std::make_unique<Calendar>(Variable::DateFilePath, Variable::MemoFilePath);
    m_dlg = openDialog();
    m_sendEnabledWhileLogging.clear();
}

void TestMailSend::cleanup()
{
    m_dlg.reset();
    m_engine.reset();
    m_dir.reset();
}

std::unique_ptr<TfrmMail> TestMailSend::openDialog()
{
    auto dlg = std::make_unique<TfrmMail>(*m_engine, QStringLiteral("28"), QStringLiteral("0"));
    auto *sendButton = control<QPushButton>(dlg.get(), "btnMailSend");
    auto *log = control<QPlainTextEdit>(dlg.get(), "txtLog");
    connect(log, &QPlainTextEdit::textChanged, this, [this, sendButton, log] {
        if (!log->toPlainText().section(u'\n', -1).startsWith(KeyringNote)) {
            m_sendEnabledWhileLogging << sendButton->isEnabled();
        }
    });
    dlg->setSessionTimeout(5000);
    dlg->show();
    return dlg;
}

void TestMailSend::fill(const QString &host, const QString &port, bool authentication, const QString &user,
                        const QString &password, const QString &from, const QString &to)
{
    control<QLineEdit>(m_dlg.get(), "txtSMTP")->setText(host);
    control<QLineEdit>(m_dlg.get(), "txtPort")->setText(port);
    auto *box = control<QCheckBox>(m_dlg.get(), "ChkSMTP");
    if (box->isChecked() != authentication) {
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
    }
    control<QLineEdit>(m_dlg.get(), "txtUser")->setText(user);
    control<QLineEdit>(m_dlg.get(), "txtPass")->setText(password);
    control<QLineEdit>(m_dlg.get(), "txtFrom")->setText(from);
    control<QLineEdit>(m_dlg.get(), "txtTo")->setText(to);
}

ShownBox TestMailSend::send()
{
    return captureMessageBox([this] {
        QSignalSpy ended(m_dlg.get(), &TfrmMail::sessionEnded);
        QTest::mouseClick(control<QPushButton>(m_dlg.get(), "btnMailSend"), Qt::LeftButton);
        if (m_dlg->isSending()) {
            QVERIFY(ended.wait(20000));
        }
    });
}

void TestMailSend::verifyWellFormed(const QJsonObject &message, const QString &from, const QString &to)
{
    const QJsonObject parsed = message.value(QStringLiteral("parsed")).toObject();
    QCOMPARE(parsed.value(QStringLiteral("error")).toString(), QString());
    QCOMPARE(parsed.value(QStringLiteral("defects")).toArray(), QJsonArray());
    QStringList names;
    QMap<QString, QString> values;
    for (const QJsonValue &header : parsed.value(QStringLiteral("headers")).toArray()) {
        names << header.toArray().at(0).toString();
        values[names.last()] = header.toArray().at(1).toString();
    }
    QCOMPARE(names, MessageHeaders);
    QCOMPARE(values[QStringLiteral("From")], from);
    QCOMPARE(values[QStringLiteral("To")], to);
    QCOMPARE(values[QStringLiteral("Subject")], QStringLiteral("EasyVELUNA Plus"));
    QVERIFY2(values[QStringLiteral("Message-ID")].endsWith(u'@' + from.section(u'@', -1) + u'>'),
             qPrintable(values[QStringLiteral("Message-ID")]));
    QCOMPARE(values[QStringLiteral("Content-Type")], QStringLiteral("text/plain; charset=\"ISO-2022-JP\""));
    // A date the receiver reads back: the weekday and month names of RFC 5322 and a numeric zone.
    QVERIFY2(QRegularExpression(QStringLiteral("^(Mon|Tue|Wed|Thu|Fri|Sat|Sun), \\d\\d (Jan|Feb|Mar|Apr|May|Jun|Jul|"
                                               "Aug|Sep|Oct|Nov|Dec) \\d{4} \\d\\d:\\d\\d:\\d\\d [+-]\\d{4}$"))
                 .match(values[QStringLiteral("Date")])
                 .hasMatch(),
             qPrintable(values[QStringLiteral("Date")]));
    QCOMPARE(parsed.value(QStringLiteral("body")).toString(),
             memoText(control<QPlainTextEdit>(m_dlg.get(), "txtKekka")));
}

QStringList TestMailSend::logLines() const
{
    // These tests run without a session bus; the line saying that the password went to setting.ini
    // instead of the keyring is checked by tst_mailkeyring.
    QStringList lines = memoText(control<QPlainTextEdit>(m_dlg.get(), "txtLog")).split(QStringLiteral("\r\n"));
    lines.removeIf([](const QString &line) { return line.startsWith(KeyringNote); });
    return lines;
}

void TestMailSend::realServer_deliversBodyLogsRepliesAndStoresSettings()
{
    RealSmtpServer server(QStringLiteral("user"), QStringLiteral("p@ss w0rd"));
    QVERIFY(server.port() > 0);
    const QString port = QString::number(server.port());
    fill(QStringLiteral("127.0.0.1"), port, true, QStringLiteral("user"), QStringLiteral("p@ss w0rd"),
         QStringLiteral("me@example.jp"), QStringLiteral("you@example.jp"));

    const ShownBox box = send();
    QCOMPARE(box.text, QString());

    QCOMPARE(server.nextRecord().value(QStringLiteral("helo")).toString(), QStringLiteral("EasyVELUNA"));
    QCOMPARE(server.nextRecord().value(QStringLiteral("auth")).toArray(),
             QJsonArray({QStringLiteral("LOGIN"), QStringLiteral("user"), QStringLiteral("p@ss w0rd"), true}));
    const QJsonObject message = server.nextRecord();
    QCOMPARE(message.value(QStringLiteral("mail_from")).toString(), QStringLiteral("me@example.jp"));
    QCOMPARE(message.value(QStringLiteral("rcpt_tos")).toArray(), QJsonArray({QStringLiteral("you@example.jp")}));
    // The body goes out as 7-bit ISO-2022-JP and reads back as the text shown in the dialog.
    const QByteArray raw = QByteArray::fromHex(message.value(QStringLiteral("data_hex")).toString().toLatin1());
    QVERIFY(std::all_of(raw.begin(), raw.end(), [](char c) { return uchar(c) < 0x80; }));
    QVERIFY(raw.contains("\x1b$B"));
    const QString body = memoText(control<QPlainTextEdit>(m_dlg.get(), "txtKekka"));
    QVERIFY(body.contains(QStringLiteral("※過去2回の生理日\r\n2011/03/01\r\n2011/02/01\r\n")));
    QVERIFY(message.value(QStringLiteral("data")).toString().endsWith(QStringLiteral("\r\n\r\n") + body));
    verifyWellFormed(message, QStringLiteral("me@example.jp"), QStringLiteral("you@example.jp"));

    QCOMPARE(logLines(),
             QStringList({QString(), QStringLiteral("220 mail.test TestSMTP"), QStringLiteral("250 mail.test"),
                          QStringLiteral("334 VXNlciBOYW1lAA=="), QStringLiteral("334 UGFzc3dvcmQA"),
                          QStringLiteral("235 2.7.0 Authentication successful"), QStringLiteral("250 OK"),
                          QStringLiteral("250 OK"), QStringLiteral("354 End data with <CR><LF>.<CR><LF>"),
                          QStringLiteral("250 2.0.0 Message accepted"), QStringLiteral("221 Bye"), Sent}));
    QCOMPARE(m_sendEnabledWhileLogging, QList<bool>(11, false));
    QVERIFY(control<QPushButton>(m_dlg.get(), "btnClose")->isEnabled());

    QCOMPARE(readFile(Variable::SettingFilePath),
             (QStringLiteral("[Mail Setting]\r\nSMTP=127.0.0.1\r\nPort=") + port +
              QStringLiteral("\r\nChkSMTP=1\r\nUser=dXNlcg==\r\nPass=Y0VCemN5QjNNSEpr\r\n"
                             "From=me@example.jp\r\nTo=you@example.jp\r\nIcs=0\r\nSecurity=0\r\n"))
                 .toLatin1());

    // A second send in the same dialog logs below the first, from an empty line that is not added again.
    const ShownBox again = send();
    QCOMPARE(again.text, QString());
    const QStringList lines = logLines();
    QCOMPARE(lines.size(), 23);
    QCOMPARE(lines.at(11), Sent);
    QCOMPARE(lines.at(12), QStringLiteral("220 mail.test TestSMTP"));
    QCOMPARE(lines.last(), Sent);
}

void TestMailSend::realServer_calendarAttachment_keepsTextPartAndParses()
{
    RealSmtpServer server(QStringLiteral("user"), QStringLiteral("secret"));
    QVERIFY(server.port() > 0);
    fill(QStringLiteral("127.0.0.1"), QString::number(server.port()), true, QStringLiteral("user"),
         QStringLiteral("secret"), QStringLiteral("me@example.jp"), QStringLiteral("you@example.jp"));
    QJsonArray parts[2];
    for (const bool attach : {false, true}) {
        control<QCheckBox>(m_dlg.get(), "chkIcs")->setChecked(attach);
        QCOMPARE(send().text, QString());
        const QJsonObject parsed = server.recordWith(QStringLiteral("data")).value(QStringLiteral("parsed")).toObject();
        QCOMPARE(parsed.value(QStringLiteral("error")).toString(), QString());
        QCOMPARE(parsed.value(QStringLiteral("defects")).toArray(), QJsonArray());
        parts[int(attach)] = parsed.value(QStringLiteral("parts")).toArray();
    }
    QCOMPARE(parts[1].size(), 2);
    QCOMPARE(parts[1].at(0).toObject().value(QStringLiteral("payload_hex")),
             parts[0].at(0).toObject().value(QStringLiteral("payload_hex")));
    const QJsonObject calendar = parts[1].at(1).toObject();
    QCOMPARE(calendar.value(QStringLiteral("type")).toString(), QStringLiteral("text/calendar"));
    QCOMPARE(calendar.value(QStringLiteral("filename")).toString(), QStringLiteral("eveluna.ics"));
    QCOMPARE(calendar.value(QStringLiteral("params")).toObject().value(QStringLiteral("method")).toString(),
             QStringLiteral("PUBLISH"));
    const QString file = m_dir->filePath(QStringLiteral("attached.ics"));
    QVERIFY(writeFile(file, QByteArray::fromHex(calendar.value(QStringLiteral("payload_hex")).toString().toLatin1())));
    // The cycle of the mail text from 2011/03/01 with 28 days, end days exclusive.
    QJsonArray events;
    for (const QJsonValue &event : checkIcsFile(file).value(QStringLiteral("events")).toArray()) {
        events.append(QJsonArray{event.toArray().at(0), event.toArray().at(1), event.toArray().at(2)});
    }
    QCOMPARE(
        events,
        QJsonArray(
            {QJsonArray{QStringLiteral("生理 (予定)"), QStringLiteral("2011-03-01"), QStringLiteral("2011-03-06")},
             QJsonArray{QStringLiteral("妊娠しやすい日 (予定)"), QStringLiteral("2011-03-13"),
                        QStringLiteral("2011-03-18")},
             QJsonArray{QStringLiteral("生理 (予定)"), QStringLiteral("2011-03-29"), QStringLiteral("2011-04-05")}}));
    QVERIFY(readFile(Variable::SettingFilePath).contains("\r\nIcs=1\r\n"));
}

void TestMailSend::realServer_refusedLogin_isLoggedAndSessionGoesOn()
{
    QVERIFY(writeFile(Variable::SettingFilePath, "[Day Setting]\r\nDaymode=2\r\n[Mail Setting]\r\nTo=old@example.jp\r\n"
                                                 "SMTP=old.example.jp\r\n"));
    RealSmtpServer server(QStringLiteral("user"), QStringLiteral("right"));
    const QString port = QString::number(server.port());
    fill(QStringLiteral("127.0.0.1"), port, false, QStringLiteral("user"), QStringLiteral("wrong"),
         QStringLiteral("me@example.jp"), QStringLiteral("you@example.jp"));

    QCOMPARE(send().text, QString());
    server.nextRecord();
    QCOMPARE(server.nextRecord().value(QStringLiteral("auth")).toArray().last().toBool(), false);
    const QStringList lines = logLines();
    QCOMPARE(lines.size(), 12);
    QCOMPARE(lines.at(5), QStringLiteral("535 5.7.8 Authentication credentials invalid"));
    QCOMPARE(lines.last(), Sent);
    // Existing keys keep their places, new ones go to the end of the section.
    QCOMPARE(
        readFile(Variable::SettingFilePath),
        (QStringLiteral("[Day Setting]\r\nDaymode=2\r\n[Mail Setting]\r\nTo=you@example.jp\r\n"
                        "SMTP=127.0.0.1\r\nPort=") +
         port +
         QStringLiteral(
             "\r\nChkSMTP=0\r\nUser=dXNlcg==\r\nPass=ZDNKdmJtYz0=\r\nFrom=me@example.jp\r\nIcs=0\r\nSecurity=0\r\n"))
            .toLatin1());
    QCOMPARE(b64(b64(QStringLiteral("wrong"))), QStringLiteral("ZDNKdmJtYz0="));
}

void TestMailSend::scriptedServer_verdict_data()
{
    QTest::addColumn<QList<QByteArray>>("replies");
    QTest::addColumn<QStringList>("log");

    const QList<QByteArray> head = {"220 hi\r\n",           "250 hello\r\n",   "334 VXNlcm5hbWU6\r\n",
                                    "334 UGFzc3dvcmQ6\r\n", "235 welcome\r\n", "250 from ok\r\n",
                                    "250 to ok\r\n",        "354 go\r\n"};
    const QStringList headLog = {QString(),
                                 QStringLiteral("220 hi"),
                                 QStringLiteral("250 hello"),
                                 QStringLiteral("334 VXNlcm5hbWU6"),
                                 QStringLiteral("334 UGFzc3dvcmQ6"),
                                 QStringLiteral("235 welcome"),
                                 QStringLiteral("250 from ok"),
                                 QStringLiteral("250 to ok"),
                                 QStringLiteral("354 go")};

    QTest::newRow("221 inside the QUIT reply")
        << (head + QList<QByteArray>{"250 queued\r\n", "250 done (221)\r\n"})
        << (headLog + QStringList{QStringLiteral("250 queued"), QStringLiteral("250 done (221)"), Sent});
    QTest::newRow("QUIT reply without 221")
        << (head + QList<QByteArray>{"250 queued\r\n", "250 bye\r\n"})
        << (headLog + QStringList{QStringLiteral("250 queued"), QStringLiteral("250 bye"), NotSent});
    // A refused message is not reported as sent, however politely the server says goodbye.
    QTest::newRow("message refused, 221 on QUIT")
        << (head + QList<QByteArray>{"554 5.7.1 rejected\r\n", "221 bye\r\n"})
        << (headLog + QStringList{QStringLiteral("554 5.7.1 rejected"), QStringLiteral("221 bye"), NotSent});
    // A reply is read whole, up to its "NNN " line, before the next command goes out.
    QTest::newRow("multi-line replies read whole") << QList<QByteArray>{"220-hi\r\n220 there\r\n",
                                                                        "250-hello\r\n250 SIZE 1000\r\n",
                                                                        "334 VXNlcm5hbWU6\r\n",
                                                                        "334 UGFzc3dvcmQ6\r\n",
                                                                        "235 welcome\r\n",
                                                                        "250 from ok\r\n",
                                                                        "250 to ok\r\n",
                                                                        "354 go\r\n",
                                                                        "250-queued\r\n250 as 12\r\n",
                                                                        "221-bye\r\n221\r\n"}
                                                   << QStringList{QString(),
                                                                  QStringLiteral("220-hi"),
                                                                  QStringLiteral("220 there"),
                                                                  QStringLiteral("250-hello"),
                                                                  QStringLiteral("250 SIZE 1000"),
                                                                  QStringLiteral("334 VXNlcm5hbWU6"),
                                                                  QStringLiteral("334 UGFzc3dvcmQ6"),
                                                                  QStringLiteral("235 welcome"),
                                                                  QStringLiteral("250 from ok"),
                                                                  QStringLiteral("250 to ok"),
                                                                  QStringLiteral("354 go"),
                                                                  QStringLiteral("250-queued"),
                                                                  QStringLiteral("250 as 12"),
                                                                  QStringLiteral("221-bye"),
                                                                  QStringLiteral("221"),
                                                                  Sent};
}

void TestMailSend::scriptedServer_verdict()
{
    QFETCH(QList<QByteArray>, replies);
    QFETCH(QStringList, log);
    ScriptedSmtpServer server(replies);
    fill(QStringLiteral("127.0.0.1"), QString::number(server.port()), true, QStringLiteral("u"), QStringLiteral("p"),
         QStringLiteral("a@b"), QStringLiteral("c@d"));
    QCOMPARE(send().text, QString());
    server.finish();
    QCOMPARE(logLines(), log);
    QVERIFY(control<QPushButton>(m_dlg.get(), "btnClose")->isEnabled());
    QCOMPARE(m_sendEnabledWhileLogging, QList<bool>(log.size() - 1, false));
    // The dialogue ran to its end, so the fields are stored whatever the verdict.
    QVERIFY(readFile(Variable::SettingFilePath).startsWith("[Mail Setting]\r\nSMTP=127.0.0.1\r\n"));
}

void TestMailSend::scriptedServer_authOffWithEmptyFields_stillSendsAuthLoginAndEmptyLines()
{
    ScriptedSmtpServer server({"220 hi\r\n", "250 a\r\n", "334 b\r\n", "334 c\r\n", "535 no\r\n", "250 d\r\n",
                               "250 e\r\n", "354 f\r\n", "250 g\r\n", "221 h\r\n"});
    fill(QStringLiteral("127.0.0.1"), QString::number(server.port()), false, QString(), QString(),
         QStringLiteral(" odd from "), QStringLiteral("to"));
    QCOMPARE(send().text, QString());
    const QByteArray received = server.finish();
    // Addresses go out untrimmed and unchecked.
    const QByteArray head = "HELO EasyVELUNA\r\nAUTH LOGIN\r\n\r\n\r\nMAIL FROM:< odd from >\r\nRCPT TO:<to>\r\n"
                            "DATA\r\nDate: ";
    QVERIFY2(received.startsWith(head), received.left(head.size() + 10).constData());
    QVERIFY(received.contains("\r\nFrom: < odd from >\r\nTo: <to>\r\nSubject: EasyVELUNA Plus\r\nMessage-ID: <"));
    QVERIFY(received.contains("@localhost>\r\n"));
    // The body ends with its own line break, then "." and QUIT.
    QVERIFY2(received.endsWith("\x1b(B\r\n2011/03/01\r\n2011/02/01\r\n.\r\nQUIT\r\n"), received.right(60).constData());
    QVERIFY(std::all_of(received.begin(), received.end(), [](char c) { return uchar(c) < 0x80; }));
    QCOMPARE(logLines().last(), Sent);
}

void TestMailSend::sessionFailure_showsErrorAndStoresNothing_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QList<QByteArray>>("replies"); // empty: no server is started
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("log");

    QTest::newRow("connection refused")
        << QStringLiteral("127.0.0.1") << QString() << QList<QByteArray>()
        << QStringLiteral(
               "ホストと接続できません。[10061] 接続が拒絶されました。接続先PCのポートが開いてない可能性があります。"
               "(Connection refused)")
        << QStringList{QString()};
    QTest::newRow("unknown host") << QStringLiteral("no-such-host.invalid") << QStringLiteral("25")
                                  << QList<QByteArray>() << QStringLiteral("no-such-host.invalidは存在しません。.")
                                  << QStringList{QString()};
    QTest::newRow("port not an integer") << QStringLiteral("127.0.0.1") << QStringLiteral("2x5") << QList<QByteArray>()
                                         << QStringLiteral("''2x5'' は整数ではありません.") << QStringList{QString()};
    // The server closes after its greeting: the reply to HELO never comes.
    QTest::newRow("connection closed early")
        << QStringLiteral("127.0.0.1") << QString() << QList<QByteArray>{"220 hi\r\n"}
        << QStringLiteral("受信エラー:10054.") << QStringList{QString(), QStringLiteral("220 hi")};
}

void TestMailSend::sessionFailure_showsErrorAndStoresNothing()
{
    QFETCH(QString, host);
    QFETCH(QString, port);
    QFETCH(QList<QByteArray>, replies);
    QFETCH(QString, message);
    QFETCH(QStringList, log);
    const QByteArray settings = "[Mail Setting]\r\nSMTP=old.example.jp\r\n";
    QVERIFY(writeFile(Variable::SettingFilePath, settings));
    RefusingPort refusing;
    std::unique_ptr<ScriptedSmtpServer> server;
    if (!replies.isEmpty()) {
        server = std::make_unique<ScriptedSmtpServer>(replies);
    }
    if (port.isEmpty()) {
        port = QString::number(server ? server->port() : refusing.port());
    }
    fill(host, port, true, QStringLiteral("u"), QStringLiteral("p"), QStringLiteral("a@b"), QStringLiteral("c@d"));

    const ShownBox box = send();
    QCOMPARE(box.text, message);
    QCOMPARE(box.title, QStringLiteral("Easy VELUNA"));
    QCOMPARE(box.icon, QMessageBox::Critical);
    QCOMPARE(logLines(), log);
    QCOMPARE(readFile(Variable::SettingFilePath), settings);
    QVERIFY(control<QPushButton>(m_dlg.get(), "btnClose")->isEnabled());
    QVERIFY(m_dlg->isVisible());
}

void TestMailSend::tlsServer_deliversOverVerifiedTls_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("port"); // typed before the server's own port, to choose the security
    QTest::addColumn<int>("security");
    QTest::newRow("SSL/TLS to an address")
        << QStringLiteral("tls") << QStringLiteral("127.0.0.1") << QStringLiteral("465") << 1;
    QTest::newRow("STARTTLS to a name") << QStringLiteral("starttls") << QStringLiteral("localhost")
                                        << QStringLiteral("587") << 2;
}

void TestMailSend::tlsServer_deliversOverVerifiedTls()
{
    QFETCH(QString, mode);
    QFETCH(QString, host);
    QFETCH(QString, port);
    QFETCH(int, security);
    RealSmtpServer server(QStringLiteral("user"), QStringLiteral("secret"),
                          {QStringLiteral("--mode"), mode, QStringLiteral("--cert"),
                           certificate(QStringLiteral("good.pem")), QStringLiteral("--key"),
                           certificate(QStringLiteral("good.key"))});
    QVERIFY(server.port() > 0);
    auto *portBox = control<QLineEdit>(m_dlg.get(), "txtPort");
    portBox->clear();
    QTest::keyClicks(portBox, port);
    QCOMPARE(control<QComboBox>(m_dlg.get(), "cmbSecurity")->currentIndex(), security);
    fill(host, QString::number(server.port()), true, QStringLiteral("user"), QStringLiteral("secret"),
         QStringLiteral("me@example.jp"), QStringLiteral("you@example.jp"));

    QCOMPARE(send().text, QString());
    QCOMPARE(logLines().last(), Sent);
    // The account goes out only inside TLS, after an EHLO inside TLS.
    bool ehloInTls = false;
    QJsonObject record;
    while (!(record = server.nextRecord()).isEmpty() && !record.contains(QStringLiteral("auth"))) {
        if (record.contains(QStringLiteral("ehlo"))) {
            ehloInTls = record.value(QStringLiteral("tls")).toBool();
        }
    }
    QVERIFY(ehloInTls);
    QCOMPARE(record.value(QStringLiteral("auth")).toArray().last().toBool(), true);
    QCOMPARE(record.value(QStringLiteral("auth_tls")).toBool(), true);
    verifyWellFormed(server.recordWith(QStringLiteral("parsed")), QStringLiteral("me@example.jp"),
                     QStringLiteral("you@example.jp"));
    QVERIFY(readFile(Variable::SettingFilePath).endsWith(QStringLiteral("Security=%1\r\n").arg(security).toLatin1()));
}

void TestMailSend::tlsServer_failedVerification_sendsNoAccountData_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("cert");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("security");
    QTest::addColumn<QString>("message");
    QTest::newRow("another host's certificate")
        << QStringLiteral("tls") << QStringLiteral("other") << QStringLiteral("localhost") << 1
        << QStringLiteral("サーバー「localhost」の証明書は別のホスト名のものです。.");
    QTest::newRow("expired") << QStringLiteral("tls") << QStringLiteral("expired") << QStringLiteral("127.0.0.1") << 1
                             << QStringLiteral("サーバー「127.0.0.1」の証明書は有効期限が切れています。.");
    QTest::newRow("self-signed, after STARTTLS")
        << QStringLiteral("starttls") << QStringLiteral("self") << QStringLiteral("127.0.0.1") << 2
        << QStringLiteral("サーバー「127.0.0.1」の証明書は信頼できる認証局が発行したものではありません。.");
    QTest::newRow("STARTTLS not offered") << QStringLiteral("plain") << QString() << QStringLiteral("127.0.0.1") << 2
                                          << QStringLiteral("サーバー「127.0.0.1」はSTARTTLSに対応していません。.");
}

void TestMailSend::tlsServer_failedVerification_sendsNoAccountData()
{
    QFETCH(QString, mode);
    QFETCH(QString, cert);
    QFETCH(QString, host);
    QFETCH(int, security);
    QFETCH(QString, message);
    QStringList options{QStringLiteral("--mode"), mode};
    if (!cert.isEmpty()) {
        options << QStringLiteral("--cert") << certificate(cert + QStringLiteral(".pem")) << QStringLiteral("--key")
                << certificate(cert + QStringLiteral(".key"));
    }
    RealSmtpServer server(QStringLiteral("user"), QStringLiteral("secret"), options);
    QVERIFY(server.port() > 0);
    const QByteArray settings = "[Mail Setting]\r\nSMTP=old.example.jp\r\n";
    QVERIFY(writeFile(Variable::SettingFilePath, settings));
    fill(host, QString::number(server.port()), true, QStringLiteral("user"), QStringLiteral("secret"),
         QStringLiteral("me@example.jp"), QStringLiteral("you@example.jp"));
    control<QComboBox>(m_dlg.get(), "cmbSecurity")->setCurrentIndex(security);

    const ShownBox box = send();
    QCOMPARE(box.text, message);
    QCOMPARE(box.icon, QMessageBox::Critical);
    QVERIFY(server.recordWith(QStringLiteral("auth"), 300).isEmpty());
    QCOMPARE(readFile(Variable::SettingFilePath), settings);
}

void TestMailSend::silentServer_timesOutWhileTheWindowStaysAlive()
{
    ScriptedSmtpServer server({QByteArray()});
    fill(QStringLiteral("127.0.0.1"), QString::number(server.port()), true, QStringLiteral("u"), QStringLiteral("p"),
         QStringLiteral("a@b"), QStringLiteral("c@d"));
    m_dlg->setSessionTimeout(600);
    // The window's thread keeps running its event loop: a timer ticks and the dialog moves meanwhile.
    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, this, [&] {
        ++ticks;
        if (m_dlg->isSending()) {
            m_dlg->move(m_dlg->pos() + QPoint(1, 0));
        }
    });
    ticker.start(10);
    const QPoint before = m_dlg->pos();
    QElapsedTimer clock;
    clock.start();
    const ShownBox box = send();
    QCOMPARE(box.text, QStringLiteral("受信エラー:10060."));
    QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY2(ticks >= 20, qPrintable(QString::number(ticks)));
    QVERIFY(m_dlg->pos().x() > before.x() + 10);
    QCOMPARE(logLines(), QStringList{QString()});
    QVERIFY(!QFileInfo::exists(Variable::SettingFilePath));
}

void TestMailSend::closingDuringSession_cancelsAtOnceAndStoresNothing_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("btnClose") << QStringLiteral("btnClose");
    QTest::newRow("Esc") << QStringLiteral("Esc");
    QTest::newRow("window close") << QStringLiteral("close");
}

void TestMailSend::closingDuringSession_cancelsAtOnceAndStoresNothing()
{
    QFETCH(QString, how);
    ScriptedSmtpServer server({"220-hello\r\n220 there\r\n", QByteArray()});
    fill(QStringLiteral("127.0.0.1"), QString::number(server.port()), true, QStringLiteral("u"), QStringLiteral("p"),
         QStringLiteral("a@b"), QStringLiteral("c@d"));
    m_dlg->setSessionTimeout(60000);
    const ShownBox box = captureMessageBox([&] {
        QTest::mouseClick(control<QPushButton>(m_dlg.get(), "btnMailSend"), Qt::LeftButton);
        QTRY_COMPARE(logLines().size(), 3);
        QVERIFY(m_dlg->isSending());
        QElapsedTimer clock;
        clock.start();
        if (how == u"btnClose") {
            QTest::mouseClick(control<QPushButton>(m_dlg.get(), "btnClose"), Qt::LeftButton);
        } else if (how == u"Esc") {
            QTest::keyClick(m_dlg.get(), Qt::Key_Escape);
        } else {
            m_dlg->close();
        }
        QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
    });
    QCOMPARE(box.count, 0);
    QVERIFY(!m_dlg->isSending());
    QVERIFY(!m_dlg->isVisible());
    QCOMPARE(logLines(), (QStringList{QString(), QStringLiteral("220-hello"), QStringLiteral("220 there"), NotSent}));
    QVERIFY(!QFileInfo::exists(Variable::SettingFilePath));
    // The server saw the connection end right after HELO.
    QCOMPARE(server.finish(), QByteArray("HELO EasyVELUNA\r\n"));
}

QTEST_MAIN(TestMailSend)
#include "tst_mailsend.moc"

// The mail password after a send: in a real GNOME Keyring when the session has one (run through
// with-keyring.sh, EVELUNA_TEST_KEYRING=1), else in setting.ini as before, with one log line saying so.

#include "mail.h"
#include "realsmtpserver.h"
#include "testfiles.h"

#include "calendar.h"
#include "variable.h"

#include <QJsonArray>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class TestMailKeyring : public QObject
{
    Q_OBJECT

private slots:
    // A Pass of an older setting.ini is read as it always was, and the send moves it into the keyring.
    void send_storesThePasswordInTheKeyring_elseInTheFile()
    {
        const QString password = QStringLiteral("p@ss w0rd");
        const QByteArray storedPass = "Pass=Y0VCemN5QjNNSEpr\r\n"; // Base64 of the Base64 of the password
        QTemporaryDir dir;
        Variable::initFileLocations(dir.path());
        QVERIFY(writeFile(Variable::DateFilePath, "2011/03/01\r\n"));
        RealSmtpServer server(QStringLiteral("user"), password);
        QVERIFY(writeFile(Variable::SettingFilePath,
                          "[Mail Setting]\r\nSMTP=127.0.0.1\r\nPort=" + QByteArray::number(server.port()) +
                              "\r\nUser=dXNlcg==\r\n" + storedPass + "To=a@example.jp\r\n"));
        Calendar engine(Variable::DateFilePath, Variable::MemoFilePath);
        auto dialog = std::make_unique<TfrmMail>(engine, QStringLiteral("28"), QStringLiteral("0"));
        auto *pass = dialog->findChild<QLineEdit *>(QStringLiteral("txtPass"));
        QCOMPARE(pass->text(), password);
        QSignalSpy ended(dialog.get(), &TfrmMail::sessionEnded);
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("btnMailSend")), Qt::LeftButton);
        QVERIFY(ended.wait(20000));
        QCOMPARE(server.recordWith(QStringLiteral("auth")).value(QStringLiteral("auth")).toArray().at(2), password);

        const QString lastLog =
            memoText(dialog->findChild<QPlainTextEdit *>(QStringLiteral("txtLog"))).section(u'\n', -1);
        const QByteArray file = readFile(Variable::SettingFilePath);
        if (!qEnvironmentVariableIsSet("EVELUNA_TEST_KEYRING")) {
            // No session bus: the file keeps the password as before, and the log says why.
            QVERIFY2(file.contains(storedPass), file.constData());
            QVERIFY2(
                lastLog.startsWith(QStringLiteral("キーリングを使えないため、パスワードは setting.ini に保存しました")),
                qPrintable(lastLog));
            return;
        }
        QCOMPARE(lastLog, QStringLiteral("メールを送信しました"));
        QVERIFY2(!file.contains("Pass"), file.constData());
        QProcess lookup;
        lookup.start(QStringLiteral("secret-tool"),
                     {QStringLiteral("lookup"), QStringLiteral("user"), QStringLiteral("user@127.0.0.1"),
                      QStringLiteral("server"), QStringLiteral("Easy VELUNA")});
        QVERIFY(lookup.waitForFinished(10000));
        QCOMPARE(QString::fromUtf8(lookup.readAllStandardOutput()), password);
        // The next opening takes the password from the keyring.
        dialog = std::make_unique<TfrmMail>(engine, QStringLiteral("28"), QStringLiteral("0"));
        pass = dialog->findChild<QLineEdit *>(QStringLiteral("txtPass"));
        QTRY_COMPARE_WITH_TIMEOUT(pass->text(), password, 10000);
    }
};

QTEST_MAIN(TestMailKeyring)

#include "tst_mailkeyring.moc"

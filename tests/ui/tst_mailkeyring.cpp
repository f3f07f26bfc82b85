// The mail password after a send: in a real GNOME Keyring when the session has one (run through
// with-keyring.sh, EVELUNA_TEST_KEYRING=1), else in setting.ini as before, with one log line saying so.

#include "mail.h"
#include "realsmtpserver.h"
#include "testfiles.h"

#include "calendar.h"
#include "variable.h"

#include <QCheckBox>
#include <QJsonArray>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString Password = QStringLiteral("p@ss w0rd");
const QString StoredPass = QStringLiteral("Pass=Y0VCemN5QjNNSEpr"); // Base64 of the Base64 of Password

QLineEdit *field(QWidget *dialog, const char *name)
{
    return dialog->findChild<QLineEdit *>(QString::fromLatin1(name));
}

// What secret-tool finds under the item's attributes; empty when nothing.
QString keyringLookup()
{
    QProcess tool;
    tool.start(QStringLiteral("secret-tool"),
               {QStringLiteral("lookup"), QStringLiteral("user"), QStringLiteral("user@127.0.0.1"),
                QStringLiteral("server"), QStringLiteral("Easy VELUNA")});
    tool.waitForFinished(10000);
    return QString::fromUtf8(tool.readAllStandardOutput());
}

} // namespace

class TestMailKeyring : public QObject
{
    Q_OBJECT

private slots:
    void send_storesThePasswordInTheKeyring_elseInTheFile_data()
    {
        QTest::addColumn<bool>("oldPass");
        QTest::newRow("typed password") << false;
        QTest::newRow("Pass of an older setting.ini") << true;
    }

    void send_storesThePasswordInTheKeyring_elseInTheFile()
    {
        QFETCH(bool, oldPass);
        const bool keyring = qEnvironmentVariableIsSet("EVELUNA_TEST_KEYRING");
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        Variable::initFileLocations(dir.path());
        QVERIFY(writeFile(Variable::DateFilePath, "2011/03/01\r\n2011/02/01\r\n"));
        RealSmtpServer server(QStringLiteral("user"), Password);
        QVERIFY(server.port() > 0);
        const QByteArray settings = "[Mail Setting]\r\nSMTP=127.0.0.1\r\nPort=" + QByteArray::number(server.port()) +
                                    "\r\nChkSMTP=1\r\nUser=dXNlcg==\r\n" +
                                    (oldPass ? StoredPass.toLatin1() + "\r\n" : "") +
                                    "From=me@example.jp\r\nTo=you@example.jp\r\n";
        QVERIFY(writeFile(Variable::SettingFilePath, settings));
        Calendar engine(Variable::DateFilePath, Variable::MemoFilePath);

        auto dialog = std::make_unique<TfrmMail>(engine, QStringLiteral("28"), QStringLiteral("0"));
        dialog->setSessionTimeout(5000);
        dialog->show();
        // An older file's password is read as it always was.
        QCOMPARE(field(dialog.get(), "txtPass")->text(), oldPass ? Password : QString());
        field(dialog.get(), "txtPass")->setText(Password);
        QSignalSpy ended(dialog.get(), &TfrmMail::sessionEnded);
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("btnMailSend")), Qt::LeftButton);
        QVERIFY(ended.wait(20000));
        QCOMPARE(server.recordWith(QStringLiteral("auth")).value(QStringLiteral("auth")).toArray().at(2).toString(),
                 Password);

        const QStringList log =
            memoText(dialog->findChild<QPlainTextEdit *>(QStringLiteral("txtLog"))).split(QStringLiteral("\r\n"));
        const QString file = QString::fromLatin1(readFile(Variable::SettingFilePath));
        if (!keyring) {
            // No session bus: the file keeps the password as before, and the log says why.
            QVERIFY2(file.contains(StoredPass + QStringLiteral("\r\n")), qPrintable(file));
            QVERIFY2(log.last().startsWith(
                         QStringLiteral("キーリングを使えないため、パスワードは setting.ini に保存しました")),
                     qPrintable(log.last()));
            return;
        }
        QCOMPARE(log.last(), QStringLiteral("メールを送信しました"));
        QCOMPARE(keyringLookup(), Password);
        QVERIFY2(!file.contains(QStringLiteral("Pass")), qPrintable(file));
        QVERIFY(file.contains(QStringLiteral("User=dXNlcg==\r\nFrom=me@example.jp\r\n")));

        // The next opening takes the password from the keyring.
        dialog = std::make_unique<TfrmMail>(engine, QStringLiteral("28"), QStringLiteral("0"));
        QTRY_COMPARE_WITH_TIMEOUT(field(dialog.get(), "txtPass")->text(), Password, 10000);
    }
};

QTEST_MAIN(TestMailKeyring)

#include "tst_mailkeyring.moc"

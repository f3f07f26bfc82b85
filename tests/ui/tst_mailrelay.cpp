// "SMTP認証が必要" against real aiosmtpd servers with and without AUTH: a relay without login takes the
// mail when the box is unticked, a server with login is still logged in to, and a ticked box insists.

#include "mail.h"
#include "modalanswer.h"
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

class TestMailRelay : public QObject
{
    Q_OBJECT

private slots:
    void send_loginFollowsTheBoxAndTheServer_data()
    {
        QTest::addColumn<bool>("ticked");
        QTest::addColumn<bool>("serverHasAuth");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QJsonArray>("auth");

        QTest::newRow("unticked, relay without AUTH: sent without login")
            << false << false << QString() << QJsonArray();
        QTest::newRow("unticked, server takes AUTH: logs in as before")
            << false << true << QString()
            << QJsonArray({QStringLiteral("LOGIN"), QStringLiteral("user"), QStringLiteral("secret"), true});
        QTest::newRow("ticked, relay without AUTH: the login error")
            << true << false
            << QStringLiteral("サーバー「127.0.0.1」がログインを断りました。(500 Error: command 'AUTH' not recognized)")
            << QJsonArray();
    }

    void send_loginFollowsTheBoxAndTheServer()
    {
        QFETCH(bool, ticked);
        QFETCH(bool, serverHasAuth);
        QFETCH(QString, error);
        QFETCH(QJsonArray, auth);

        QTemporaryDir dir;
        Variable::initFileLocations(dir.path());
        QVERIFY(writeFile(Variable::DateFilePath, "2011/03/01\r\n"));
        RealSmtpServer server(QStringLiteral("user"), QStringLiteral("secret"),
                              serverHasAuth ? QStringList() : QStringList{QStringLiteral("--no-auth")});
        QVERIFY(server.port() > 0);
        Calendar engine(Variable::DateFilePath, Variable::MemoFilePath);
        TfrmMail dialog(engine, QStringLiteral("28"), QStringLiteral("0"));
        dialog.show();
        dialog.findChild<QLineEdit *>(QStringLiteral("txtSMTP"))->setText(QStringLiteral("127.0.0.1"));
        dialog.findChild<QLineEdit *>(QStringLiteral("txtPort"))->setText(QString::number(server.port()));
        dialog.findChild<QCheckBox *>(QStringLiteral("ChkSMTP"))->setChecked(ticked);
        dialog.findChild<QLineEdit *>(QStringLiteral("txtUser"))->setText(QStringLiteral("user"));
        dialog.findChild<QLineEdit *>(QStringLiteral("txtPass"))->setText(QStringLiteral("secret"));
        dialog.findChild<QLineEdit *>(QStringLiteral("txtFrom"))->setText(QStringLiteral("me@example.jp"));
        dialog.findChild<QLineEdit *>(QStringLiteral("txtTo"))->setText(QStringLiteral("you@example.jp"));

        const ShownBox box = captureMessageBox([&] {
            QSignalSpy ended(&dialog, &TfrmMail::sessionEnded);
            QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("btnMailSend")), Qt::LeftButton);
            QVERIFY(ended.wait(20000));
        });
        QCOMPARE(box.text, error);

        QCOMPARE(server.recordWith(QStringLiteral("helo")).value(QStringLiteral("helo")).toString(),
                 QStringLiteral("EasyVELUNA"));
        QJsonArray authSeen;
        bool mailSeen = false;
        for (QJsonObject record = server.nextRecord(2000); !record.isEmpty(); record = server.nextRecord(500)) {
            authSeen =
                record.contains(QStringLiteral("auth")) ? record.value(QStringLiteral("auth")).toArray() : authSeen;
            mailSeen = mailSeen || record.contains(QStringLiteral("mail_from"));
        }
        QCOMPARE(authSeen, auth);
        QCOMPARE(mailSeen, error.isEmpty());
        const QString log = memoText(dialog.findChild<QPlainTextEdit *>(QStringLiteral("txtLog")));
        QCOMPARE(log.contains(QStringLiteral("\r\nメールを送信しました")), error.isEmpty());
    }
};

QTEST_MAIN(TestMailRelay)

#include "tst_mailrelay.moc"

#include "mail.h"
#include "modalanswer.h"
#include "testfiles.h"

#include "calendar.h"
#include "variable.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString CrLf = QStringLiteral("\r\n");
const QColor Grey(212, 208, 200);

// The mailed prediction for a newest first day of 2011/03/01, cycle length 28, no cycle ahead:
// 35 days with their captions, written out here from the rhythm rule's day counts.
QString predictionFrom20110301()
{
    const QList<QPair<int, const char *>> runs = {
        {5, "今回の生理"},       {4, "準妊娠しにくい日"}, {3, "準妊娠しやすい日"}, {5, "妊娠しやすい日"},
        {1, "準妊娠しやすい日"}, {1, "準妊娠しにくい日"}, {9, "妊娠しにくい日"},   {7, "次の生理"},
    };
    QString text;
    QDate day(2011, 3, 1);
    for (const auto &[count, caption] : runs) {
        for (int i = 0; i < count; ++i) {
            text += day.toString(QStringLiteral("yyyy/MM/dd")) + QChar(0x3000) + QString::fromUtf8(caption) + CrLf;
            day = day.addDays(1);
        }
    }
    return text;
}

QByteArray dateLines(int count)
{
    QByteArray bytes;
    QDate day(2011, 3, 1);
    for (int i = 0; i < count; ++i) {
        bytes += day.toString(QStringLiteral("yyyy/MM/dd")).toLatin1() + "\r\n";
        day = day.addDays(-28 - i % 3);
    }
    return bytes;
}

template<typename T> T *control(QWidget *dialog, const char *name)
{
    return dialog->findChild<T *>(QString::fromLatin1(name));
}

QColor baseColor(QWidget *field)
{
    return field->palette().color(QPalette::Base);
}

} // namespace

class TestMail : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void formCreate_composesBody_data();
    void formCreate_composesBody();
    void formCreate_cycleTextsNotIntegers_keepsFirstLinesAndShowsError_data();
    void formCreate_cycleTextsNotIntegers_keepsFirstLinesAndShowsError();
    void formCreate_emptyDateFile_showsErrorAndLoadsNoSettings();
    void formCreate_withoutDateFile_keepsBuiltInFields();

    void settings_authenticationOn_showsWhiteEnabledFieldsAndDecodedAccount();
    void settings_authenticationOffOrMissing_showsGreyEnabledFields_data();
    void settings_authenticationOffOrMissing_showsGreyEnabledFields();
    void chkSmtpClick_switchesAccountFields();
    void layout_controlsAsDesigned();
    void security_followsStoredKeyOrPortAndTypedPort_data();
    void security_followsStoredKeyOrPortAndTypedPort();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestMail::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    Variable::initFileLocations(m_dir->path());
}

void TestMail::cleanup()
{
    m_dir.reset();
}

void TestMail::formCreate_composesBody_data()
{
    QTest::addColumn<QByteArray>("dateFile");
    QTest::addColumn<QString>("cycleLengthText");
    QTest::addColumn<QString>("pastDays");

    QTest::newRow("three days: all listed") << dateLines(3) << QStringLiteral("28")
                                            << QStringLiteral("※過去3回の生理日\r\n2011/03/01\r\n2011/02/01\r\n"
                                                              "2011/01/03\r\n");
    QTest::newRow("twelve days: the five newest") << dateLines(12) << QStringLiteral("28")
                                                  << QStringLiteral("※過去5回の生理日\r\n2011/03/01\r\n2011/02/01\r\n"
                                                                    "2011/01/03\r\n2010/12/04\r\n2010/11/06\r\n");
    // The length is shown as typed; the prediction uses its integer value.
    QTest::newRow("length typed with a blank")
        << dateLines(1) << QStringLiteral(" 28") << QStringLiteral("※過去1回の生理日\r\n2011/03/01\r\n");
}

void TestMail::formCreate_composesBody()
{
    QFETCH(QByteArray, dateFile);
    QFETCH(QString, cycleLengthText);
    QFETCH(QString, pastDays);
    QVERIFY(writeFile(Variable::DateFilePath, dateFile));
    Calendar engine(Variable::DateFilePath, Variable::MemoFilePath);
    int boxes = 0;
    const QPointer<QTimer> waiting = answerNextModal([&](QWidget *modal) {
        ++boxes;
        modal->close();
    });
    TfrmMail dlg(engine, cycleLengthText, QStringLiteral("0"));
    delete waiting.data();
    QCOMPARE(boxes, 0);

    const QString expected = QStringLiteral("EasyVELUNA Plus\r\n\r\n※") + cycleLengthText +
                             QStringLiteral("日周期を想定\r\n") + predictionFrom20110301() + CrLf + pastDays;
    QCOMPARE(memoText(control<QPlainTextEdit>(&dlg, "txtKekka")), expected);
}

void TestMail::formCreate_cycleTextsNotIntegers_keepsFirstLinesAndShowsError_data()
{
    QTest::addColumn<QString>("cycleLengthText");
    QTest::addColumn<QString>("cyclesAheadText");
    QTest::addColumn<QString>("message");

    // The cycles ahead are converted first.
    QTest::newRow("both bad") << QStringLiteral("2a") << QStringLiteral("x")
                              << QStringLiteral("''x'' は整数ではありません.");
    QTest::newRow("length empty") << QString() << QStringLiteral("1") << QStringLiteral("'''' は整数ではありません.");
}

void TestMail::formCreate_cycleTextsNotIntegers_keepsFirstLinesAndShowsError()
{
    QFETCH(QString, cycleLengthText);
    QFETCH(QString, cyclesAheadText);
    QFETCH(QString, message);
    QVERIFY(writeFile(Variable::DateFilePath, dateLines(3)));
    QVERIFY(writeFile(Variable::SettingFilePath, "[Mail Setting]\r\nSMTP=mail.example.jp\r\n"));
    Calendar engine(Variable::DateFilePath, Variable::MemoFilePath);
    std::unique_ptr<TfrmMail> dlg;
    const ShownBox box =
        captureMessageBox([&] { dlg = std::make_unique<TfrmMail>(engine, cycleLengthText, cyclesAheadText); });
    QCOMPARE(box.text, message);
    QCOMPARE(box.title, QStringLiteral("Easy VELUNA"));
    QCOMPARE(memoText(control<QPlainTextEdit>(dlg.get(), "txtKekka")),
             QStringLiteral("EasyVELUNA Plus\r\n\r\n※") + cycleLengthText + QStringLiteral("日周期を想定\r\n"));
    QCOMPARE(control<QLineEdit>(dlg.get(), "txtSMTP")->text(), QString());
}

void TestMail::formCreate_emptyDateFile_showsErrorAndLoadsNoSettings()
{
    QVERIFY(writeFile(Variable::DateFilePath, QByteArray()));
    QVERIFY(writeFile(Variable::SettingFilePath, "[Mail Setting]\r\nSMTP=mail.example.jp\r\nPort=587\r\n"));
    Calendar engine(Variable::DateFilePath, Variable::MemoFilePath);
    std::unique_ptr<TfrmMail> dlg;
    const ShownBox box =
        captureMessageBox([&] { dlg = std::make_unique<TfrmMail>(engine, QStringLiteral("28"), QStringLiteral("0")); });
    QCOMPARE(box.text, QStringLiteral("リストのインデックスが範囲を超えています (0)"));
    QCOMPARE(memoText(control<QPlainTextEdit>(dlg.get(), "txtKekka")),
             QStringLiteral("EasyVELUNA Plus\r\n\r\n※28日周期を想定\r\n"));
    QCOMPARE(control<QLineEdit>(dlg.get(), "txtSMTP")->text(), QString());
    QCOMPARE(control<QLineEdit>(dlg.get(), "txtPort")->text(), QStringLiteral("25"));
}

void TestMail::formCreate_withoutDateFile_keepsBuiltInFields()
{
    QVERIFY(writeFile(Variable::SettingFilePath, "[Mail Setting]\r\nSMTP=mail.example.jp\r\nPort=587\r\n"
                                                 "ChkSMTP=1\r\nUser=dXNlcg==\r\nFrom=a@example.jp\r\n"));
    Calendar engine(Variable::DateFilePath, Variable::MemoFilePath);
    TfrmMail dlg(engine, QStringLiteral("28"), QStringLiteral("0"));
    // No cycle was ever computed, so the prediction is empty and its line break follows line 3 at once.
    QCOMPARE(memoText(control<QPlainTextEdit>(&dlg, "txtKekka")),
             QStringLiteral("EasyVELUNA Plus\r\n\r\n※28日周期を想定\r\n\r\n"));
    QCOMPARE(control<QLineEdit>(&dlg, "txtSMTP")->text(), QString());
    QCOMPARE(control<QLineEdit>(&dlg, "txtPort")->text(), QStringLiteral("25"));
    QVERIFY(!control<QCheckBox>(&dlg, "ChkSMTP")->isChecked());
    QCOMPARE(control<QLineEdit>(&dlg, "txtUser")->text(), QString());
    QCOMPARE(control<QLineEdit>(&dlg, "txtFrom")->text(), QString());
}

void TestMail::settings_authenticationOn_showsWhiteEnabledFieldsAndDecodedAccount()
{
    QVERIFY(writeFile(Variable::DateFilePath, dateLines(2)));
    // Pass holds the Base64 of the Base64 of "p@ss w0rd"; key names in another letter case are found.
    QVERIFY(writeFile(Variable::SettingFilePath, "[Day Setting]\r\nDaymode=4\r\n[mail setting]\r\n"
                                                 "smtp=mail.example.jp\r\nPort=587\r\nChkSMTP=2\r\n"
                                                 "User=dXNlcg==\r\nPass=Y0VCemN5QjNNSEpr\r\n"
                                                 "From=me@example.jp\r\nTo=you@example.jp\r\n"));
    Calendar engine(Variable::DateFilePath, Variable::MemoFilePath);
    TfrmMail dlg(engine, QStringLiteral("28"), QStringLiteral("0"));
    QCOMPARE(control<QLineEdit>(&dlg, "txtSMTP")->text(), QStringLiteral("mail.example.jp"));
    QCOMPARE(control<QLineEdit>(&dlg, "txtPort")->text(), QStringLiteral("587"));
    QVERIFY(control<QCheckBox>(&dlg, "ChkSMTP")->isChecked());
    auto *user = control<QLineEdit>(&dlg, "txtUser");
    auto *pass = control<QLineEdit>(&dlg, "txtPass");
    QCOMPARE(user->text(), QStringLiteral("user"));
    QCOMPARE(pass->text(), QStringLiteral("p@ss w0rd"));
    QCOMPARE(pass->displayText(), QStringLiteral("*********"));
    QVERIFY(user->isEnabled());
    QVERIFY(pass->isEnabled());
    QCOMPARE(baseColor(user), QColor(Qt::white));
    QCOMPARE(baseColor(pass), QColor(Qt::white));
    QCOMPARE(control<QLineEdit>(&dlg, "txtFrom")->text(), QStringLiteral("me@example.jp"));
    QCOMPARE(control<QLineEdit>(&dlg, "txtTo")->text(), QStringLiteral("you@example.jp"));
}

void TestMail::settings_authenticationOffOrMissing_showsGreyEnabledFields_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::newRow("stored 0") << QByteArray("[Mail Setting]\r\nChkSMTP=0\r\nUser=dXNlcg==\r\n");
    QTest::newRow("not an integer") << QByteArray("[Mail Setting]\r\nChkSMTP=yes\r\nUser=dXNlcg==\r\n");
    QTest::newRow("no key") << QByteArray("[Mail Setting]\r\nUser=dXNlcg==\r\n");
}

void TestMail::settings_authenticationOffOrMissing_showsGreyEnabledFields()
{
    QFETCH(QByteArray, settings);
    QVERIFY(writeFile(Variable::DateFilePath, dateLines(2)));
    QVERIFY(writeFile(Variable::SettingFilePath, settings));
    Calendar engine(Variable::DateFilePath, Variable::MemoFilePath);
    TfrmMail dlg(engine, QStringLiteral("28"), QStringLiteral("0"));
    QVERIFY(!control<QCheckBox>(&dlg, "ChkSMTP")->isChecked());
    for (const char *name : {"txtUser", "txtPass"}) {
        auto *field = control<QLineEdit>(&dlg, name);
        QVERIFY(field->isEnabled());
        QCOMPARE(baseColor(field), Grey);
    }
    QCOMPARE(control<QLineEdit>(&dlg, "txtUser")->text(), QStringLiteral("user"));
    QCOMPARE(control<QLineEdit>(&dlg, "txtPort")->text(), QStringLiteral("25"));
}

void TestMail::chkSmtpClick_switchesAccountFields()
{
    QVERIFY(writeFile(Variable::DateFilePath, dateLines(2)));
    Calendar engine(Variable::DateFilePath, Variable::MemoFilePath);
    TfrmMail dlg(engine, QStringLiteral("28"), QStringLiteral("0"));
    dlg.show();
    auto *box = control<QCheckBox>(&dlg, "ChkSMTP");
    auto *user = control<QLineEdit>(&dlg, "txtUser");
    auto *pass = control<QLineEdit>(&dlg, "txtPass");
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
    QVERIFY(box->isChecked());
    QVERIFY(user->isEnabled() && pass->isEnabled());
    QCOMPARE(baseColor(user), QColor(Qt::white));
    QCOMPARE(baseColor(pass), QColor(Qt::white));
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
    QVERIFY(!box->isChecked());
    QVERIFY(!user->isEnabled() && !pass->isEnabled());
    QCOMPARE(baseColor(user), Grey);
    QCOMPARE(baseColor(pass), Grey);
}

void TestMail::layout_controlsAsDesigned()
{
    Calendar engine(Variable::DateFilePath, Variable::MemoFilePath);
    TfrmMail dlg(engine, QStringLiteral("28"), QStringLiteral("0"));
    QCOMPARE(dlg.windowTitle(), QStringLiteral("メール送信"));
    QCOMPARE(dlg.size(), QSize(496, 367));
    QVERIFY(control<QPushButton>(&dlg, "btnMailSend")->isDefault());
    QCOMPARE(control<QPushButton>(&dlg, "btnMailSend")->text(), QStringLiteral("送信(&M)"));
    QCOMPARE(control<QPushButton>(&dlg, "btnClose")->text(), QStringLiteral("閉じる (&X)"));
    QVERIFY(control<QPlainTextEdit>(&dlg, "txtKekka")->isReadOnly());
    QVERIFY(control<QPlainTextEdit>(&dlg, "txtLog")->isReadOnly());
    QCOMPARE(memoText(control<QPlainTextEdit>(&dlg, "txtLog")), QString());
    QCOMPARE(control<QLineEdit>(&dlg, "txtPass")->echoMode(), QLineEdit::Password);
    // The attachment check box sits below the message it is attached to.
    QCOMPARE(control<QPlainTextEdit>(&dlg, "txtKekka")->geometry(), QRect(272, 10, 193, 183));
    QCOMPARE(control<QPlainTextEdit>(&dlg, "txtLog")->geometry(), QRect(8, 240, 480, 82));
}

void TestMail::security_followsStoredKeyOrPortAndTypedPort_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<int>("loaded");
    QTest::addColumn<QString>("typed"); // typed into the emptied port box afterwards
    QTest::addColumn<int>("afterTyping");
    QTest::newRow("no key, port 465") << QByteArray("Port=465\r\n") << 1 << QStringLiteral("25") << 0;
    QTest::newRow("no key, port 587") << QByteArray("Port=587\r\n") << 2 << QStringLiteral("465") << 1;
    QTest::newRow("no key, other port") << QByteArray("Port=2525\r\n") << 0 << QStringLiteral("587") << 2;
    QTest::newRow("stored choice beats the port")
        << QByteArray("Port=465\r\nSecurity=2\r\n") << 2 << QStringLiteral("2525") << 2;
    QTest::newRow("stored value out of range") << QByteArray("Port=587\r\nSecurity=7\r\n") << 2 << QString() << 2;
}

void TestMail::security_followsStoredKeyOrPortAndTypedPort()
{
    QFETCH(QByteArray, settings);
    QFETCH(int, loaded);
    QFETCH(QString, typed);
    QFETCH(int, afterTyping);
    QVERIFY(writeFile(Variable::DateFilePath, dateLines(2)));
    QVERIFY(writeFile(Variable::SettingFilePath, "[Mail Setting]\r\n" + settings));
    Calendar engine(Variable::DateFilePath, Variable::MemoFilePath);
    TfrmMail dlg(engine, QStringLiteral("28"), QStringLiteral("0"));
    dlg.show();
    auto *security = control<QComboBox>(&dlg, "cmbSecurity");
    QCOMPARE(security->count(), 3);
    QCOMPARE(security->itemText(0), QStringLiteral("暗号化なし"));
    QCOMPARE(security->itemText(1), QStringLiteral("SSL/TLS"));
    QCOMPARE(security->itemText(2), QStringLiteral("STARTTLS"));
    QCOMPARE(security->currentIndex(), loaded);
    auto *port = control<QLineEdit>(&dlg, "txtPort");
    port->clear();
    QTest::keyClicks(port, typed);
    QCOMPARE(security->currentIndex(), afterTyping);
    // Beside the port box, inside the settings panel, without growing the dialog.
    QVERIFY(security->geometry().left() > port->geometry().right());
    QVERIFY(security->geometry().right() <= control<QLineEdit>(&dlg, "txtSMTP")->geometry().right());
}

QTEST_MAIN(TestMail)
#include "tst_mail.moc"

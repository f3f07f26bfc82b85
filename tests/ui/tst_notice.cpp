#include "icscheck.h"
#include "modalanswer.h"
#include "notice.h"
#include "noticesettings.h"
#include "testfiles.h"
#include "variable.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QJsonArray>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeEdit>

// The notice dialog's ways out of the program: the calendar file, the login entry and the daily timers.
class TestNotice : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void export_sixCycles_readByIcalendarAndKhal();
    void atLogin_entryValidates_andItsExecRunsTheReminder();
    void dailyReminders_onAndOff_runSystemctl_data();
    void dailyReminders_onAndOff_runSystemctl();

private:
    QByteArray dateLine(int daysAgo) const
    {
        return QDate::currentDate().addDays(-daysAgo).toString(u"yyyy/MM/dd").toLatin1() + "\r\n";
    }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestNotice::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    Variable::initFileLocations(m_dir->path());
    qputenv("XDG_CONFIG_HOME", m_dir->filePath(QStringLiteral("config")).toLocal8Bit());
}

void TestNotice::export_sixCycles_readByIcalendarAndKhal()
{
    QVERIFY(writeFile(Variable::DateFilePath, dateLine(10) + dateLine(38)));
    const QString path = m_dir->filePath(QStringLiteral("mine.ics"));
    TfrmNotice dialog(QStringLiteral("28"));
    QString offered;
    answerNextModal([&](QWidget *modal) {
        auto *files = qobject_cast<QFileDialog *>(modal);
        offered = files->selectedFiles().value(0);
        files->selectFile(path);
        QMetaObject::invokeMethod(files, "accept");
    });
    QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("btnExport")), Qt::LeftButton);
    QCOMPARE(offered, QDir::home().filePath(QStringLiteral("eveluna.ics")));
    QCOMPARE(int(QFileInfo(path).permissions() & 0x0777), 0x0600); // user, group and other bits: mode 0600

    const QJsonObject ics = checkIcsFile(path, true);
    QVERIFY(ics.value(QStringLiteral("crlf")).toBool());
    QVERIFY(ics.value(QStringLiteral("longest")).toInt() <= 75);
    QVERIFY(ics.value(QStringLiteral("prodid")).toString().contains(QStringLiteral("Easy VELUNA")));
    // A 28-day cycle from the newest first day: five days of this period (the next two show as
    // semi-unlikely), the five likely days from the 13th day; after six cycles the next period's seven days.
    const QDate newest = QDate::currentDate().addDays(-10);
    QJsonArray expected;
    QMap<QString, QStringList> days;
    const auto add = [&](const QString &summary, int from, int count) {
        expected.append(QJsonArray{summary, newest.addDays(from).toString(Qt::ISODate),
                                   newest.addDays(from + count).toString(Qt::ISODate)});
        for (int k = 0; k < count; ++k) {
            days[summary] << newest.addDays(from + k).toString(Qt::ISODate);
        }
    };
    for (int cycle = 0; cycle < 6; ++cycle) {
        add(QStringLiteral("生理 (予定)"), 28 * cycle, 5);
        add(QStringLiteral("妊娠しやすい日 (予定)"), 28 * cycle + 12, 5);
    }
    add(QStringLiteral("生理 (予定)"), 168, 7);
    QJsonArray events;
    for (const QJsonValue &event : ics.value(QStringLiteral("events")).toArray()) {
        const QJsonArray fields = event.toArray();
        events.append(QJsonArray{fields.at(0), fields.at(1), fields.at(2)});
        QCOMPARE(fields.at(4).toString(), QStringLiteral("TRANSPARENT"));
    }
    QCOMPARE(events, expected);
    // Events that shared a UID would replace each other in khal and miss from its listing.
    const QJsonObject khal = ics.value(QStringLiteral("khal")).toObject();
    QCOMPARE(khal.keys(), QStringList(days.keys()));
    for (auto it = days.cbegin(); it != days.cend(); ++it) {
        QCOMPARE(khal.value(it.key()).toVariant().toStringList(), it.value());
    }
}

void TestNotice::atLogin_entryValidates_andItsExecRunsTheReminder()
{
    // The program in a folder whose name needs the quoting of the desktop entry rules.
    const QString folder = m_dir->filePath(QStringLiteral("my \"apps\" $HOME 100%"));
    QVERIFY(QDir().mkpath(folder));
    const QString program = folder + QStringLiteral("/eveluna");
    QVERIFY(QFile::copy(QStringLiteral(EVELUNA_PROGRAM), program));
    QVERIFY(writeFile(folder + QStringLiteral("/date.dat"), dateLine(26)));

    TfrmNotice dialog(QStringLiteral("28"), nullptr, program);
    dialog.show();
    QTest::mouseClick(dialog.findChild<QCheckBox *>(QStringLiteral("chkAtLogin")), Qt::LeftButton, {}, QPoint(6, 8));
    QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("btnOK")), Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(readFile(Variable::SettingFilePath).contains("\r\nAtLogin=1\r\n"));
    const QDir autostart(m_dir->filePath(QStringLiteral("config/autostart")));
    const QStringList entries = autostart.entryList({QStringLiteral("*-reminder.desktop")}, QDir::Files);
    QCOMPARE(entries.size(), 1);
    const QString entry = autostart.filePath(entries.first());

    QProcess validate;
    validate.start(QStringLiteral("desktop-file-validate"), {entry});
    QVERIFY(validate.waitForFinished(10000));
    QCOMPARE(validate.readAll() + validate.readAllStandardError(), QByteArray());
    QCOMPARE(validate.exitCode(), 0);

    // Inside its double quotes an Exec argument is escaped as in the shell; the file escapes "\" and "%"
    // once more as every value does.
    QString exec = QString::fromUtf8(readFile(entry)).section(QStringLiteral("\nExec="), 1).section(u'\n', 0, 0);
    exec.replace(QStringLiteral("\\\\"), QStringLiteral("\\")).replace(QStringLiteral("%%"), QStringLiteral("%"));
    QProcess run;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent"));
    env.remove(QStringLiteral("DISPLAY"));
    run.setProcessEnvironment(env);
    run.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), exec});
    QVERIFY(run.waitForFinished(10000));
    QCOMPARE(run.exitCode(), 0);
    QVERIFY2(run.readAllStandardError().startsWith("eveluna --remind: no notification shown"), qPrintable(exec));
}

void TestNotice::dailyReminders_onAndOff_runSystemctl_data()
{
    QTest::addColumn<int>("systemctlExit"); // of the stand-in, for every call
    QTest::addColumn<bool>("pillOn");
    QTest::addColumn<QStringList>("calls"); // what systemctl was asked, turning the reminder on
    QTest::addColumn<bool>("stored");

    QTest::newRow("a user instance: on, then off")
        << 0 << true
        << QStringList{QStringLiteral("--user show-environment"), QStringLiteral("--user daemon-reload"),
                       QStringLiteral("--user enable --now eveluna-temperature.timer"),
                       QStringLiteral("--user daemon-reload"), QStringLiteral("--user enable --now eveluna-pill.timer")}
        << true;
    QTest::newRow("a user instance, pill left off")
        << 0 << false
        << QStringList{QStringLiteral("--user show-environment"), QStringLiteral("--user daemon-reload"),
                       QStringLiteral("--user enable --now eveluna-temperature.timer")}
        << true;
    QTest::newRow("no systemd") << 1 << true << QStringList{QStringLiteral("--user show-environment")} << false;
}

void TestNotice::dailyReminders_onAndOff_runSystemctl()
{
    QFETCH(int, systemctlExit);
    QFETCH(bool, pillOn);
    QFETCH(QStringList, calls);
    QFETCH(bool, stored);
    // A stand-in found first on PATH that writes down its arguments.
    const QString bin = m_dir->filePath(QStringLiteral("bin"));
    const QString record = m_dir->filePath(QStringLiteral("systemctl.calls"));
    QVERIFY(QDir().mkpath(bin));
    QVERIFY(
        writeFile(bin + QStringLiteral("/systemctl"),
                  QStringLiteral("#!/bin/sh\necho \"$*\" >> '%1'\nexit %2\n").arg(record).arg(systemctlExit).toUtf8()));
    QVERIFY(QFile::setPermissions(bin + QStringLiteral("/systemctl"), QFile::ReadOwner | QFile::ExeOwner));
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(bin) + ':' + path);
    const auto restorePath = qScopeGuard([&] { qputenv("PATH", path); });
    const QString program = m_dir->filePath(QStringLiteral("my apps 100%/eveluna"));
    const QString units = m_dir->filePath(QStringLiteral("config/systemd/user/"));

    {
        TfrmNotice dialog(QStringLiteral("28"), nullptr, program);
        dialog.show();
        QTest::mouseClick(dialog.findChild<QCheckBox *>(QStringLiteral("chkTemp")), Qt::LeftButton, {}, QPoint(6, 8));
        dialog.findChild<QTimeEdit *>(QStringLiteral("timeTemp"))->setTime(QTime(7, 15));
        if (pillOn) {
            QTest::mouseClick(dialog.findChild<QCheckBox *>(QStringLiteral("chkPill")), Qt::LeftButton, {},
                              QPoint(6, 8));
        }
        QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("btnOK")), Qt::LeftButton);
        QCOMPARE(QString::fromUtf8(readFile(record)).split(u'\n', Qt::SkipEmptyParts), calls);
        QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("lblScheduler"))->text().isEmpty(), stored);
        QCOMPARE(dialog.isVisible(), !stored);
    }
    if (!stored) {
        QVERIFY(!QFileInfo::exists(Variable::SettingFilePath));
        QVERIFY(!QFileInfo::exists(units));
        return;
    }
    const NoticeSettings settings = readNoticeSettings(Variable::SettingFilePath);
    QCOMPARE(settings.tempOn, true);
    QCOMPARE(settings.tempAt, QTime(7, 15));
    QCOMPARE(settings.pillOn, pillOn);
    QVERIFY(readFile(units + QStringLiteral("eveluna-temperature.timer")).contains("\nOnCalendar=*-*-* 07:15:00\n"));
    QVERIFY(readFile(units + QStringLiteral("eveluna-temperature.service"))
                .contains("\nExecStart=\"" + QFile::encodeName(program).replace("%", "%%") +
                          "\" --remind-at temperature\n"));
    QCOMPARE(QFileInfo::exists(units + QStringLiteral("eveluna-pill.service")), pillOn);

    // Off again: each timer that was on is stopped, its files go.
    QVERIFY(QFile::remove(record));
    {
        TfrmNotice dialog(QStringLiteral("28"), nullptr, program);
        dialog.show();
        QVERIFY(dialog.findChild<QCheckBox *>(QStringLiteral("chkTemp"))->isChecked());
        QCOMPARE(dialog.findChild<QTimeEdit *>(QStringLiteral("timeTemp"))->time(), QTime(7, 15));
        QTest::mouseClick(dialog.findChild<QCheckBox *>(QStringLiteral("chkTemp")), Qt::LeftButton, {}, QPoint(6, 8));
        if (pillOn) {
            QTest::mouseClick(dialog.findChild<QCheckBox *>(QStringLiteral("chkPill")), Qt::LeftButton, {},
                              QPoint(6, 8));
        }
        QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("btnOK")), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }
    QStringList off = {QStringLiteral("--user disable --now eveluna-temperature.timer"),
                       QStringLiteral("--user daemon-reload")};
    if (pillOn) {
        off << QStringLiteral("--user disable --now eveluna-pill.timer") << QStringLiteral("--user daemon-reload");
    }
    QCOMPARE(QString::fromUtf8(readFile(record)).split(u'\n', Qt::SkipEmptyParts), off);
    QCOMPARE(QDir(units).entryList(QDir::Files), QStringList());
    QVERIFY(!readNoticeSettings(Variable::SettingFilePath).tempOn);
}

QTEST_MAIN(TestNotice)
#include "tst_notice.moc"

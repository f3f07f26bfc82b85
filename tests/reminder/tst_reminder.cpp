#include "autostartentry.h"
#include "dailytimer.h"
#include "duenotice.h"
#include "errors.h"
#include "icsfile.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

Q_DECLARE_METATYPE(NoticeSettings)

// Newest first day 2026-12-01 and a 28-day cycle: the next period from 2026-12-29, the likely days
// 2026-12-13 to 2026-12-17.
class TestReminder : public QObject
{
    Q_OBJECT

private slots:
    void dueNotice_onEachDay_data();
    void dueNotice_onEachDay();
    void icsContentLine_longUtf8Text_foldsWithinSeventyFiveOctets_data();
    void icsContentLine_longUtf8Text_foldsWithinSeventyFiveOctets();
    void autostartEntry_glibStartsTheProgram_withRemind_data();
    void autostartEntry_glibStartsTheProgram_withRemind();
    void dailyUnits_pathWithSpacesAndPercent_passSystemdVerify_data();
    void dailyUnits_pathWithSpacesAndPercent_passSystemdVerify();
};

void TestReminder::dueNotice_onEachDay_data()
{
    QTest::addColumn<NoticeSettings>("settings");
    QTest::addColumn<int>("cycleLength");
    QTest::addColumn<QDate>("today");
    QTest::addColumn<QString>("summary"); // empty: nothing due
    QTest::addColumn<QString>("body");

    const NoticeSettings defaults;
    NoticeSettings week = defaults;
    week.beforeDays = 7;
    NoticeSettings noBefore = defaults;
    noBefore.before = false;
    NoticeSettings noLate = defaults;
    noLate.late = false;
    NoticeSettings fertile = defaults;
    fertile.fertile = true;
    NoticeSettings shownToday = defaults;
    shownToday.lastNotice = QDate(2026, 12, 27);
    NoticeSettings shownYesterday = defaults;
    shownYesterday.lastNotice = QDate(2026, 12, 26);
    const QString next = QStringLiteral("次の生理: 12月29日ごろ (周期から)。");
    const QString late = QStringLiteral("次の生理: 12月29日ごろ (周期から)。始まっていたら生理登録をしてください。");

    QTest::newRow("two days ahead") << defaults << 28 << QDate(2026, 12, 27) << QStringLiteral("生理予定日まであと2日")
                                    << next;
    QTest::newRow("three days ahead, two asked") << defaults << 28 << QDate(2026, 12, 26) << QString() << QString();
    QTest::newRow("seven days ahead, seven asked")
        << week << 28 << QDate(2026, 12, 22) << QStringLiteral("生理予定日まであと7日") << next;
    QTest::newRow("the day itself") << defaults << 28 << QDate(2026, 12, 29) << QStringLiteral("生理予定日は今日です")
                                    << next;
    QTest::newRow("the day itself, before off")
        << noBefore << 28 << QDate(2026, 12, 29) << QStringLiteral("生理予定日を過ぎています") << late;
    QTest::newRow("a month late") << defaults << 28 << QDate(2027, 1, 29) << QStringLiteral("生理予定日を過ぎています")
                                  << late;
    QTest::newRow("late, late off") << noLate << 28 << QDate(2026, 12, 30) << QString() << QString();
    QTest::newRow("shown today already") << shownToday << 28 << QDate(2026, 12, 27) << QString() << QString();
    QTest::newRow("shown yesterday") << shownYesterday << 28 << QDate(2026, 12, 27)
                                     << QStringLiteral("生理予定日まであと2日") << next;
    QTest::newRow("first likely day") << fertile << 28 << QDate(2026, 12, 13)
                                      << QStringLiteral("今日から妊娠しやすい日です")
                                      << QStringLiteral(
                                             "妊娠しやすい日は2026年12月13日（日）から2026年12月17日（木）までです。");
    QTest::newRow("first likely day, fertile off") << defaults << 28 << QDate(2026, 12, 13) << QString() << QString();
    QTest::newRow("second likely day") << fertile << 28 << QDate(2026, 12, 14) << QString() << QString();
    QTest::newRow("length 0 predicts nothing late") << defaults << 0 << QDate(2026, 12, 4) << QString() << QString();
}

void TestReminder::dueNotice_onEachDay()
{
    QFETCH(NoticeSettings, settings);
    QFETCH(int, cycleLength);
    QFETCH(QDate, today);
    QFETCH(QString, summary);
    QFETCH(QString, body);

    const std::optional<DueNotice> due = dueNotice(settings, QDate(2026, 12, 1), cycleLength, today);
    QCOMPARE(due.has_value(), !summary.isEmpty());
    if (due) {
        const NoticeText text = noticeText(*due);
        QCOMPARE(text.summary, summary);
        QCOMPARE(text.body, body);
        QCOMPARE(text.offersEntry, due->kind == NoticeKind::Late);
    }
}

void TestReminder::icsContentLine_longUtf8Text_foldsWithinSeventyFiveOctets_data()
{
    QTest::addColumn<QString>("line");
    QTest::newRow("ascii") << QStringLiteral("SUMMARY:") + QString(200, u'a');
    // Three octets each: 8 + 3 * 22 = 74, so the 23rd character would straddle the first cut.
    QTest::newRow("japanese") << QStringLiteral("SUMMARY:") + QString(60, QChar(0x751F));
    QTest::newRow("four-octet characters")
        << QStringLiteral("SUMMARY:") + QString::fromUtf8("\xF0\x9F\x8C\x99").repeated(40);
    QTest::newRow("mixed") << QStringLiteral("SUMMARY:a") + QStringLiteral("生理予定日é🌙").repeated(12);
    QTest::newRow("exactly 75") << QStringLiteral("SUMMARY:") + QString(67, u'x');
}

void TestReminder::icsContentLine_longUtf8Text_foldsWithinSeventyFiveOctets()
{
    QFETCH(QString, line);
    const QByteArray written = icsContentLine(line);
    QVERIFY(written.endsWith("\r\n"));
    const QList<QByteArray> physical = written.chopped(2).split('\n');
    QByteArray unfolded;
    for (qsizetype k = 0; k < physical.size(); ++k) {
        QByteArray part = physical[k];
        if (k + 1 < physical.size()) {
            QVERIFY(part.endsWith('\r'));
            part.chop(1);
        }
        QVERIFY2(part.size() <= 75, part.constData());
        if (k > 0) {
            QVERIFY(part.startsWith(' '));
            part.remove(0, 1);
        }
        // Every piece is whole UTF-8 by itself: no character was cut in two.
        QVERIFY2(QString::fromUtf8(part).toUtf8() == part &&
                     !QString::fromUtf8(part).contains(QChar::ReplacementCharacter),
                 part.constData());
        unfolded += part;
    }
    QCOMPARE(unfolded, line.toUtf8());
    QCOMPARE(physical.size() > 1, line.toUtf8().size() > 75);
}

void TestReminder::autostartEntry_glibStartsTheProgram_withRemind_data()
{
    QTest::addColumn<QString>("folder"); // where the program lies, inside a temporary folder
    QTest::addColumn<bool>("possible");
    QTest::newRow("plain") << "bin" << true;
    QTest::newRow("blanks, quotes, dollar, backslash") << "my \"apps\" $HOME `x` a\\b" << true;
    QTest::newRow("percent") << "100% mine" << true;
    QTest::newRow("percent and field code") << "%f %%u" << true;
    // env would take the path for a variable setting.
    QTest::newRow("percent and equals") << "a=b 100%" << false;
}

// The entry read and run by GLib itself (gio launch), as GNOME and other GLib-based desktops run it.
void TestReminder::autostartEntry_glibStartsTheProgram_withRemind()
{
    QFETCH(QString, folder);
    QFETCH(bool, possible);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString program = dir.filePath(folder + QStringLiteral("/eveluna"));
    const QString record = dir.filePath(QStringLiteral("arguments"));
    QVERIFY(QDir().mkpath(QFileInfo(program).path()));
    QFile script(program);
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\nprintf '%s|' \"$0\" \"$@\" > \"" + QFile::encodeName(record) + ".part\" && mv \"" +
                 QFile::encodeName(record) + ".part\" \"" + QFile::encodeName(record) + "\"\n");
    script.close();
    QVERIFY(script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    QByteArray entry;
    try {
        entry = autostartEntry(program);
    } catch (const EFileError &e) {
        QVERIFY2(!possible, qPrintable(e.message()));
        QVERIFY(e.message().contains(program));
        return;
    }
    QVERIFY(possible);
    const QString entryPath = dir.filePath(QStringLiteral("reminder.desktop"));
    QFile file(entryPath);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(entry);
    file.close();

    QProcess gio;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent"));
    gio.setProcessEnvironment(env);
    gio.start(QStringLiteral("gio"), {QStringLiteral("launch"), entryPath});
    QVERIFY(gio.waitForFinished(10000));
    QVERIFY2(gio.exitCode() == 0, gio.readAllStandardError().constData());
    const QDeadlineTimer deadline(10000);
    while (!QFileInfo::exists(record) && !deadline.hasExpired()) {
        QThread::msleep(20);
    }
    QFile arguments(record);
    QVERIFY(arguments.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(arguments.readAll()), program + QStringLiteral("|--remind|"));
}

QTEST_GUILESS_MAIN(TestReminder)
#include "tst_reminder.moc"

void TestReminder::dailyUnits_pathWithSpacesAndPercent_passSystemdVerify_data()
{
    QTest::addColumn<int>("reminder");
    QTest::addColumn<QString>("programName");
    QTest::addColumn<QTime>("at");
    QTest::addColumn<QString>("onCalendar");

    QTest::newRow("temperature, first minute of the day")
        << int(DailyReminder::Temperature) << QStringLiteral("my eveluna") << QTime(0, 0) << "*-*-* 00:00:00";
    QTest::newRow("temperature, 100%") << int(DailyReminder::Temperature) << QStringLiteral("eveluna 100%")
                                       << QTime(6, 30) << "*-*-* 06:30:00";
    QTest::newRow("pill, %h and $HOME in the name")
        << int(DailyReminder::Pill) << QStringLiteral("eve %h $HOME luna") << QTime(21, 0) << "*-*-* 21:00:00";
    QTest::newRow("pill, last minute of the day")
        << int(DailyReminder::Pill) << QStringLiteral("eveluna%%") << QTime(23, 59) << "*-*-* 23:59:00";
}

void TestReminder::dailyUnits_pathWithSpacesAndPercent_passSystemdVerify()
{
    QFETCH(int, reminder);
    QFETCH(QString, programName);
    QFETCH(QTime, at);
    QFETCH(QString, onCalendar);
    const auto which = DailyReminder(reminder);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString folder = dir.filePath(QStringLiteral("her 50% folder"));
    QVERIFY(QDir().mkpath(folder + QStringLiteral("/systemd/user")));
    // verify looks for the executable of ExecStart: a stand-in that prints its arguments.
    const QString program = folder + u'/' + programName;
    QFile script(program);
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\nprintf '%s\\n' \"$0\" \"$@\"\n");
    script.close();
    QVERIFY(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    const QString units = folder + QStringLiteral("/systemd/user/");
    const QString name = units + dailyUnitName(which);
    for (const auto &[path, bytes] : {std::pair(name + QStringLiteral(".timer"), timerUnit(which, at)),
                                      std::pair(name + QStringLiteral(".service"), serviceUnit(which, program))}) {
        QFile unit(path);
        QVERIFY(unit.open(QIODevice::WriteOnly));
        unit.write(bytes);
    }
    QVERIFY(timerUnit(which, at).contains("\nOnCalendar=" + onCalendar.toUtf8() + "\nPersistent=true\n"));

    QProcess verify;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path()); // the user manager's folder, for --user
    verify.setProcessEnvironment(env);
    verify.setWorkingDirectory(units);
    verify.start(QStringLiteral("systemd-analyze"),
                 {QStringLiteral("verify"), QStringLiteral("--user"),
                  QStringLiteral("./") + dailyUnitName(which) + QStringLiteral(".timer"),
                  QStringLiteral("./") + dailyUnitName(which) + QStringLiteral(".service")});
    QVERIFY(verify.waitForFinished(30000));
    QCOMPARE(verify.readAllStandardError(), QByteArray());
    QCOMPARE(verify.exitCode(), 0);

    // What systemd starts: the same program and the word of the reminder, as separate arguments.
    const QByteArray service = serviceUnit(which, program);
    const qsizetype exec = service.indexOf("ExecStart=");
    QVERIFY(exec >= 0);
    QVERIFY(service.mid(exec).endsWith(" --remind-at " + dailyReminderWord(which).toUtf8() + "\n"));
    QVERIFY_THROWS_EXCEPTION(EFileError, serviceUnit(which, QStringLiteral("relative/eveluna")));
    for (const QString &refused :
         {QStringLiteral("\n"), QStringLiteral("\""), QStringLiteral("'"), QStringLiteral("\\")}) {
        QVERIFY_THROWS_EXCEPTION(EFileError, serviceUnit(which, program + refused));
    }
}

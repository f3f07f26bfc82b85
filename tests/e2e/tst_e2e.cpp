// The real program under its own X server: the window and its colours, the single-instance rule,
// the data files beside the executable, the end by Esc, and the help button.

#include "e2eharness.h"
#include "realsmtpserver.h"

#include <QDate>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QTest>

using namespace E2e;

namespace {

const QPoint MemoButtonCentre(8 + 124 + 31, 12 + 135 + 9);

// Colours of the day categories and marks.
const QRgb Grey = qRgb(212, 208, 200);
const QRgb ThisPeriod = qRgb(181, 255, 181);
const QRgb NextPeriod = qRgb(166, 202, 240);
const QRgb Unlikely = qRgb(185, 255, 255);
const QRgb SemiUnlikely = qRgb(255, 255, 181);
const QRgb SemiLikely = qRgb(255, 217, 217);
const QRgb Likely = qRgb(255, 128, 192);
const QRgb MemoMark = qRgb(255, 128, 64);

// The category of the day `offset` days after the newest first day, for a 28-day cycle, 0 cycles ahead.
QRgb categoryFor28DayCycle(int offset)
{
    if (offset < 0 || offset > 34) {
        return Grey;
    }
    if (offset >= 28) {
        return NextPeriod;
    }
    if (offset >= 12 && offset <= 16) {
        return Likely;
    }
    if ((offset >= 9 && offset <= 11) || offset == 17) {
        return SemiLikely;
    }
    if ((offset >= 5 && offset <= 8) || offset == 18) {
        return SemiUnlikely;
    }
    if (offset >= 19) {
        return Unlikely;
    }
    return ThisPeriod;
}

// Percentage of the pixels that two images of one size have in common.
int sameShare(const QImage &a, const QImage &b)
{
    if (a.size() != b.size() || a.isNull()) {
        return 0;
    }
    qint64 same = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            same += (a.pixel(x, y) & 0xffffff) == (b.pixel(x, y) & 0xffffff) ? 1 : 0;
        }
    }
    return int(same * 100 / (qint64(a.width()) * a.height()));
}

QByteArray dateLine(const QDate &date)
{
    return date.toString(QStringLiteral("yyyy/MM/dd")).toLatin1() + "\r\n";
}

} // namespace

class TestEndToEnd : public QObject
{
    Q_OBJECT

private:
    XServer m_x;

    // Starts the program and waits for its main window; empty when none came (program.report() says why).
    static QString startAndWait(XServer &x, RunningProgram &program)
    {
        if (!program.start()) {
            return QString();
        }
        return x.waitForWindow(MainTitle, 15000, &program);
    }

    // Ends the program by Esc in the main window; true when it ended by itself with status 0.
    bool closeWithEscape(RunningProgram &program, const QString &window)
    {
        return m_x.pressKey(window, QStringLiteral("Escape")) && program.waitForExit(10000) &&
               program.exitStatus() == QProcess::NormalExit && program.exitCode() == 0;
    }

private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(m_x.start(&error), qPrintable(error));
    }

    void calendar_showsCategoryColoursOfTheWrittenData()
    {
        ProgramFolder folder;
        QVERIFY(folder.isValid());
        // Three first days 28 days apart, the newest on the 1st of this month; "平均" gives 28 days.
        const QDate first = QDate::currentDate().addDays(1 - QDate::currentDate().day());
        QVERIFY(folder.writeFile(QStringLiteral("date.dat"),
                                 dateLine(first) + dateLine(first.addDays(-28)) + dateLine(first.addDays(-56))));
        QVERIFY(folder.writeFile(QStringLiteral("setting.ini"), "[Day Setting]\r\nDaymode=0\r\n"));
        const QDate memoDay = first.addDays(13);
        QVERIFY(folder.writeFile(QStringLiteral("dateMemo.dat"),
                                 memoDay.toString(QStringLiteral("yyyy/MM/dd")).toLatin1() + ",\"e2e memo\"\r\n"));
        const QStringList before = folder.entries();

        RunningProgram program(m_x, folder.executable(), folder.path());
        const QString window = startAndWait(m_x, program);
        QVERIFY2(!window.isEmpty(), qPrintable(program.report()));
        QCOMPARE(m_x.windowGeometry(window).size(), QSize(444, 273));

        // The first column is Sunday; the 1st of the month lies in column `lead`. Returns the cells
        // whose colour is not the expected one, empty when the whole grid is right.
        const int lead = first.dayOfWeek() % 7;
        auto gridMismatches = [&](bool memoMarks) {
            const QImage shot = m_x.grabSettledWindow(window);
            if (shot.isNull()) {
                return QStringLiteral("no screenshot");
            }
            QStringList wrong;
            for (int cell = 1; cell <= 37; ++cell) {
                const int offset = cell - 1 - lead;
                QRgb expected = offset < first.daysInMonth() ? categoryFor28DayCycle(offset) : Grey;
                if (memoMarks && offset == first.daysTo(memoDay)) {
                    expected = MemoMark;
                }
                // The inner part of the cell, clear of its border; the digits cover far less than half.
                const QRect inner = dayCellRect(cell).adjusted(2, 2, -2, -2);
                if (countPixels(shot, inner, expected) * 2 < inner.width() * inner.height()) {
                    wrong << QStringLiteral("cell %1 (day offset %2): expected %3, mostly %4")
                                 .arg(cell)
                                 .arg(offset)
                                 .arg(colourName(expected), colourName(dominantColour(shot, inner)));
                }
            }
            return wrong.join(QLatin1Char('\n'));
        };
        QString wrong;
        QTRY_VERIFY2_WITH_TIMEOUT((wrong = gridMismatches(false)).isEmpty(), qPrintable(wrong), 5000);

        // "メモ" marks the day that has a memo, over its category.
        QVERIFY(m_x.click(window, MemoButtonCentre));
        QTRY_VERIFY2_WITH_TIMEOUT((wrong = gridMismatches(true)).isEmpty(), qPrintable(wrong), 5000);

        // Showing the month created no file.
        QCOMPARE(folder.entries(), before);
        QVERIFY2(closeWithEscape(program, window), qPrintable(program.report()));
    }

    void secondStart_endsAtOnce_andBringsTheFirstForward()
    {
        ProgramFolder folder;
        QVERIFY(folder.isValid());
        QVERIFY(folder.writeFile(QStringLiteral("date.dat"), dateLine(QDate::currentDate())));
        RunningProgram first(m_x, folder.executable(), folder.path());
        const QString window = startAndWait(m_x, first);
        QVERIFY2(!window.isEmpty(), qPrintable(first.report()));

        // What the window looks like while nothing covers it.
        const QRect geometry = m_x.windowGeometry(window);
        const QImage settled = m_x.grabSettledWindow(window);
        const QImage uncovered = m_x.grabScreen().copy(geometry);
        QVERIFY(!uncovered.isNull());
        QVERIFY(sameShare(uncovered, settled) >= 95);
        // Another program's window covers it and takes the focus, as if the user had moved on.
        RunningProgram other(m_x, QStringLiteral("xlogo"), folder.path());
        other.setArguments({QStringLiteral("-geometry"), QStringLiteral("1000x740+10+10")});
        QVERIFY(other.start());
        QString otherWindow;
        for (int i = 0; i < 50 && otherWindow.isEmpty(); ++i) {
            otherWindow = m_x.visibleWindows(QStringLiteral("xlogo")).value(0);
            QTest::qWait(100);
        }
        QVERIFY(!otherWindow.isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(sameShare(m_x.grabScreen().copy(geometry), uncovered) < 50, 5000);

        const QStringList filesBefore = folder.entries();
        const QByteArray dateBefore = folder.readFile(QStringLiteral("date.dat"));
        RunningProgram second(m_x, folder.executable(), folder.path());
        QElapsedTimer timer;
        timer.start();
        QVERIFY(second.start());
        QVERIFY(second.waitForExit(5000));
        QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        // Silent: no message, no window, no file touched.
        QCOMPARE(second.standardError(), QByteArray());
        QCOMPARE(second.standardOutput(), QByteArray());
        QCOMPARE(m_x.visibleWindows(MainTitle), QStringList{window});
        QCOMPARE(folder.entries(), filesBefore);
        QCOMPARE(folder.readFile(QStringLiteral("date.dat")), dateBefore);

        // The running copy came to the front: the screen shows it again as it was.
        QTRY_VERIFY_WITH_TIMEOUT(sameShare(m_x.grabScreen().copy(geometry), uncovered) >= 95, 5000);
        QVERIFY(first.isRunning());
        QVERIFY2(closeWithEscape(first, window), qPrintable(first.report()));

        // Once the first copy has ended, a new start runs normally.
        RunningProgram third(m_x, folder.executable(), folder.path());
        const QString again = startAndWait(m_x, third);
        QVERIFY2(!again.isEmpty(), qPrintable(third.report()));
        QVERIFY2(closeWithEscape(third, again), qPrintable(third.report()));
    }

    // --record-start while the window is open: the window registers the day and redraws at once.
    void recordStart_runningCopyRegistersAndRedraws()
    {
        ProgramFolder folder;
        QVERIFY(folder.isValid());
        // The newest first day 40 days ago: today lies past the predicted cycle, coloured as no period.
        const QDate today = QDate::currentDate();
        QVERIFY(folder.writeFile(QStringLiteral("date.dat"), dateLine(today.addDays(-40))));
        RunningProgram program(m_x, folder.executable(), folder.path());
        const QString window = startAndWait(m_x, program);
        QVERIFY2(!window.isEmpty(), qPrintable(program.report()));
        const int todayCell = today.day() + (today.addDays(1 - today.day()).dayOfWeek() % 7);
        const QRect inner = dayCellRect(todayCell).adjusted(2, 2, -2, -2);
        QVERIFY(countPixels(m_x.grabSettledWindow(window), inner, ThisPeriod) * 2 < inner.width() * inner.height());

        QProcess record;
        record.setProcessEnvironment(m_x.environment());
        record.start(folder.executable(), {QStringLiteral("--record-start")});
        QVERIFY(record.waitForFinished(10000));
        QCOMPARE(record.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(record.readAllStandardOutput()),
                 today.toString(QStringLiteral("yyyy/MM/dd")) + QStringLiteral(" を生理開始日として登録しました\n"));
        QCOMPARE(folder.readFile(QStringLiteral("date.dat")), dateLine(today) + dateLine(today.addDays(-40)));
        QTRY_VERIFY_WITH_TIMEOUT(
            countPixels(m_x.grabWindow(window), inner, ThisPeriod) * 2 > inner.width() * inner.height(), 5000);
        QVERIFY2(closeWithEscape(program, window), qPrintable(program.report()));
    }

    void startElsewhere_readsAndWritesFilesBesideTheExecutable()
    {
        ProgramFolder folder;
        QVERIFY(folder.isValid());
        QVERIFY(folder.writeFile(QStringLiteral("date.dat"), dateLine(QDate::currentDate())));
        // The working folder holds files that would show an error box if they were read.
        QTemporaryDir cwd;
        QVERIFY(cwd.isValid());
        const QByteArray decoyDates = "not a date\r\n";
        const QByteArray decoySettings = "[Day Setting]\r\nDaymode=2\r\n";
        {
            QFile dates(cwd.filePath(QStringLiteral("date.dat")));
            QVERIFY(dates.open(QIODevice::WriteOnly));
            dates.write(decoyDates);
            QFile settings(cwd.filePath(QStringLiteral("setting.ini")));
            QVERIFY(settings.open(QIODevice::WriteOnly));
            settings.write(decoySettings);
        }

        RunningProgram program(m_x, folder.executable(), cwd.path());
        const QString window = startAndWait(m_x, program);
        QVERIFY2(!window.isEmpty(), qPrintable(program.report()));
        // Today, the one first day beside the executable, shows as this period...
        const QDate today = QDate::currentDate();
        const int todayCell = today.day() + (today.addDays(1 - today.day()).dayOfWeek() % 7);
        const QRect inner = dayCellRect(todayCell).adjusted(2, 2, -2, -2);
        QTRY_VERIFY_WITH_TIMEOUT(
            countPixels(m_x.grabWindow(window), inner, ThisPeriod) * 2 > inner.width() * inner.height(), 5000);
        // ...and the main window is the only one: no error box about the decoy files.
        QCOMPARE(m_x.visibleWindows(MainTitle).size(), 1);
        QCOMPARE(m_x.windowGeometry(window).size(), QSize(444, 273));
        QVERIFY2(closeWithEscape(program, window), qPrintable(program.report()));

        // The mode was stored beside the executable: the default 4, not the decoy's 2.
        QVERIFY(folder.exists(QStringLiteral("setting.ini")));
        QVERIFY(folder.readFile(QStringLiteral("setting.ini")).contains("Daymode=4\r\n"));
        QFile dates(cwd.filePath(QStringLiteral("date.dat")));
        QVERIFY(dates.open(QIODevice::ReadOnly));
        QCOMPARE(dates.readAll(), decoyDates);
        QFile settings(cwd.filePath(QStringLiteral("setting.ini")));
        QVERIFY(settings.open(QIODevice::ReadOnly));
        QCOMPARE(settings.readAll(), decoySettings);
        QCOMPARE(QDir(cwd.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).size(), 2);
    }

    void escape_endsWithStatusZero_andStoresTheMode()
    {
        ProgramFolder folder;
        QVERIFY(folder.isValid());
        QVERIFY(folder.writeFile(QStringLiteral("date.dat"),
                                 dateLine(QDate::currentDate()) + dateLine(QDate::currentDate().addDays(-30))));
        // A hexadecimal mode reads as 2 and is written back in decimal; other lines stay as they are.
        QVERIFY(folder.writeFile(QStringLiteral("setting.ini"), "[Day Setting]\r\nDaymode=0x2\r\nDaybetween=31\r\n"
                                                                "[Mail Setting]\r\nSMTP=mail.example.jp\r\n"));
        RunningProgram program(m_x, folder.executable(), folder.path());
        const QString window = startAndWait(m_x, program);
        QVERIFY2(!window.isEmpty(), qPrintable(program.report()));
        QVERIFY2(closeWithEscape(program, window), qPrintable(program.report()));
        QCOMPARE(
            folder.readFile(QStringLiteral("setting.ini")),
            QByteArray("[Day Setting]\r\nDaymode=2\r\nDaybetween=31\r\n[Mail Setting]\r\nSMTP=mail.example.jp\r\n"));
        QVERIFY(m_x.visibleWindows(MainTitle).isEmpty());
    }

    void helpButton_opensTheHelpWindow_andTheChmOnlyWithoutTheHtmlCopy_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<bool>("htmlCopy");
        QTest::addColumn<QString>("expected");
        QTest::newRow("HTML copy: the help window, then ブラウザで開く")
            << "eveluna" << true << "eveluna-help/index.html";
        // A renamed program looks for help of its own new name.
        QTest::newRow("renamed") << "luna.bin" << true << "luna-help/index.html";
        QTest::newRow("no HTML copy: the .chm to the desktop") << "eveluna" << false << "eveluna.chm";
    }

    void helpButton_opensTheHelpWindow_andTheChmOnlyWithoutTheHtmlCopy()
    {
        QFETCH(QString, program);
        QFETCH(bool, htmlCopy);
        QFETCH(QString, expected);
        ProgramFolder folder(program.section(QLatin1Char('.'), 0, 0));
        if (program.contains(QLatin1Char('.'))) {
            // The help keeps the base name; the program file gets the extension.
            QVERIFY(QFile::rename(folder.executable(), folder.filePath(program)));
        }
        QVERIFY(folder.isValid());
        if (!htmlCopy) {
            QVERIFY(QDir(folder.filePath(program.section(QLatin1Char('.'), 0, 0) + QStringLiteral("-help")))
                        .removeRecursively());
        }
        QVERIFY(folder.writeFile(QStringLiteral("date.dat"), dateLine(QDate::currentDate())));
        // A stand-in for the desktop's opener, which records what it got.
        QTemporaryDir tools;
        QVERIFY(tools.isValid());
        const QString record = tools.filePath(QStringLiteral("opened.txt"));
        {
            QFile file(tools.filePath(QStringLiteral("xdg-open")));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("#!/bin/sh\necho \"$1\" >> '" + record.toLocal8Bit() + "'\n");
            file.close();
            QVERIFY(file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
        }
        QProcessEnvironment extra;
        extra.insert(QStringLiteral("PATH"), tools.path() + QStringLiteral(":/usr/bin:/bin"));

        RunningProgram running(m_x, folder.filePath(program), folder.path(), extra);
        const QString window = startAndWait(m_x, running);
        QVERIFY2(!window.isEmpty(), qPrintable(running.report()));
        QVERIFY(m_x.pressKey(window, QStringLiteral("alt+h")));
        if (htmlCopy) {
            const QString help = m_x.waitForWindow(QStringLiteral("Easy VELUNA ヘルプ"), 15000, &running);
            QVERIFY2(!help.isEmpty(), qPrintable(running.report()));
            QVERIFY(m_x.pressKey(help, QStringLiteral("alt+o")));
        }
        // The stand-in creates the file before it writes the line: wait for the whole line.
        auto recorded = [&record] {
            QFile opened(record);
            return opened.open(QIODevice::ReadOnly) ? opened.readAll() : QByteArray();
        };
        QTRY_VERIFY_WITH_TIMEOUT(recorded().endsWith('\n'), 10000);
        const QByteArray url = recorded().trimmed();
        QCOMPARE(QUrl(QString::fromUtf8(url)).toLocalFile(), folder.filePath(expected));
        // No message box: the main window is still the only one of its title and answers Esc.
        QCOMPARE(m_x.visibleWindows(MainTitle), QStringList{window});
        QVERIFY2(closeWithEscape(running, window), qPrintable(running.report()));
    }
    void mailDialog_sendsWithEnter_andStoresTheFields()
    {
        RealSmtpServer server(QStringLiteral("user"), QStringLiteral("p@ss w0rd"));
        QVERIFY(server.port() > 0);
        const QByteArray port = QByteArray::number(server.port());
        ProgramFolder folder;
        QVERIFY(folder.isValid());
        const QDate today = QDate::currentDate();
        QVERIFY(folder.writeFile(QStringLiteral("date.dat"), dateLine(today) + dateLine(today.addDays(-28))));
        // The stored fields fill the dialog, so Enter alone sends. Quoted values are read without their
        // quotes and written back bare; a true ChkSMTP of 2 is written back as 1.
        const QByteArray account = "User=dXNlcg==\r\nPass=Y0VCemN5QjNNSEpr\r\n";
        QVERIFY(folder.writeFile(QStringLiteral("setting.ini"),
                                 "[Day Setting]\r\nDaymode=4\r\nDaybetween=28\r\n[Mail Setting]\r\nSMTP=127.0.0.1\r\n"
                                 "Port=" +
                                     port + "\r\nChkSMTP=2\r\n" + account +
                                     "From=\"me@example.jp\"\r\nTo=\"you@example.jp\"\r\n"));

        RunningProgram program(m_x, folder.executable(), folder.path());
        const QString window = startAndWait(m_x, program);
        QVERIFY2(!window.isEmpty(), qPrintable(program.report()));
        QVERIFY(m_x.pressKey(window, QStringLiteral("alt+m")));
        const QString mail = m_x.waitForWindow(QStringLiteral("メール送信"), 15000, &program);
        QVERIFY2(!mail.isEmpty(), qPrintable(program.report()));
        QVERIFY(m_x.pressKey(mail, QStringLiteral("Return")));

        QCOMPARE(server.recordWith(QStringLiteral("helo")).value(QStringLiteral("helo")).toString(),
                 QStringLiteral("EasyVELUNA"));
        QVERIFY(server.recordWith(QStringLiteral("auth")).value(QStringLiteral("auth")).toArray().last().toBool());
        const QJsonObject message = server.recordWith(QStringLiteral("data"));
        QCOMPARE(message.value(QStringLiteral("mail_from")).toString(), QStringLiteral("me@example.jp"));
        QCOMPARE(message.value(QStringLiteral("rcpt_tos")).toArray(), QJsonArray({QStringLiteral("you@example.jp")}));
        const QString data = message.value(QStringLiteral("data")).toString();
        const auto day = [](const QDate &date) { return date.toString(QStringLiteral("yyyy/MM/dd")); };
        QVERIFY2(data.contains(QStringLiteral("Subject: EasyVELUNA Plus\r\n")), qPrintable(data.left(400)));
        QVERIFY2(data.contains(QStringLiteral("\r\n\r\nEasyVELUNA Plus\r\n\r\n※28日周期を想定\r\n") + day(today) +
                               QStringLiteral("\u3000今回の生理\r\n")),
                 qPrintable(data.left(400)));
        QVERIFY2(data.endsWith(day(today.addDays(34)) + QStringLiteral("\u3000次の生理\r\n\r\n※過去2回の生理日\r\n") +
                               day(today) + QStringLiteral("\r\n") + day(today.addDays(-28)) + QStringLiteral("\r\n")),
                 qPrintable(data.right(120)));
        QCOMPARE(data.count(QChar(0x3000)), 35);

        // The fields are written once the session is over; then Esc closes the dialog and the program.
        const QByteArray stored = "[Day Setting]\r\nDaymode=4\r\nDaybetween=28\r\n[Mail Setting]\r\nSMTP=127.0.0.1\r\n"
                                  "Port=" +
                                  port + "\r\nChkSMTP=1\r\n" + account +
                                  "From=me@example.jp\r\nTo=you@example.jp\r\nIcs=0\r\nSecurity=0\r\n";
        QTRY_COMPARE_WITH_TIMEOUT(folder.readFile(QStringLiteral("setting.ini")), stored, 10000);
        QVERIFY(m_x.pressKey(mail, QStringLiteral("Escape")));
        QTRY_VERIFY_WITH_TIMEOUT(m_x.visibleWindows(QStringLiteral("メール送信")).isEmpty(), 10000);
        QVERIFY2(closeWithEscape(program, window), qPrintable(program.report()));
        QCOMPARE(folder.readFile(QStringLiteral("setting.ini")), stored);
        // One message only: Enter sent once.
        QVERIFY(server.recordWith(QStringLiteral("data"), 300).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestEndToEnd)

#include "tst_e2e.moc"

// The real program by keyboard and through a screen reader's eyes: Enter on a focused button in every
// dialog, the digit filter under modifier chords, double clicks of the other mouse buttons, the month
// grid walked with the arrow keys, and the day cells as an AT-SPI client reads them.

#include "e2eharness.h"

#include <QDate>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScopeGuard>
#include <QTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace E2e;

namespace {

const QPoint LengthBoxCentre(8 + 125 + 12, 184 + 11 + 10);

QByteArray dateLine(const QDate &date)
{
    return date.toString(QStringLiteral("yyyy/MM/dd")).toLatin1() + "\r\n";
}

// A TCP port on 127.0.0.1 that listens and must never be reached.
class SilentListener final
{
public:
    SilentListener()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (m_fd >= 0 && ::bind(m_fd, reinterpret_cast<sockaddr *>(&address), length) == 0 && ::listen(m_fd, 4) == 0 &&
            ::getsockname(m_fd, reinterpret_cast<sockaddr *>(&address), &length) == 0) {
            m_port = ntohs(address.sin_port);
        }
    }
    ~SilentListener()
    {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    SilentListener(const SilentListener &) = delete;
    SilentListener &operator=(const SilentListener &) = delete;

    int port() const { return m_port; }
    // True when a connection is waiting to be accepted.
    bool wasReached() const
    {
        pollfd waiting{m_fd, POLLIN, 0};
        return ::poll(&waiting, 1, 0) > 0;
    }

private:
    int m_fd = -1;
    int m_port = 0;
};

} // namespace

class TestKeyboard : public QObject
{
    Q_OBJECT

private:
    XServer m_x;

    QString startAndWait(RunningProgram &program)
    {
        return program.start() ? m_x.waitForWindow(MainTitle, 15000, &program) : QString();
    }

    bool keys(const QString &window, const QStringList &names)
    {
        bool ok = false;
        m_x.runTool(QStringLiteral("xdotool"), {QStringLiteral("windowfocus"), QStringLiteral("--sync"), window}, &ok);
        if (ok) {
            m_x.runTool(QStringLiteral("xdotool"),
                        QStringList{QStringLiteral("key"), QStringLiteral("--clearmodifiers")} + names, &ok);
        }
        return ok;
    }

    // Gives a push button the focus without pressing it: the press takes the focus, the release away
    // from the button does not click.
    bool focusButton(const QString &window, const QPoint &centre)
    {
        bool ok = false;
        m_x.runTool(QStringLiteral("xdotool"),
                    {QStringLiteral("mousemove"), QStringLiteral("--window"), window, QString::number(centre.x()),
                     QString::number(centre.y()), QStringLiteral("mousedown"), QStringLiteral("1"),
                     QStringLiteral("mousemove"), QStringLiteral("--window"), window, QStringLiteral("2"),
                     QStringLiteral("2"), QStringLiteral("mouseup"), QStringLiteral("1")},
                    &ok);
        return ok;
    }

    bool doubleClick(const QString &window, const QPoint &pos, int button)
    {
        bool ok = false;
        m_x.runTool(QStringLiteral("xdotool"),
                    {QStringLiteral("mousemove"), QStringLiteral("--window"), window, QString::number(pos.x()),
                     QString::number(pos.y()), QStringLiteral("click"), QStringLiteral("--repeat"), QStringLiteral("2"),
                     QStringLiteral("--delay"), QStringLiteral("60"), QString::number(button)},
                    &ok);
        return ok;
    }

    bool waitGone(const QString &title)
    {
        return QTest::qWaitFor([&] { return m_x.visibleWindows(title).isEmpty(); }, 5000);
    }

    bool closeWithEscape(RunningProgram &program, const QString &window)
    {
        return m_x.pressKey(window, QStringLiteral("Escape")) && program.waitForExit(10000) && program.exitCode() == 0;
    }

private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(m_x.start(&error), qPrintable(error));
    }

    void enterOnFocusedButton_pressesThatButton_inEveryDialog()
    {
        SilentListener smtp;
        QVERIFY(smtp.port() > 0);
        ProgramFolder folder;
        QVERIFY(folder.isValid());
        const QDate today = QDate::currentDate();
        QVERIFY(
            folder.writeFile(QStringLiteral("date.dat"), dateLine(today.addDays(-10)) + dateLine(today.addDays(-38))));
        QVERIFY(folder.writeFile(QStringLiteral("dateMemo.dat"),
                                 today.toString(QStringLiteral("yyyy/MM/dd")).toLatin1() + ",\"kept\"\r\n"));
        // Everything a send needs is stored, so a press of the wrong button would send at once.
        QVERIFY(folder.writeFile(
            QStringLiteral("setting.ini"),
            "[Day Setting]\r\nDaymode=4\r\nDaybetween=28\r\n[Mail Setting]\r\nSMTP=127.0.0.1\r\nPort=" +
                QByteArray::number(smtp.port()) + "\r\nChkSMTP=0\r\nFrom=me@example.jp\r\nTo=you@example.jp\r\n"));
        const QStringList names = {QStringLiteral("date.dat"), QStringLiteral("dateMemo.dat"),
                                   QStringLiteral("setting.ini")};
        auto contents = [&] {
            QList<QByteArray> all;
            for (const QString &name : names) {
                all << folder.readFile(name);
            }
            return all;
        };
        const QList<QByteArray> before = contents();

        RunningProgram program(m_x, folder.executable(), folder.path());
        const QString window = startAndWait(program);
        QVERIFY2(!window.isEmpty(), qPrintable(program.report()));

        // Opener key, dialog title, centre of its close or cancel button.
        const struct
        {
            const char *opener;
            QString title;
            QPoint cancel;
        } dialogs[] = {
            {"alt+e", QStringLiteral("生理登録"), QPoint(119 + 52, 69 + 15)},
            {"alt+m", QStringLiteral("メール送信"), QPoint(272 + 52, 328 + 15)},
            {"alt+v", QStringLiteral("登録データ"), QPoint(224 + 39, 303 + 15)},
            {nullptr, QStringLiteral("メモ"), QPoint(268 + 52, 265 + 15)},
        };
        for (const auto &dialog : dialogs) {
            if (dialog.opener != nullptr) {
                QVERIFY(m_x.pressKey(window, QString::fromLatin1(dialog.opener)));
            } else {
                QVERIFY(doubleClick(window, dayCellRect(cellOf(today)).center(), 1));
            }
            const QString opened = m_x.waitForWindow(dialog.title, 10000, &program);
            QVERIFY2(!opened.isEmpty(), qPrintable(dialog.title + program.report()));
            if (dialog.opener == nullptr) {
                // An edit that the close button must throw away.
                QVERIFY(keys(opened, {QStringLiteral("x"), QStringLiteral("y")}));
            }
            QVERIFY(focusButton(opened, dialog.cancel));
            QVERIFY(m_x.pressKey(opened, QStringLiteral("Return")));
            QVERIFY2(waitGone(dialog.title), qPrintable(dialog.title));
            QCOMPARE(m_x.visibleWindows(MainTitle), QStringList{window});
            QCOMPARE(contents(), before);
        }
        QVERIFY2(closeWithEscape(program, window), qPrintable(program.report()));
        QVERIFY(!smtp.wasReached());
    }

    void lengthBox_modifierChords_typeNoLetters()
    {
        ProgramFolder folder;
        QVERIFY(folder.isValid());
        const QDate today = QDate::currentDate();
        QVERIFY(folder.writeFile(QStringLiteral("date.dat"), dateLine(today) + dateLine(today.addDays(-30))));
        QVERIFY(folder.writeFile(QStringLiteral("setting.ini"), "[Day Setting]\r\nDaymode=4\r\nDaybetween=30\r\n"));
        RunningProgram program(m_x, folder.executable(), folder.path());
        const QString window = startAndWait(program);
        QVERIFY2(!window.isEmpty(), qPrintable(program.report()));

        QVERIFY(m_x.click(window, LengthBoxCentre));
        QVERIFY(keys(window, {QStringLiteral("End"), QStringLiteral("alt+a"), QStringLiteral("super+b"),
                              QStringLiteral("ctrl+alt+c"), QStringLiteral("alt+shift+d"), QStringLiteral("BackSpace"),
                              QStringLiteral("2"), QStringLiteral("Tab")}));
        // Leaving the box stores what it holds: only the edit by Backspace and the digit.
        QTRY_VERIFY2_WITH_TIMEOUT(folder.readFile(QStringLiteral("setting.ini")).contains("Daybetween=32\r\n"),
                                  folder.readFile(QStringLiteral("setting.ini")).constData(), 5000);
        QCOMPARE(m_x.visibleWindows(MainTitle), QStringList{window});
        QVERIFY2(closeWithEscape(program, window), qPrintable(program.report()));
        QCOMPARE(folder.readFile(QStringLiteral("setting.ini")),
                 QByteArray("[Day Setting]\r\nDaymode=4\r\nDaybetween=32\r\n"));
    }

    void dayCell_onlyPrimaryDoubleClickOpensMemo()
    {
        ProgramFolder folder;
        QVERIFY(folder.isValid());
        const QDate today = QDate::currentDate();
        QVERIFY(folder.writeFile(QStringLiteral("date.dat"), dateLine(today)));
        RunningProgram program(m_x, folder.executable(), folder.path());
        const QString window = startAndWait(program);
        QVERIFY2(!window.isEmpty(), qPrintable(program.report()));
        const QPoint day = dayCellRect(cellOf(today)).center();

        for (const int button : {3, 2}) {
            QVERIFY(doubleClick(window, day, button));
            QTest::qWait(700);
            QVERIFY2(m_x.visibleWindows(QStringLiteral("メモ")).isEmpty(), qPrintable(QString::number(button)));
        }
        QVERIFY(doubleClick(window, day, 1));
        const QString memo = m_x.waitForWindow(QStringLiteral("メモ"), 10000, &program);
        QVERIFY2(!memo.isEmpty(), qPrintable(program.report()));
        // Esc: Alt+X is also 性交's key in the day dialog.
        QVERIFY(m_x.pressKey(memo, QStringLiteral("Escape")));
        QVERIFY(waitGone(QStringLiteral("メモ")));
        QVERIFY2(closeWithEscape(program, window), qPrintable(program.report()));
        QVERIFY(!folder.exists(QStringLiteral("dateMemo.dat")));
    }

    void arrowWalk_acrossMonthEnd_opensMemoOfTheDayReached()
    {
        ProgramFolder folder;
        QVERIFY(folder.isValid());
        const QDate today = QDate::currentDate();
        QVERIFY(folder.writeFile(QStringLiteral("date.dat"), dateLine(today.addDays(-3))));
        RunningProgram program(m_x, folder.executable(), folder.path());
        const QString window = startAndWait(program);
        QVERIFY2(!window.isEmpty(), qPrintable(program.report()));

        // Back from the first cycle control lies the grid; the frame starts on today.
        const QRect todayCell = dayCellRect(cellOf(today));
        const QImage unframed = m_x.grabSettledWindow(window).copy(todayCell);
        QVERIFY(keys(window, {QStringLiteral("shift+Tab")}));
        QImage framed;
        QVERIFY(QTest::qWaitFor([&] { return (framed = m_x.grabWindow(window).copy(todayCell)) != unframed; }, 5000));
        // The frame lies on the cell's edge: inside it the cell keeps every pixel.
        const QRect inside = QRect(QPoint(0, 0), todayCell.size()).adjusted(2, 2, -2, -2);
        QCOMPARE(framed.copy(inside), unframed.copy(inside));

        // Next month and back, then right to the first day of next month and one week down.
        QStringList walk = {QStringLiteral("Next"), QStringLiteral("Prior"), QStringLiteral("Home")};
        for (int day = today.day(); day <= today.daysInMonth(); ++day) {
            walk << QStringLiteral("Right");
        }
        walk << QStringLiteral("Down") << QStringLiteral("Return");
        QVERIFY(keys(window, walk));
        const QString memo = m_x.waitForWindow(QStringLiteral("メモ"), 10000, &program);
        QVERIFY2(!memo.isEmpty(), qPrintable(program.report()));
        QVERIFY(keys(memo, {QStringLiteral("w"), QStringLiteral("a"), QStringLiteral("l"), QStringLiteral("k"),
                            QStringLiteral("alt+s")}));
        QVERIFY(waitGone(QStringLiteral("メモ")));
        const QDate reached = today.addDays(today.daysInMonth() - today.day() + 8);
        QCOMPARE(folder.readFile(QStringLiteral("dateMemo.dat")),
                 reached.toString(QStringLiteral("yyyy/MM/dd")).toLatin1() + ",\"walk\"\r\n");
        QVERIFY2(closeWithEscape(program, window), qPrintable(program.report()));
    }

    void screenReader_readsDayNamesMemosLegendAndButtons()
    {
        ProgramFolder folder;
        QVERIFY(folder.isValid());
        const QDate today = QDate::currentDate();
        const QDate first = today.addDays(1 - today.day());
        QVERIFY(folder.writeFile(QStringLiteral("date.dat"), dateLine(first) + dateLine(first.addDays(-28))));
        QVERIFY(folder.writeFile(QStringLiteral("setting.ini"), "[Day Setting]\r\nDaymode=0\r\n"));
        const QDate memoDay = first.addDays(13);
        QVERIFY(
            folder.writeFile(QStringLiteral("dateMemo.dat"), memoDay.toString(QStringLiteral("yyyy/MM/dd")).toLatin1() +
                                                                 ",\"to the clinic at 9$$second line\"\r\n"));

        // A private session bus; the accessibility bus is started on it before the program asks.
        // Without DISPLAY: the bus launcher would otherwise connect to the X server and, leaving it
        // before the program has connected, make Xvfb reset under the program's first connection.
        QProcessEnvironment busEnvironment = m_x.environment();
        busEnvironment.remove(QStringLiteral("DISPLAY"));
        QProcess bus;
        bus.setProcessEnvironment(busEnvironment);
        bus.start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
        QVERIFY(bus.waitForStarted(5000));
        QVERIFY(QTest::qWaitFor([&] { return bus.canReadLine() || (bus.waitForReadyRead(100) && bus.canReadLine()); },
                                5000));
        const QString address = QString::fromLatin1(bus.readLine().trimmed());
        auto stopBus = qScopeGuard([&bus] {
            bus.terminate();
            bus.waitForFinished(3000);
        });
        QProcessEnvironment extra;
        extra.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);
        extra.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
        busEnvironment.insert(extra);
        QProcess launch;
        launch.setProcessEnvironment(busEnvironment);
        launch.start(QStringLiteral("dbus-send"),
                     {QStringLiteral("--session"), QStringLiteral("--print-reply"),
                      QStringLiteral("--dest=org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                      QStringLiteral("org.a11y.Bus.GetAddress")});
        QVERIFY(launch.waitForFinished(10000));
        QCOMPARE(launch.exitCode(), 0);

        RunningProgram program(m_x, folder.executable(), folder.path(), extra);
        const QString window = startAndWait(program);
        QVERIFY2(!window.isEmpty(), qPrintable(program.report()));

        const auto dayName = [](const QDate &date) {
            return QStringLiteral("%1年%2月%3日（%4）")
                .arg(date.year())
                .arg(date.month())
                .arg(date.day())
                .arg(QStringLiteral("月火水木金土日").at(date.dayOfWeek() - 1));
        };
        QProcess reader;
        reader.setProcessEnvironment(busEnvironment);
        reader.start(QStringLiteral("/usr/bin/python3"),
                     {QStringLiteral(ATSPI_NAMES_SCRIPT), MainTitle, dayName(first), QStringLiteral("20")});
        QVERIFY(reader.waitForFinished(30000));
        QVERIFY2(reader.exitCode() == 0, reader.readAllStandardError().constData());
        QHash<QString, QString> descriptions;
        for (const QJsonValue &object : QJsonDocument::fromJson(reader.readAllStandardOutput()).array()) {
            descriptions.insert(object[QStringLiteral("name")].toString(),
                                object[QStringLiteral("description")].toString());
        }
        QVERIFY2(descriptions.contains(dayName(first) + QStringLiteral("、今回の生理")),
                 qPrintable(QStringList(descriptions.keys()).join(u'\n')));
        QVERIFY(descriptions.contains(dayName(memoDay) + QStringLiteral("、妊娠しやすい日、メモ:to the clinic at 9")));
        QVERIFY(descriptions.contains(dayName(first.addDays(28)) + QStringLiteral("、次の生理")));
        QCOMPARE(descriptions.value(QStringLiteral("次の生理")), QStringLiteral("排卵日から16日後に生理がくるとする"));
        QCOMPARE(descriptions.value(QStringLiteral("準妊娠しやすい日")),
                 QStringLiteral("精子は３日間は生きる\n卵子は丸１日生きる"));
        for (const QString &button : {QStringLiteral("生理登録"), QStringLiteral("終了"), QStringLiteral("前の月")}) {
            QVERIFY2(descriptions.contains(button), qPrintable(button));
        }
        QVERIFY2(closeWithEscape(program, window), qPrintable(program.report()));
    }
};

QTEST_GUILESS_MAIN(TestKeyboard)

#include "tst_keyboard.moc"

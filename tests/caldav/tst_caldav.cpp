// The calendar sync against Radicale (TLS from a test authority, a htpasswd user) with python3-caldav as
// her phone, against a hostile server of our own, and eveluna --sync's exit statuses.

#include "base64.h"
#include "caldavjobs.h"
#include "calendarsync.h"
#include "settings.h"
#include "syncplan.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

using Snapshot = QMap<QString, QByteArray>;

// Every file under the folder with its bytes.
Snapshot snapshot(const QString &folder)
{
    Snapshot files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        files.insert(QDir(folder).relativeFilePath(file.fileName()),
                     file.open(QIODevice::ReadOnly) ? file.readAll() : "?");
    }
    return files;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

int freePort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    return server.serverPort();
}

bool waitForPort(int port)
{
    for (int i = 0; i < 100; ++i) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, quint16(port));
        if (socket.waitForConnected(100)) {
            return true;
        }
        QTest::qWait(100);
    }
    return false;
}

QString dayLine(const QDate &day)
{
    return day.toString(QStringLiteral("yyyy/MM/dd"));
}

struct Event
{
    QString uid;
    QString summary;
    QDate day;
};

} // namespace

class TestCalDav final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void discovery_fromAnyUrl_listsTheCalendar_data();
    void discovery_fromAnyUrl_listsTheCalendar();
    void publish_followsTheRecords_andLeavesOthersAlone();
    void comeHome_startWordEvent_data();
    void comeHome_startWordEvent();
    void secondProgram_leavesThisOnesEventsAlone();
    void wrongPassword_saysSoAndChangesNothing();
    void fortyEvents_syncWithinThreeSeconds();
    void hostileServer_changesNothing_data();
    void hostileServer_changesNothing();
    void syncCommand_exitStatus_data();
    void syncCommand_exitStatus();

private:
    QString base() const { return QStringLiteral("https://127.0.0.1:%1/").arg(m_port); }
    QStringList phone(const QStringList &arguments, const QString &password = QStringLiteral("secret"));
    QString makeCalendar(const QString &name);
    QList<Event> events(const QString &calendar);
    // A data folder whose newest first day lies `daysAgo` before today, own cycle length 28.
    QString dataFolder(const QString &name, const QString &calendar, const QList<int> &daysAgo,
                       const QString &password = QStringLiteral("secret"));
    SyncResult sync(const QString &folder);

    QTemporaryDir m_dir;
    QProcess m_radicale;
    int m_port = 0;
    QString m_ca;
};

void TestCalDav::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QCOMPARE(QProcess::execute(QStringLiteral("/usr/bin/python3"), {QStringLiteral(TEST_CERTS_SCRIPT), m_dir.path()}),
             0);
    m_ca = m_dir.filePath(QStringLiteral("ca.pem"));
    m_port = freePort();
    writeFile(m_dir.filePath(QStringLiteral("users")), "her:secret\n");
    writeFile(
        m_dir.filePath(QStringLiteral("radicale.conf")),
        QStringLiteral("[server]\nhosts = 127.0.0.1:%1\nssl = True\ncertificate = %2/good.pem\nkey = %2/good.key\n"
                       "[auth]\ntype = htpasswd\nhtpasswd_filename = %2/users\nhtpasswd_encryption = plain\n"
                       "delay = 0\n[storage]\nfilesystem_folder = %2/collections\n[rights]\ntype = owner_only\n"
                       "[logging]\nlevel = warning\n")
            .arg(m_port)
            .arg(m_dir.path())
            .toUtf8());
    m_radicale.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_radicale.start(QStringLiteral("/usr/bin/python3"),
                     {QStringLiteral("-m"), QStringLiteral("radicale"), QStringLiteral("--config"),
                      m_dir.filePath(QStringLiteral("radicale.conf"))});
    QVERIFY(m_radicale.waitForStarted());
    QVERIFY2(waitForPort(m_port), "Radicale does not listen");
}

void TestCalDav::cleanupTestCase()
{
    m_radicale.terminate();
    m_radicale.waitForFinished();
}

QStringList TestCalDav::phone(const QStringList &arguments, const QString &password)
{
    QProcess process;
    process.start(QStringLiteral("/usr/bin/python3"),
                  QStringList{QStringLiteral(PHONE_SCRIPT), base(), QStringLiteral("her"), password, m_ca} + arguments);
    process.waitForFinished(60000);
    const QString out = QString::fromUtf8(process.readAllStandardOutput());
    if (process.exitCode() != 0) {
        qWarning().noquote() << process.readAllStandardError();
    }
    return out.split(u'\n', Qt::SkipEmptyParts);
}

QString TestCalDav::makeCalendar(const QString &name)
{
    const QStringList out = phone({QStringLiteral("make-calendar"), name});
    return out.isEmpty() ? QString() : out.constLast();
}

QList<Event> TestCalDav::events(const QString &calendar)
{
    QList<Event> list;
    for (const QString &line : phone({QStringLiteral("list"), calendar})) {
        const QStringList parts = line.split(u'\t');
        list.append({parts.value(0), parts.value(1), QDate::fromString(parts.value(2), Qt::ISODate)});
    }
    return list;
}

QString TestCalDav::dataFolder(const QString &name, const QString &calendar, const QList<int> &daysAgo,
                               const QString &password)
{
    const QString folder = m_dir.filePath(name) + u'/';
    QDir().mkpath(folder);
    QStringList lines;
    for (const int days : daysAgo) {
        lines.append(dayLine(QDate::currentDate().addDays(-days)));
    }
    std::sort(lines.begin(), lines.end(), std::greater<>());
    writeFile(folder + QStringLiteral("date.dat"),
              (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8());
    writeFile(folder + QStringLiteral("setting.ini"),
              QStringLiteral("[Day Setting]\r\nDaymode=4\r\nDaybetween=28\r\n[CalDAV]\r\nUrl=%1\r\nUser=her\r\n"
                             "Calendar=%2\r\nCaFile=%3\r\nPass=%4\r\n")
                  .arg(base(), calendar, m_ca, Base64Encode(Base64Encode(password)))
                  .toUtf8());
    return folder;
}

SyncResult TestCalDav::sync(const QString &folder)
{
    SyncResult result;
    result.line = QStringLiteral("no answer");
    QEventLoop loop;
    QTimer::singleShot(90000, &loop, &QEventLoop::quit);
    bool done = false;
    QObject context;
    startCalendarSync(folder, &context, [&](const SyncResult &answer) {
        result = answer;
        done = true;
        loop.quit();
    });
    if (!done) {
        loop.exec();
    }
    return result;
}

void TestCalDav::discovery_fromAnyUrl_listsTheCalendar_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("the server alone (well-known)") << QString();
    QTest::newRow("the principal") << QStringLiteral("her/");
    QTest::newRow("the calendar itself") << QStringLiteral("her/discovered/");
}

void TestCalDav::discovery_fromAnyUrl_listsTheCalendar()
{
    QFETCH(QString, path);
    static const QString calendar = makeCalendar(QStringLiteral("discovered"));
    QVERIFY(!calendar.isEmpty());
    DiscoveryResult result;
    QEventLoop loop;
    QObject context;
    const CalDavAccount account{base() + path, QStringLiteral("her"), QStringLiteral("secret"), QString(), m_ca};
    (new DiscoveryJob(account, &context, [&](const DiscoveryResult &answer) {
        result = answer;
        loop.quit();
    }))->start();
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    loop.exec();
    QVERIFY2(result.ok, qPrintable(result.line));
    const auto found = std::find_if(result.calendars.cbegin(), result.calendars.cend(),
                                    [](const CalDavCalendar &c) { return c.name == u"discovered"; });
    QVERIFY(found != result.calendars.cend());
    QCOMPARE(QUrl(found->url).path(), QUrl(calendar).path());
    QVERIFY(result.line.startsWith(QStringLiteral("接続できました: ")));
}

void TestCalDav::publish_followsTheRecords_andLeavesOthersAlone()
{
    const QString calendar = makeCalendar(QStringLiteral("publish"));
    phone({QStringLiteral("add"), calendar, QStringLiteral("dentist@phone"), QStringLiteral("歯医者"),
           QDate::currentDate().toString(Qt::ISODate)});
    const QString folder = dataFolder(QStringLiteral("publish"), calendar, {5, 33});
    IniFile(folder + QStringLiteral("setting.ini"))
        .writeBool(QStringLiteral("CalDAV"), QStringLiteral("SendRecords"), true);
    const QString suffix = calendarUidSuffix(folder);

    SyncResult result = sync(folder);
    QCOMPARE(int(result.outcome), int(SyncOutcome::Done));
    QList<Event> listed = events(calendar);
    const auto ours = [&suffix](const QList<Event> &all, const QString &summary) {
        return std::count_if(all.cbegin(), all.cend(),
                             [&](const Event &e) { return e.uid.endsWith(suffix) && e.summary == summary; });
    };
    // Three coming periods, the likely days before each, and the two registered first days.
    QCOMPARE(ours(listed, QStringLiteral("生理 (予定)")), 3);
    QCOMPARE(ours(listed, QStringLiteral("妊娠しやすい日 (予定)")), 3);
    QCOMPARE(ours(listed, QStringLiteral("生理 (記録)")), 2);
    QCOMPARE(result.sent, 8);

    // Discreet titles change every event in place; the older first day removed deletes its event.
    writeFile(folder + QStringLiteral("date.dat"),
              (dayLine(QDate::currentDate().addDays(-5)) + QStringLiteral("\r\n")).toUtf8());
    IniFile(folder + QStringLiteral("setting.ini"))
        .writeBool(QStringLiteral("Notice Setting"), QStringLiteral("Discreet"), true);
    result = sync(folder);
    QCOMPARE(int(result.outcome), int(SyncOutcome::Done));
    QCOMPARE(result.deleted, 1);
    listed = events(calendar);
    QCOMPARE(ours(listed, QStringLiteral("予定")), 7);
    QCOMPARE(listed.size(), 8);
    const auto dentist =
        std::find_if(listed.cbegin(), listed.cend(), [](const Event &e) { return e.uid == u"dentist@phone"; });
    QVERIFY(dentist != listed.cend());
    QCOMPARE(dentist->summary, QStringLiteral("歯医者"));

    // Nothing changed: nothing sent.
    result = sync(folder);
    QCOMPARE(result.sent + result.deleted, 0);
}

void TestCalDav::comeHome_startWordEvent_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("daysAfterNewest"); // the newest first day is 60 days ago
    QTest::addColumn<bool>("comesHome");
    QTest::newRow("生理, a new period") << QStringLiteral("生理") << 30 << true;
    QTest::newRow("生理開始, a new period") << QStringLiteral("生理開始") << 30 << true;
    QTest::newRow("eleven days after: a new period") << QStringLiteral("生理") << 11 << true;
    QTest::newRow("ten days after: the same period") << QStringLiteral("生理") << 10 << false;
    QTest::newRow("another title") << QStringLiteral("生理痛") << 30 << false;
    QTest::newRow("tomorrow") << QStringLiteral("生理") << 61 << false;
}

void TestCalDav::comeHome_startWordEvent()
{
    QFETCH(QString, title);
    QFETCH(int, daysAfterNewest);
    QFETCH(bool, comesHome);
    static int row = 0;
    const QString name = QStringLiteral("home%1").arg(++row);
    const QString calendar = makeCalendar(name);
    const QDate marked = QDate::currentDate().addDays(-60 + daysAfterNewest);
    phone({QStringLiteral("add"), calendar, QStringLiteral("mark@phone"), title, marked.toString(Qt::ISODate)});
    const QString folder = dataFolder(name, calendar, {60});
    const QByteArray before = snapshot(folder).value(QStringLiteral("date.dat"));

    const SyncResult result = sync(folder);
    QCOMPARE(int(result.outcome), int(SyncOutcome::Done));
    const Snapshot after = snapshot(folder);
    if (comesHome) {
        QCOMPARE(after.value(QStringLiteral("date.dat")), (dayLine(marked) + QStringLiteral("\r\n")).toUtf8() + before);
        QCOMPARE(result.comeHomeMessage, QStringLiteral("カレンダーから生理開始日を1件取り込みました: %1月%2日")
                                             .arg(marked.month())
                                             .arg(marked.day()));
        // The files as they were before, in a backup.
        const auto backup = std::find_if(after.keyBegin(), after.keyEnd(), [](const QString &path) {
            return path.startsWith(QStringLiteral("backup/")) && path.endsWith(QStringLiteral("/date.dat"));
        });
        QVERIFY(backup != after.keyEnd());
        QCOMPARE(after.value(*backup), before);
    } else {
        QCOMPARE(after.value(QStringLiteral("date.dat")), before);
        QVERIFY(result.comeHomeMessage.isEmpty());
    }
    // Her own event stays as she made it.
    const QList<Event> listed = events(calendar);
    const auto mark =
        std::find_if(listed.cbegin(), listed.cend(), [](const Event &e) { return e.uid == u"mark@phone"; });
    QVERIFY(mark != listed.cend());
    QCOMPARE(mark->summary, title);
}

void TestCalDav::secondProgram_leavesThisOnesEventsAlone()
{
    const QString calendar = makeCalendar(QStringLiteral("shared"));
    const QString first = dataFolder(QStringLiteral("first"), calendar, {3});
    const QString second = dataFolder(QStringLiteral("second"), calendar, {20});
    QCOMPARE(int(sync(first).outcome), int(SyncOutcome::Done));
    QCOMPARE(int(sync(second).outcome), int(SyncOutcome::Done));
    const SyncResult again = sync(first);
    QCOMPARE(again.sent + again.deleted, 0);
    const QList<Event> listed = events(calendar);
    for (const QString &folder : {first, second}) {
        const QString suffix = calendarUidSuffix(folder);
        QCOMPARE(std::count_if(listed.cbegin(), listed.cend(), [&](const Event &e) { return e.uid.endsWith(suffix); }),
                 6);
    }
}

void TestCalDav::wrongPassword_saysSoAndChangesNothing()
{
    const QString calendar = makeCalendar(QStringLiteral("locked"));
    phone({QStringLiteral("add"), calendar, QStringLiteral("mark@phone"), QStringLiteral("生理"),
           QDate::currentDate().toString(Qt::ISODate)});
    const QString folder = dataFolder(QStringLiteral("locked"), calendar, {40}, QStringLiteral("wrong"));
    const Snapshot before = snapshot(folder);
    const SyncResult result = sync(folder);
    QCOMPARE(int(result.outcome), int(SyncOutcome::ServerFailed));
    QCOMPARE(result.line, QStringLiteral("ユーザー名かパスワードが違います"));
    QCOMPARE(snapshot(folder), before);
    QCOMPARE(events(calendar).size(), 1);
}

void TestCalDav::fortyEvents_syncWithinThreeSeconds()
{
    const QString calendar = makeCalendar(QStringLiteral("forty"));
    QList<int> daysAgo;
    for (int days = 1; days < 360; days += 12) {
        daysAgo.append(days); // 30 first days of the last 12 months
    }
    const QString folder = dataFolder(QStringLiteral("forty"), calendar, daysAgo);
    IniFile(folder + QStringLiteral("setting.ini"))
        .writeBool(QStringLiteral("CalDAV"), QStringLiteral("SendRecords"), true);
    IniFile(folder + QStringLiteral("setting.ini")).writeInteger(QStringLiteral("CalDAV"), QStringLiteral("Cycles"), 6);
    QElapsedTimer timer;
    timer.start();
    const SyncResult result = sync(folder);
    const qint64 elapsed = timer.elapsed();
    qInfo("a first sync of %d events: %lld ms", result.sent, elapsed);
    QCOMPARE(int(result.outcome), int(SyncOutcome::Done));
    QCOMPARE(result.sent, 42);
    QVERIFY2(elapsed < 3000, qPrintable(QStringLiteral("%1 ms").arg(elapsed)));
}

void TestCalDav::hostileServer_changesNothing_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("line");
    QTest::newRow("412, then success") << "conflict" << int(SyncOutcome::Done)
                                       << "カレンダーと同期しました (送信 6 件、削除 0 件)";
    QTest::newRow("507") << "full" << int(SyncOutcome::ServerFailed) << "サーバーの容量が足りません (507)";
    QTest::newRow("garbage XML") << "garbage" << int(SyncOutcome::ServerFailed) << "サーバーの応答を読めません";
    QTest::newRow("50 MiB") << "huge" << int(SyncOutcome::ServerFailed)
                            << "の応答が大きすぎます (8 MiB を超えています)";
    QTest::newRow("no reply") << "silent" << int(SyncOutcome::ServerFailed) << "が 1 秒以内に応答しませんでした";
}

void TestCalDav::hostileServer_changesNothing()
{
    QFETCH(QString, mode);
    QFETCH(int, outcome);
    QFETCH(QString, line);
    const int port = freePort();
    QProcess server;
    server.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral(HOSTILE_SCRIPT), QString::number(port), m_dir.filePath(QStringLiteral("good.pem")),
                  m_dir.filePath(QStringLiteral("good.key")), mode});
    QVERIFY(server.waitForReadyRead(10000));
    const QString folder = dataFolder(QStringLiteral("hostile-") + mode, QString(), {10});
    const Snapshot before = snapshot(folder);

    const QString calendar = QStringLiteral("https://127.0.0.1:%1/her/cal/").arg(port);
    SyncRequest request;
    request.account = {calendar, QStringLiteral("her"), QStringLiteral("secret"), calendar, m_ca, 1000};
    request.uidSuffix = calendarUidSuffix(folder);
    request.startWords = {QStringLiteral("生理")};
    request.comeHome = [&](const QList<QDate> &days) {
        return comeHome(folder, days, 3, false, QDate::currentDate(), request.uidSuffix);
    };
    SyncResult result;
    QEventLoop loop;
    QObject context;
    (new SyncJob(request, &context, [&](const SyncResult &answer) {
        result = answer;
        loop.quit();
    }))->start();
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    loop.exec();
    server.closeWriteChannel();
    server.kill();
    server.waitForFinished();

    QCOMPARE(int(result.outcome), outcome);
    QVERIFY2(result.line.contains(line), qPrintable(result.line));
    QCOMPARE(snapshot(folder), before);
}

void TestCalDav::syncCommand_exitStatus_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<int>("status");
    QTest::newRow("done") << "radicale" << 0;
    QTest::newRow("not set up") << "none" << 2;
    QTest::newRow("server not reached") << "closed" << 4;
}

void TestCalDav::syncCommand_exitStatus()
{
    QFETCH(QString, setup);
    QFETCH(int, status);
    // The portable program keeps its data beside itself: a copy of it in a folder of the test's own.
    const QString folder =
        dataFolder(QStringLiteral("command-") + setup, makeCalendar(QStringLiteral("command") + setup), {8});
    if (setup == u"none") {
        writeFile(folder + QStringLiteral("setting.ini"), "[Day Setting]\r\nDaymode=4\r\n");
    } else if (setup == u"closed") {
        const QString closed = QStringLiteral("https://127.0.0.1:%1/her/cal/").arg(freePort());
        IniFile ini(folder + QStringLiteral("setting.ini"));
        ini.writeString(QStringLiteral("CalDAV"), QStringLiteral("Url"), closed);
        ini.writeString(QStringLiteral("CalDAV"), QStringLiteral("Calendar"), closed);
    }
    QVERIFY(QFile::copy(QStringLiteral(EVELUNA_BINARY), folder + QStringLiteral("eveluna")));
    QFile::setPermissions(folder + QStringLiteral("eveluna"), QFile::ReadOwner | QFile::ExeOwner);
    QVERIFY(QFile::link(QStringLiteral(MODULES_FOLDER), folder + QStringLiteral("eveluna-modules")));
    QProcess program;
    program.start(folder + QStringLiteral("eveluna"), {QStringLiteral("--sync")});
    QVERIFY(program.waitForFinished(60000));
    QCOMPARE(program.exitCode(), status);
    const QString said =
        QString::fromUtf8(status == 0 ? program.readAllStandardOutput() : program.readAllStandardError());
    QCOMPARE(said.count(u'\n'), 1);
}

QTEST_GUILESS_MAIN(TestCalDav)
#include "tst_caldav.moc"

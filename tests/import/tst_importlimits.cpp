// The import's bounds: hostile files refused at once in bounded memory, the ten-day rule against her
// first days, dates outside 1900..today, control characters in memos and in the preview.
#include "importfile.h"
#include "importfixtures.h"
#include "periodfile.h"

#include <QElapsedTimer>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>

class TestImportLimits : public QObject
{
    Q_OBJECT

private slots:
    void hostileFile_refusedAtOnceInBoundedMemory_data();
    void hostileFile_refusedAtOnceInBoundedMemory();
    void firstDay_withinTenDaysOfARegisteredOne_data();
    void firstDay_withinTenDaysOfARegisteredOne();
    void dates_outsideTheirRange_leftOutAndCounted_data();
    void dates_outsideTheirRange_leftOutAndCounted();
    void memo_controlCharacters_droppedAndCounted();
    void preview_controlCharactersFromTheFile_escaped();
};

// Each hostile file ends the import at once with exit 2 and one line, within seconds, under a ceiling of
// address space, writing nothing.
void TestImportLimits::hostileFile_refusedAtOnceInBoundedMemory_data()
{
    QTest::addColumn<QString>("kind"); // how the file is made: see below
    QTest::newRow("an attribute of 64 MiB in a zip") << QStringLiteral("zip attribute");
    QTest::newRow("a comment of 64 MiB in export.xml") << QStringLiteral("xml comment");
    QTest::newRow("a CSV file of 4 MiB and a byte") << QStringLiteral("csv");
    QTest::newRow("a JSON file of 4 MiB and a byte") << QStringLiteral("json");
    QTest::newRow("a FIFO no one writes to") << QStringLiteral("fifo");
    QTest::newRow("a pipe (standard input)") << QStringLiteral("pipe");
}

void TestImportLimits::hostileFile_refusedAtOnceInBoundedMemory()
{
#if defined(__SANITIZE_ADDRESS__)
    QSKIP("Under AddressSanitizer the address space is the sanitizer's.");
#endif
    QFETCH(QString, kind);
    QTemporaryDir home;
    const QString data = home.filePath(QStringLiteral("eveluna"));
    QVERIFY(QDir().mkpath(data));
    writeFile(data + QStringLiteral("/date.dat"), "2026/01/03\r\n");
    const Files before = snapshot(data);
    QString path = home.filePath(QStringLiteral("export"));
    const QByteArray big(64 << 20, 'a');
    if (kind == QLatin1String("zip attribute")) {
        writeFile(path, zipOf("apple_health_export/export.xml",
                              HealthXml.left(HealthXml.indexOf("<Record")) + "<Record type=\"" + big + "\"/>"));
    } else if (kind == QLatin1String("xml comment")) {
        writeFile(path, HealthXml.left(HealthXml.indexOf("<Record")) + "<!--" + big + "-->");
    } else if (kind == QLatin1String("csv")) {
        writeFile(path, "date,memo\n2026-01-05," + big.left((4 << 20) - 21) + "\n");
    } else if (kind == QLatin1String("json")) {
        writeFile(path, "[\"" + big.left((4 << 20) - 3) + "\"]");
    } else if (kind == QLatin1String("fifo")) {
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else {
        path = QStringLiteral("/dev/stdin");
    }

    auto *program = new QProcess;
    std::unique_ptr<QProcess> owner(program);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), home.path());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    program->setProcessEnvironment(env);
    program->setChildProcessModifier([] {
        // 180 MiB of address space: the libraries (Qt, ICU's data, libarchive) map about 80 of them at
        // start, which leaves the import 100; a reader that grew with the hostile token would pass them
        // at once and abort. (The peak resident size of a child would count the test's own pages, which
        // the child had before its exec.)
        const rlimit limit{rlim_t(180) << 20, rlim_t(180) << 20};
        ::setrlimit(RLIMIT_AS, &limit);
    });
    QElapsedTimer timer;
    timer.start();
    program->start(QStringLiteral(EVELUNA_INSTALLED_BINARY), {QStringLiteral("--import"), path});
    QVERIFY(program->waitForStarted());
    if (kind == QLatin1String("pipe")) {
        program->write("date\n2026-01-05\n"); // a pipe is refused before anything is read from it
    }
    QVERIFY2(program->waitForFinished(30000), "the import did not end");
    QVERIFY2(timer.elapsed() < 10000, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(program->exitStatus(), QProcess::NormalExit);
    QCOMPARE(program->exitCode(), 2);
    const QString message = QString::fromUtf8(program->readAllStandardError()).trimmed();
    QVERIFY2(message.startsWith(path + QStringLiteral(": ")) && !message.contains(u'\n'), qPrintable(message));
    QCOMPARE(snapshot(data), before);
}

// Her first day 2026/05/01; an imported one within ten days of it, before or after, is the same period.
void TestImportLimits::firstDay_withinTenDaysOfARegisteredOne_data()
{
    QTest::addColumn<QDate>("imported");
    QTest::addColumn<bool>("added");
    QTest::addColumn<QString>("said"); // in the preview

    QTest::newRow("1 day after") << QDate(2026, 5, 2) << false << QStringLiteral("2026/05/02 は 2026/05/01 と1日違い");
    QTest::newRow("10 days before") << QDate(2026, 4, 21) << false
                                    << QStringLiteral("2026/04/21 は 2026/05/01 と10日違い");
    QTest::newRow("10 days after") << QDate(2026, 5, 11) << false
                                   << QStringLiteral("2026/05/11 は 2026/05/01 と10日違い");
    QTest::newRow("11 days before") << QDate(2026, 4, 20) << true << QStringLiteral("加える生理開始日: 2026/04/20");
    QTest::newRow("11 days after") << QDate(2026, 5, 12) << true << QStringLiteral("加える生理開始日: 2026/05/12");
    QTest::newRow("the same day") << QDate(2026, 5, 1) << false << QStringLiteral("登録済み 1 件");
}

void TestImportLimits::firstDay_withinTenDaysOfARegisteredOne()
{
    QFETCH(QDate, imported);
    QFETCH(bool, added);
    QFETCH(QString, said);
    QTemporaryDir dir;
    const QString folder = dir.path() + u'/';
    writeFile(folder + QStringLiteral("date.dat"), "2026/05/01\r\n");
    const QString csv = dir.filePath(QStringLiteral("in.csv"));
    writeFile(csv, "date\n" + imported.toString(Qt::ISODate).toLatin1() + "\n");
    const ImportedRecords records = readImportFile(csv, QDate(2026, 12, 7));

    const MergeCounts counts = mergeImport(folder, records, true);
    QCOMPARE(counts.firstDaysNew, added ? 1 : 0);
    QCOMPARE(counts.firstDaysThere, added ? 0 : 1);
    const QString backup = timedBackupPath(folder, Noon);
    const QString preview = previewText(records, counts, backup);
    QVERIFY2(preview.contains(said), qPrintable(preview));
    QCOMPARE(preview.contains(backup), added);
    QCOMPARE(readFirstDaysAscending(folder + QStringLiteral("date.dat")).size(), added ? 2 : 1);
}

// No record of a day before 1900/01/01 or after today (2026/12/07 here) comes in; both are counted.
void TestImportLimits::dates_outsideTheirRange_leftOutAndCounted_data()
{
    QTest::addColumn<QByteArray>("day");
    QTest::addColumn<bool>("comesIn");
    QTest::newRow("9999/12/31") << QByteArray("9999/12/31") << false;
    QTest::newRow("0001/01/01") << QByteArray("0001/01/01") << false;
    QTest::newRow("1899/12/31: just before") << QByteArray("1899/12/31") << false;
    QTest::newRow("1900/01/01: the first") << QByteArray("1900/01/01") << true;
    QTest::newRow("today") << QByteArray("2026/12/07") << true;
    QTest::newRow("tomorrow") << QByteArray("2026/12/08") << false;
}

void TestImportLimits::dates_outsideTheirRange_leftOutAndCounted()
{
    QFETCH(QByteArray, day);
    QFETCH(bool, comesIn);
    QTemporaryDir dir;
    const QString csv = dir.filePath(QStringLiteral("in.csv"));
    writeFile(csv, "date,temperature.value,note.value\n" + day + ",36.50,memo\n");
    const ImportedRecords records = readImportFile(csv, QDate(2026, 12, 7));
    QCOMPARE(records.readings.size(), comesIn ? 1 : 0);
    QCOMPARE(records.memos.size(), comesIn ? 1 : 0);
    QCOMPARE(records.outOfRangeCount, comesIn ? 0 : 2);
    const QString preview = previewText(records, mergeImport(dir.path() + u'/', records, false));
    QCOMPARE(preview.contains(QStringLiteral("今日より後の記録: 2 件")), !comesIn);

    writeFile(csv, "date\n" + day + "\n");
    QCOMPARE(readImportFile(csv, QDate(2026, 12, 7)).firstDays.size(), comesIn ? 1 : 0);
}

void TestImportLimits::memo_controlCharacters_droppedAndCounted()
{
    QTemporaryDir dir;
    const QString json = dir.filePath(QStringLiteral("export.json"));
    writeFile(json, R"({"format":"Easy VELUNA export","version":1,"memos":[
        {"date":"2026-05-01","text":"a\u0000b\u001b[2Jc\r\nd\te"},
        {"date":"2026-05-02","text":"\u0007"},
        {"date":"2026-05-03","text":"plain"}]})");
    const ImportedRecords records = readImportFile(json, QDate(2026, 12, 7));
    QCOMPARE(records.memos.size(), 2);
    QCOMPARE(records.memos[0].text, QStringLiteral("ab[2Jc\r\nd\te"));
    QCOMPARE(records.memosWithControls, 2);
    const QString preview = previewText(records, mergeImport(dir.path() + u'/', records, false));
    QVERIFY2(preview.contains(QStringLiteral("制御文字を取り除いたメモ: 2 件")), qPrintable(preview));
}

// A Clue date holding ESC and BEL would clear her screen and set the terminal's title.
void TestImportLimits::preview_controlCharactersFromTheFile_escaped()
{
    QTemporaryDir dir;
    const QString json = dir.filePath(QStringLiteral("clue.json"));
    writeFile(json, R"([{"date":"\u001b]0;owned\u0007\u001b[2J","type":"period"}])");
    const ImportedRecords records = readImportFile(json, QDate(2026, 12, 7));
    const QString preview = previewText(records, mergeImport(dir.path() + u'/', records, false));
    QVERIFY2(preview.contains(QStringLiteral("\\x1B]0;owned\\x07\\x1B[2J")), qPrintable(preview));
    QVERIFY(std::none_of(preview.begin(), preview.end(), [](QChar c) { return c < u' ' && c != u'\n'; }));
}

QTEST_GUILESS_MAIN(TestImportLimits)
#include "tst_importlimits.moc"

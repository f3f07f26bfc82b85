// Readers of other trackers' files, the merge, the full export, the command line and the backups.
// Every fixture is written here from the format's public description.
#include "backup.h"
#include "exportfile.h"
#include "importfile.h"
#include "importfixtures.h"
#include "importrun.h"
#include "memofile.h"
#include "periodfile.h"
#include "restore.h"
#include "textfile.h"
#include "variable.h"

#include <QTemporaryDir>

#include <sys/resource.h>

class TestImport : public QObject
{
    Q_OBJECT

private slots:
    void formats_data();
    void formats();
    void badFile_data();
    void badFile();
    void roundTrip_exportIntoEmptyFolder();
    void importTwice_changesNothingTheSecondTime();
    void backups_keepThirtyDays();
    void restore_bringsFilesBackAndIsUndoable();
    void appleHealth200MB_peakMemoryUnder100MiB();
};

void TestImport::formats_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QStringList>("firstDays");
    QTest::addColumn<QStringList>("memos");    // "yyyy-mm-dd text"
    QTest::addColumn<QStringList>("readings"); // "yyyy-mm-dd 3652" and a trailing " x" when left out
    QTest::addColumn<int>("skipped");
    QTest::addColumn<QStringList>("dayRecords"); // the lines of dateDay.dat they give

    // Bleeding on 10-02, 10-03 (a first day by the ten-day rule), "None" on 10-20, a marked first day on
    // 10-30 (the day written in startDate, whatever its offset); 98.1 °F is 36.72 °C.
    const QStringList healthDays{QStringLiteral("2026-10-02"), QStringLiteral("2026-10-30")};
    const QStringList healthReadings{QStringLiteral("2026-10-02 3647"), QStringLiteral("2026-10-03 3672")};
    // Unspecified flow counts as medium, 120 lb is 54.4 kg, a symptom "not present" is none, an LH surge is
    // positive; a mood change and an indeterminate test have no field and go to the memo.
    const QStringList healthMemos{QStringLiteral("2026-10-03 Apple ヘルスケア: 気分の変化"),
                                  QStringLiteral("2026-10-12 Apple ヘルスケア: 排卵検査薬 判定不能")};
    const QStringList healthRecords =
        strings({"2026/10/02,flow=medium,symptoms=cramps|headache,weight=54.4", "2026/10/03,flow=light",
                 "2026/10/04,flow=medium", "2026/10/13,mucus=3", "2026/10/14,mucus=4,lh=positive,sex=protected",
                 "2026/10/15,flow=spotting", "2026/10/30,flow=heavy", "2026/10/31,flow=medium"});
    QTest::newRow("Apple Health export.xml with its DTD")
        << HealthXml << "Apple ヘルスケア" << healthDays << healthMemos << healthReadings << 1 << healthRecords;
    // A phone set to Japanese names the file in the zip 書き出したデータ.xml.
    QTest::newRow("Apple Health export.zip")
        << zipOf("apple_health_export/\xE6\x9B\xB8\xE3\x81\x8D\xE5\x87\xBA\xE3\x81\x97\xE3\x81\x9F"
                 "\xE3\x83\x87\xE3\x83\xBC\xE3\x82\xBF.xml",
                 HealthXml)
        << "Apple ヘルスケア" << healthDays << healthMemos << healthReadings << 1 << healthRecords;

    // "None" is a day recorded without bleeding: five days before a marked start it begins nothing.
    QByteArray noneBeforeMark = HealthXml.left(HealthXml.indexOf("<Record"));
    noneBeforeMark +=
        R"(<Record type="HKCategoryTypeIdentifierMenstrualFlow" value="HKCategoryValueMenstrualFlowNone" startDate="2026-10-25 07:00:00 +0900"/>
 <Record type="HKCategoryTypeIdentifierMenstrualFlow" value="HKCategoryValueMenstrualFlowHeavy" startDate="2026-10-30 07:00:00 +0900">
  <MetadataEntry key="HKMenstrualCycleStart" value="1"/>
 </Record>
</HealthData>
)";
    QTest::newRow("Apple Health: a None day 5 days before a marked start")
        << noneBeforeMark << "Apple ヘルスケア" << QStringList{QStringLiteral("2026-10-30")} << QStringList()
        << QStringList() << 0 << strings({"2026/10/30,flow=heavy"});

    // Three decimals are rounded as written: 36.555 up, 36.554 down (a double holds 36.555 as 36.55499...).
    QTest::newRow("drip CSV, readings with three decimals")
        << QByteArray("date,temperature.value\n2026-03-01,36.555\n2026-03-02,36.554\n") << "drip (CSV)" << QStringList()
        << QStringList() << QStringList{QStringLiteral("2026-03-01 3656"), QStringLiteral("2026-03-02 3655")} << 0
        << QStringList();

    QTest::newRow("drip CSV, rows in any order")
        << QByteArray("date,temperature.value,temperature.exclude,bleeding.value,bleeding.exclude,isCycleStart,"
                      "note.value,mucus.value,pain.cramps,mood.sad,mood.happy,sex.partner,sex.condom\n"
                      "2026-03-02,36.45,false,2,false,false,,4,true,false,false,true,true\n"
                      "2026-03-01,36.40,true,1,false,true,\"first, with a comma\",,,true,true,,\n"
                      "2026-03-20,,,0,false,false,spotting only,,,,,,\n"
                      "2026-02-01,,,3,false,false,,,,,,,\n"
                      "2026-02-02,,,2,false,false,,,,,,true,false\n"
                      "bad-date,,,,,,,,,,,,\n")
        << "drip (CSV)" << QStringList{QStringLiteral("2026-02-01"), QStringLiteral("2026-03-01")}
        << QStringList{QStringLiteral("2026-03-01 first, with a comma"), QStringLiteral("2026-03-01 drip: mood.happy"),
                       QStringLiteral("2026-03-20 spotting only")}
        << QStringList{QStringLiteral("2026-03-01 3640 x"), QStringLiteral("2026-03-02 3645")} << 1
        << strings({"2026/02/01,flow=heavy", "2026/02/02,flow=medium,sex=1", "2026/03/01,flow=light,symptoms=low",
                    "2026/03/02,flow=medium,symptoms=cramps,mucus=4,sex=protected", "2026/03/20,flow=spotting"});

    QTest::newRow("Clue JSON") << QByteArray(R"([{"date":"2026-05-03","type":"period","value":{"option":"medium"}},
                         {"date":"2026-05-04T00:00:00Z","type":"period"},
                         {"date":"2026-05-04","type":"mood"},
                         {"date":"2026-05-04","type":"pain","value":[{"option":"cramps"},{"option":"ovulation"}]},
                         {"date":"2026-05-05","type":"craving","value":{"option":"sweet"}},
                         {"date":"2026-06-01","type":"period"},
                         {"type":"period"}])")
                               << "Clue (JSON)"
                               << QStringList{QStringLiteral("2026-05-03"), QStringLiteral("2026-06-01")}
                               << strings({"2026-05-04 Clue: 気分", "2026-05-04 Clue: 痛み ovulation",
                                           "2026-05-05 Clue: 食欲 sweet"})
                               << QStringList() << 1
                               << strings({"2026/05/03,flow=medium", "2026/05/04,symptoms=cramps"});

    QTest::newRow("Flo JSON") << QByteArray(R"({"operationalData":{"cycles":[
                          {"period_start_date":"2026-01-05 00:00:00","period_end_date":"2026-01-09 00:00:00"},
                          {"period_start_date":"2026-02-02T00:00:00.000Z","period_end_date":"2026-02-06"},
                          {"period_end_date":"2026-03-06"}]}})")
                              << "Flo (JSON)" << QStringList{QStringLiteral("2026-01-05"), QStringLiteral("2026-02-02")}
                              << QStringList() << QStringList() << 1 << QStringList();

    QTest::newRow("Flo JSON starting with a byte-order mark")
        << QByteArray("\xEF\xBB\xBF{\"operationalData\":{\"cycles\":[{\"period_start_date\":\"2026-01-05\"}]}}")
        << "Flo (JSON)" << QStringList{QStringLiteral("2026-01-05")} << QStringList() << QStringList() << 0
        << QStringList();

    QTest::newRow("Mensinator JSON") << QByteArray(R"({"periods":[{"id":1,"date":"2026-04-03","period_id":7},
                                     {"id":2,"date":"2026-04-02","period_id":7},
                                     {"id":3,"date":"2026-05-01","period_id":8},
                                     {"id":4,"date":"2026-05-02","period_id":8}],
                          "symptoms":[{"id":1,"name":"Heavy Flow"},{"id":2,"name":"Cramps"},{"id":3,"name":"Food craving"}],
                          "symptom_dates":[{"id":1,"symptom_date":"2026-04-02","symptom_id":1},
                                           {"id":2,"symptom_date":"2026-04-02","symptom_id":2},
                                           {"id":3,"symptom_date":"2026-04-03","symptom_id":3}]})")
                                     << "Mensinator (JSON)"
                                     << QStringList{QStringLiteral("2026-04-02"), QStringLiteral("2026-05-01")}
                                     << strings({"2026-04-03 Mensinator: Food craving"}) << QStringList() << 0
                                     << strings({"2026/04/02,flow=heavy,symptoms=cramps"});

    QTest::newRow("this program's history CSV, with its mark")
        << QByteArray("\xEF\xBB\xBF\xE9\x96\x8B\xE5\xA7\x8B\xE6\x97\xA5,\xE5\x91\xA8\xE6\x9C\x9F(\xE6\x97\xA5),"
                      "\xE3\x83\xA1\xE3\x83\xA2\r\n"
                      "2026/01/03,29,\"two\r\nlines\"\r\n2026/02/01,,\r\n")
        << "日付の CSV" << QStringList{QStringLiteral("2026-01-03"), QStringLiteral("2026-02-01")}
        << QStringList{QStringLiteral("2026-01-03 two\r\nlines")} << QStringList() << 0 << QStringList();
    QTest::newRow("a CSV of dates in the second column")
        << QByteArray("n,when,note\n1,2025-7-4,x\n2,2025/08/01,\n3,someday,\n") << "日付の CSV"
        << QStringList{QStringLiteral("2025-07-04"), QStringLiteral("2025-08-01")}
        << QStringList{QStringLiteral("2025-07-04 x")} << QStringList() << 1 << QStringList();

    QTest::newRow("this program's full export, version 1")
        << QByteArray(R"({"format":"Easy VELUNA export","version":1,"firstDays":["2026-02-01","2026-01-03"],
                          "memos":[{"date":"2026-01-03","text":"a\r\nb"}],
                          "readings":[{"date":"2026-01-04","celsius":36.52,"leftOut":true}],"settings":{}})")
        << "Easy VELUNA の書き出し" << QStringList{QStringLiteral("2026-01-03"), QStringLiteral("2026-02-01")}
        << QStringList{QStringLiteral("2026-01-03 a\r\nb")} << QStringList{QStringLiteral("2026-01-04 3652 x")} << 0
        << QStringList();
}

void TestImport::formats()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, format);
    QFETCH(QStringList, firstDays);
    QFETCH(QStringList, memos);
    QFETCH(QStringList, readings);
    QFETCH(int, skipped);
    QTemporaryDir dir;
    // No extension: the reader is chosen by the content.
    const QString path = dir.filePath(QStringLiteral("export"));
    writeFile(path, bytes);
    const ImportedRecords records = readImportFile(path);
    QCOMPARE(records.format, format);

    QStringList gotDays;
    for (QDate day : records.firstDays) {
        gotDays << day.toString(Qt::ISODate);
    }
    gotDays.sort();
    QCOMPARE(gotDays, firstDays);
    QStringList gotMemos;
    for (const ImportedMemo &memo : records.memos) {
        gotMemos << memo.day.toString(Qt::ISODate) + u' ' + memo.text;
    }
    QCOMPARE(gotMemos, memos);
    QStringList gotReadings;
    for (const TemperatureReading &r : records.readings) {
        gotReadings << QStringLiteral("%1 %2%3")
                           .arg(r.date.toString(Qt::ISODate))
                           .arg(r.centiDegrees)
                           .arg(r.excluded ? QStringLiteral(" x") : QString());
    }
    gotReadings.sort();
    QCOMPARE(gotReadings, readings);
    QCOMPARE(records.skippedCount, qint64(skipped));
    QFETCH(QStringList, dayRecords);
    QStringList gotRecords;
    for (const DayRecord &record : records.dayRecords) {
        gotRecords << formatDayLine(record);
    }
    gotRecords.sort();
    QCOMPARE(gotRecords, dayRecords);
}

void TestImport::badFile_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QByteArray zip = zipOf("apple_health_export/export.xml", HealthXml);
    zip.truncate(zip.size() / 2);
    QTest::newRow("truncated zip") << zip;
    QTest::newRow("broken JSON") << QByteArray(R"({"periods":[{"date":"2026-01-01","period_id":1},)");
    static const char png[] = "\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x01"; // a PNG signature and header start
    QTest::newRow("a picture") << QByteArray(png, sizeof png - 1);
    QTest::newRow("empty file") << QByteArray();
}

void TestImport::badFile()
{
    QFETCH(QByteArray, bytes);
    QTemporaryDir home;
    const QString data = home.filePath(QStringLiteral("eveluna"));
    QVERIFY(QDir().mkpath(data));
    QFile::setPermissions(data, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    writeFile(data + QStringLiteral("/date.dat"), "2026/01/03\r\n");
    writeFile(data + QStringLiteral("/dateMemo.dat"), "2026/01/03,\"memo\"\r\n");
    writeFile(data + QStringLiteral("/dateTemp.dat"), "2026/01/03,36.50\r\n");
    writeFile(data + QStringLiteral("/setting.ini"), "[Cycle Setting]\r\nMode=0\r\n");
    const Files before = snapshot(data);
    const QString file = home.filePath(QStringLiteral("export.zip"));
    writeFile(file, bytes);

    std::unique_ptr<QProcess> program(startProgram(home.path(), {QStringLiteral("--import"), file}));
    QVERIFY(program->waitForFinished(10000));
    QCOMPARE(program->exitCode(), 2);
    const QString message = QString::fromUtf8(program->readAllStandardError()).trimmed();
    QVERIFY2(message.startsWith(file + QStringLiteral(": ")) && !message.contains(u'\n'), qPrintable(message));
    QCOMPARE(snapshot(data), before); // byte for byte, and no backup made
}

void TestImport::roundTrip_exportIntoEmptyFolder()
{
    QTemporaryDir from;
    const QString folder = from.path() + u'/';
    writeFile(folder + QStringLiteral("date.dat"), "2026/02/01\r\n2026/01/03\r\n2025/12/06\r\n");
    writeFile(folder + QStringLiteral("dateMemo.dat"),
              "2026/02/01,\"two$$lines, \"\"quoted\"\"\"\r\n2026/01/10,\"\xE3\x83\xA1\xE3\x83\xA2\"\r\n");
    writeFile(folder + QStringLiteral("dateTemp.dat"), "2026/01/04,36.52,x\r\n2026/01/05,36.70\r\n");
    // A newer version's field and value come back as they stood.
    const QByteArray days("2026/01/04,flow=heavy,pain=2,painkiller=1,symptoms=cramps|acne,mucus=4,lh=peak,"
                          "pill=taken,sex=protected,weight=52.3,mood=calm\r\n2026/01/05,flow=extreme\r\n");
    writeFile(folder + QStringLiteral("dateDay.dat"), days);
    writeFile(folder + QStringLiteral("setting.ini"),
              "[Cycle Setting]\r\nMode=2\r\n[Mail Setting]\r\nSmtp=mail.example.org\r\nPass=secret\r\n"
              "[CalDAV]\r\nUrl=https://dav.example.org/\r\nPass=calendarsecret\r\n");
    const QString exported = from.filePath(QStringLiteral("all.json"));
    QTextStream out(stdout), err(stderr);
    QCOMPARE(ImportCommand::runExport(folder, exported, out, err), ExitStatus::Done);
    QCOMPARE(QFile::permissions(exported) & 0x0077, QFileDevice::Permissions());
    QFile file(exported);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray json = file.readAll();
    QVERIFY(json.contains("mail.example.org"));
    QVERIFY(json.contains("dav.example.org"));
    QVERIFY(!json.contains("secret"));

    QTemporaryDir to;
    const QString empty = to.path() + u'/';
    QCOMPARE(ImportCommand::runImport(empty, exported, false, out, err), ExitStatus::Done);
    for (const char *name : {"date.dat", "dateMemo.dat", "dateTemp.dat"}) {
        QFile a(folder + QLatin1String(name)), b(empty + QLatin1String(name));
        QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
        QCOMPARE(decodeTextFile(b.readAll()).text, decodeTextFile(a.readAll()).text);
    }
    QFile back(empty + QStringLiteral("dateDay.dat"));
    QVERIFY(back.open(QIODevice::ReadOnly));
    QCOMPARE(back.readAll(), days);
}

void TestImport::importTwice_changesNothingTheSecondTime()
{
    QTemporaryDir dir;
    const QString folder = dir.path() + u'/';
    writeFile(folder + QStringLiteral("date.dat"), "2026/01/03\r\n");
    writeFile(folder + QStringLiteral("dateMemo.dat"), "2026/01/03,\"mine\"\r\n");
    const QString csv = dir.filePath(QStringLiteral("in.csv"));
    writeFile(csv, "date,memo\n2026-01-03,theirs\n2026-02-01,\"new\nday\"\n2026-03-01,costs 5$$\n");

    const ImportedRecords records = readImportFile(csv);
    const MergeCounts first = mergeImport(folder, records, true);
    QCOMPARE(first.firstDaysNew, 2);
    QCOMPARE(first.firstDaysThere, 1);
    QCOMPARE(first.memosNew, 1);
    QCOMPARE(first.memosAppended, 1);
    QCOMPARE(first.memosRefused.size(), 1); // "$$" would read back as a line break: reported, not stored
    QVERIFY(previewText(records, first).contains(QStringLiteral("2026/03/01")));
    QCOMPARE(LoadMemo(folder + QStringLiteral("dateMemo.dat"), QDate(2026, 1, 3)).value(),
             QStringLiteral("mine\r\ntheirs"));
    QVERIFY(!LoadMemo(folder + QStringLiteral("dateMemo.dat"), QDate(2026, 3, 1)));

    const Files after = snapshot(folder);
    const MergeCounts second = mergeImport(folder, records, true);
    QVERIFY(!second.changesAnything());
    QCOMPARE(second.firstDaysThere, 3);
    QCOMPARE(second.memosThere, 2);
    QCOMPARE(snapshot(folder), after);
}

void TestImport::backups_keepThirtyDays()
{
    QTemporaryDir dir;
    const QString folder = dir.path() + u'/';
    for (int day = 0; day < 31; ++day) {
        writeFile(folder + QStringLiteral("date.dat"), QByteArray::number(day));
        Backup::makeDailyBackup(folder, QDate(2026, 1, 1).addDays(day));
    }
    const QStringList kept = Backup::listBackups(folder);
    QCOMPARE(kept.size(), Backup::KeptDays);
    QCOMPARE(kept.first(), QStringLiteral("2026-01-31"));
    QCOMPARE(kept.last(), QStringLiteral("2026-01-02"));
    QFile newest(Backup::backupRoot(folder) + QStringLiteral("2026-01-31/date.dat"));
    QVERIFY(newest.open(QIODevice::ReadOnly));
    QCOMPARE(newest.readAll(), QByteArray("30"));
    QCOMPARE(newest.permissions() & 0x0077, QFileDevice::Permissions()); // no access for group and others

    // A real save of the program's data folder makes the day's backup of the file as it was.
    Variable::initFileLocations(folder);
    QCOMPARE(AddPeriodStart(Variable::DateFilePath, QDate(2026, 2, 1)), AddResult::Added);
    const QString today = Backup::backupRoot(folder) + QDate::currentDate().toString(Qt::ISODate);
    QFile old(today + QStringLiteral("/date.dat"));
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("30"));
    QCOMPARE(QFile::permissions(today) & 0x0077, QFileDevice::Permissions());
    Variable::initFileLocations(QString());
}

void TestImport::restore_bringsFilesBackAndIsUndoable()
{
    QTemporaryDir dir;
    const QString folder = dir.path() + u'/';
    writeFile(folder + QStringLiteral("date.dat"), "2026/01/03\r\n");
    writeFile(folder + QStringLiteral("setting.ini"), "[Cycle Setting]\r\nMode=1\r\n");
    const Files original = snapshot(folder);
    const QString backup = Backup::makeTimedBackup(folder, Noon, Backup::BackupPurpose::Import);
    writeFile(folder + QStringLiteral("date.dat"), "2026/02/01\r\n2026/01/03\r\n");
    writeFile(folder + QStringLiteral("dateTemp.dat"), "2026/01/04,36.50\r\n");
    const Files changed = snapshot(folder, false);

    const QList<BackupSummary> list = listBackupSummaries(folder);
    QCOMPARE(list.size(), 1);
    QCOMPARE(list[0].firstDays, 1);
    const QString undo = restoreBackup(folder, backup, Noon.addSecs(60));
    QCOMPARE(snapshot(folder, false), original);

    restoreBackup(folder, undo, Noon.addSecs(120));
    QCOMPARE(snapshot(folder, false), changed);
}

void TestImport::appleHealth200MB_peakMemoryUnder100MiB()
{
#if defined(__SANITIZE_ADDRESS__)
    QSKIP("Under AddressSanitizer the peak memory is the sanitizer's (shadow memory, quarantine).");
#endif
    QTemporaryDir home;
    const QString path = home.filePath(QStringLiteral("export.xml"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(HealthXml.left(HealthXml.indexOf("<Record")));
    // Mostly records of other kinds, as in real exports, with a bleeding day every 28th record.
    QByteArray block;
    int records = 0;
    QDate day(1990, 1, 1); // ten thousand days, all before today
    while (file.size() < qint64(200) << 20) {
        block.clear();
        for (int i = 0; i < 1000; ++i, ++records) {
            const QByteArray date = day.addDays(records / 100).toString(Qt::ISODate).toLatin1();
            if (records % 2800 == 0) {
                block += "<Record type=\"HKCategoryTypeIdentifierMenstrualFlow\" "
                         "value=\"HKCategoryValueMenstrualFlowHeavy\" "
                         "startDate=\"" +
                         date + " 08:00:00 +0900\"/>\n";
            } else {
                block += "<Record type=\"HKQuantityTypeIdentifierStepCount\" sourceName=\"Phone\" unit=\"count\" "
                         "value=\"" +
                         QByteArray::number(i) + "\" startDate=\"" + date + " 08:00:00 +0900\" endDate=\"" + date +
                         " 08:10:00 +0900\"/>\n";
            }
        }
        file.write(block);
    }
    file.write("</HealthData>\n");
    file.close();

    std::unique_ptr<QProcess> program(
        startProgram(home.path(), {QStringLiteral("--import"), path, QStringLiteral("--dry-run")}));
    QVERIFY(program->waitForFinished(120000));
    QCOMPARE(program->exitCode(), 0);
    const QString out = QString::fromUtf8(program->readAllStandardOutput());
    QVERIFY2(out.contains(QStringLiteral("生理開始日: 新しく %1 件").arg((records + 2799) / 2800)), qPrintable(out));
    rusage usage = {};
    QCOMPARE(getrusage(RUSAGE_CHILDREN, &usage), 0);
    QVERIFY2(usage.ru_maxrss < 100 * 1024, qPrintable(QStringLiteral("peak %1 KiB").arg(usage.ru_maxrss)));
}

QTEST_GUILESS_MAIN(TestImport)
#include "tst_import.moc"

// Moving records in and out safely: a restore takes only her own files from a backup, an export never
// writes through a link or over a data file, an import and a restore make a missing data folder, the
// command line's exit statuses, and an import killed at any moment leaves every data file old or every
// one new.

#include "applyimport.h"
#include "backup.h"
#include "datafiles.h"
#include "errors.h"
#include "exitstatus.h"
#include "importfile.h"
#include "installedprogram.h"
#include "restore.h"
#include "singleinstance.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>
#include <sys/stat.h>

using Files = QMap<QString, QByteArray>;

namespace {

const QDateTime Noon(QDate(2026, 12, 7), QTime(12, 0));
const QByteArray OldDates = "2026/02/01\r\n2026/01/03\r\n";
const QByteArray OldMemos = "2026/01/03,\"mine\"\r\n";
const QByteArray OldReadings = "2026/01/04,36.50\r\n";

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Every file under folder by relative path; backup/ left out unless withBackups.
Files snapshot(const QString &folder, bool withBackups = false)
{
    Files files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString name = QDir(folder).relativeFilePath(path);
        if (!withBackups && name.startsWith(QLatin1String("backup/"))) {
            continue;
        }
        QFile file(path);
        files.insert(name, file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)"));
    }
    return files;
}

// The installed program's data folder inside a home of the test's own.
QString makeDataFolder(const QTemporaryDir &home)
{
    const QString data = home.filePath(QStringLiteral("eveluna/"));
    QDir().mkpath(data);
    QFile::setPermissions(data, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    writeFile(data + QStringLiteral("date.dat"), OldDates);
    writeFile(data + QStringLiteral("dateMemo.dat"), OldMemos);
    writeFile(data + QStringLiteral("dateTemp.dat"), OldReadings);
    return data;
}

// An export of this program with records for all three files: something new for each.
QByteArray exportWith(int days)
{
    QByteArray firstDays, memos, readings;
    for (int i = 0; i < days; ++i) {
        const QByteArray day = QDate(2020, 1, 1).addDays(i * 28).toString(Qt::ISODate).toLatin1();
        firstDays += (i ? "," : "") + ('"' + day + '"');
        memos += (i ? "," : "") + ("{\"date\":\"" + day + "\",\"text\":\"memo " + QByteArray::number(i) + "\"}");
        readings += (i ? "," : "") + ("{\"date\":\"" + day + "\",\"celsius\":36.4,\"leftOut\":false}");
    }
    return "{\"format\":\"Easy VELUNA export\",\"version\":1,\"firstDays\":[" + firstDays + "],\"memos\":[" + memos +
           "],\"readings\":[" + readings + "],\"settings\":{}}";
}

QStringList arguments(std::initializer_list<const char *> list)
{
    QStringList all;
    for (const char *argument : list) {
        all.append(QString::fromUtf8(argument));
    }
    return all;
}

// What a running copy holds while the command line runs.
enum class Copy { None, Window, Import };

} // namespace

class TestImportSafety : public QObject
{
    Q_OBJECT

private slots:
    void restore_takesOnlyHerOwnFilesFromABackup_data()
    {
        QTest::addColumn<QString>("planted");
        QTest::addColumn<bool>("link");
        for (const DataFile &file : DataFiles) {
            if (file.backedUp) {
                QTest::addRow("%s, a link to .bashrc", file.name) << dataFileName(file) << true;
            }
        }
        QTest::newRow("date.dat, a FIFO") << QStringLiteral("date.dat") << false;
    }

    void restore_takesOnlyHerOwnFilesFromABackup()
    {
        QFETCH(QString, planted);
        QFETCH(bool, link);
        QTemporaryDir home;
        const QString data = makeDataFolder(home);
        const QString bashrc = home.filePath(QStringLiteral(".bashrc"));
        QVERIFY(writeFile(bashrc, "export PATH=/secret\n"));
        const QString backup = Backup::makeTimedBackup(data, Noon, Backup::BackupPurpose::Import);
        const QString path = backup + u'/' + planted;
        QFile::remove(path);
        if (link) {
            QVERIFY(QFile::link(bashrc, path));
        } else {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        }
        const Files before = snapshot(data);

        const QList<BackupSummary> list = listBackupSummaries(data);
        QCOMPARE(list.size(), 1);
        QVERIFY2(list[0].unreadable.contains(planted), qPrintable(list[0].unreadable));
        try {
            restoreBackup(data, backup, Noon.addSecs(60));
            QFAIL("restored");
        } catch (const EFileError &e) {
            QVERIFY2(e.message().contains(planted), qPrintable(e.message()));
        }
        QCOMPARE(snapshot(data), before);
        QVERIFY(!snapshot(data).values().contains("export PATH=/secret\n"));
    }

    void importAndRestore_missingDataFolder_isMadePrivate()
    {
        QTemporaryDir home;
        const QString data = home.filePath(QStringLiteral("share/eveluna/"));
        const ImportedRecords records = readImportBytes(exportWith(2));
        const QString backup = applyImport(data, records, Noon);
        QCOMPARE(QFile::permissions(data) & 0x0077, QFileDevice::Permissions());
        QVERIFY(snapshot(data).value(QStringLiteral("date.dat")).startsWith("2020/01/29\r\n"));

        QVERIFY(QDir(home.filePath(QStringLiteral("share"))).removeRecursively());
        QVERIFY(!QFileInfo::exists(data));
        QVERIFY(QDir().mkpath(home.filePath(QStringLiteral("old"))));
        QVERIFY(writeFile(home.filePath(QStringLiteral("old/date.dat")), OldDates));
        restoreBackup(data, home.filePath(QStringLiteral("old")), Noon);
        QCOMPARE(snapshot(data).value(QStringLiteral("date.dat")), OldDates);
        Q_UNUSED(backup);
    }

    void commandLine_exitStatuses_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<Copy>("running");
        QTest::addColumn<ExitStatus>("status");
        QTest::addColumn<QByteArray>("says");
        QTest::addColumn<bool>("writes");
        // In arguments, "IMPORT" is a good file to import, "LINK" a link to .bashrc, "DATA/" the data folder.
        QTest::newRow("import") << arguments({"--import", "IMPORT"}) << Copy::None << ExitStatus::Done
                                << QByteArray("読み込みました") << true;
        QTest::newRow("dry run on an existing folder: no backup either")
            << arguments({"--import", "IMPORT", "--dry-run"}) << Copy::None << ExitStatus::Done
            << QByteArray("--dry-run") << false;
        QTest::newRow("dry run without an import")
            << arguments({"--dry-run"}) << Copy::None << ExitStatus::Refused << QByteArray("--dry-run") << false;
        QTest::newRow("dry run with an export") << arguments({"--export", "OUT", "--dry-run"}) << Copy::None
                                                << ExitStatus::Refused << QByteArray("--dry-run") << false;
        QTest::newRow("export onto a link") << arguments({"--export", "LINK"}) << Copy::None << ExitStatus::Refused
                                            << QByteArray("シンボリックリンク") << false;
        QTest::newRow("export onto date.dat") << arguments({"--export", "DATA/date.dat"}) << Copy::None
                                              << ExitStatus::Refused << QByteArray("データーファイル") << false;
        QTest::newRow("export onto a dateDay.dat not there yet")
            << arguments({"--export", "DATA/dateDay.dat"}) << Copy::None << ExitStatus::Refused
            << QByteArray("データーファイル") << false;
        QTest::newRow("import of an unreadable file")
            << arguments({"--import", "LINK"}) << Copy::None << ExitStatus::Refused << QByteArray("link: ") << false;
        QTest::newRow("import of a CSV over the size limit")
            << arguments({"--import", "BIG"}) << Copy::None << ExitStatus::Refused << QByteArray("大きすぎます")
            << false;
        QTest::newRow("import of a CSV without dates: the reader's reason")
            << arguments({"--import", "NODATES"}) << Copy::None << ExitStatus::Refused
            << QByteArray("日付の列が見つかりません") << false;
        QTest::newRow("import while the window runs") << arguments({"--import", "IMPORT"}) << Copy::Window
                                                      << ExitStatus::CopyRunning << QByteArray("登録データ") << false;
        QTest::newRow("import while another import runs")
            << arguments({"--import", "IMPORT"}) << Copy::Import << ExitStatus::CopyRunning
            << QByteArray("ほかの読み込み") << false;
        QTest::newRow("dry run while the window runs") << arguments({"--import", "IMPORT", "--dry-run"}) << Copy::Window
                                                       << ExitStatus::Done << QByteArray("--dry-run") << false;
    }

    void commandLine_exitStatuses()
    {
        QFETCH(QStringList, arguments);
        QFETCH(Copy, running);
        QFETCH(ExitStatus, status);
        QFETCH(QByteArray, says);
        QFETCH(bool, writes);
        QTemporaryDir home;
        const QString data = makeDataFolder(home);
        QVERIFY(writeFile(home.filePath(QStringLiteral("in.json")), exportWith(3)));
        QVERIFY(writeFile(home.filePath(QStringLiteral(".bashrc")), "export PATH=/secret\n"));
        QVERIFY(QFile::link(home.filePath(QStringLiteral(".bashrc")), home.filePath(QStringLiteral("link"))));
        if (arguments.contains(QStringLiteral("BIG"))) {
            QVERIFY(writeFile(home.filePath(QStringLiteral("big.csv")),
                              "date\n" + QByteArray("2026-01-03\n").repeated((8 << 20) / 11 + 1)));
        }
        QVERIFY(writeFile(home.filePath(QStringLiteral("nodates.csv")), "name,amount\nrent,5\n"));
        for (QString &argument : arguments) {
            argument.replace(QStringLiteral("IMPORT"), home.filePath(QStringLiteral("in.json")))
                .replace(QStringLiteral("LINK"), home.filePath(QStringLiteral("link")))
                .replace(QStringLiteral("OUT"), home.filePath(QStringLiteral("out.json")))
                .replace(QStringLiteral("DATA/"), data)
                .replace(QStringLiteral("BIG"), home.filePath(QStringLiteral("big.csv")))
                .replace(QStringLiteral("NODATES"), home.filePath(QStringLiteral("nodates.csv")));
        }
        SingleInstance copy(home.path());
        if (running != Copy::None) {
            QVERIFY(copy.tryAcquire());
        }
        if (running == Copy::Window) {
            QVERIFY(copy.listen());
        }
        const Files before = snapshot(home.path(), true);

        std::unique_ptr<QProcess> program(startProgram(home.path(), arguments));
        QVERIFY(program->waitForFinished(20000));
        QCOMPARE(program->exitCode(), exitCode(status));
        const QByteArray output = program->readAllStandardOutput() + program->readAllStandardError();
        QVERIFY2(output.contains(says), output.constData());
        const Files after = snapshot(home.path(), true);
        QCOMPARE(after != before, writes);
        QCOMPARE(after.value(QStringLiteral(".bashrc")), QByteArray("export PATH=/secret\n"));
        QCOMPARE(after.value(QStringLiteral("eveluna/date.dat")) == OldDates, !writes);
    }

    // A kill at any moment of an import, the next start included: every data file old or every one new.
    void importKilledAnywhere_leavesEveryFileOldOrEveryFileNew()
    {
        QTemporaryDir home;
        const QString importFile = home.filePath(QStringLiteral("in.json"));
        QVERIFY(writeFile(importFile, exportWith(3000)));
        const QString data = makeDataFolder(home);
        const Files old = snapshot(data);
        QElapsedTimer clock;
        clock.start();
        std::unique_ptr<QProcess> whole(startProgram(home.path(), {QStringLiteral("--import"), importFile}));
        QVERIFY(whole->waitForFinished(30000));
        QCOMPARE(whole->exitCode(), 0);
        const qint64 runMs = clock.elapsed();
        const Files fresh = snapshot(data);
        QCOMPARE(fresh.size(), old.size());

        int oldSeen = 0, newSeen = 0;
        for (int kill = 0; kill < 120; ++kill) {
            QVERIFY(QDir(data).removeRecursively());
            makeDataFolder(home);
            std::unique_ptr<QProcess> program(startProgram(home.path(), {QStringLiteral("--import"), importFile}));
            QVERIFY(program->waitForStarted());
            // Spread over the whole run, from the start to a little past a whole import's time.
            QThread::usleep(QRandomGenerator::global()->bounded(quint32(runMs * 1100)));
            ::kill(pid_t(program->processId()), SIGKILL);
            QVERIFY(program->waitForFinished(30000));
            // The next start of any entry point finishes a cut-off import and removes what it left.
            std::unique_ptr<QProcess> next(startProgram(home.path(), {QStringLiteral("--status")}));
            QVERIFY(next->waitForFinished(30000));
            const Files after = snapshot(data);
            QVERIFY2(after == old || after == fresh,
                     qPrintable(QStringLiteral("kill %1: %2").arg(kill).arg(after.keys().join(u' '))));
            ++(after == old ? oldSeen : newSeen);
        }
        qInfo("%d kills left the old files, %d the new ones (a whole import takes %lld ms)", oldSeen, newSeen, runMs);
    }
};

QTEST_GUILESS_MAIN(TestImportSafety)
#include "tst_importsafety.moc"

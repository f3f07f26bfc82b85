// The daily backups: a folder planted in backup/ never leads the rotation outside it, the backup just
// made always stays, one a day however many saves, none for the program's own bookkeeping, and no
// data folder made by a backup.

#include "backup.h"
#include "errors.h"
#include "noticesettings.h"
#include "textfile.h"
#include "variable.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QDate Today(2026, 2, 1);

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

// What a case planted in backup/ besides 30 days of real backups.
enum class Plant { LinkNamedAsBackup, LinkNamedAsUnfinished, NotADate, OwnUnfinished, ThirtyFutureDays };

struct Forget
{
    ~Forget() { Variable::initFileLocations(QString()); }
};

} // namespace

class TestBackup : public QObject
{
    Q_OBJECT

private slots:
    void rotation_plantedFolders_nothingOutsideGoes_andTheNewBackupStays_data()
    {
        QTest::addColumn<Plant>("plant");
        // Its folder would be emptied when the oldest go, and again at every save.
        QTest::newRow("link with an old backup's name") << Plant::LinkNamedAsBackup;
        QTest::newRow("link named as an unfinished backup") << Plant::LinkNamedAsUnfinished;
        QTest::newRow("0000-00-00: no date, not counted or removed") << Plant::NotADate;
        QTest::newRow("unfinished backup of its own, left by a kill") << Plant::OwnUnfinished;
        // A clock that once ran ahead: the new backup is the oldest by name.
        QTest::newRow("thirty days named for the future") << Plant::ThirtyFutureDays;
    }

    void rotation_plantedFolders_nothingOutsideGoes_andTheNewBackupStays()
    {
        QFETCH(Plant, plant);
        QTemporaryDir home;
        QVERIFY(home.isValid());
        const QString data = home.filePath(QStringLiteral("data/"));
        const QString root = data + QStringLiteral("backup/");
        QVERIFY(QDir().mkpath(root));
        const QString outside = home.filePath(QStringLiteral("thesis"));
        QVERIFY(QDir().mkpath(outside));
        QVERIFY(writeFile(outside + QStringLiteral("/chapter1.tex"), "mine"));
        for (int day = 0; day < Backup::KeptDays; ++day) {
            QVERIFY(writeFile(data + QStringLiteral("date.dat"), QByteArray::number(day)));
            Backup::makeDailyBackup(data, Today.addDays(-Backup::KeptDays + day));
        }
        QString planted;
        switch (plant) {
        case Plant::LinkNamedAsBackup:
            planted = root + QStringLiteral("2000-01-01");
            QVERIFY(QFile::link(outside, planted));
            break;
        case Plant::LinkNamedAsUnfinished:
            planted = root + QStringLiteral(".") + Today.toString(Qt::ISODate) + QStringLiteral(".part");
            QVERIFY(QFile::link(outside, planted));
            break;
        case Plant::NotADate:
            planted = root + QStringLiteral("0000-00-00");
            QVERIFY(QDir().mkpath(planted));
            QVERIFY(writeFile(planted + QStringLiteral("/date.dat"), "kept"));
            break;
        case Plant::OwnUnfinished:
            QVERIFY(QDir().mkpath(root + QStringLiteral(".2026-01-15.part")));
            QVERIFY(writeFile(root + QStringLiteral(".2026-01-15.part/date.dat"), "half"));
            break;
        case Plant::ThirtyFutureDays:
            for (int day = 0; day < Backup::KeptDays; ++day) {
                QVERIFY(QDir().mkpath(root + QDate(2099, 1, 1).addDays(day).toString(Qt::ISODate)));
            }
            break;
        }
        QVERIFY(writeFile(data + QStringLiteral("date.dat"), "today"));
        Backup::makeDailyBackup(data, Today);
        Backup::makeDailyBackup(data, Today.addDays(1)); // the next day's rotation too

        QCOMPARE(readFile(outside + QStringLiteral("/chapter1.tex")), QByteArray("mine"));
        QCOMPARE(readFile(root + Today.toString(Qt::ISODate) + QStringLiteral("/date.dat")), QByteArray("today"));
        const QStringList kept = Backup::listBackups(data);
        const int future = plant == Plant::ThirtyFutureDays ? Backup::KeptDays : 0;
        QCOMPARE(kept.size(), Backup::KeptDays + future);
        QCOMPARE(kept.at(future), Today.addDays(1).toString(Qt::ISODate));
        if (plant == Plant::LinkNamedAsBackup || plant == Plant::NotADate) {
            QVERIFY(QFileInfo(planted).exists());
        }
        if (plant == Plant::NotADate) {
            QCOMPARE(readFile(planted + QStringLiteral("/date.dat")), QByteArray("kept"));
        }
        if (plant == Plant::OwnUnfinished) {
            QVERIFY(!QFileInfo::exists(root + QStringLiteral(".2026-01-15.part")));
        }
    }

    void twoSavesInOneDay_makeOneBackupOfTheFirstState()
    {
        const Forget forget;
        QTemporaryDir data;
        QVERIFY(data.isValid());
        Variable::initFileLocations(data.path());
        QVERIFY(writeFile(Variable::DateFilePath, "first\r\n"));
        QString reason;
        QVERIFY(writeFileAtomically(Variable::DateFilePath, "second\r\n", std::nullopt, reason));
        QVERIFY(writeFileAtomically(Variable::MemoFilePath, "memo\r\n", std::nullopt, reason));
        QVERIFY(writeFileAtomically(Variable::DateFilePath, "third\r\n", std::nullopt, reason));
        const QStringList backups = Backup::listBackups(data.path());
        QCOMPARE(backups, QStringList{QDate::currentDate().toString(Qt::ISODate)});
        const QString copy = Backup::backupRoot(data.path()) + backups.first();
        QCOMPARE(readFile(copy + QStringLiteral("/date.dat")), QByteArray("first\r\n"));
        QVERIFY(!QFileInfo::exists(copy + QStringLiteral("/dateMemo.dat")));
    }

    void backup_neverCreatesAMissingDataFolder()
    {
        QTemporaryDir home;
        QVERIFY(home.isValid());
        const QString missing = home.filePath(QStringLiteral("eveluna"));
        QVERIFY_THROWS_EXCEPTION(EFileError, Backup::makeDailyBackup(missing, Today));
        QVERIFY_THROWS_EXCEPTION(EFileError, Backup::makeTimedBackup(missing, QDateTime(Today, QTime(12, 0)),
                                                                     Backup::BackupPurpose::Import));
        QVERIFY(!QFileInfo::exists(missing));
    }

    void reminderBookkeeping_takesNoBackup()
    {
        const Forget forget;
        QTemporaryDir data;
        QVERIFY(data.isValid());
        Variable::initFileLocations(data.path());
        QVERIFY(writeFile(Variable::SettingFilePath, "[Notice]\r\nBefore=1\r\n"));
        writeLastNotice(Variable::SettingFilePath, QDate::currentDate());
        QCOMPARE(readNoticeSettings(Variable::SettingFilePath).lastNotice, QDate::currentDate());
        QCOMPARE(Backup::listBackups(data.path()), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestBackup)
#include "tst_backup.moc"

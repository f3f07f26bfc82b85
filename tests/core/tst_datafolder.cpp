// Where the installed program keeps the records, and the private folder its first save makes.

#include "errors.h"
#include "periodfile.h"
#include "textfile.h"
#include "variable.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

mode_t modeOf(const QString &path)
{
    struct stat st
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? (st.st_mode & 07777) : mode_t(07777);
}

// Restores the process state that a case changes.
struct Restore
{
    mode_t mask = ::umask(022);
    ~Restore()
    {
        ::umask(mask);
        Variable::CreateAppDirOnSave = false;
    }
};

} // namespace

class TestDataFolder : public QObject
{
    Q_OBJECT

private slots:
    void userDataDir_followsXdgDataHome_elseTheHomesLocalShare_data()
    {
        QTest::addColumn<QString>("xdgDataHome");
        QTest::addColumn<QString>("home");
        QTest::addColumn<QString>("expected");
        QTest::newRow("unset") << QString() << "/home/hanako"
                               << "/home/hanako/.local/share/eveluna/";
        QTest::newRow("absolute") << "/data/hanako"
                                  << "/home/hanako"
                                  << "/data/hanako/eveluna/";
        QTest::newRow("absolute, trailing slash") << "/data/hanako/"
                                                  << "/home/hanako"
                                                  << "/data/hanako/eveluna/";
        // A relative value is ignored, as the base directory rule says, not taken from the working folder.
        QTest::newRow("relative") << "data"
                                  << "/home/hanako"
                                  << "/home/hanako/.local/share/eveluna/";
        QTest::newRow("home with trailing slash") << ""
                                                  << "/home/hanako/"
                                                  << "/home/hanako/.local/share/eveluna/";
    }

    void userDataDir_followsXdgDataHome_elseTheHomesLocalShare()
    {
        QFETCH(QString, xdgDataHome);
        QFETCH(QString, home);
        QFETCH(QString, expected);
        QCOMPARE(Variable::userDataDir(xdgDataHome, home), expected);
    }

    void firstSave_createsTheMissingFolders_privateToTheUser_data()
    {
        QTest::addColumn<bool>("createOnSave");
        QTest::addColumn<int>("umask");
        QTest::addColumn<bool>("saved");
        QTest::newRow("installed, usual umask") << true << 022 << true;
        QTest::newRow("installed, no umask") << true << 0 << true;
        // A umask that takes the owner's own write bit would leave a folder she cannot save into.
        QTest::newRow("installed, umask without owner write") << true << 0277 << true;
        // The portable program never makes folders: its own folder exists while it runs.
        QTest::newRow("portable") << false << 022 << false;
    }

    void firstSave_createsTheMissingFolders_privateToTheUser()
    {
        QFETCH(bool, createOnSave);
        QFETCH(int, umask);
        QFETCH(bool, saved);
        Restore restore;
        QTemporaryDir home;
        QVERIFY(home.isValid());
        const QString share = home.filePath(QStringLiteral(".local/share"));
        Variable::initFileLocations(share + QStringLiteral("/eveluna"));
        Variable::CreateAppDirOnSave = createOnSave;
        ::umask(mode_t(umask));

        bool threw = false;
        try {
            AddPeriodStart(Variable::DateFilePath, QDate(2026, 3, 5));
        } catch (const EFileError &error) {
            threw = true;
            // The error names the real path.
            QVERIFY2(error.message().contains(Variable::DateFilePath), qPrintable(error.message()));
        }
        ::umask(022);
        QCOMPARE(threw, !saved);
        if (!saved) {
            QVERIFY(!QFileInfo::exists(share));
            return;
        }
        QFile dates(Variable::DateFilePath);
        QVERIFY(dates.open(QIODevice::ReadOnly));
        QCOMPARE(dates.readAll(), QByteArray("2026/03/05\r\n"));
        for (const QString &folder :
             {home.filePath(QStringLiteral(".local")), share, share + QStringLiteral("/eveluna")}) {
            QCOMPARE(modeOf(folder), mode_t(0700));
        }
    }

    void save_leavesAnExistingFolderAndOtherPathsAlone()
    {
        Restore restore;
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        // A folder the user made herself keeps her mode.
        const QString own = dir.filePath(QStringLiteral("eveluna"));
        QVERIFY(QDir().mkdir(own));
        QVERIFY(QFile::setPermissions(own, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                               QFileDevice::ReadGroup | QFileDevice::ExeGroup));
        Variable::initFileLocations(own);
        Variable::CreateAppDirOnSave = true;
        QString errorText;
        QVERIFY(writeFileAtomically(Variable::MemoFilePath, "x", std::nullopt, errorText));
        QCOMPARE(modeOf(own), mode_t(0750));
        // Only the data folder is ever made: a file elsewhere in a missing folder still fails.
        const QString elsewhere = dir.filePath(QStringLiteral("missing/date.dat"));
        QVERIFY(!writeFileAtomically(elsewhere, "x", std::nullopt, errorText));
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("missing"))));
        // A file where the folder should be: the save fails with the system's reason.
        QFile blocker(dir.filePath(QStringLiteral("file")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        Variable::initFileLocations(dir.filePath(QStringLiteral("file/eveluna")));
        errorText.clear();
        QVERIFY(!writeFileAtomically(Variable::DateFilePath, "x", std::nullopt, errorText));
        QVERIFY(!errorText.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestDataFolder)

#include "tst_datafolder.moc"

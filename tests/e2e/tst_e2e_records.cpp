// The real program on data it must not hang on or hand to others: a FIFO where a data file belongs, a
// one-copy lock planted by another user, and a second copy saving beside the first.

#include "e2eharness.h"

#include "../support/otheruser.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>
#include <QTest>

#include <sys/file.h>
#include <sys/stat.h>

#include <fcntl.h>

#include <pwd.h>
#include <unistd.h>

using namespace E2e;

namespace {

const QString Title = QStringLiteral("Easy VELUNA");
const QSize MainSize(444, 273);

} // namespace

class TestEndToEndRecords : public QObject
{
    Q_OBJECT

private:
    XServer m_x;

    // The one window titled "Easy VELUNA" whose size is not the main window's: the error box.
    QString errorBox() const
    {
        for (const QString &id : m_x.visibleWindows(Title)) {
            if (m_x.windowGeometry(id).size() != MainSize) {
                return id;
            }
        }
        return QString();
    }

private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(m_x.start(&error), qPrintable(error));
    }

    void fifoDataFile_startShowsAnErrorInsteadOfHanging_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("date.dat") << QStringLiteral("date.dat");
        QTest::newRow("dateMemo.dat") << QStringLiteral("dateMemo.dat");
    }

    void fifoDataFile_startShowsAnErrorInsteadOfHanging()
    {
        QFETCH(QString, name);
        ProgramFolder folder;
        QVERIFY(folder.isValid());
        if (name != QStringLiteral("date.dat")) {
            QVERIFY(folder.writeFile(QStringLiteral("date.dat"), "2011/03/01\r\n"));
        }
        const QByteArray fifo = QFile::encodeName(folder.filePath(name));
        QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);

        RunningProgram program(m_x, folder.executable(), folder.path());
        QVERIFY(program.start());
        // Main window and error box; before, the program waited for a writer and showed nothing.
        // The error box naming the file; before, the program waited for a writer and showed nothing.
        QTRY_VERIFY2_WITH_TIMEOUT(!errorBox().isEmpty(), qPrintable(program.report()), 15000);
        QVERIFY(m_x.pressKey(errorBox(), QStringLiteral("Return")));
        QTRY_VERIFY_WITH_TIMEOUT(errorBox().isEmpty(), 5000);
        const QString window = m_x.waitForWindow(Title, 10000, &program);
        QVERIFY2(!window.isEmpty(), qPrintable(program.report()));
        QCOMPARE(m_x.windowGeometry(window).size(), MainSize);
        QVERIFY(m_x.pressKey(window, QStringLiteral("Escape")));
        QVERIFY2(program.waitForExit(10000), qPrintable(program.report()));
        QCOMPARE(program.exitCode(), 0);
        struct stat info = {};
        QVERIFY(::lstat(fifo.constData(), &info) == 0 && S_ISFIFO(info.st_mode));
    }

    // Another user's lock where this user's belongs: the start can neither take the lock nor reach a
    // running copy, and says so instead of ending without a word.
    void lockOfAnotherUser_startSaysSo()
    {
        const OtherUser other;
        if (!other.ok()) {
            QSKIP(qPrintable(other.reason()));
        }
        ProgramFolder folder;
        QVERIFY(folder.isValid());
        QTemporaryDir runtime;
        QVERIFY(runtime.isValid());
        const passwd *me = ::getpwuid(::geteuid());
        QVERIFY(me != nullptr);
        const QString lock = runtime.filePath(QStringLiteral("TORVANAppUniqueEVeluna-") +
                                              QString::fromLocal8Bit(me->pw_name) + QStringLiteral(".lock"));
        QVERIFY(other.plantFile(lock));

        QProcessEnvironment env;
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        RunningProgram program(m_x, folder.executable(), folder.path(), env);
        QVERIFY(program.start());
        const QString box = m_x.waitForWindow(Title, 20000, &program);
        QVERIFY2(!box.isEmpty(), qPrintable(program.report()));
        QVERIFY(m_x.windowGeometry(box).size() != MainSize);
        QVERIFY(m_x.pressKey(box, QStringLiteral("Return")));
        QVERIFY2(program.waitForExit(10000), qPrintable(program.report()));
        QCOMPARE(program.exitCode(), 1);
        // No data file was touched, and the planted lock is still the other user's.
        QCOMPARE(folder.exists(QStringLiteral("setting.ini")), false);
        struct stat info = {};
        QVERIFY(::stat(QFile::encodeName(lock).constData(), &info) == 0 && info.st_uid == other.uid());
    }

    // Two copies, the second started with the lock folder hidden so that it runs beside the first, save a
    // memo each at the same moment: both wait while another program holds the data folder's lock, then
    // both memos are in the file.
    void twoCopies_savingMemosAtOnce_keepBoth()
    {
        ProgramFolder folder;
        QTemporaryDir hiddenLock;
        QVERIFY(folder.isValid() && hiddenLock.isValid());
        const QDate today = QDate::currentDate();
        QVERIFY(folder.writeFile(QStringLiteral("date.dat"), today.toString(u"yyyy/MM/dd").toLatin1() + "\r\n"));
        QProcessEnvironment elsewhere;
        elsewhere.insert(QStringLiteral("XDG_RUNTIME_DIR"), hiddenLock.path());
        // Today's memo in the first copy, tomorrow's (one day right of the focus) in the second.
        RunningProgram first(m_x, folder.executable(), folder.path());
        QVERIFY(first.start());
        const QString windowA = m_x.waitForWindow(Title, 15000, &first);
        QVERIFY(m_x.pressKey(windowA, QStringLiteral("shift+Tab")) && m_x.pressKey(windowA, QStringLiteral("Return")));
        const QString memoA = m_x.waitForWindow(QStringLiteral("メモ"), 10000, &first);
        // Opened on today without a reading, the dialog starts in 体温; the memo box is one step back.
        QVERIFY2(!memoA.isEmpty() && m_x.pressKey(memoA, QStringLiteral("shift+Tab")) &&
                     m_x.pressKey(memoA, QStringLiteral("a")),
                 qPrintable(first.report()));
        const auto other = [this](const QString &title, const QString &known) {
            const QStringList ids = m_x.visibleWindows(title);
            return ids.size() == 2 ? ids.at(ids.at(0) == known ? 1 : 0) : QString();
        };
        RunningProgram second(m_x, folder.executable(), folder.path(), elsewhere);
        QVERIFY(second.start());
        QString windowB;
        QTRY_VERIFY2_WITH_TIMEOUT(!(windowB = other(Title, windowA)).isEmpty(), qPrintable(second.report()), 15000);
        for (const QString &key : {QStringLiteral("shift+Tab"), QStringLiteral("Right"), QStringLiteral("Return")}) {
            QVERIFY(m_x.pressKey(windowB, key));
        }
        QString memoB;
        QTRY_VERIFY_WITH_TIMEOUT(!(memoB = other(QStringLiteral("メモ"), memoA)).isEmpty(), 10000);
        QVERIFY(m_x.pressKey(memoB, QStringLiteral("b")));

        const int lock = ::open(QFile::encodeName(folder.path()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        QVERIFY(lock >= 0 && ::flock(lock, LOCK_EX) == 0);
        QVERIFY(m_x.pressKey(memoA, QStringLiteral("alt+s")) && m_x.pressKey(memoB, QStringLiteral("alt+s")));
        QTest::qWait(1000);
        const bool savedWhileLocked = folder.exists(QStringLiteral("dateMemo.dat"));
        ::close(lock);
        QVERIFY(!savedWhileLocked);
        QTRY_VERIFY_WITH_TIMEOUT(m_x.visibleWindows(QStringLiteral("メモ")).isEmpty(), 10000);
        QCOMPARE(folder.readFile(QStringLiteral("dateMemo.dat")),
                 today.addDays(1).toString(u"yyyy/MM/dd").toLatin1() + ",\"b\"\r\n" +
                     today.toString(u"yyyy/MM/dd").toLatin1() + ",\"a\"\r\n");
    }

    // What saves cut off by a kill left behind, a whole copy and a cut one, is gone once the program has
    // started; her records and a file of hers that merely looks like a copy stay as they were.
    void staleTemporaryFiles_areRemovedAtStart_herFilesStay()
    {
        ProgramFolder folder;
        QVERIFY(folder.isValid());
        const QByteArray dates = "2011/03/01\r\n2011/02/01\r\n";
        const QByteArray memos = "2011/03/01,\"memo\"\r\n";
        const QMap<QString, QByteArray> hers = {{QStringLiteral("date.dat"), dates},
                                                {QStringLiteral("dateMemo.dat"), memos},
                                                {QStringLiteral("date.dat.backup"), dates},
                                                {QStringLiteral("date.dat.Ab12Cd"), dates},
                                                {QStringLiteral(".date.dat.tmp-notes"), dates}};
        for (auto it = hers.cbegin(); it != hers.cend(); ++it) {
            QVERIFY(folder.writeFile(it.key(), it.value()));
        }
        QVERIFY(folder.writeFile(QStringLiteral(".date.dat.tmp-Ab12Cd"), dates));
        QVERIFY(folder.writeFile(QStringLiteral(".dateMemo.dat.tmp-x9Y8z7"), memos.left(7)));
        QVERIFY(folder.writeFile(QStringLiteral(".setting.ini.tmp-000000"), QByteArray()));

        RunningProgram program(m_x, folder.executable(), folder.path());
        QVERIFY(program.start());
        const QString window = m_x.waitForWindow(Title, 15000, &program);
        QVERIFY2(!window.isEmpty(), qPrintable(program.report()));
        QVERIFY(m_x.pressKey(window, QStringLiteral("Escape")));
        QVERIFY2(program.waitForExit(10000), qPrintable(program.report()));
        QStringList expected = hers.keys();
        // Closing stores the cycle mode: bookkeeping, which takes no backup.
        expected << QStringLiteral("eveluna") << QStringLiteral("setting.ini");
        expected.sort();
        QStringList left = folder.entries();
        left.removeIf(
            [](const QString &name) { return name.startsWith(QLatin1String("eveluna")) && name != u"eveluna"; });
        QCOMPARE(left, expected);
        for (auto it = hers.cbegin(); it != hers.cend(); ++it) {
            QCOMPARE(folder.readFile(it.key()), it.value());
        }
    }
};

QTEST_GUILESS_MAIN(TestEndToEndRecords)
#include "tst_e2e_records.moc"

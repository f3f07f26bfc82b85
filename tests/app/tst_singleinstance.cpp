// The single-instance rule across real processes: this program runs itself as the "other copy"
// (argument --hold-lock) so that locks can be held by, and left behind by, a separate process.

#include "singleinstance.h"

#include "../support/otheruser.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <cstdio>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// Child mode: become the running copy in the given folder, say "ready", report each request.
int holdLock(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    SingleInstance instance(QString::fromLocal8Bit(argv[2]));
    if (!instance.tryAcquire() || !instance.listen()) {
        std::puts("refused");
        return 1;
    }
    QObject::connect(&instance, &SingleInstance::activationRequested, [] {
        std::puts("activated");
        std::fflush(stdout);
    });
    QObject::connect(&instance, &SingleInstance::entryRequested, [] {
        std::puts("entry");
        std::fflush(stdout);
    });
    std::puts("ready");
    std::fflush(stdout);
    return app.exec();
}

} // namespace

class TestSingleInstance : public QObject
{
    Q_OBJECT

private:
    // Starts a child that holds the lock in folder; returns once it says "ready". With fileLimit the
    // child may open at most that many descriptors.
    static bool startHolder(QProcess &child, const QString &folder, int fileLimit = 0)
    {
        const QStringList holder = {QCoreApplication::applicationFilePath(), QStringLiteral("--hold-lock"), folder};
        if (fileLimit > 0) {
            child.setProgram(QStringLiteral("prlimit"));
            child.setArguments(QStringList{QStringLiteral("--nofile=%1:%1").arg(fileLimit), QStringLiteral("--")} +
                               holder);
        } else {
            child.setProgram(holder.first());
            child.setArguments(holder.mid(1));
        }
        child.start();
        if (!child.waitForStarted(5000)) {
            return false;
        }
        while (!child.canReadLine()) {
            if (!child.waitForReadyRead(5000)) {
                return false;
            }
        }
        return child.readLine() == "ready\n";
    }

    // A caller of our own on the running copy's socket: connected fd, or -1.
    static int connectTo(const QString &path)
    {
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        const QByteArray name = QFile::encodeName(path);
        if (size_t(name.size()) >= sizeof(address.sun_path)) {
            return -1;
        }
        std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof(address)) != 0) {
            ::close(fd);
            return -1;
        }
        return fd;
    }

    static bool sendText(int fd, const QByteArray &text)
    {
        return ::send(fd, text.constData(), size_t(text.size()), MSG_NOSIGNAL) == text.size();
    }

    static void killHolder(QProcess &child)
    {
        child.kill(); // SIGKILL: no clean-up runs, exactly like a crash
        child.waitForFinished(5000);
    }

private slots:
    void names_holdKeyAndUser_andDifferByKey()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        SingleInstance a(dir.path());
        SingleInstance b(dir.path(), QStringLiteral("OtherKey"));
        QVERIFY(QFileInfo(a.lockFilePath()).fileName().startsWith(QLatin1String("TORVANAppUniqueEVeluna-")));
        QVERIFY(QFileInfo(a.serverPath()).fileName().startsWith(QLatin1String("TORVANAppUniqueEVeluna-")));
        QCOMPARE(QFileInfo(a.lockFilePath()).absolutePath(), QFileInfo(dir.path()).absoluteFilePath());
        QVERIFY(a.lockFilePath() != a.serverPath());
        QVERIFY(a.lockFilePath() != b.lockFilePath());
        // Different keys are independent locks.
        QVERIFY(a.tryAcquire());
        QVERIFY(b.tryAcquire());
    }

    void sameProcess_secondIsRefused_untilFirstReleases()
    {
        QTemporaryDir dir;
        SingleInstance first(dir.path());
        SingleInstance second(dir.path());
        QVERIFY(first.tryAcquire());
        QVERIFY(first.tryAcquire()); // asking again keeps the lock
        QVERIFY(!second.tryAcquire());
        QVERIFY(!second.isAcquired());
        first.release();
        QVERIFY(!QFile::exists(first.lockFilePath()));
        QVERIFY(second.tryAcquire());
        QVERIFY(!first.tryAcquire());
    }

    void sameProcess_requestReachesTheRunningCopy()
    {
        QTemporaryDir dir;
        SingleInstance first(dir.path());
        QVERIFY(first.tryAcquire());
        QVERIFY(first.listen());
        QSignalSpy spy(&first, &SingleInstance::activationRequested);
        SingleInstance second(dir.path());
        QVERIFY(!second.tryAcquire());
        QVERIFY(second.requestActivation());
        QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, 5000);
        QVERIFY(second.requestActivation());
        QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 2, 5000);
    }

    // Anything but the one request line is ignored, and callers that stall or trickle never keep a
    // real request from getting through.
    void strayConnections_areNotRequests_andBlockNothing()
    {
        QTemporaryDir dir;
        SingleInstance first(dir.path());
        QVERIFY(first.tryAcquire());
        QVERIFY(first.listen());
        QSignalSpy spy(&first, &SingleInstance::activationRequested);

        for (const QByteArray &text : {QByteArray("hello\n"), QByteArray("activate"), QByteArray("activate now\n"),
                                       QByteArray(200, 'a') + "activate\n"}) {
            const int fd = connectTo(first.serverPath());
            QVERIFY(fd >= 0);
            QVERIFY(sendText(fd, text));
            ::close(fd);
        }
        // One caller keeps its connection open without a word while a real request comes in.
        const int silent = connectTo(first.serverPath());
        QVERIFY(silent >= 0);
        QTest::qWait(100);
        QCOMPARE(spy.count(), 0);
        SingleInstance second(dir.path());
        QVERIFY(second.requestActivation());
        QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, 5000);

        // A request that comes in two pieces is still one request.
        const int slow = connectTo(first.serverPath());
        QVERIFY(slow >= 0);
        QVERIFY(sendText(slow, "acti"));
        QTest::qWait(50);
        QCOMPARE(spy.count(), 1);
        QVERIFY(sendText(slow, "vate\n"));
        QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 2, 5000);
        ::close(slow);
        ::close(silent);
        QTest::qWait(50);
        QCOMPARE(spy.count(), 2);
    }

    // Callers that connect and send nothing, more than the running copy has descriptors for: it neither
    // spins on the failing accept nor stays deaf once they are gone.
    void idleConnections_underLowFileLimit_costNoProcessorTime_andRequestsGetThrough()
    {
        QTemporaryDir dir;
        QProcess child;
        // The child inherits what this process has open; a few more, and it runs out before the callers do.
        const int limit = int(QDir(QStringLiteral("/proc/self/fd")).count()) + 8;
        QVERIFY(startHolder(child, dir.path(), limit));
        SingleInstance caller(dir.path());
        QList<int> idle;
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        const QByteArray name = QFile::encodeName(caller.serverPath());
        std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
        const QDeadlineTimer connecting(5000);
        while (idle.size() < 300 && !connecting.hasExpired()) {
            // Non-blocking: while the queue of callers is full, connect() refuses at once instead of waiting.
            const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            QVERIFY(fd >= 0);
            if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof(address)) == 0) {
                idle.append(fd);
            } else {
                ::close(fd);
                QThread::usleep(200);
            }
        }
        QCOMPARE(idle.size(), 300);
        const auto processorTicks = [&child] {
            QFile stat(QStringLiteral("/proc/%1/stat").arg(child.processId()));
            if (!stat.open(QIODevice::ReadOnly)) {
                return -1LL;
            }
            // utime and stime, the 14th and 15th fields, counted after the parenthesised command name.
            const QList<QByteArray> fields = stat.readAll().split(')').last().trimmed().split(' ');
            return fields.value(11).toLongLong() + fields.value(12).toLongLong();
        };
        const long long before = processorTicks();
        QTest::qWait(5000);
        const long long used = processorTicks() - before;
        QVERIFY2(before >= 0 && used * 1000 / ::sysconf(_SC_CLK_TCK) < 500, qPrintable(QString::number(used)));

        QVERIFY(caller.requestEntry());
        QVERIFY(child.waitForReadyRead(5000));
        QCOMPARE(child.readLine(), QByteArray("entry\n"));
        for (const int fd : std::as_const(idle)) {
            ::close(fd);
        }
        killHolder(child);
    }

    void noRunningCopy_requestFailsQuickly()
    {
        QTemporaryDir dir;
        SingleInstance lone(dir.path());
        QElapsedTimer timer;
        timer.start();
        QVERIFY(!lone.requestActivation(2000));
        QVERIFY(timer.elapsed() < 2000);
    }

    void otherProcess_holdsLock_secondDetectsAndSignals()
    {
        QTemporaryDir dir;
        QProcess child;
        QVERIFY(startHolder(child, dir.path()));
        SingleInstance second(dir.path());
        QVERIFY(!second.tryAcquire());
        QVERIFY(second.requestActivation());
        QVERIFY(child.waitForReadyRead(5000));
        QCOMPARE(child.readLine(), QByteArray("activated\n"));
        killHolder(child);
    }

    void otherProcess_oldLockOfLiveCopy_isNotTakenOver()
    {
        QTemporaryDir dir;
        QProcess child;
        QVERIFY(startHolder(child, dir.path()));
        // A copy that has run for hours keeps its lock, whatever the file's age.
        QFile lockFile(SingleInstance(dir.path()).lockFilePath());
        QVERIFY(lockFile.open(QIODevice::ReadWrite));
        QVERIFY(lockFile.setFileTime(QDateTime::currentDateTime().addSecs(-7200), QFileDevice::FileModificationTime));
        lockFile.close();
        SingleInstance second(dir.path());
        QVERIFY(!second.tryAcquire());
        killHolder(child);
    }

    void killedCopy_leftoversAreTakenOver()
    {
        QTemporaryDir dir;
        QProcess child;
        QVERIFY(startHolder(child, dir.path()));
        killHolder(child);
        SingleInstance next(dir.path());
        // Both the lock and the socket of the dead copy are still on disk.
        QVERIFY(QFile::exists(next.lockFilePath()));
        QVERIFY(QFile::exists(next.serverPath()));
        QVERIFY(!next.requestActivation(1000));
        QVERIFY(next.tryAcquire());
        QVERIFY(next.listen());
        QSignalSpy spy(&next, &SingleInstance::activationRequested);
        SingleInstance later(dir.path());
        QVERIFY(!later.tryAcquire());
        QVERIFY(later.requestActivation());
        QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, 5000);
    }

    void release_removesSocket_soNoRequestIsAccepted()
    {
        QTemporaryDir dir;
        SingleInstance first(dir.path());
        QVERIFY(first.tryAcquire());
        QVERIFY(first.listen());
        first.release();
        QVERIFY(!first.isAcquired());
        SingleInstance next(dir.path());
        QVERIFY(!next.requestActivation(1000));
        QVERIFY(next.tryAcquire());
    }

    // Other users must not be able to send requests, whatever folder the socket lies in.
    void socket_reachableByThisUserOnly_data()
    {
        QTest::addColumn<int>("folderMode");
        QTest::newRow("private folder") << 0700;
        QTest::newRow("shared folder") << 0777;
    }

    void socket_reachableByThisUserOnly()
    {
        QFETCH(int, folderMode);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QCOMPARE(::chmod(QFile::encodeName(dir.path()).constData(), mode_t(folderMode)), 0);
        SingleInstance first(dir.path());
        QVERIFY(first.tryAcquire());
        QVERIFY(first.listen());
        struct stat folder = {};
        struct stat socket = {};
        QCOMPARE(::stat(QFile::encodeName(dir.path()).constData(), &folder), 0);
        QCOMPARE(::stat(QFile::encodeName(first.serverPath()).constData(), &socket), 0);
        const bool folderShut = (folder.st_mode & (S_IRWXG | S_IRWXO)) == 0;
        const bool socketShut = (socket.st_mode & (S_IRWXG | S_IRWXO)) == 0;
        QVERIFY(folderShut || socketShut);
        SingleInstance second(dir.path());
        QVERIFY(second.requestActivation());
    }

    // Without XDG_RUNTIME_DIR the lock lies in the user's own cache folder, kept at 0700, not in the shared
    // temporary folder where another user could make the names first.
    void noRuntimeFolder_lockLiesInTheUsersCacheFolder_data()
    {
        QTest::addColumn<QString>("xdgCacheHome"); // "/..." lies in the home
        QTest::addColumn<QString>("expected");     // in the home
        QTest::newRow("unset") << QString() << ".cache/eveluna";
        QTest::newRow("absolute, folder open to others") << "/cache"
                                                         << "cache/eveluna";
        QTest::newRow("relative") << "cache"
                                  << ".cache/eveluna";
    }

    void noRuntimeFolder_lockLiesInTheUsersCacheFolder()
    {
        QFETCH(QString, xdgCacheHome);
        QFETCH(QString, expected);
        QTemporaryDir home;
        const QByteArray open = QFile::encodeName(home.filePath(QStringLiteral("cache/eveluna")));
        QVERIFY(QDir().mkpath(QFile::decodeName(open)) && ::chmod(open.constData(), 0755) == 0);
        const QByteArray oldHome = qgetenv("HOME"), oldCache = qgetenv("XDG_CACHE_HOME");
        const QByteArray oldRuntime = qgetenv("XDG_RUNTIME_DIR");
        qputenv("HOME", QFile::encodeName(home.path()));
        qputenv("XDG_CACHE_HOME",
                QFile::encodeName(xdgCacheHome.startsWith(u'/') ? home.path() + xdgCacheHome : xdgCacheHome));
        qputenv("XDG_RUNTIME_DIR", QByteArray());
        const QString chosen = SingleInstance::defaultFolder();
        qputenv("HOME", oldHome);
        qputenv("XDG_CACHE_HOME", oldCache);
        qputenv("XDG_RUNTIME_DIR", oldRuntime);
        QCOMPARE(chosen, home.filePath(expected));
        struct stat info = {};
        QVERIFY(::lstat(QFile::encodeName(chosen).constData(), &info) == 0 && (info.st_mode & 07777) == 0700);
        SingleInstance instance(chosen);
        QVERIFY(instance.tryAcquire() && instance.listen());
    }

    // A lock file and a socket that another user put where ours belong: neither is locked, removed or
    // talked to, and the start reports that it can go neither way.
    void lockAndSocketOfAnotherUser_areLeftAlone()
    {
        const OtherUser other;
        if (!other.ok()) {
            QSKIP(qPrintable(other.reason()));
        }
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        SingleInstance instance(dir.path());
        const QByteArray lock = QFile::encodeName(instance.lockFilePath());
        QVERIFY(other.plantFile(instance.lockFilePath()));

        // A listening socket of the other user: a request would tell it that the program starts.
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        const QByteArray socketName = QFile::encodeName(instance.serverPath());
        std::memcpy(address.sun_path, socketName.constData(), size_t(socketName.size()));
        const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        QVERIFY(listener >= 0);
        QCOMPARE(::bind(listener, reinterpret_cast<const sockaddr *>(&address), sizeof(address)), 0);
        QCOMPARE(::listen(listener, 4), 0);
        QCOMPARE(::chown(socketName.constData(), other.uid(), other.gid()), 0);

        QVERIFY(!instance.tryAcquire());
        QVERIFY(!instance.requestActivation());
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(instance.acquireOrActivate(300), SingleInstance::StartResult::Unreachable);
        QVERIFY(timer.elapsed() < 3000);
        QVERIFY(!instance.isAcquired());
        QCOMPARE(::accept(listener, nullptr, nullptr), -1);
        ::close(listener);
        struct stat info = {};
        QCOMPARE(::stat(lock.constData(), &info), 0);
        QCOMPARE(info.st_uid, other.uid());
        QCOMPARE(::stat(socketName.constData(), &info), 0);
        QCOMPARE(info.st_uid, other.uid());
    }

    void unwritableFolder_letsTheProgramRun()
    {
        // No lock can be made there; refusing to start would lock the user out of the program.
        SingleInstance instance(QStringLiteral("/nonexistent-folder-for-eveluna-tests"));
        QVERIFY(instance.tryAcquire());
        QVERIFY(!instance.isAcquired());
        QVERIFY(!instance.listen());
    }
};

int main(int argc, char **argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--hold-lock") == 0) {
        return holdLock(argc, argv);
    }
    QCoreApplication app(argc, argv);
    TestSingleInstance test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_singleinstance.moc"

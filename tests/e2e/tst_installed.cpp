// The installed program, taken from its Debian package and started through its bin/ symlink by a user
// who is not root: the first records land in her own data folder, private to her, nothing is written
// beside the program, the help comes from the program folder, and the window carries the class that
// ties it to the menu entry.

#include "e2eharness.h"

#include <QDate>
#include <QDirIterator>
#include <QTest>
#include <QUrl>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace E2e;

namespace {

const QString InfoTitle = QStringLiteral("情報");
const QString EntryTitle = QStringLiteral("生理登録");
// A name of our own, so that removing the account at the end cannot hit a real user.
const QString AccountName = QStringLiteral("eveluna-e2e");

// Runs a command to its end; its standard error on failure, empty on success.
QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted(5000) || !process.waitForFinished(30000)) {
        return program + QStringLiteral(" did not run: ") + process.errorString();
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        return program + QStringLiteral(" failed: ") + QString::fromLocal8Bit(process.readAllStandardError());
    }
    return QString();
}

struct stat statOf(const QString &path)
{
    struct stat st
    {
    };
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0) {
        st.st_mode = 0;
    }
    return st;
}

// Every file and folder under root with its kind, mode, size and modification time: any write, new
// file or changed mode shows as a difference.
QStringList treeState(const QString &root)
{
    QStringList state;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const struct stat st = statOf(path);
        state << QStringLiteral("%1 %2 %3 %4.%5")
                     .arg(path.mid(root.size()))
                     .arg(st.st_mode, 0, 8)
                     .arg(qint64(st.st_size))
                     .arg(qint64(st.st_mtim.tv_sec))
                     .arg(qint64(st.st_mtim.tv_nsec));
    }
    state.sort();
    return state;
}

} // namespace

class TestInstalled : public QObject
{
    Q_OBJECT

private:
    XServer m_x;
    QTemporaryDir m_root; // the package's files, as dpkg would install them under /
    QTemporaryDir m_tools;
    uid_t m_uid = ::getuid();
    gid_t m_gid = ::getgid();
    bool m_switchUser = false;

    QString installed(const QString &path) const { return m_root.path() + path; }

    // A folder the user owns and alone may enter.
    bool giveToUser(const QString &path) const
    {
        const QByteArray name = QFile::encodeName(path);
        return ::chmod(name.constData(), 0700) == 0 && ::chown(name.constData(), m_uid, m_gid) == 0;
    }

private slots:
    void initTestCase()
    {
        const QString package = QStringLiteral(EVELUNA_PACKAGE_FILE);
        QVERIFY2(QFileInfo::exists(package),
                 qPrintable(package + QStringLiteral(" is missing: run the test 'package'")));
        QVERIFY(m_root.isValid() && m_tools.isValid());
        const QString extracted = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), package, m_root.path()});
        QVERIFY2(extracted.isEmpty(), qPrintable(extracted));
        // The temporary root stands for /, which everybody may enter.
        QVERIFY(QFile::setPermissions(m_root.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                         QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                                         QFileDevice::ExeOther));

        if (::geteuid() == 0) {
            // The kernel refuses root nothing, so a private folder proves nothing for root: the program
            // runs as a throwaway account.
            if (::getpwnam(qPrintable(AccountName)) == nullptr) {
                const QString made =
                    run(QStringLiteral("useradd"),
                        {QStringLiteral("--system"), QStringLiteral("--user-group"), QStringLiteral("--no-create-home"),
                         QStringLiteral("--home-dir"), QStringLiteral("/nonexistent"), QStringLiteral("--shell"),
                         QStringLiteral("/usr/sbin/nologin"), AccountName});
                if (!made.isEmpty()) {
                    QSKIP(qPrintable(QStringLiteral("running as root, and no account to run the program as "
                                                    "could be made (") +
                                     made.trimmed() + QStringLiteral(")")));
                }
            }
            const passwd *account = ::getpwnam(qPrintable(AccountName));
            QVERIFY(account != nullptr);
            m_uid = account->pw_uid;
            m_gid = account->pw_gid;
            m_switchUser = true;
        }

        // Stand-ins for the desktop's tools: no viewer for .chm files, and an opener that writes down
        // what it was given into the file named by EVELUNA_E2E_OPENED.
        auto writeTool = [&](const QString &name, const QByteArray &body) {
            QFile file(m_tools.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("#!/bin/sh\n" + body + "\n");
            file.close();
            QVERIFY(file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                        QFileDevice::ReadOther | QFileDevice::ExeOther));
        };
        writeTool(QStringLiteral("xdg-mime"), "exit 0");
        writeTool(QStringLiteral("xdg-open"), "echo \"$1\" >> \"$EVELUNA_E2E_OPENED\"");
        QVERIFY(QFile::setPermissions(m_tools.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                          QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                                          QFileDevice::ExeOther));

        QString error;
        QVERIFY2(m_x.start(&error), qPrintable(error));
    }

    void cleanupTestCase()
    {
        if (m_switchUser) {
            run(QStringLiteral("userdel"), {AccountName});
        }
    }

    void installedProgram_keepsTheRecordsInAPrivateFolderOfTheUser_data()
    {
        QTest::addColumn<QString>("xdgDataHome"); // relative to the home; empty: unset
        QTest::addColumn<QString>("dataFolder");  // relative to the home
        QTest::newRow("XDG_DATA_HOME unset") << QString() << ".local/share/eveluna";
        QTest::newRow("XDG_DATA_HOME set") << "data"
                                           << "data/eveluna";
    }

    void installedProgram_keepsTheRecordsInAPrivateFolderOfTheUser()
    {
        QFETCH(QString, xdgDataHome);
        QFETCH(QString, dataFolder);
        QTemporaryDir home;
        QTemporaryDir runtime;
        QTemporaryDir cwd;
        QTemporaryDir notes;
        QVERIFY(home.isValid() && runtime.isValid() && cwd.isValid() && notes.isValid());
        for (const QTemporaryDir *dir : {&home, &runtime, &cwd, &notes}) {
            QVERIFY(giveToUser(dir->path()));
        }
        const QString data = home.filePath(dataFolder);
        const QString opened = notes.filePath(QStringLiteral("opened.txt"));
        const QStringList programBefore = treeState(m_root.path());

        // Through env so that the test's own XDG_DATA_HOME, if any, is gone; setpriv changes the user
        // and leaves the environment alone.
        QStringList command = {
            QStringLiteral("-u"), QStringLiteral("XDG_DATA_HOME"), QStringLiteral("HOME=") + home.path(),
            QStringLiteral("XDG_RUNTIME_DIR=") + runtime.path(),
            QStringLiteral("PATH=") + m_tools.path() + QStringLiteral(":/usr/bin:/bin"),
            QStringLiteral("EVELUNA_E2E_OPENED=") + opened,
            // No session bus: nothing may start a bus daemon that outlives the test.
            QStringLiteral("DBUS_SESSION_BUS_ADDRESS=unix:path=") + notes.filePath(QStringLiteral("no-bus"))};
        if (!xdgDataHome.isEmpty()) {
            command << QStringLiteral("XDG_DATA_HOME=") + home.filePath(xdgDataHome);
        }
        if (m_switchUser) {
            command << QStringLiteral("setpriv") << QStringLiteral("--reuid=%1").arg(m_uid)
                    << QStringLiteral("--regid=%1").arg(m_gid) << QStringLiteral("--clear-groups")
                    << QStringLiteral("--");
        }
        command << installed(QStringLiteral("/usr/bin/eveluna"));
        RunningProgram program(m_x, QStringLiteral("env"), cwd.path());
        program.setArguments(command);
        QVERIFY2(program.start(), qPrintable(program.report()));

        // With no records yet the program says that data is missing and opens the registration; its
        // start created nothing.
        const QString notice = m_x.waitForWindow(InfoTitle, 15000, &program);
        QVERIFY2(!notice.isEmpty(), qPrintable(program.report()));
        QVERIFY(!QFileInfo::exists(data));
        QVERIFY(m_x.pressKey(notice, QStringLiteral("Return")));
        // The first registration: today's date, as the entry dialog offers it.
        const QString dialog = m_x.waitForWindow(EntryTitle, 15000, &program);
        QVERIFY2(!dialog.isEmpty(), qPrintable(program.report()));
        QVERIFY(m_x.pressKey(dialog, QStringLiteral("alt+s")));
        const QString dateFile = data + QStringLiteral("/date.dat");
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(dateFile), 10000);
        QFile dates(dateFile);
        QVERIFY(dates.open(QIODevice::ReadOnly));
        QCOMPARE(dates.readAll(), QDate::currentDate().toString(QStringLiteral("yyyy/MM/dd")).toLatin1() + "\r\n");
        const QString window = m_x.waitForWindow(MainTitle, 15000, &program);
        QVERIFY2(!window.isEmpty(), qPrintable(program.report()));

        // The window's class is the menu entry's StartupWMClass, so docks show it under that icon.
        QFile entry(installed(QStringLiteral("/usr/share/applications/" EVELUNA_APP_ID ".desktop")));
        QVERIFY(entry.open(QIODevice::ReadOnly));
        QByteArray wmClass;
        for (const QByteArray &line : entry.readAll().split('\n')) {
            if (line.startsWith("StartupWMClass=")) {
                wmClass = line.mid(int(qstrlen("StartupWMClass=")));
            }
        }
        QVERIFY(!wmClass.isEmpty());
        const QByteArray classes =
            m_x.runTool(QStringLiteral("xprop"), {QStringLiteral("-id"), window, QStringLiteral("WM_CLASS")});
        QVERIFY2(classes.contains("= \"" + wmClass + "\", "), classes.constData());

        // The folder is hers and hers alone, and so is every folder the save had to make for it.
        for (QString folder = data; folder != home.path(); folder = QFileInfo(folder).path()) {
            const struct stat st = statOf(folder);
            QVERIFY2(S_ISDIR(st.st_mode), qPrintable(folder));
            QCOMPARE(st.st_mode & 07777, mode_t(0700));
            QCOMPARE(st.st_uid, m_uid);
        }

        // The help is the one installed beside the program, reached through /proc/self/exe: shown in the
        // program's help window, whose ブラウザで開く hands the page to the desktop.
        QVERIFY(m_x.pressKey(window, QStringLiteral("alt+h")));
        const QString help = m_x.waitForWindow(QStringLiteral("Easy VELUNA ヘルプ"), 15000, &program);
        QVERIFY2(!help.isEmpty(), qPrintable(program.report()));
        QVERIFY(m_x.pressKey(help, QStringLiteral("alt+o")));
        auto recorded = [&opened] {
            QFile file(opened);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };
        QTRY_VERIFY_WITH_TIMEOUT(recorded().endsWith('\n'), 10000);
        QCOMPARE(QUrl(QString::fromUtf8(recorded().trimmed())).toLocalFile(),
                 installed(QStringLiteral("/usr/lib/eveluna/eveluna-help/index.html")));

        QVERIFY(m_x.pressKey(window, QStringLiteral("Escape")));
        QVERIFY2(program.waitForExit(10000) && program.exitCode() == 0, qPrintable(program.report()));
        // backup/ holds the day's copy of the files as they were before the first save (none yet).
        QCOMPARE(QDir(data).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList({QStringLiteral("backup"), QStringLiteral("date.dat"), QStringLiteral("setting.ini")}));
        // Nothing was written beside the program, nor into the working folder.
        QCOMPARE(treeState(m_root.path()), programBefore);
        QCOMPARE(QDir(cwd.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestInstalled)

#include "tst_installed.moc"

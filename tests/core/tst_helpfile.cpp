// Finding and choosing the help: names derived from the executable, the choice between the compiled
// help and its HTML copy, the viewer query that must never hang, and the help actually built.

#include "helpfile.h"
#include "variable.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

class TestHelpFile : public QObject
{
    Q_OBJECT

private:
    // A stand-in for the desktop's MIME tool: a shell script with the given body.
    static QString writeScript(const QTemporaryDir &dir, const QString &name, const QByteArray &body)
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly)) {
            return QString();
        }
        file.write("#!/bin/sh\n" + body + "\n");
        file.close();
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        return path;
    }

    static void touch(const QString &path)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("x");
    }

private slots:
    void htmlIndexPath_data()
    {
        QTest::addColumn<QString>("executable");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << "/opt/luna/eveluna"
                               << "/opt/luna/eveluna-help/index.html";
        QTest::newRow("with extension") << "/opt/luna/eveluna.exe"
                                        << "/opt/luna/eveluna-help/index.html";
        QTest::newRow("renamed, two dots") << "/opt/luna/my.luna.bin"
                                           << "/opt/luna/my.luna-help/index.html";
        QTest::newRow("dot only in folder") << "/opt/lu.na/eveluna"
                                            << "/opt/lu.na/eveluna-help/index.html";
    }

    void htmlIndexPath()
    {
        QFETCH(QString, executable);
        QFETCH(QString, expected);
        QCOMPARE(HelpFile::htmlIndexPath(executable), expected);
        // The compiled help shares the base name, so both always travel together.
        const QString chm = Variable::helpFilePath(executable);
        QCOMPARE(QFileInfo(chm).absolutePath(), QFileInfo(expected).absolutePath().section(QLatin1Char('/'), 0, -2));
    }

    void chooseHelpTarget_data()
    {
        QTest::addColumn<bool>("haveChm");
        QTest::addColumn<bool>("haveHtml");
        QTest::addColumn<bool>("viewer");
        QTest::addColumn<QString>("expected"); // "chm", "html" or ""
        QTest::newRow("both, viewer") << true << true << true << "chm";
        QTest::newRow("both, no viewer") << true << true << false << "html";
        QTest::newRow("only chm, viewer") << true << false << true << "chm";
        QTest::newRow("only chm, no viewer") << true << false << false << "chm";
        QTest::newRow("only html, viewer") << false << true << true << "html";
        QTest::newRow("only html, no viewer") << false << true << false << "html";
        QTest::newRow("none, viewer") << false << false << true << "";
        QTest::newRow("none, no viewer") << false << false << false << "";
    }

    void chooseHelpTarget()
    {
        QFETCH(bool, haveChm);
        QFETCH(bool, haveHtml);
        QFETCH(bool, viewer);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const QString chm = dir.filePath(QStringLiteral("eveluna.chm"));
        const QString html = dir.filePath(QStringLiteral("eveluna-help/index.html"));
        if (haveChm) {
            touch(chm);
        }
        if (haveHtml) {
            touch(html);
        }
        const QString target = HelpFile::chooseHelpTarget(chm, html, viewer);
        QCOMPARE(target, expected == u"chm" ? chm : expected == u"html" ? html : QString());
    }

    void chooseHelpTarget_folderNamedLikeTheFile_isNotHelp()
    {
        QTemporaryDir dir;
        const QString chm = dir.filePath(QStringLiteral("eveluna.chm"));
        QVERIFY(QDir().mkpath(chm));
        QCOMPARE(HelpFile::chooseHelpTarget(chm, dir.filePath(QStringLiteral("none.html")), true), QString());
    }

    void desktopHasChmViewer_data()
    {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<bool>("expected");
        // The tool is asked "query default <type>"; answer only for the .chm types.
        QTest::newRow("registered type") << QByteArray(
                                                "[ \"$1 $2 $3\" = \"query default application/vnd.ms-htmlhelp\" ] "
                                                "&& echo xchm.desktop; exit 0")
                                         << true;
        QTest::newRow("older alias only")
            << QByteArray("[ \"$3\" = application/x-chm ] && echo kchmviewer.desktop; exit 0") << true;
        QTest::newRow("no handler: empty answer") << QByteArray("exit 0") << false;
        QTest::newRow("blank answer") << QByteArray("echo '   '; exit 0") << false;
        QTest::newRow("tool fails") << QByteArray("echo xchm.desktop; exit 3") << false;
        QTest::newRow("tool crashes") << QByteArray("kill -9 $$") << false;
    }

    void desktopHasChmViewer()
    {
        QFETCH(QByteArray, script);
        QFETCH(bool, expected);
        QTemporaryDir dir;
        const QString tool = writeScript(dir, QStringLiteral("xdg-mime"), script);
        QVERIFY(!tool.isEmpty());
        QCOMPARE(HelpFile::desktopHasChmViewer(tool, 5000), expected);
    }

    void desktopHasChmViewer_missingTool_isNoViewer()
    {
        QCOMPARE(HelpFile::desktopHasChmViewer(QStringLiteral("/nonexistent/xdg-mime"), 1000), false);
    }

    void desktopHasChmViewer_hangingTool_givesUpInTime()
    {
        QTemporaryDir dir;
        const QString tool = writeScript(dir, QStringLiteral("xdg-mime"), "exec sleep 30");
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(HelpFile::desktopHasChmViewer(tool, 300), false);
        // Two types are asked, each limited to 300 ms plus the kill.
        QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
    }

    void builtHelp_compiledFileListsEveryPage()
    {
        const QDir bin(QStringLiteral(EVELUNA_BIN_DIR));
        QFile chm(bin.filePath(QStringLiteral("eveluna.chm")));
        QVERIFY2(chm.open(QIODevice::ReadOnly), qPrintable(chm.fileName()));
        const QByteArray bytes = chm.readAll();
        QVERIFY(bytes.startsWith("ITSF"));
        const QDir pages(bin.filePath(QStringLiteral("eveluna-help")));
        const QStringList names = pages.entryList({QStringLiteral("*.html"), QStringLiteral("*.css")}, QDir::Files);
        QVERIFY(names.contains(QStringLiteral("index.html")));
        QVERIFY(names.size() >= 8);
        for (const QString &name : names) {
            // The directory of the compiled file names each stored file with a leading "/".
            QVERIFY2(bytes.contains("/" + name.toLatin1()), qPrintable(name));
        }
        QVERIFY(bytes.contains("/toc.hhc"));
        QVERIFY(bytes.contains("/index.hhk"));
    }

    void builtHelp_htmlCopyLinksResolve()
    {
        const QDir pages(QStringLiteral(EVELUNA_BIN_DIR "/eveluna-help"));
        const QStringList names = pages.entryList({QStringLiteral("*.html")}, QDir::Files);
        QVERIFY(!names.isEmpty());
        const QRegularExpression link(QStringLiteral(R"re((?:href|src)="([^"#:]+)(?:#[^"]*)?")re"));
        QSet<QString> linked;
        for (const QString &name : names) {
            QFile page(pages.filePath(name));
            QVERIFY(page.open(QIODevice::ReadOnly));
            const QString text = QString::fromUtf8(page.readAll());
            QVERIFY2(text.contains(QLatin1String("<meta charset=\"utf-8\">")), qPrintable(name));
            QVERIFY2(text.contains(QLatin1String("<title>")), qPrintable(name));
            for (const QRegularExpressionMatch &m : link.globalMatch(text)) {
                const QString target = m.captured(1);
                QVERIFY2(pages.exists(target), qPrintable(name + QLatin1String(" -> ") + target));
                linked.insert(target);
            }
        }
        // Every page can be reached from some page.
        for (const QString &name : names) {
            QVERIFY2(linked.contains(name), qPrintable(name));
        }
    }
};

QTEST_GUILESS_MAIN(TestHelpFile)

#include "tst_helpfile.moc"

// Finding the help: names derived from the executable, and the help actually built.

#include "helpfile.h"
#include "variable.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

class TestHelpFile : public QObject
{
    Q_OBJECT

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

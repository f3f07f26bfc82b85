// F1 and the Help key in the main window: the desktop's opener (a recording stand-in here) gets the
// main help page; an opener that fails leaves a message box naming the file to open by hand.

#include "help.h"
#include "mainwindow.h"
#include "modalanswer.h"
#include "testfiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

class TestHelpKey : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // The help copy the program looks for beside its executable: "<base name>-help/index.html".
        QVERIFY(QDir(m_helpDir).removeRecursively());
        QVERIFY(QDir().mkpath(m_helpDir));
        QVERIFY(writeFile(m_helpDir + QStringLiteral("/index.html"), "<html></html>"));
    }
    void cleanupTestCase()
    {
        setUrlOpener({});
        QDir(m_helpDir).removeRecursively();
    }

    void helpKey_opensTheMainPage_orNamesItWhenNothingOpens_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("opens");
        QTest::newRow("F1, a browser opens it") << int(Qt::Key_F1) << true;
        QTest::newRow("Help key, a browser opens it") << int(Qt::Key_Help) << true;
        QTest::newRow("F1, nothing opens it") << int(Qt::Key_F1) << false;
    }

    void helpKey_opensTheMainPage_orNamesItWhenNothingOpens()
    {
        QFETCH(int, key);
        QFETCH(bool, opens);
        QTemporaryDir data;
        QVERIFY(writeFile(data.filePath(QStringLiteral("date.dat")), "2011/03/01\r\n2011/02/01\r\n"));
        QList<QUrl> opened;
        setUrlOpener([&opened, opens](const QUrl &url) {
            opened << url;
            return opens;
        });
        TfrmMain window(data.path(), [] { return QDate(2011, 3, 10); });
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));

        const ShownBox box = captureMessageBox([&] { QTest::keyClick(&window, Qt::Key(key)); }, &window);
        const QString page = m_helpDir + QStringLiteral("/index.html");
        QCOMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(page)});
        if (opens) {
            QCOMPARE(box.count, 0);
        } else {
            QCOMPARE(box.count, 1);
            QCOMPARE(box.text,
                     QStringLiteral("ヘルプを開けませんでした。ブラウザで次のファイルを開いてください。\n") + page);
        }
    }

private:
    const QString m_helpDir = QCoreApplication::applicationDirPath() + QStringLiteral("/tst_helpkey-help");
};

QTEST_MAIN(TestHelpKey)

#include "tst_helpkey.moc"

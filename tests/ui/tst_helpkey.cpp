// F1 in each window opens the program's own help window at that window's page (the 基礎体温 tab at
// its own), without handing anything to the desktop's opener (a recording stand-in here).

#include "backups.h"
#include "calendar.h"
#include "entry.h"
#include "help.h"
#include "helpwindow.h"
#include "history.h"
#include "importpreview.h"
#include "mail.h"
#include "mainwindow.h"
#include "memo.h"
#include "notice.h"
#include "testfiles.h"
#include "variable.h"
#include "view.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <memory>

class TestHelpKey : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // The help copy the program looks for beside its executable: "<base name>-help/<page>".
        QVERIFY(QDir(m_helpDir).removeRecursively());
        QVERIFY(QDir().mkpath(m_helpDir));
        for (const char *page :
             {"index", "entry", "memo", "view", "mail", "notice", "history", "temperature", "import"}) {
            QVERIFY(
                writeFile(m_helpDir + QStringLiteral("/%1.html").arg(QLatin1String(page)),
                          QByteArray("<html><body><p>") + page + "</p><a href=\"index.html\">top</a></body></html>"));
        }
        QVERIFY(writeFile(m_data.filePath(QStringLiteral("date.dat")), "2011/03/01\r\n2011/02/01\r\n"));
        Variable::initFileLocations(m_data.path());
    }
    void cleanupTestCase()
    {
        setUrlOpener({});
        QDir(m_helpDir).removeRecursively();
    }
    void cleanup() { delete helpWindow(); }

    void helpKey_opensTheHelpWindowAtThePageOfTheWindow_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("page");
        QTest::newRow("main window") << QStringLiteral("main") << QStringLiteral("index.html");
        QTest::newRow("生理登録") << QStringLiteral("entry") << QStringLiteral("entry.html");
        QTest::newRow("memo") << QStringLiteral("memo") << QStringLiteral("memo.html");
        QTest::newRow("登録データ") << QStringLiteral("view") << QStringLiteral("view.html");
        QTest::newRow("メール送信") << QStringLiteral("mail") << QStringLiteral("mail.html");
        QTest::newRow("通知") << QStringLiteral("notice") << QStringLiteral("notice.html");
        QTest::newRow("バックアップ") << QStringLiteral("backups") << QStringLiteral("import.html");
        QTest::newRow("import preview") << QStringLiteral("preview") << QStringLiteral("import.html");
        QTest::newRow("history, 周期 tab") << QStringLiteral("history") << QStringLiteral("history.html");
        QTest::newRow("history, 基礎体温 tab") << QStringLiteral("temperature") << QStringLiteral("temperature.html");
    }

    void helpKey_opensTheHelpWindowAtThePageOfTheWindow()
    {
        QFETCH(QString, window);
        QFETCH(QString, page);
        QList<QUrl> opened;
        setUrlOpener([&opened](const QUrl &url) {
            opened << url;
            return true;
        });
        Calendar engine(Variable::DateFilePath, Variable::MemoFilePath);
        std::unique_ptr<QWidget> shown;
        if (window == QLatin1String("main")) {
            shown = std::make_unique<TfrmMain>(m_data.path(), [] { return QDate(2011, 3, 10); });
        } else if (window == QLatin1String("entry")) {
            shown = std::make_unique<TfrmEntry>();
        } else if (window == QLatin1String("memo")) {
            auto memo = std::make_unique<TfrmMemo>();
            memo->setDateText(QStringLiteral("2011/03/05"));
            shown = std::move(memo);
        } else if (window == QLatin1String("view")) {
            shown = std::make_unique<TfrmView>(nullptr, QStringLiteral("28"));
        } else if (window == QLatin1String("mail")) {
            shown = std::make_unique<TfrmMail>(engine, QStringLiteral("28"), QStringLiteral("1"));
        } else if (window == QLatin1String("notice")) {
            shown = std::make_unique<TfrmNotice>(QStringLiteral("28"));
        } else if (window == QLatin1String("backups")) {
            shown = std::make_unique<TfrmBackups>(m_data.path());
        } else if (window == QLatin1String("preview")) {
            shown = std::make_unique<TfrmImportPreview>(QStringLiteral("export.csv"), QString(), false);
        } else {
            shown = std::make_unique<TfrmHistory>(28);
            // The view installs the history's key as it opens it.
            installHelpKey(shown.get(), QStringLiteral("history.html"));
            if (window == QLatin1String("temperature")) {
                shown->findChild<QTabWidget *>(QStringLiteral("historyTabs"))->setCurrentIndex(1);
            }
        }
        shown->show();
        QVERIFY(QTest::qWaitForWindowActive(shown.get()));

        QTest::keyClick(shown.get(), Qt::Key_F1);
        QVERIFY(helpWindow() != nullptr);
        QVERIFY(helpWindow()->isVisible());
        QCOMPARE(helpWindow()->source(), QUrl::fromLocalFile(m_helpDir + u'/' + page));
        QVERIFY(opened.isEmpty());
    }

private:
    static HelpWindow *helpWindow()
    {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (auto *help = qobject_cast<HelpWindow *>(widget); help != nullptr && widget->isVisible()) {
                return help;
            }
        }
        return nullptr;
    }

    QTemporaryDir m_data;
    const QString m_helpDir = QCoreApplication::applicationDirPath() + QStringLiteral("/tst_helpkey-help");
};

QTEST_MAIN(TestHelpKey)

#include "tst_helpkey.moc"

#include "mainwindow.h"
#include "modalanswer.h"
#include "testfiles.h"
#include "view.h"

#include "backup.h"
#include "settings.h"
#include "variable.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTableWidget>

#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {

QStringList texts(const QListWidget *list)
{
    QStringList result;
    for (int row = 0; row < list->count(); ++row) {
        result << list->item(row)->text();
    }
    return result;
}

QList<bool> checks(const QListWidget *list)
{
    QList<bool> result;
    for (int row = 0; row < list->count(); ++row) {
        result << (list->item(row)->checkState() == Qt::Checked);
    }
    return result;
}

// Toggles the check mark of one entry with the space bar, as a keyboard user does.
void toggleEntry(QListWidget *list, int row)
{
    list->setFocus();
    list->setCurrentRow(row);
    QTest::keyClick(list, Qt::Key_Space);
}

void doubleClickEntry(QListWidget *list, int row)
{
    const QPoint centre = list->visualItemRect(list->item(row)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, centre);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, centre);
}

} // namespace

class TestView : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void formCreate_showsLinesAsTheyStandAndMemoDaysFormatted();
    void formCreate_withoutDateFile_leavesBothListsEmpty();
    void formCreate_badMemoDay_showsErrorAndKeepsPeriodDays();

    void dayDelete_checkedEntries_removedFromFileAndList();
    void dayDelete_entryChangedBehindDialog_staysCheckedAndInFile();
    void dayDelete_nothingChecked_rewritesSameLines();
    void dayDelete_withoutDateFile_createsEmptyFile();
    void dayDelete_fileShorterThanList_showsIndexErrorAndWritesNothing();
    void memoDelete_checkedEntries_removedFromFileAndList();
    void readingsAndDayRecords_listedWithValues_checkedOnesDeleted();

    void memoDoubleClick_opensMemoOfSelectedDayAndRefillsList();
    void memoDoubleClick_emptyList_opensNothing();
    void escape_closesDialog();
    void restore_mainWindowShowsTheRestoredModeAndRecords_andKeepsThem();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString datePath() const { return Variable::DateFilePath; }
    QString memoPath() const { return Variable::MemoFilePath; }
};

void TestView::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    Variable::initFileLocations(m_dir->path());
}

void TestView::cleanup()
{
    m_dir.reset();
}

void TestView::formCreate_showsLinesAsTheyStandAndMemoDaysFormatted()
{
    // A hand-written short date and a line that is no date at all are listed unchanged.
    QVERIFY(writeFile(datePath(), "2011/04/02\r\n2011/3/5\r\nnot a day\r\n"));
    QVERIFY(writeFile(memoPath(), "2011/04/01,\"a\"\r\n2011/3/5,\"b$$c\"\r\n2010/12/31,\"\"\r\n"));
    TfrmView dlg;
    auto *days = dlg.findChild<QListWidget *>(QStringLiteral("lstDays"));
    auto *memoDays = dlg.findChild<QListWidget *>(QStringLiteral("lstMemoDays"));
    QCOMPARE(texts(days), strings({"2011/04/02", "2011/3/5", "not a day"}));
    QCOMPARE(texts(memoDays), strings({"2011/04/01", "2011/03/05", "2010/12/31"}));
    QCOMPARE(checks(days), QList<bool>({false, false, false}));
    QCOMPARE(checks(memoDays), QList<bool>({false, false, false}));
    QVERIFY(days->item(0)->flags() & Qt::ItemIsUserCheckable);
    dlg.show();
    for (QListWidget *list : {days, memoDays}) {
        QCOMPARE(list->visualItemRect(list->item(2)).height(), 14); // every entry, not just the first
    }
    QCOMPARE(dlg.windowTitle(), QStringLiteral("登録データ"));
    QCOMPARE(dlg.size(), QSize(311 + 2 * 151, 441)); // readings and day records beside, import, export, restore below
}

void TestView::formCreate_withoutDateFile_leavesBothListsEmpty()
{
    QVERIFY(writeFile(memoPath(), "2011/04/01,\"a\"\r\n"));
    TfrmView dlg;
    QCOMPARE(dlg.findChild<QListWidget *>(QStringLiteral("lstDays"))->count(), 0);
    QCOMPARE(dlg.findChild<QListWidget *>(QStringLiteral("lstMemoDays"))->count(), 0);
}

void TestView::formCreate_badMemoDay_showsErrorAndKeepsPeriodDays()
{
    QVERIFY(writeFile(datePath(), "2011/04/02\r\n"));
    QVERIFY(writeFile(memoPath(), "2011/04/01,\"a\"\r\n2011/13/01,\"b\"\r\n"));
    std::unique_ptr<TfrmView> dlg;
    const ShownBox box = captureMessageBox([&] { dlg = std::make_unique<TfrmView>(); });
    QCOMPARE(box.text, QStringLiteral("''2011/13/01'' は日付ではありません."));
    QCOMPARE(box.title, QStringLiteral("Easy VELUNA"));
    QCOMPARE(box.icon, QMessageBox::Critical);
    QCOMPARE(texts(dlg->findChild<QListWidget *>(QStringLiteral("lstDays"))), strings({"2011/04/02"}));
    QCOMPARE(dlg->findChild<QListWidget *>(QStringLiteral("lstMemoDays"))->count(), 0);
}

void TestView::dayDelete_checkedEntries_removedFromFileAndList()
{
    QVERIFY(writeFile(datePath(), "2011/05/01\r\n2011/04/02\r\nbad line\r\n2011/03/05\r\n"));
    TfrmView dlg;
    dlg.show();
    auto *days = dlg.findChild<QListWidget *>(QStringLiteral("lstDays"));
    toggleEntry(days, 0);
    toggleEntry(days, 2);
    QCOMPARE(checks(days), QList<bool>({true, false, true, false}));
    QTest::mouseClick(dlg.findChild<QPushButton *>(QStringLiteral("btnDayDelete")), Qt::LeftButton);
    QCOMPARE(readFile(datePath()), QByteArray("2011/04/02\r\n2011/03/05\r\n"));
    QCOMPARE(texts(days), strings({"2011/04/02", "2011/03/05"}));
    QCOMPARE(checks(days), QList<bool>({false, false}));
    QVERIFY(dlg.isVisible());

    toggleEntry(days, 0);
    toggleEntry(days, 1);
    QTest::mouseClick(dlg.findChild<QPushButton *>(QStringLiteral("btnDayDelete")), Qt::LeftButton);
    QCOMPARE(readFile(datePath()), QByteArray());
    QVERIFY(QFile::exists(datePath()));
    QCOMPARE(days->count(), 0);
}

void TestView::dayDelete_entryChangedBehindDialog_staysCheckedAndInFile()
{
    QVERIFY(writeFile(datePath(), "2011/05/01\r\n2011/04/02\r\n2011/03/05\r\n"));
    TfrmView dlg;
    dlg.show();
    auto *days = dlg.findChild<QListWidget *>(QStringLiteral("lstDays"));
    QVERIFY(writeFile(datePath(), "2011/05/01\r\n2011/04/09\r\n2011/03/05\r\n"));
    toggleEntry(days, 0);
    toggleEntry(days, 1);
    toggleEntry(days, 2);
    QTest::mouseClick(dlg.findChild<QPushButton *>(QStringLiteral("btnDayDelete")), Qt::LeftButton);
    QCOMPARE(readFile(datePath()), QByteArray("2011/04/09\r\n"));
    QCOMPARE(texts(days), strings({"2011/04/02"}));
    QCOMPARE(checks(days), QList<bool>({true}));
}

void TestView::dayDelete_nothingChecked_rewritesSameLines()
{
    // The last line lacks its line end; the rewrite gives every line CR LF and keeps the UTF-8 mark.
    QVERIFY(writeFile(datePath(), "\xEF\xBB\xBF"
                                  "2011/04/02\r\n2011/03/05"));
    TfrmView dlg;
    auto *days = dlg.findChild<QListWidget *>(QStringLiteral("lstDays"));
    QTest::mouseClick(dlg.findChild<QPushButton *>(QStringLiteral("btnDayDelete")), Qt::LeftButton);
    QCOMPARE(readFile(datePath()), QByteArray("\xEF\xBB\xBF"
                                              "2011/04/02\r\n2011/03/05\r\n"));
    QCOMPARE(texts(days), strings({"2011/04/02", "2011/03/05"}));
}

void TestView::dayDelete_withoutDateFile_createsEmptyFile()
{
    QVERIFY(writeFile(memoPath(), "2011/04/01,\"a\"\r\n"));
    TfrmView dlg;
    QTest::mouseClick(dlg.findChild<QPushButton *>(QStringLiteral("btnMemoDelete")), Qt::LeftButton);
    QCOMPARE(readFile(memoPath()), QByteArray("2011/04/01,\"a\"\r\n"));
    QVERIFY(!QFile::exists(datePath()));
    QTest::mouseClick(dlg.findChild<QPushButton *>(QStringLiteral("btnDayDelete")), Qt::LeftButton);
    QCOMPARE(readFile(datePath()), QByteArray());

    // The next opening finds date.dat and so lists the memo days.
    TfrmView again;
    QCOMPARE(texts(again.findChild<QListWidget *>(QStringLiteral("lstMemoDays"))), strings({"2011/04/01"}));
}

void TestView::dayDelete_fileShorterThanList_showsIndexErrorAndWritesNothing()
{
    QVERIFY(writeFile(datePath(), "2011/05/01\r\n2011/04/02\r\n2011/03/05\r\n"));
    TfrmView dlg;
    dlg.show();
    auto *days = dlg.findChild<QListWidget *>(QStringLiteral("lstDays"));
    QVERIFY(writeFile(datePath(), "2011/05/01\r\n"));
    toggleEntry(days, 0);
    toggleEntry(days, 2);
    const ShownBox box = captureMessageBox(
        [&] { QTest::mouseClick(dlg.findChild<QPushButton *>(QStringLiteral("btnDayDelete")), Qt::LeftButton); }, &dlg);
    // The message ends in ")", so no "." is added.
    QCOMPARE(box.text, QStringLiteral("リストのインデックスが範囲を超えています (2)"));
    QCOMPARE(readFile(datePath()), QByteArray("2011/05/01\r\n"));
    QCOMPARE(texts(days), strings({"2011/05/01", "2011/04/02", "2011/03/05"}));
    QCOMPARE(checks(days), QList<bool>({true, false, true}));
    QVERIFY(dlg.isVisible());
}

void TestView::memoDelete_checkedEntries_removedFromFileAndList()
{
    QVERIFY(writeFile(datePath(), "2011/04/02\r\n"));
    // The hand-written day 2011/3/5 is shown as 2011/03/05, which is not its text: it stays.
    QVERIFY(writeFile(memoPath(), "2011/04/01,\"a\"\r\n2011/3/5,\"b\"\r\n2010/12/31,\"c,d\"\r\n"));
    TfrmView dlg;
    dlg.show();
    auto *memoDays = dlg.findChild<QListWidget *>(QStringLiteral("lstMemoDays"));
    toggleEntry(memoDays, 0);
    toggleEntry(memoDays, 1);
    QTest::mouseClick(dlg.findChild<QPushButton *>(QStringLiteral("btnMemoDelete")), Qt::LeftButton);
    QCOMPARE(readFile(memoPath()), QByteArray("2011/3/5,\"b\"\r\n2010/12/31,\"c,d\"\r\n"));
    QCOMPARE(texts(memoDays), strings({"2011/03/05", "2010/12/31"}));
    QCOMPARE(checks(memoDays), QList<bool>({true, false}));
    QCOMPARE(readFile(datePath()), QByteArray("2011/04/02\r\n"));
}

void TestView::readingsAndDayRecords_listedWithValues_checkedOnesDeleted()
{
    QVERIFY(writeFile(Variable::TempFilePath, "2026/05/01,36.52\r\n2026/05/02,37.80,x\r\n"));
    QVERIFY(writeFile(Variable::DayFilePath, "2026/05/01,flow=heavy,pain=3,symptoms=headache\r\n"
                                             "2026/05/02,weight=52.3,mood=calm\r\n2026/05/03,mood=calm\r\n"));
    TfrmView view;
    view.show();
    QVERIFY(QTest::qWaitForWindowActive(&view));
    QListWidget *readings = nullptr;
    QListWidget *records = nullptr;
    for (QListWidget *list : view.findChildren<QListWidget *>()) {
        if (list->accessibleName() == u"体温一覧") {
            readings = list;
        } else if (list->accessibleName() == u"記録一覧") {
            records = list;
        }
    }
    QVERIFY(readings != nullptr && records != nullptr);
    QCOMPARE(texts(readings), strings({"2026/05/01 36.52", "2026/05/02 37.80 除外"}));
    QCOMPARE(texts(records), strings({"2026/05/01 出血:多い・痛み:強い・頭痛", "2026/05/02 体重:52.3",
                                      "2026/05/03 （この版では読めない記録）"}));
    toggleEntry(records, 0);
    toggleEntry(records, 2);
    QTest::keyClick(&view, Qt::Key_R, Qt::AltModifier);
    QTRY_COMPARE(records->count(), 1);
    QCOMPARE(readFile(Variable::DayFilePath), QByteArray("2026/05/02,weight=52.3,mood=calm\r\n"));
}

void TestView::memoDoubleClick_opensMemoOfSelectedDayAndRefillsList()
{
    QVERIFY(writeFile(datePath(), "2011/05/01\r\n2011/04/02\r\n"));
    QVERIFY(writeFile(memoPath(), "2011/04/01,\"first$$second\"\r\n2011/03/05,\"b\"\r\n"));
    TfrmView dlg;
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    auto *days = dlg.findChild<QListWidget *>(QStringLiteral("lstDays"));
    auto *memoDays = dlg.findChild<QListWidget *>(QStringLiteral("lstMemoDays"));
    toggleEntry(days, 1);
    toggleEntry(memoDays, 1);

    QString shownDate;
    QString shownMemo;
    answerNextModal(
        [&](QWidget *memo) {
            shownDate = memo->findChild<QLabel *>(QStringLiteral("lblyyyymmdd"))->text();
            shownMemo = memo->findChild<QPlainTextEdit *>(QStringLiteral("txtMemo"))->toPlainText();
            QTest::mouseClick(memo->findChild<QPushButton *>(QStringLiteral("btnDelete")), Qt::LeftButton);
        },
        &dlg);
    doubleClickEntry(memoDays, 0);
    QCOMPARE(shownDate, QStringLiteral("2011/04/01"));
    QCOMPARE(shownMemo, QStringLiteral("first\nsecond"));
    QCOMPARE(readFile(memoPath()), QByteArray("2011/03/05,\"b\"\r\n"));
    // The memo list is read again (check marks gone); the period list is left as it was.
    QCOMPARE(texts(memoDays), strings({"2011/03/05"}));
    QCOMPARE(checks(memoDays), QList<bool>({false}));
    QCOMPARE(checks(days), QList<bool>({false, true}));
    QVERIFY(dlg.isVisible());
}

void TestView::memoDoubleClick_emptyList_opensNothing()
{
    QVERIFY(writeFile(datePath(), "2011/05/01\r\n"));
    TfrmView dlg;
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    auto *memoDays = dlg.findChild<QListWidget *>(QStringLiteral("lstMemoDays"));
    bool opened = false;
    const QPointer<QTimer> waiting = answerNextModal(
        [&](QWidget *modal) {
            opened = true;
            modal->close();
        },
        &dlg);
    QTest::mouseDClick(memoDays->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
    QTest::qWait(100);
    delete waiting.data();
    QVERIFY(!opened);
}

void TestView::escape_closesDialog()
{
    QVERIFY(writeFile(datePath(), "2011/05/01\r\n"));
    TfrmView dlg;
    QTimer::singleShot(0, &dlg, [&] { QTest::keyClick(&dlg, Qt::Key_Escape); });
    QCOMPARE(dlg.exec(), int(QDialog::Rejected));
    QCOMPARE(readFile(datePath()), QByteArray("2011/05/01\r\n"));
}

// A restore from 登録データ brings back the settings with the records: the main window shows the
// restored cycle mode and its length, and never writes the mode it showed before over them.
void TestView::restore_mainWindowShowsTheRestoredModeAndRecords_andKeepsThem()
{
    const QString settingPath = m_dir->filePath(QStringLiteral("setting.ini"));
    // Gaps of 31 and 28 days; the backup holds the longest-cycle mode (2), the folder now the average (0).
    QVERIFY(writeFile(datePath(), "2011/03/01\r\n2011/02/01\r\n2011/01/01\r\n"));
    QVERIFY(writeFile(settingPath, "[Day Setting]\r\nDaymode=2\r\nDaybetween=28\r\n"));
    Backup::makeBackup(m_dir->path(), QStringLiteral("2011-03-09"));
    QVERIFY(writeFile(datePath(), "2011/03/01\r\n2011/02/01\r\n"));
    QVERIFY(writeFile(settingPath, "[Day Setting]\r\nDaymode=0\r\nDaybetween=28\r\n"));

    auto owner = std::make_unique<TfrmMain>(m_dir->path(), [] { return QDate(2011, 3, 10); });
    TfrmMain &window = *owner;
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    auto *mode = window.findChild<QComboBox *>(QStringLiteral("cmbSyuki"));
    QCOMPARE(mode->currentIndex(), 0);

    bool restored = false;
    answerNextModal([&](QWidget *view) {
        answerNextModal(
            [&](QWidget *backups) {
                auto *table = backups->findChild<QTableWidget *>(QStringLiteral("tblBackups"));
                const QList<QTableWidgetItem *> rows = table->findItems(QStringLiteral("2011-03-09"), Qt::MatchExactly);
                if (rows.size() == 1) {
                    table->selectRow(rows.front()->row());
                    answerNextModal(
                        [&](QWidget *question) {
                            answerNextModal([&](QWidget *done) { qobject_cast<QMessageBox *>(done)->accept(); },
                                            backups);
                            qobject_cast<QMessageBox *>(question)->button(QMessageBox::Yes)->click();
                            restored = true;
                        },
                        backups);
                    QTest::mouseClick(backups->findChild<QPushButton *>(QStringLiteral("btnRestore")), Qt::LeftButton);
                }
                qobject_cast<QDialog *>(backups)->reject();
            },
            view);
        QTest::mouseClick(view->findChild<QPushButton *>(QStringLiteral("btnRestore")), Qt::LeftButton);
        qobject_cast<QDialog *>(view)->reject();
    });
    QTest::mouseClick(window.findChild<QPushButton *>(QStringLiteral("btnView")), Qt::LeftButton);
    QVERIFY(restored);
    QCOMPARE(readFile(datePath()), QByteArray("2011/03/01\r\n2011/02/01\r\n2011/01/01\r\n"));
    QCOMPARE(mode->currentIndex(), 2);
    QCOMPARE(window.findChild<QLineEdit *>(QStringLiteral("txtSyuki"))->text(), QStringLiteral("31"));
    owner.reset(); // closing stores the mode shown
    QCOMPARE(IniFile(settingPath).readInteger(QStringLiteral("Day Setting"), QStringLiteral("Daymode"), -1), 2);
}

QTEST_MAIN(TestView)
#include "tst_view.moc"

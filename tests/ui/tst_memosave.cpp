// The memo dialog and the windows around it when saving fails or the memo file holds blank lines: what
// the user typed is never thrown away, and a blank line disables nothing.
#include "mainwindow.h"
#include "memo.h"
#include "modalanswer.h"
#include "testfiles.h"
#include "view.h"

#include "variable.h"

#include "../support/smalldisk.h"

#include <QDir>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class TestMemoSave : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void failedSave_keepsDialogOpenWithText_andSavesOnceThereIsRoom();
    void blankMemoLine_disablesNeitherCalendarNorLists();
    void save_textThatWouldNotReadBack_isRefusedElseStoredAsBefore_data();
    void save_textThatWouldNotReadBack_isRefusedElseStoredAsBefore();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestMemoSave::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestMemoSave::failedSave_keepsDialogOpenWithText_andSavesOnceThereIsRoom()
{
    const QString disk = m_dir->filePath(QStringLiteral("disk"));
    QVERIFY(QDir().mkpath(disk));
    const SmallDisk small(disk, 64);
    if (!small.mounted()) {
        QSKIP(qPrintable(small.reason() + QStringLiteral(" (the full-disk case needs root)")));
    }
    Variable::initFileLocations(disk);
    const QByteArray before = "2011/04/02,\"\x93\xaa\x92\xc9\"\r\n";
    QVERIFY(writeFile(Variable::MemoFilePath, before));
    const QString filler = disk + QStringLiteral("/filler");
    QVERIFY(small.fillUp(filler));

    TfrmMemo dlg;
    dlg.setDateText(QStringLiteral("2011/3/5"));
    dlg.show();
    auto *text = dlg.findChild<QPlainTextEdit *>(QStringLiteral("txtMemo"));
    auto *save = dlg.findChild<QPushButton *>(QStringLiteral("btnSave"));
    // As an input method commits its text; the line break is a key press.
    text->setFocus();
    text->insertPlainText(QStringLiteral("病院 10時"));
    QTest::keyClick(text, Qt::Key_Return);
    text->insertPlainText(QStringLiteral("薬をもらう"));

    const ShownBox box = captureMessageBox([&] { QTest::mouseClick(save, Qt::LeftButton); }, &dlg);
    QCOMPARE(box.count, 1);
    QCOMPARE(box.text, QStringLiteral("ファイル \"") + Variable::MemoFilePath +
                           QStringLiteral("\" を作成できません。No space left on device."));
    QVERIFY(dlg.isVisible());
    QCOMPARE(dlg.result(), int(QDialog::Rejected));
    QCOMPARE(text->toPlainText(), QStringLiteral("病院 10時\n薬をもらう"));
    QCOMPARE(readFile(Variable::MemoFilePath), before);

    // The user frees some space and presses save again.
    QVERIFY(QFile::remove(filler));
    const ShownBox none = captureMessageBox([&] { QTest::mouseClick(save, Qt::LeftButton); }, &dlg);
    QCOMPARE(none.count, 0);
    QVERIFY(!dlg.isVisible());
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QCOMPARE(readFile(Variable::MemoFilePath),
             before + "2011/03/05,\"\x95\x61\x89\x40 10\x8E\x9E$$\x96\xF2\x82\xF0\x82\xE0\x82\xE7\x82\xA4\"\r\n");
}

void TestMemoSave::save_textThatWouldNotReadBack_isRefusedElseStoredAsBefore_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("stored"); // the new line, or empty when the save is refused
    QTest::newRow("typed $$") << u"price $$ 500"_qs << QByteArray();
    QTest::newRow("$ before a break") << u"price $\n500"_qs << QByteArray();
    QTest::newRow("single $") << u"$"_qs << QByteArray("2011/03/05,\"$\"\r\n");
    QTest::newRow("100$") << u"100$"_qs << QByteArray("2011/03/05,\"100$\"\r\n");
    QTest::newRow("$5 and $6") << u"$5 and $6"_qs << QByteArray("2011/03/05,\"$5 and $6\"\r\n");
}

// The round trip decides: a text the file would give back changed stays in the dialog with a notice and
// the file untouched; any other is stored byte for byte as it always was.
void TestMemoSave::save_textThatWouldNotReadBack_isRefusedElseStoredAsBefore()
{
    QFETCH(QString, typed);
    QFETCH(QByteArray, stored);
    Variable::initFileLocations(m_dir->path());
    const QByteArray before = "2011/04/02,\"x\"\r\n";
    QVERIFY(writeFile(Variable::MemoFilePath, before));
    TfrmMemo dlg;
    dlg.setDateText(QStringLiteral("2011/3/5"));
    dlg.show();
    auto *text = dlg.findChild<QPlainTextEdit *>(QStringLiteral("txtMemo"));
    text->setPlainText(typed);
    const ShownBox box = captureMessageBox(
        [&] { QTest::mouseClick(dlg.findChild<QPushButton *>(QStringLiteral("btnSave")), Qt::LeftButton); }, &dlg);
    if (stored.isEmpty()) {
        QCOMPARE(box.count, 1);
        QVERIFY2(box.title == u"情報" && box.text.contains(u'$'), qPrintable(box.text));
        QVERIFY(dlg.isVisible());
        QCOMPARE(text->toPlainText(), typed);
        QCOMPARE(readFile(Variable::MemoFilePath), before);
    } else {
        QCOMPARE(box.count, 0);
        QVERIFY(!dlg.isVisible());
        QCOMPARE(readFile(Variable::MemoFilePath), before + stored);
    }
}

void TestMemoSave::blankMemoLine_disablesNeitherCalendarNorLists()
{
    Variable::initFileLocations(m_dir->path());
    QVERIFY(writeFile(Variable::DateFilePath, "2011/03/01\r\n2011/02/01\r\n"));
    QVERIFY(writeFile(Variable::MemoFilePath, "2011/03/20,\"a\"\r\n\r\n2011/03/05,\"b\"\r\n"));

    const ShownBox atStart = captureMessageBox([&] {
        TfrmMain window(m_dir->path(), [] { return QDate(2011, 3, 14); });
        window.show();
        QApplication::processEvents();
        window.btnNextClick();
        window.btnReturnClick();
        QApplication::processEvents();
    });
    QCOMPARE(atStart.text, QString());
    QCOMPARE(atStart.count, 0);

    TfrmView view;
    auto *memoDays = view.findChild<QListWidget *>(QStringLiteral("lstMemoDays"));
    QCOMPARE(memoDays->count(), 2);
    QCOMPARE(memoDays->item(1)->text(), QStringLiteral("2011/03/05"));
}

QTEST_MAIN(TestMemoSave)
#include "tst_memosave.moc"

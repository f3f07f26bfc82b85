// The day dialog with its day record: what she types by keyboard lands in dateDay.dat, clearing it
// removes the line, bleeding that would begin a period asks whether it is one, and the memo and
// reading of the same dialog keep their own rules (no empty memo, Esc stores nothing, a future day asks).
#include "memo.h"
#include "modalanswer.h"
#include "testfiles.h"

#include "variable.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class TestDayRecord : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void recordTypedByKeyboard_landsInFile_clearingRemovesIt();
    void bleeding_asksForFirstDayOnlyWhenItBeginsAPeriod_data();
    void bleeding_asksForFirstDayOnlyWhenItBeginsAPeriod();
    void memoAndReading_data();
    void memoAndReading();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

namespace {

// Answers the next question box with yes or no and counts it in `asked`; stops waiting when it goes.
struct Answer
{
    Answer(bool yes, QWidget *below)
        : m_timer(answerNextModal(
              [this, yes](QWidget *modal) {
                  auto *box = qobject_cast<QMessageBox *>(modal);
                  text = box != nullptr ? box->text() : QStringLiteral("not a message box");
                  ++asked;
                  if (box != nullptr && box->button(QMessageBox::No) != nullptr) {
                      box->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
                  } else {
                      modal->close();
                  }
              },
              below))
    {
    }
    ~Answer() { delete m_timer.data(); }
    int asked = 0;
    QString text;

private:
    QPointer<QTimer> m_timer;
};

void key(QWidget *window, Qt::Key k, Qt::KeyboardModifiers modifiers = Qt::NoModifier, int times = 1)
{
    for (int i = 0; i < times; ++i) {
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : window, k, modifiers);
    }
}

// A button's mnemonic clicks it after its press animation (about 100 ms).
void save(QWidget *window)
{
    key(window, Qt::Key_S, Qt::AltModifier);
    QTest::qWait(300);
}

} // namespace

void TestDayRecord::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    Variable::initFileLocations(m_dir->path());
}

void TestDayRecord::recordTypedByKeyboard_landsInFile_clearingRemovesIt()
{
    QVERIFY(writeFile(Variable::DateFilePath, "2026/05/01\r\n"));
    {
        TfrmMemo dlg;
        dlg.setDateText(QStringLiteral("2026/5/3"));
        dlg.show();
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        key(&dlg, Qt::Key_B, Qt::AltModifier);
        key(&dlg, Qt::Key_Down, Qt::NoModifier, 4); // 多い
        key(&dlg, Qt::Key_P, Qt::AltModifier);
        key(&dlg, Qt::Key_Down, Qt::NoModifier, 2); // 中くらい
        key(&dlg, Qt::Key_K, Qt::AltModifier);      // 鎮痛剤
        key(&dlg, Qt::Key_Tab);                     // 腹痛
        key(&dlg, Qt::Key_Space);
        key(&dlg, Qt::Key_Tab, Qt::NoModifier, 2); // 頭痛
        key(&dlg, Qt::Key_Space);
        key(&dlg, Qt::Key_C, Qt::AltModifier);
        key(&dlg, Qt::Key_Down, Qt::NoModifier, 5); // 透明で伸びる
        key(&dlg, Qt::Key_L, Qt::AltModifier);
        key(&dlg, Qt::Key_Down, Qt::NoModifier, 3); // 強陽性
        key(&dlg, Qt::Key_I, Qt::AltModifier);
        key(&dlg, Qt::Key_Down); // 飲んだ
        key(&dlg, Qt::Key_Tab);  // 性交
        key(&dlg, Qt::Key_Down, Qt::NoModifier, 2);
        key(&dlg, Qt::Key_W, Qt::AltModifier);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("52.3"));
        const Answer answer(true, &dlg);
        save(&dlg);
        QCOMPARE(answer.text, QString()); // a first day two days before: the same period, no question
        QVERIFY(!dlg.isVisible());
    }
    QCOMPARE(readFile(Variable::DayFilePath),
             QByteArray("2026/05/03,flow=heavy,pain=2,painkiller=1,symptoms=cramps|headache,mucus=4,lh=peak,"
                        "pill=taken,sex=protected,weight=52.3\r\n"));
    QCOMPARE(readFile(Variable::MemoFilePath), QByteArray("<missing>"));

    TfrmMemo dlg;
    dlg.setDateText(QStringLiteral("2026/05/03"));
    dlg.show();
    QVERIFY(QTest::qWaitForWindowActive(&dlg));
    key(&dlg, Qt::Key_B, Qt::AltModifier);
    key(&dlg, Qt::Key_Home);
    key(&dlg, Qt::Key_P, Qt::AltModifier);
    key(&dlg, Qt::Key_Home);
    key(&dlg, Qt::Key_K, Qt::AltModifier);
    key(&dlg, Qt::Key_Tab);
    key(&dlg, Qt::Key_Space);
    key(&dlg, Qt::Key_Tab, Qt::NoModifier, 2);
    key(&dlg, Qt::Key_Space);
    for (const Qt::Key k : {Qt::Key_C, Qt::Key_L, Qt::Key_I}) {
        key(&dlg, k, Qt::AltModifier);
        key(&dlg, Qt::Key_Home);
    }
    key(&dlg, Qt::Key_Tab);
    key(&dlg, Qt::Key_Home);
    key(&dlg, Qt::Key_W, Qt::AltModifier);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("19.9"));
    const ShownBox refused = captureMessageBox([&] { save(&dlg); }, &dlg);
    QVERIFY2(refused.text.contains(QStringLiteral("20.0 から 300.0")), qPrintable(refused.text));
    QVERIFY(dlg.isVisible());
    QCOMPARE(readFile(Variable::DayFilePath).left(10), QByteArray("2026/05/03"));
    dlg.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dlg));
    key(&dlg, Qt::Key_Backspace, Qt::NoModifier, 4);
    const Answer none(true, &dlg);
    save(&dlg);
    QCOMPARE(none.text, QString());
    QVERIFY(!dlg.isVisible());
    QCOMPARE(readFile(Variable::DayFilePath), QByteArray());
}

void TestDayRecord::bleeding_asksForFirstDayOnlyWhenItBeginsAPeriod_data()
{
    QTest::addColumn<QByteArray>("firstDays");
    QTest::addColumn<QByteArray>("days");
    QTest::addColumn<int>("flowSteps"); // down presses in 出血: 1 spotting, 2 light, 3 medium, 4 heavy
    QTest::addColumn<bool>("yes");
    QTest::addColumn<int>("asked");
    QTest::addColumn<QByteArray>("firstDaysAfter");
    const QByteArray far("2026/04/01\r\n");
    QTest::newRow("nothing near: yes registers")
        << far << QByteArray() << 3 << true << 1 << QByteArray("2026/05/20\r\n2026/04/01\r\n");
    QTest::newRow("nothing near: no keeps the record only") << far << QByteArray() << 2 << false << 1 << far;
    QTest::newRow("spotting does not ask") << far << QByteArray() << 1 << true << 0 << far;
    QTest::newRow("bleeding 10 days before") << far << QByteArray("2026/05/10,flow=light\r\n") << 4 << true << 0 << far;
    QTest::newRow("bleeding 11 days before") << far << QByteArray("2026/05/09,flow=light\r\n") << 4 << true << 1
                                             << QByteArray("2026/05/20\r\n2026/04/01\r\n");
    QTest::newRow("spotting 3 days before asks")
        << far << QByteArray("2026/05/17,flow=spotting\r\n") << 4 << false << 1 << far;
    QTest::newRow("first day 10 days after")
        << QByteArray("2026/05/30\r\n") << QByteArray() << 4 << true << 0 << QByteArray("2026/05/30\r\n");
    QTest::newRow("first day 11 days after")
        << QByteArray("2026/05/31\r\n") << QByteArray() << 4 << true << 1 << QByteArray("2026/05/31\r\n2026/05/20\r\n");
    QTest::newRow("first day 10 days before")
        << QByteArray("2026/05/10\r\n") << QByteArray() << 4 << true << 0 << QByteArray("2026/05/10\r\n");
}

void TestDayRecord::bleeding_asksForFirstDayOnlyWhenItBeginsAPeriod()
{
    QFETCH(QByteArray, firstDays);
    QFETCH(QByteArray, days);
    QFETCH(int, flowSteps);
    QFETCH(bool, yes);
    QFETCH(int, asked);
    QFETCH(QByteArray, firstDaysAfter);
    QVERIFY(writeFile(Variable::DateFilePath, firstDays));
    QVERIFY(writeFile(Variable::DayFilePath, days));
    TfrmMemo dlg;
    dlg.setDateText(QStringLiteral("2026/05/20"));
    dlg.show();
    QVERIFY(QTest::qWaitForWindowActive(&dlg));
    key(&dlg, Qt::Key_B, Qt::AltModifier);
    key(&dlg, Qt::Key_Down, Qt::NoModifier, flowSteps);
    const Answer answer(yes, &dlg);
    save(&dlg);
    QVERIFY(!dlg.isVisible());
    QCOMPARE(answer.asked, asked);
    QCOMPARE(answer.text, asked ? QStringLiteral("この日を生理開始日として登録しますか?") : QString());
    QCOMPARE(readFile(Variable::DateFilePath), firstDaysAfter);
    QVERIFY(readFile(Variable::DayFilePath).contains("2026/05/20,flow="));
}

void TestDayRecord::memoAndReading_data()
{
    QTest::addColumn<QString>("day");
    QTest::addColumn<QByteArray>("temp");      // dateTemp.dat before
    QTest::addColumn<QString>("typedTemp");    // replaces the reading's text
    QTest::addColumn<int>("closeKey");         // Qt::Key_S (Alt) saves, Qt::Key_Escape leaves
    QTest::addColumn<int>("answer");           // -1 no question expected, 0 no, 1 yes
    QTest::addColumn<QByteArray>("tempAfter"); // dateTemp.dat after
    QTest::addColumn<bool>("closed");
    const QByteArray reading("2026/05/03,36.52\r\n");
    QTest::newRow("clearing the reading leaves no empty memo")
        << "2026/05/03" << reading << "" << int(Qt::Key_S) << -1 << QByteArray() << true;
    QTest::newRow("Esc stores nothing") << "2026/05/03" << reading << "36.90" << int(Qt::Key_Escape) << -1 << reading
                                        << true;
    QTest::newRow("future day, no") << "2099/01/01" << QByteArray() << "36.60" << int(Qt::Key_S) << 0 << QByteArray()
                                    << false;
    QTest::newRow("future day, yes") << "2099/01/01" << QByteArray() << "36.60" << int(Qt::Key_S) << 1
                                     << QByteArray("2099/01/01,36.60\r\n") << true;
}

void TestDayRecord::memoAndReading()
{
    QFETCH(QString, day);
    QFETCH(QByteArray, temp);
    QFETCH(QString, typedTemp);
    QFETCH(int, closeKey);
    QFETCH(int, answer);
    QFETCH(QByteArray, tempAfter);
    QFETCH(bool, closed);
    QVERIFY(writeFile(Variable::TempFilePath, temp));
    TfrmMemo dlg;
    dlg.setDateText(day);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowActive(&dlg));
    key(&dlg, Qt::Key_T, Qt::AltModifier);
    auto *field = qobject_cast<QLineEdit *>(QApplication::focusWidget());
    QVERIFY(field != nullptr);
    field->selectAll();
    key(&dlg, Qt::Key_Delete);
    QTest::keyClicks(field, typedTemp);
    const Answer answered(answer == 1, &dlg);
    if (closeKey == Qt::Key_S) {
        save(&dlg);
    } else {
        key(&dlg, Qt::Key(closeKey));
    }
    QCOMPARE(answered.asked, answer >= 0 ? 1 : 0);
    QCOMPARE(!dlg.isVisible(), closed);
    QCOMPARE(readFile(Variable::TempFilePath), tempAfter);
    QCOMPARE(readFile(Variable::MemoFilePath), QByteArray("<missing>"));
}

QTEST_MAIN(TestDayRecord)
#include "tst_dayrecord.moc"

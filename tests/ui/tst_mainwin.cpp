#include "../support/unprivileged.h"
#include "daycolors.h"
#include "entry.h"
#include "mainwindow.h"
#include "memo.h"
#include "modalanswer.h"
#include "pictures.h"
#include "settings.h"
#include "statusreport.h"
#include "temperaturestatus.h"
#include "variable.h"

#include <QClipboard>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QFileDevice>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRawFont>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QToolTip>

#include <memory>

namespace {

// Every window of these tests lives on 10 March 2011.
const QDate Today(2011, 3, 10);

const QString DaySection = QStringLiteral("Day Setting");

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

template<typename T> T *child(const QWidget *window, const char *name)
{
    T *found = window->findChild<T *>(QLatin1String(name));
    if (!found) {
        qFatal("no child %s", name);
    }
    return found;
}

QLabel *cell(const QWidget *window, int k)
{
    return window->findChild<QLabel *>(QStringLiteral("pnlDay%1").arg(k, 2, 10, QLatin1Char('0')));
}

// March 2011 begins on a Tuesday, the third cell.
QLabel *marchDay(const QWidget *window, int day)
{
    return cell(window, day + 2);
}

// The background as a colour number with red in the lowest byte, the form the engine gives.
quint32 colorOf(const QLabel *label)
{
    const QColor c = label->palette().color(QPalette::Window);
    return quint32(c.red()) + 256u * quint32(c.green()) + 65536u * quint32(c.blue());
}

QList<quint32> gridColors(const QWidget *window)
{
    QList<quint32> colors;
    for (int k = 1; k <= Calendar::CellCount; ++k) {
        colors << colorOf(cell(window, k));
    }
    return colors;
}

QByteArray daySetting(int mode, const char *length = nullptr)
{
    QByteArray text = "[Day Setting]\r\nDaymode=" + QByteArray::number(mode) + "\r\n";
    if (length) {
        text += QByteArray("Daybetween=") + length + "\r\n";
    }
    return text;
}

// A double click as the mouse delivers it: a press (with its release) before the double click.
void doubleClick(QWidget *widget)
{
    QTest::mouseClick(widget, Qt::LeftButton);
    QTest::mouseDClick(widget, Qt::LeftButton);
}

void clearBox(QLineEdit *box)
{
    QTest::keyClick(box, Qt::Key_End);
    while (!box->text().isEmpty()) {
        QTest::keyClick(box, Qt::Key_Backspace);
    }
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void monthArrows_crossYearBoundaries();
    void paint_workedExampleOfMarch2011_thenEmptiedSixthRow();
    void todayMark_onlyInCurrentMonth_togglesOff();
    void memoMark_strongestWhileOn();
    void dayTooltip_madeWhenAsked_fromTheFileAsItIsThen();
    void storedMode_givesLengthAndColours_data();
    void storedMode_givesLengthAndColours();
    void userModeChoice_recomputesFromFile();
    void oneFirstDay_switchesToOwnLength();
    void storedModeOutsideList_fallsBackToOwnLength();
    void ownLength_leavingBox_storesModeThenLength_andRepaints();
    void emptyLength_leavingBox_showsIntegerError_keepsGrid();
    void keyFilter_keepsDigitsAndEditingKeys();
    void spinner_staysInRange_minusOneShowsPreviousCycle();
    void noData_offersRegistration_thenUsesTheNewDay();
    void entryButton_registersToday_duplicateRefused();
    void entryDialog_writeError_stillCloses();
    void memoDialog_saveMarks_deleteUnmarks_closeWritesNothing();
    void memoDialog_fromZeroPaddedLabel_showsLines();
    void doubleClickOutsideMonth_opensNothing();
    void modeChange_storedAtOnce_escapeClosesWindow();
    void monthLabel_rendersInJapaneseFont();
    void japaneseText_comesFromOneFace();
    void pictures_drawnAtAnySize_distinct_greyWhenDisabled();
    void buttons_showPictures();
    void weekHeaders_colouredTextInBlackFrame();
    void nextPeriodLine_bestEstimateAndItsSource_asTheStatusLineSaysIt_data();
    void nextPeriodLine_bestEstimateAndItsSource_asTheStatusLineSaysIt();

private:
    TfrmMain *openWindow();
    QString file(const char *name) const { return m_dir->filePath(QLatin1String(name)); }
    int storedInteger(const char *key) const
    {
        return IniFile(file("setting.ini")).readInteger(DaySection, QLatin1String(key), -99);
    }
    QString storedText(const char *key) const
    {
        return IniFile(file("setting.ini")).readString(DaySection, QLatin1String(key), QStringLiteral("<none>"));
    }
    void closeWindow() { m_window.reset(); }

    void closeForgottenModal();

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TfrmMain> m_window;
    // A modal window that no step of the test answers would block the test until it times out: one
    // that stays open for two seconds is closed and reported.
    QTimer m_watchdog;
    QPointer<QWidget> m_lastModal;
    int m_modalTicks = 0;
    QStringList m_forgotten;
};

void TestMainWindow::closeForgottenModal()
{
    QWidget *modal = QApplication::activeModalWidget();
    if (modal == nullptr || modal != m_lastModal) {
        m_lastModal = modal;
        m_modalTicks = 0;
        return;
    }
    if (++m_modalTicks < 8) {
        return;
    }
    const auto *box = qobject_cast<QMessageBox *>(modal);
    m_forgotten << modal->windowTitle() + (box ? QStringLiteral(": ") + box->text() : QString());
    if (auto *dialog = qobject_cast<QDialog *>(modal)) {
        dialog->done(QDialog::Rejected);
    } else {
        modal->close();
    }
}

void TestMainWindow::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_forgotten.clear();
    m_watchdog.setInterval(250);
    connect(&m_watchdog, &QTimer::timeout, this, &TestMainWindow::closeForgottenModal, Qt::UniqueConnection);
    m_watchdog.start();
}

void TestMainWindow::cleanup()
{
    m_window.reset();
    m_dir.reset();
    m_watchdog.stop();
    QCOMPARE(m_forgotten, QStringList());
}

TfrmMain *TestMainWindow::openWindow()
{
    m_window = std::make_unique<TfrmMain>(m_dir->path(), [] { return Today; });
    m_window->show();
    return m_window.get();
}

void TestMainWindow::monthArrows_crossYearBoundaries()
{
    writeFile(file("date.dat"), "2011/03/01\r\n");
    TfrmMain *w = openWindow();
    auto *label = child<QLabel>(w, "lblyyyymm");
    auto *next = child<QToolButton>(w, "btnNext");
    auto *back = child<QToolButton>(w, "btnReturn");
    QCOMPARE(label->text(), QStringLiteral("2011年3月"));

    for (int i = 0; i < 9; ++i) {
        QTest::mouseClick(next, Qt::LeftButton);
    }
    QCOMPARE(label->text(), QStringLiteral("2011年12月"));
    QTest::mouseClick(next, Qt::LeftButton);
    QCOMPARE(label->text(), QStringLiteral("2012年1月"));
    QCOMPARE(cell(w, 1)->text(), QStringLiteral("1")); // January 2012 begins on a Sunday
    for (int i = 0; i < 2; ++i) {
        QTest::mouseClick(next, Qt::LeftButton);
    }
    QCOMPARE(label->text(), QStringLiteral("2012年3月"));
    QCOMPARE(w->viewYear(), 2012);
    QCOMPARE(w->viewMonth(), 3);

    for (int i = 0; i < 14; ++i) {
        QTest::mouseClick(back, Qt::LeftButton);
    }
    QCOMPARE(label->text(), QStringLiteral("2011年1月"));
    QCOMPARE(cell(w, 7)->text(), QStringLiteral("1")); // January 2011 begins on a Saturday
    QCOMPARE(cell(w, 37)->text(), QStringLiteral("31"));
    QTest::mouseClick(back, Qt::LeftButton);
    QCOMPARE(label->text(), QStringLiteral("2010年12月"));
}

void TestMainWindow::paint_workedExampleOfMarch2011_thenEmptiedSixthRow()
{
    writeFile(file("date.dat"), "2011/03/01\r\n");
    writeFile(file("setting.ini"), daySetting(4, "28"));
    TfrmMain *w = openWindow();

    QStringList captions;
    for (int k = 1; k <= Calendar::CellCount; ++k) {
        captions << cell(w, k)->text();
    }
    QStringList expectedCaptions = {QString(), QString()};
    for (int day = 1; day <= 31; ++day) {
        expectedCaptions << QString::number(day);
    }
    expectedCaptions << QString() << QString() << QString() << QString();
    QCOMPARE(captions, expectedCaptions);

    QList<quint32> expected(Calendar::CellCount, CellColor::NoCategory);
    auto fill = [&](int first, int last, quint32 color) {
        for (int day = first; day <= last; ++day) {
            expected[day + 1] = color;
        }
    };
    fill(1, 5, CellColor::ThisPeriod);
    fill(6, 9, CellColor::SemiUnlikelyDays);
    fill(10, 12, CellColor::SemiLikelyDays);
    fill(13, 17, CellColor::LikelyDays);
    fill(18, 18, CellColor::SemiLikelyDays);
    fill(19, 19, CellColor::SemiUnlikelyDays);
    fill(20, 28, CellColor::UnlikelyDays);
    fill(29, 31, CellColor::NextPeriod);
    QCOMPARE(gridColors(w), expected);

    // January 2011 fills the sixth row; February 2011 (from Tuesday, 28 days) leaves it empty and grey.
    QTest::mouseClick(child<QToolButton>(w, "btnReturn"), Qt::LeftButton);
    QTest::mouseClick(child<QToolButton>(w, "btnReturn"), Qt::LeftButton);
    QCOMPARE(cell(w, 36)->text(), QStringLiteral("30"));
    QTest::mouseClick(child<QToolButton>(w, "btnNext"), Qt::LeftButton);
    QCOMPARE(cell(w, 36)->text(), QString());
    QCOMPARE(cell(w, 37)->text(), QString());
    QCOMPARE(colorOf(cell(w, 36)), CellColor::NoCategory);
    QCOMPARE(colorOf(cell(w, 37)), CellColor::NoCategory);

    // April 2011 begins on a Friday: days 1 to 4 are the next period, every other day grey.
    QTest::mouseClick(child<QToolButton>(w, "btnNext"), Qt::LeftButton);
    QTest::mouseClick(child<QToolButton>(w, "btnNext"), Qt::LeftButton);
    QCOMPARE(cell(w, 6)->text(), QStringLiteral("1"));
    for (int k = 1; k <= Calendar::CellCount; ++k) {
        QCOMPARE(colorOf(cell(w, k)), k >= 6 && k <= 9 ? CellColor::NextPeriod : CellColor::NoCategory);
    }
}

void TestMainWindow::todayMark_onlyInCurrentMonth_togglesOff()
{
    writeFile(file("date.dat"), "2011/03/01\r\n");
    TfrmMain *w = openWindow();
    auto *today = child<QToolButton>(w, "btnToday");
    QCOMPARE(colorOf(marchDay(w, 10)), CellColor::SemiLikelyDays);

    QTest::mouseClick(child<QToolButton>(w, "btnNext"), Qt::LeftButton);
    const QList<quint32> april = gridColors(w);
    QTest::mouseClick(today, Qt::LeftButton);
    QCOMPARE(gridColors(w), april);
    QCOMPARE(child<QLabel>(w, "lblyyyymm")->text(), QStringLiteral("2011年4月"));

    QTest::mouseClick(child<QToolButton>(w, "btnReturn"), Qt::LeftButton);
    QCOMPARE(colorOf(marchDay(w, 10)), CellColor::TodayMark);
    QCOMPARE(colorOf(marchDay(w, 9)), CellColor::SemiUnlikelyDays);
    QTest::mouseClick(today, Qt::LeftButton);
    QCOMPARE(colorOf(marchDay(w, 10)), CellColor::SemiLikelyDays);
}

void TestMainWindow::memoMark_strongestWhileOn()
{
    writeFile(file("date.dat"), "2011/03/01\r\n");
    writeFile(file("dateMemo.dat"), "2011/03/15,\"a\"\r\n2011/03/10,\"b\"\r\n");
    TfrmMain *w = openWindow();
    auto *memo = child<QToolButton>(w, "btnMemo");
    QCOMPARE(colorOf(marchDay(w, 15)), CellColor::LikelyDays);

    QTest::mouseClick(child<QToolButton>(w, "btnToday"), Qt::LeftButton);
    QTest::mouseClick(memo, Qt::LeftButton);
    QCOMPARE(colorOf(marchDay(w, 15)), CellColor::MemoMark);
    QCOMPARE(colorOf(marchDay(w, 10)), CellColor::MemoMark); // today and memo: the memo wins
    QCOMPARE(colorOf(marchDay(w, 16)), CellColor::LikelyDays);

    QTest::mouseClick(memo, Qt::LeftButton);
    QCOMPARE(colorOf(marchDay(w, 15)), CellColor::LikelyDays);
    QCOMPARE(colorOf(marchDay(w, 10)), CellColor::TodayMark);
}

// Tooltips are made when the pointer rests on a cell, so they show the memo file as it is at that moment.
void TestMainWindow::dayTooltip_madeWhenAsked_fromTheFileAsItIsThen()
{
    writeFile(file("date.dat"), "2011/03/01\r\n");
    writeFile(file("dateMemo.dat"), "2011/03/15,\"clinic$$10:00\"\r\n");
    TfrmMain *w = openWindow();
    const auto tipOf = [](QLabel *label) {
        QToolTip::hideText();
        QHelpEvent hover(QEvent::ToolTip, label->rect().center(), label->mapToGlobal(label->rect().center()));
        QCoreApplication::sendEvent(label, &hover);
        return hover.isAccepted() && QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    QCOMPARE(tipOf(marchDay(w, 15)), QStringLiteral("2011年3月15日（火）、妊娠しやすい日、メモ:clinic"));
    QCOMPARE(tipOf(cell(w, 1)), QString()); // before the 1st: no day, no tooltip

    writeFile(file("dateMemo.dat"), "2011/03/15,\"dentist\"\r\n");
    QVERIFY(tipOf(marchDay(w, 15)).endsWith(QStringLiteral("メモ:dentist")));
    QToolTip::hideText();
}

void TestMainWindow::storedMode_givesLengthAndColours_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("length");
    QTest::addColumn<bool>("editable");
    // Gaps 35, 28, 30, newest first; the own length is 33.
    QTest::newRow("average") << 0 << QStringLiteral("31") << false;
    QTest::newRow("shortest") << 1 << QStringLiteral("28") << false;
    QTest::newRow("longest") << 2 << QStringLiteral("35") << false;
    QTest::newRow("previous") << 3 << QStringLiteral("35") << false;
    QTest::newRow("own") << 4 << QStringLiteral("33") << true;
}

void TestMainWindow::storedMode_givesLengthAndColours()
{
    QFETCH(int, mode);
    QFETCH(QString, length);
    QFETCH(bool, editable);
    writeFile(file("date.dat"), "2011/03/01\r\n2011/01/25\r\n2010/12/28\r\n2010/11/28\r\n");
    writeFile(file("setting.ini"), daySetting(mode, "33"));
    TfrmMain *w = openWindow();
    auto *box = child<QLineEdit>(w, "txtSyuki");

    QCOMPARE(child<QComboBox>(w, "cmbSyuki")->currentIndex(), mode);
    QCOMPARE(box->text(), length);
    QCOMPARE(w->cycleLengthText(), length);
    QCOMPARE(box->isReadOnly(), !editable);
    if (!editable) {
        QCOMPARE(box->palette().color(QPalette::Base), QColor(212, 208, 200));
    }
    // The likely days begin 16 days before the next period, so they pin the length that was used.
    const int firstLikely = length.toInt() - 15;
    QCOMPARE(colorOf(marchDay(w, firstLikely)), CellColor::LikelyDays);
    QCOMPARE(colorOf(marchDay(w, firstLikely - 1)), CellColor::SemiLikelyDays);
}

void TestMainWindow::userModeChoice_recomputesFromFile()
{
    writeFile(file("date.dat"), "2011/03/01\r\n2011/01/25\r\n2010/12/28\r\n");
    writeFile(file("setting.ini"), daySetting(0));
    TfrmMain *w = openWindow();
    auto *modes = child<QComboBox>(w, "cmbSyuki");
    QCOMPARE(w->cycleLengthText(), QStringLiteral("31"));

    // A day registered meanwhile counts at the next change of mode.
    writeFile(file("date.dat"), "2011/03/29\r\n2011/03/01\r\n2011/01/25\r\n2010/12/28\r\n");
    modes->setFocus();
    QTest::keyClick(modes, Qt::Key_Down);
    QCOMPARE(modes->currentIndex(), 1);
    QCOMPARE(w->cycleLengthText(), QStringLiteral("28"));
    QTest::keyClick(modes, Qt::Key_Down);
    QCOMPARE(w->cycleLengthText(), QStringLiteral("35"));
    // The newest first day is now 2011/03/29: with 35 days its likely days start on 18 April.
    QCOMPARE(colorOf(marchDay(w, 29)), CellColor::ThisPeriod);

    // The choice by the program at start-up and the user's choice both reach the file at the end.
    closeWindow();
    QCOMPARE(storedInteger("Daymode"), 2);
}

void TestMainWindow::oneFirstDay_switchesToOwnLength()
{
    writeFile(file("date.dat"), "2011/03/01\r\n");
    writeFile(file("setting.ini"), daySetting(0));
    TfrmMain *w = openWindow();
    QCOMPARE(child<QComboBox>(w, "cmbSyuki")->currentIndex(), 4);
    QCOMPARE(w->cycleLengthText(), QStringLiteral("28"));
    QVERIFY(!child<QLineEdit>(w, "txtSyuki")->isReadOnly());
    QCOMPARE(colorOf(marchDay(w, 13)), CellColor::LikelyDays);
    closeWindow();
    QCOMPARE(storedInteger("Daymode"), 4);
}

void TestMainWindow::storedModeOutsideList_fallsBackToOwnLength()
{
    writeFile(file("date.dat"), "2011/03/01\r\n2011/02/01\r\n");
    writeFile(file("setting.ini"), daySetting(7, "30"));
    TfrmMain *w = openWindow();
    QCOMPARE(child<QComboBox>(w, "cmbSyuki")->currentIndex(), 4);
    QCOMPARE(w->cycleLengthText(), QStringLiteral("30"));
    closeWindow();
    QCOMPARE(storedInteger("Daymode"), 4);
}

void TestMainWindow::ownLength_leavingBox_storesModeThenLength_andRepaints()
{
    writeFile(file("date.dat"), "2011/03/01\r\n");
    TfrmMain *w = openWindow();
    QVERIFY(QTest::qWaitForWindowActive(w));
    auto *box = child<QLineEdit>(w, "txtSyuki");
    QCOMPARE(box->text(), QStringLiteral("28"));
    QVERIFY(!QFile::exists(file("setting.ini"))); // start-up writes nothing

    QTest::mouseClick(box, Qt::LeftButton);
    QVERIFY(box->hasFocus());
    clearBox(box);
    QTest::keyClicks(box, QStringLiteral("30"));
    QTest::keyClick(box, Qt::Key_Tab);

    QCOMPARE(readFile(file("setting.ini")), QByteArray("[Day Setting]\r\nDaymode=4\r\nDaybetween=30\r\n"));
    QCOMPARE(colorOf(marchDay(w, 15)), CellColor::LikelyDays);
    QCOMPARE(colorOf(marchDay(w, 31)), CellColor::NextPeriod);
    QCOMPARE(colorOf(marchDay(w, 30)), CellColor::UnlikelyDays);
}

void TestMainWindow::emptyLength_leavingBox_showsIntegerError_keepsGrid()
{
    writeFile(file("date.dat"), "2011/03/01\r\n");
    TfrmMain *w = openWindow();
    QVERIFY(QTest::qWaitForWindowActive(w));
    auto *box = child<QLineEdit>(w, "txtSyuki");
    const QList<quint32> before = gridColors(w);

    QTest::mouseClick(box, Qt::LeftButton);
    clearBox(box);
    const ShownBox shown = captureMessageBox([&] { QTest::keyClick(box, Qt::Key_Tab); });
    QCOMPARE(shown.count, 1);
    QCOMPARE(shown.title, QStringLiteral("Easy VELUNA"));
    QCOMPARE(shown.text, QStringLiteral("'''' は整数ではありません."));
    QCOMPARE(shown.icon, QMessageBox::Critical);
    QCOMPARE(gridColors(w), before);
    // The length was stored before the conversion failed.
    QCOMPARE(storedText("Daybetween"), QString());
}

void TestMainWindow::keyFilter_keepsDigitsAndEditingKeys()
{
    writeFile(file("date.dat"), "2011/03/01\r\n");
    TfrmMain *w = openWindow();
    QVERIFY(QTest::qWaitForWindowActive(w));
    auto *box = child<QLineEdit>(w, "txtSyuki");
    box->setFocus();
    clearBox(box);

    QTest::keyClicks(box, QStringLiteral("a1- 2x3"));
    QCOMPARE(box->text(), QStringLiteral("123"));
    QTest::keyClick(box, Qt::Key_Backspace);
    QCOMPARE(box->text(), QStringLiteral("12"));
    QTest::keyClick(box, Qt::Key_Return);
    QCOMPARE(box->text(), QStringLiteral("12"));

    // Ctrl with any letter but C and V types nothing, select-all included.
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(box->selectedText(), QString());
    QTest::keyClick(box, Qt::Key_Home, Qt::ShiftModifier);
    QCOMPARE(box->selectedText(), QStringLiteral("12"));
    QTest::keyClick(box, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("12"));
    QTest::keyClick(box, Qt::Key_End);
    // Pasted text is not filtered.
    QApplication::clipboard()->setText(QStringLiteral("4b"));
    QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(box->text(), QStringLiteral("124b"));

    // The cycles-ahead box is read-only: digits change nothing, the arrow keys move the spinner.
    box->setText(QStringLiteral("28"));
    auto *ahead = child<QLineEdit>(w, "txtNext");
    ahead->setFocus();
    QTest::keyClicks(ahead, QStringLiteral("5x"));
    QCOMPARE(ahead->text(), QStringLiteral("0"));
    QTest::keyClick(ahead, Qt::Key_Up);
    QCOMPARE(ahead->text(), QStringLiteral("1"));
    QCOMPARE(colorOf(marchDay(w, 29)), CellColor::ThisPeriod);
}

void TestMainWindow::spinner_staysInRange_minusOneShowsPreviousCycle()
{
    writeFile(file("date.dat"), "2011/03/01\r\n2011/02/01\r\n2011/01/03\r\n");
    writeFile(file("setting.ini"), daySetting(2));
    TfrmMain *w = openWindow();
    auto *ahead = child<QLineEdit>(w, "txtNext");
    auto *up = child<QToolButton>(w, "UpDownUp");
    auto *down = child<QToolButton>(w, "UpDownDown");
    QCOMPARE(ahead->text(), QStringLiteral("0"));
    QCOMPARE(w->cycleLengthText(), QStringLiteral("29"));

    QTest::mouseClick(up, Qt::LeftButton);
    QCOMPARE(w->cyclesAheadText(), QStringLiteral("1"));
    // One cycle of 29 days later: this period from 30 March.
    QCOMPARE(colorOf(marchDay(w, 30)), CellColor::ThisPeriod);
    QCOMPARE(colorOf(marchDay(w, 29)), CellColor::NoCategory);
    for (int i = 0; i < 14; ++i) {
        QTest::mouseClick(up, Qt::LeftButton);
    }
    QCOMPARE(ahead->text(), QStringLiteral("12"));
    QCOMPARE(child<QComboBox>(w, "cmbSyuki")->currentIndex(), 2);

    for (int i = 0; i < 12; ++i) {
        QTest::mouseClick(down, Qt::LeftButton);
    }
    QCOMPARE(ahead->text(), QStringLiteral("0"));
    QCOMPARE(child<QComboBox>(w, "cmbSyuki")->currentIndex(), 2);
    QTest::mouseClick(down, Qt::LeftButton);
    QCOMPARE(ahead->text(), QStringLiteral("-1"));
    QCOMPARE(child<QComboBox>(w, "cmbSyuki")->currentIndex(), 3);
    QCOMPARE(w->cycleLengthText(), QStringLiteral("28"));
    // The previous cycle: its next period is the newest registered first day.
    for (int day = 1; day <= 7; ++day) {
        QCOMPARE(colorOf(marchDay(w, day)), CellColor::NextPeriod);
    }
    QCOMPARE(colorOf(marchDay(w, 8)), CellColor::NoCategory);
    QTest::mouseClick(down, Qt::LeftButton);
    QCOMPARE(ahead->text(), QStringLiteral("-1"));
}

void TestMainWindow::noData_offersRegistration_thenUsesTheNewDay()
{
    writeFile(file("setting.ini"), daySetting(0));
    QString notice;
    bool cancelGreyed = false;
    bool openAfterEscape = false;
    QDate offered;
    answerNextModal([&](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        QVERIFY(box);
        notice = box->text();
        answerNextModal([&](QWidget *dialog) {
            QVERIFY(qobject_cast<TfrmEntry *>(dialog));
            cancelGreyed = !child<QPushButton>(dialog, "btmClose")->isEnabled();
            QTest::keyClick(dialog, Qt::Key_Escape);
            openAfterEscape = dialog->isVisible();
            auto *picker = child<QDateEdit>(dialog, "dateEntry");
            offered = picker->date();
            picker->setDate(QDate(2011, 3, 1));
            QTest::mouseClick(child<QPushButton>(dialog, "btnSave"), Qt::LeftButton);
        });
        box->button(QMessageBox::Yes)->click();
    });
    TfrmMain *w = openWindow();

    QCOMPARE(notice, QStringLiteral("データーが足りません。生理登録を行ってください。"));
    QVERIFY(cancelGreyed);
    QVERIFY(openAfterEscape);
    QCOMPARE(offered, Today);
    QCOMPARE(readFile(file("date.dat")), QByteArray("2011/03/01\r\n"));
    // The mode is evaluated again on the new day: one first day means the own length.
    QCOMPARE(child<QComboBox>(w, "cmbSyuki")->currentIndex(), 4);
    QCOMPARE(w->cycleLengthText(), QStringLiteral("28"));
    QCOMPARE(colorOf(marchDay(w, 1)), CellColor::ThisPeriod);
    QVERIFY(!child<QLabel>(w, "Panel_02")->toolTip().isEmpty());
}

void TestMainWindow::entryButton_registersToday_duplicateRefused()
{
    writeFile(file("date.dat"), "2011/03/01\r\n2011/02/01\r\n");
    writeFile(file("setting.ini"), daySetting(3));
    TfrmMain *w = openWindow();
    QCOMPARE(w->cycleLengthText(), QStringLiteral("28"));
    auto *entry = child<QPushButton>(w, "btnEntry");

    answerNextModal([&](QWidget *dialog) {
        QCOMPARE(child<QDateEdit>(dialog, "dateEntry")->date(), Today);
        QTest::keyClick(child<QDateEdit>(dialog, "dateEntry"), Qt::Key_Return);
    });
    QTest::mouseClick(entry, Qt::LeftButton);
    QCOMPARE(readFile(file("date.dat")), QByteArray("2011/03/10\r\n2011/03/01\r\n2011/02/01\r\n"));
    QCOMPARE(w->cycleLengthText(), QStringLiteral("9"));
    QCOMPARE(colorOf(marchDay(w, 10)), CellColor::ThisPeriod);

    ShownBox notice;
    bool closed = false;
    answerNextModal([&](QWidget *dialog) {
        notice = captureMessageBox([&] { QTest::mouseClick(child<QPushButton>(dialog, "btnSave"), Qt::LeftButton); },
                                   dialog);
        closed = !dialog->isVisible();
    });
    QTest::mouseClick(entry, Qt::LeftButton);
    QCOMPARE(notice.count, 1);
    QCOMPARE(notice.title, QStringLiteral("情報"));
    QCOMPARE(notice.text, QStringLiteral("既に登録されています。"));
    QVERIFY(closed);
    QCOMPARE(readFile(file("date.dat")), QByteArray("2011/03/10\r\n2011/03/01\r\n2011/02/01\r\n"));

    // Cancel writes nothing.
    answerNextModal([&](QWidget *dialog) {
        child<QDateEdit>(dialog, "dateEntry")->setDate(QDate(2011, 4, 1));
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    QTest::mouseClick(entry, Qt::LeftButton);
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
    QCOMPARE(readFile(file("date.dat")), QByteArray("2011/03/10\r\n2011/03/01\r\n2011/02/01\r\n"));
}

void TestMainWindow::entryDialog_writeError_stillCloses()
{
    Variable::initFileLocations(m_dir->path());
    writeFile(file("date.dat"), "2011/03/01\r\n");
    QVERIFY(QFile::setPermissions(file("date.dat"), QFileDevice::ReadOwner | QFileDevice::ReadOther));
    QVERIFY(QFile::setPermissions(m_dir->path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner |
                                                     QFileDevice::ReadOther | QFileDevice::ExeOther));
    ShownBox shown;
    bool closed = false;
    {
        Unprivileged unprivileged(m_dir->path());
        if (!unprivileged.ok()) {
            QSKIP("cannot drop the rights that make the folder writable");
        }
        TfrmEntry dialog(nullptr, QDate(2011, 3, 20));
        shown = captureMessageBox([&] {
            QTimer::singleShot(0, &dialog,
                               [&] { QTest::mouseClick(child<QPushButton>(&dialog, "btnSave"), Qt::LeftButton); });
            dialog.exec();
        });
        closed = !dialog.isVisible();
    }
    QFile::setPermissions(m_dir->path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QCOMPARE(shown.count, 1);
    QCOMPARE(shown.title, QStringLiteral("Easy VELUNA"));
    QVERIFY(closed);
    QCOMPARE(readFile(file("date.dat")), QByteArray("2011/03/01\r\n"));
}

void TestMainWindow::memoDialog_saveMarks_deleteUnmarks_closeWritesNothing()
{
    writeFile(file("date.dat"), "2011/03/01\r\n");
    TfrmMain *w = openWindow();
    QTest::mouseClick(child<QToolButton>(w, "btnMemo"), Qt::LeftButton);
    QLabel *day5 = marchDay(w, 5);

    // Closing without saving creates no file.
    QString label;
    bool deleteEnabled = true;
    answerNextModal([&](QWidget *dialog) {
        label = child<QLabel>(dialog, "lblyyyymmdd")->text();
        deleteEnabled = child<QPushButton>(dialog, "btnDelete")->isEnabled();
        QTest::keyClicks(child<QPlainTextEdit>(dialog, "txtMemo"), QStringLiteral("lost"));
        QTest::mouseClick(child<QPushButton>(dialog, "btmClose"), Qt::LeftButton);
    });
    doubleClick(day5);
    QCOMPARE(label, QStringLiteral("2011/3/5"));
    QVERIFY(!deleteEnabled);
    QVERIFY(!QFile::exists(file("dateMemo.dat")));
    QCOMPARE(colorOf(day5), CellColor::ThisPeriod);

    answerNextModal([&](QWidget *dialog) {
        auto *text = child<QPlainTextEdit>(dialog, "txtMemo");
        QTest::keyClicks(text, QStringLiteral("one"));
        QTest::keyClick(text, Qt::Key_Return);
        QTest::keyClicks(text, QStringLiteral("two"));
        QTest::mouseClick(child<QPushButton>(dialog, "btnSave"), Qt::LeftButton);
    });
    doubleClick(day5);
    QCOMPARE(readFile(file("dateMemo.dat")), QByteArray("2011/03/05,\"one$$two\"\r\n"));
    QCOMPARE(colorOf(day5), CellColor::MemoMark);

    QString shownText;
    answerNextModal([&](QWidget *dialog) {
        shownText = child<QPlainTextEdit>(dialog, "txtMemo")->toPlainText();
        deleteEnabled = child<QPushButton>(dialog, "btnDelete")->isEnabled();
        QTest::mouseClick(child<QPushButton>(dialog, "btnDelete"), Qt::LeftButton);
    });
    doubleClick(day5);
    QCOMPARE(shownText, QStringLiteral("one\ntwo"));
    QVERIFY(deleteEnabled);
    QCOMPARE(readFile(file("dateMemo.dat")), QByteArray());
    QCOMPARE(colorOf(day5), CellColor::ThisPeriod);
    QCOMPARE(w->clickedDay(), QStringLiteral("5"));
}

void TestMainWindow::memoDialog_fromZeroPaddedLabel_showsLines()
{
    Variable::initFileLocations(m_dir->path());
    writeFile(file("dateMemo.dat"), "2011/03/05,\"a,b$$ c $$\"\r\n");
    TfrmMemo dialog;
    dialog.setDateText(QStringLiteral("2011/03/05"));
    QString shown;
    answerNextModal([&](QWidget *modal) {
        shown = child<QPlainTextEdit>(modal, "txtMemo")->toPlainText();
        QTest::keyClick(modal, Qt::Key_Escape); // closes, as every dialog does, storing nothing
        QVERIFY(!modal->isVisible());
    });
    dialog.exec();
    QCOMPARE(dialog.memoDate(), QDate(2011, 3, 5));
    QCOMPARE(shown, QStringLiteral("a,b\n c \n"));
    QCOMPARE(child<QLabel>(&dialog, "lblyyyymmdd")->text(), QStringLiteral("2011/03/05"));
    QCOMPARE(readFile(file("dateMemo.dat")), QByteArray("2011/03/05,\"a,b$$ c $$\"\r\n"));
}

void TestMainWindow::doubleClickOutsideMonth_opensNothing()
{
    writeFile(file("date.dat"), "2011/03/01\r\n");
    TfrmMain *w = openWindow();
    QTest::mouseClick(marchDay(w, 4), Qt::LeftButton);
    int opened = 0;
    const QPointer<QTimer> waiting = answerNextModal([&](QWidget *modal) {
        ++opened;
        modal->close();
    });
    doubleClick(cell(w, 1));
    doubleClick(cell(w, 37));
    QTest::qWait(50);
    delete waiting.data();
    QCOMPARE(opened, 0);
    QCOMPARE(w->clickedDay(), QString());
}

void TestMainWindow::modeChange_storedAtOnce_escapeClosesWindow()
{
    writeFile(file("date.dat"), "2011/03/01\r\n2011/02/01\r\n");
    writeFile(file("setting.ini"), daySetting(4, "30"));
    TfrmMain *w = openWindow();
    QVERIFY(QTest::qWaitForWindowActive(w));
    auto *modes = child<QComboBox>(w, "cmbSyuki");
    modes->setFocus();
    QTest::keyClick(modes, Qt::Key_Up);
    QCOMPARE(modes->currentIndex(), 3);
    // The login reminder reads the mode while the window is open.
    QCOMPARE(storedInteger("Daymode"), 3);
    QTest::keyClick(modes, Qt::Key_Up);
    QCOMPARE(storedInteger("Daymode"), 2);
    QTest::keyClick(modes, Qt::Key_Down);

    auto *box = child<QLineEdit>(w, "txtSyuki");
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Escape);
    QVERIFY(!w->isVisible());
    closeWindow();
    QCOMPARE(storedInteger("Daymode"), 3);
    QCOMPARE(storedText("Daybetween"), QStringLiteral("30"));
}

void TestMainWindow::monthLabel_rendersInJapaneseFont()
{
    TfrmMain w(m_dir->path(), [] { return Today; });
    const QLabel *label = child<QLabel>(&w, "lblyyyymm");
    QCOMPARE(QFontInfo(label->font()).family(), QStringLiteral("IPAGothic"));
    QVERIFY(label->font().bold());
    QCOMPARE(label->font().pixelSize(), 15);
    QVERIFY(QFontMetrics(child<QLabel>(&w, "Panel_01")->font()).inFontUcs4(U'生'));
}

// Every further face costs start-up time and resident memory: the month label's fixed-pitch gothic also
// serves the other captions, the Latin "(&E)" of the buttons included, with no second family to fall
// back on (which would have fontconfig sort every installed font for each script of the text).
void TestMainWindow::japaneseText_comesFromOneFace()
{
    TfrmMain w(m_dir->path(), [] { return Today; });
    for (const char *name : {"lblyyyymm", "pnlWeek01", "pnlDay01", "Panel_03", "StaticText1", "btnEntry"}) {
        const QFont font = child<QWidget>(&w, name)->font();
        QCOMPARE(QRawFont::fromFont(font, QFontDatabase::Japanese).familyName(), QStringLiteral("IPAGothic"));
        QCOMPARE(font.families().size(), 1);
    }
    const QFontMetrics caption(child<QWidget>(&w, "btnEntry")->font());
    QVERIFY(caption.inFontUcs4(U'E') && caption.inFontUcs4(U'(') && caption.inFontUcs4(U'生'));
}

void TestMainWindow::pictures_drawnAtAnySize_distinct_greyWhenDisabled()
{
    QList<QImage> seen;
    for (int k = 0; k <= int(Picture::Calendar); ++k) {
        const QIcon icon = picture(Picture(k));
        for (const int side : {16, 32}) {
            const QImage normal = icon.pixmap(QSize(side, side)).toImage();
            QCOMPARE(normal.size(), QSize(side, side));
            int opaque = 0;
            for (int y = 0; y < side; ++y) {
                for (int x = 0; x < side; ++x) {
                    opaque += qAlpha(normal.pixel(x, y)) > 0 ? 1 : 0;
                }
            }
            // Something is drawn, and not a filled square.
            QVERIFY2(opaque > side * side / 8 && opaque < side * side, qPrintable(QString::number(k)));

            const QImage disabled = icon.pixmap(QSize(side, side), QIcon::Disabled).toImage();
            QVERIFY(disabled != normal);
            for (int y = 0; y < side; ++y) {
                for (int x = 0; x < side; ++x) {
                    const QColor c = disabled.pixelColor(x, y);
                    QCOMPARE(qAlpha(disabled.pixel(x, y)) > 0, qAlpha(normal.pixel(x, y)) > 0);
                    QVERIFY(c.alpha() == 0 || (c.red() == c.green() && c.green() == c.blue()));
                }
            }
        }
        const QImage small = icon.pixmap(QSize(16, 16)).toImage();
        QVERIFY2(!seen.contains(small), qPrintable(QString::number(k)));
        seen.append(small);
    }
}

void TestMainWindow::buttons_showPictures()
{
    TfrmMain w(m_dir->path(), [] { return Today; });
    QVERIFY(!w.windowIcon().isNull());
    QList<QImage> seen;
    for (const char *name :
         {"btnReturn", "btnNext", "btnToday", "btnMemo", "btnEntry", "btnView", "btnMail", "btnHelp", "btmClose"}) {
        const QIcon icon = child<QAbstractButton>(&w, name)->icon();
        QVERIFY2(!icon.isNull(), name);
        const QImage image = icon.pixmap(QSize(16, 16)).toImage();
        QVERIFY2(!seen.contains(image), name);
        seen.append(image);
    }
}

void TestMainWindow::weekHeaders_colouredTextInBlackFrame()
{
    writeFile(file("date.dat"), "2011/03/01\r\n");
    TfrmMain *w = openWindow();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    const std::pair<const char *, QColor> headers[] = {
        {"pnlWeek01", Qt::red}, {"pnlWeek04", Qt::black}, {"pnlWeek07", Qt::blue}};
    for (const auto &[name, color] : headers) {
        const QImage image = child<QLabel>(w, name)->grab().toImage();
        const QRect box = image.rect();
        for (const QPoint corner : {box.topLeft(), box.topRight(), box.bottomLeft(), box.bottomRight(),
                                    QPoint(box.center().x(), 0), QPoint(0, box.center().y())}) {
            QCOMPARE(image.pixelColor(corner), QColor(Qt::black));
        }
        QCOMPARE(image.pixelColor(1, 1), QColor(Qt::white));
        // The character's strokes are drawn in the caption's colour; anti-aliasing blends their edges
        // with the white ground, so the darkest inner pixel is compared.
        QColor darkest = Qt::white;
        for (int y = 1; y < box.height() - 1; ++y) {
            for (int x = 1; x < box.width() - 1; ++x) {
                const QColor c = image.pixelColor(x, y);
                if (c.lightness() < darkest.lightness()) {
                    darkest = c;
                }
            }
        }
        QVERIFY2(std::abs(darkest.red() - color.red()) < 48 && std::abs(darkest.green() - color.green()) < 48 &&
                     std::abs(darkest.blue() - color.blue()) < 48,
                 qPrintable(QString::fromLatin1(name) + u' ' + darkest.name()));
    }
}

void TestMainWindow::nextPeriodLine_bestEstimateAndItsSource_asTheStatusLineSaysIt_data()
{
    QTest::addColumn<QByteArray>("readings"); // dateTemp.dat
    QTest::addColumn<QString>("line");        // a regular expression

    QTest::newRow("no readings: the cycle length's day")
        << QByteArray() << QStringLiteral("^次の生理: 3月29日ごろ \\(周期から\\)$");
    QTest::newRow("readings without a rise") << QByteArray("2011/03/02,36.20\r\n2011/03/03,36.25\r\n")
                                             << QStringLiteral("^次の生理: 3月29日ごろ \\(周期から\\)$");
    // Six low mornings, then three higher ones: the shift is confirmed and the body's day is the best.
    QByteArray shift;
    for (int day = 1; day <= 9; ++day) {
        shift += QStringLiteral("2011/03/%1,%2\r\n")
                     .arg(day, 2, 10, QLatin1Char('0'))
                     .arg(day <= 6 ? u"36.20" : u"36.65")
                     .toLatin1();
    }
    QTest::newRow("a confirmed rise: the body's day, and the rule's beside it")
        << shift << QStringLiteral("^次の生理: 3月(1\\d|2[0-8])日ごろ \\(体温から。周期からは3月29日\\)$");
}

void TestMainWindow::nextPeriodLine_bestEstimateAndItsSource_asTheStatusLineSaysIt()
{
    QFETCH(QByteArray, readings);
    QFETCH(QString, line);
    writeFile(file("date.dat"), "2011/03/01\r\n2011/02/01\r\n");
    writeFile(file("setting.ini"), daySetting(4, "28"));
    if (!readings.isEmpty()) {
        writeFile(file("dateTemp.dat"), readings);
    }
    TfrmMain *w = openWindow();
    const QString shown = child<QLabel>(w, "lblNextPeriod")->text();
    QVERIFY2(QRegularExpression(line).match(shown).hasMatch(), qPrintable(shown));
    const StatusReport report = computeStatus(readStatusInput(file("date.dat"), file("setting.ini")), Today,
                                              temperatureStatusJson(file("date.dat"), file("dateTemp.dat"), Today));
    QVERIFY2(statusLine(report).endsWith(QStringLiteral("。") + shown), qPrintable(statusLine(report)));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwin.moc"

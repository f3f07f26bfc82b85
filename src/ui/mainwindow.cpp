#include "mainwindow.h"

#include "backup.h"
#include "buttonkeys.h"
#include "calendarsyncrunner.h"
#include "cyclestats.h"
#include "datetext.h"
#include "daygrid.h"
#include "entry.h"
#include "fonts.h"
#include "guard.h"
#include "help.h"
#include "linefile.h"
#include "look.h"
#include "mail.h"
#include "memo.h"
#include "memofile.h"
#include "notice.h"
#include "pictures.h"
#include "settings.h"
#include "statusreport.h"
#include "temperaturestatus.h"
#include "ui_mainwindow.h"
#include "variable.h"
#include "view.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QShortcut>
#include <QToolTip>

#include <algorithm>

namespace {

const QString DaySection = QStringLiteral("Day Setting");
const QString DaymodeKey = QStringLiteral("Daymode");
const QString DaybetweenKey = QStringLiteral("Daybetween");
constexpr int OwnLengthMode = 4;     // "自分で設定": the length typed by the user, kept in Daybetween
constexpr int PreviousCycleMode = 3; // "前の周期と同じ"

const QColor OutsideGrey = QColor::fromRgb(colorToArgb(CellColor::NoCategory));

QColor cellColor(quint32 color)
{
    return QColor::fromRgb(colorToArgb(color));
}

} // namespace

TfrmMain::TfrmMain(QWidget *parent)
    : TfrmMain(QCoreApplication::applicationDirPath(), {}, parent)
{
}

TfrmMain::TfrmMain(const QString &dataDir, Calendar::TodayFunction today, QWidget *parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::frmMain>())
    , m_today(std::move(today))
{
    installFontSubstitutes();
    // Set before the controls exist, so that they are created with it rather than changed over to it.
    QFont windowFont;
    windowFont.setFamilies(installedFamilies(QStringLiteral("Tahoma")));
    windowFont.setPointSize(8);
    useDesignFont(this, windowFont);
    // A new line edit lays out its empty text in the application's font before it takes the window's.
    // That font is shown nowhere in this window, yet loading it costs a font engine and a fontconfig
    // fallback query (about 2 ms of start-up); with the window's font as the application's meanwhile,
    // the line edits reuse the engine the window needs anyway. Other windows keep the usual font.
    const QFont applicationFont = QApplication::font();
    QApplication::setFont(windowFont);
    ui->setupUi(this);
    QApplication::setFont(applicationFont);
    setUpLook();
    connectHandlers();
    FormCreate(dataDir);
    QAccessible::installActivationObserver(this);
}

TfrmMain::~TfrmMain()
{
    m_destroying = true;
    QAccessible::removeActivationObserver(this);
    FormDestroy();
}

QString TfrmMain::monthLabelText(int year, int month)
{
    return QString::number(year) + QStringLiteral("年") + QString::number(month) + QStringLiteral("月");
}

QString TfrmMain::cycleLengthText() const
{
    return ui->txtSyuki->text();
}

QString TfrmMain::cyclesAheadText() const
{
    return ui->txtNext->text();
}

QDate TfrmMain::today() const
{
    return m_today ? m_today() : QDate::currentDate();
}

void TfrmMain::connectHandlers()
{
    connect(ui->btnNext, &QToolButton::clicked, this, &TfrmMain::btnNextClick);
    connect(ui->btnReturn, &QToolButton::clicked, this, &TfrmMain::btnReturnClick);
    connect(ui->btnToday, &QToolButton::clicked, this, &TfrmMain::btnTodayClick);
    connect(ui->btnMemo, &QToolButton::clicked, this, &TfrmMain::btnMemoClick);
    connect(ui->btnEntry, &QPushButton::clicked, this, &TfrmMain::btnEntryClick);
    connect(ui->btnView, &QPushButton::clicked, this, &TfrmMain::btnViewClick);
    connect(ui->btnMail, &QPushButton::clicked, this, &TfrmMain::btnMailClick);
    connect(ui->btnNotice, &QPushButton::clicked, this, &TfrmMain::btnNoticeClick);
    connect(ui->btnHelp, &QPushButton::clicked, this, &TfrmMain::btnHelpClick);
    connect(ui->btmClose, &QPushButton::clicked, this, &TfrmMain::btmCloseClick);
    // activated: only a choice by the user, never a selection made by the program.
    connect(ui->cmbSyuki, &QComboBox::activated, this, &TfrmMain::cmbSyukiChange);
    connect(ui->UpDown, &UpDownSpinner::clicked, this, &TfrmMain::UpDownClick);
    // btmClose is the cancel button: Esc anywhere in the window presses it.
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, ui->btmClose, &QPushButton::click);
    installHelpKey(this, QStringLiteral("index.html"));

    connect(m_grid, &DayGridFocus::dateRequested, this, &TfrmMain::showDate);
    connect(m_grid, &DayGridFocus::todayRequested, this, [this] { showDate(today()); });
    connect(m_grid, &DayGridFocus::monthStepRequested, this, [this](int step) {
        if (step < 0) {
            btnReturnClick();
        } else {
            btnNextClick();
        }
        m_grid->announceFramedCell();
    });
    connect(m_grid, &DayGridFocus::cellActivated, this, [this](const QLabel *cell) {
        // As a double click on the cell: its press remembers the caption, the double click opens the memo.
        pnlDayMouseDown(cell);
        pnlDay01DblClick();
    });
}

void TfrmMain::FormCreate(const QString &dataDir)
{
    Variable::initFileLocations(dataDir);
    m_engine.emplace(Variable::DateFilePath, Variable::MemoFilePath, m_today);
    // Her calendar server is synced from here once the window has been painted (see the runner).
    m_sync = new CalendarSyncRunner(Variable::AppDir, this);
    connect(m_sync, &CalendarSyncRunner::firstDaysCameHome, this, [this](const QString &message) {
        cmbSyukiChange();
        showInfoBox(this, message);
    });
    const QDate now = today();
    showMonth(now.year(), now.month());
    m_grid->frameDate(now);
    const QStringList modes = {QStringLiteral("平均"), QStringLiteral("いちばん短い周期"),
                               QStringLiteral("いちばん長い周期"), QStringLiteral("前の周期と同じ"),
                               QStringLiteral("自分で設定")};
    for (int mode = 0; mode < modes.size(); ++mode) {
        ui->cmbSyuki->addItem(modes[mode], mode);
    }
    readStoredMode();
}

void TfrmMain::readStoredMode()
{
    int stored = OwnLengthMode;
    guarded(this,
            [&] { stored = IniFile(Variable::SettingFilePath).readInteger(DaySection, DaymodeKey, OwnLengthMode); });
    // A hand-edited value outside the list falls back to the key's default.
    ui->cmbSyuki->setCurrentIndex(stored >= 0 && stored < ui->cmbSyuki->count() ? stored : OwnLengthMode);
    m_storedMode = ui->cmbSyuki->currentIndex();
}

void TfrmMain::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        FormShow();
    }
}

void TfrmMain::FormShow()
{
    // The hints are set whether or not the first computation succeeds.
    ui->Panel_01->setToolTip(QStringLiteral("生理日は最大７日間とする"));
    ui->Panel_02->setToolTip(QStringLiteral("精子は７日生きるとする\n卵子は２日生きるとする"));
    ui->Panel_03->setToolTip(QStringLiteral("精子は３日間は生きる\n卵子は丸１日生きる"));
    ui->Panel_04->setToolTip(QStringLiteral("排卵予定日"));
    ui->Panel_05->setToolTip(QStringLiteral("生理の日以外での妊娠しにくい日"));
    ui->Panel_06->setToolTip(QStringLiteral("排卵日から16日後に生理がくるとする"));
    showPmsHint();
    for (QLabel *panel :
         {ui->Panel_01, ui->Panel_02, ui->Panel_03, ui->Panel_04, ui->Panel_05, ui->Panel_06, ui->Panel_07}) {
        panel->setAccessibleDescription(panel->toolTip());
    }
    cmbSyukiChange();
}

void TfrmMain::FormDestroy()
{
    guarded(nullptr, [&] {
        // Stored at every close, changed or not: bookkeeping, not a change of hers that needs a backup.
        const Backup::Bookkeeping bookkeeping;
        IniFile(Variable::SettingFilePath).writeInteger(DaySection, DaymodeKey, ui->cmbSyuki->currentIndex());
    });
}

void TfrmMain::showMonth(int year, int month)
{
    ViewYear = year;
    ViewMonth = month;
    ui->lblyyyymm->setText(monthLabelText(year, month));
    m_grid->setMonth(year, month);
}

void TfrmMain::showDate(const QDate &date)
{
    guarded(this, [&] {
        showMonth(date.year(), date.month());
        m_grid->frameDate(date);
        RecomputeAndRepaint();
    });
    m_grid->announceFramedCell();
}

void TfrmMain::btnNextClick()
{
    guarded(this, [&] {
        showMonth(ViewMonth == 12 ? ViewYear + 1 : ViewYear, ViewMonth == 12 ? 1 : ViewMonth + 1);
        RecomputeAndRepaint();
    });
}

void TfrmMain::btnReturnClick()
{
    guarded(this, [&] {
        showMonth(ViewMonth == 1 ? ViewYear - 1 : ViewYear, ViewMonth == 1 ? 12 : ViewMonth - 1);
        RecomputeAndRepaint();
    });
}

void TfrmMain::btnTodayClick()
{
    guarded(this, [&] {
        Variable::ShowToday = !Variable::ShowToday;
        RecomputeAndRepaint();
    });
}

void TfrmMain::btnMemoClick()
{
    guarded(this, [&] {
        Variable::ShowMemos = !Variable::ShowMemos;
        RecomputeAndRepaint();
    });
}

void TfrmMain::btnEntryClick()
{
    guarded(this, [&] {
        TfrmEntry dialog(this, today());
        dialog.exec();
    });
    cmbSyukiChange();
}

void TfrmMain::btnViewClick()
{
    guarded(this, [&] {
        TfrmView dialog(this, cycleLengthText());
        connect(&dialog, &TfrmView::historyClosed, this, &TfrmMain::cmbSyukiChange);
        // The mode is read again at once, so that no later step writes the one shown before over the
        // restored settings; every other file is read afresh by the recomputation below.
        connect(&dialog, &TfrmView::filesReplaced, this, &TfrmMain::readStoredMode);
        dialog.exec();
    });
    cmbSyukiChange();
}

void TfrmMain::btnMailClick()
{
    guarded(this, [&] {
        TfrmMail dialog(*m_engine, cycleLengthText(), cyclesAheadText(), this);
        dialog.exec();
    });
}

void TfrmMain::btnNoticeClick()
{
    guarded(this, [&] {
        TfrmNotice dialog(cycleLengthText(), this);
        dialog.exec();
    });
}

void TfrmMain::btnHelpClick()
{
    guarded(this, [&] { openHelpFile(this); });
}

void TfrmMain::btmCloseClick()
{
    close();
}

void TfrmMain::pnlDayMouseDown(const QLabel *cell)
{
    ClickedDay = cell->text();
}

void TfrmMain::pnlDay01DblClick()
{
    if (ClickedDay.isEmpty()) {
        return;
    }
    guarded(this, [&] {
        TfrmMemo dialog(this);
        QString dateText = ui->lblyyyymm->text();
        dateText.replace(QStringLiteral("年"), QStringLiteral("/"));
        dateText.replace(QStringLiteral("月"), QStringLiteral("/"));
        dialog.setDateText(dateText + ClickedDay);
        dialog.exec();
    });
    cmbSyukiChange();
}

void TfrmMain::openDayDialog(const QDate &day)
{
    guarded(this, [&] {
        TfrmMemo dialog(this);
        dialog.setDateText(formatDateText(day));
        dialog.exec();
    });
    cmbSyukiChange();
}

std::optional<QString> TfrmMain::ChooseCycleLength(int mode, bool offerEntry)
{
    const QStringList lines = LineFile::readIfExists(Variable::DateFilePath).lines();
    if (lines.isEmpty()) {
        if (offerEntry) {
            showInfoBox(this, QStringLiteral("データーが足りません。生理登録を行ってください。"));
            TfrmEntry dialog(this, today());
            dialog.disableCancel();
            dialog.centreOnScreen();
            dialog.exec();
        }
        return std::nullopt;
    }
    if (lines.size() == 1) {
        // One first day has no gap: only the user's own length can be used.
        mode = OwnLengthMode;
        ui->cmbSyuki->setCurrentIndex(OwnLengthMode);
    }
    return CycleLengthOfMode(lines, mode, readExcludedCycles(Variable::SettingFilePath)).value_or(QStringLiteral("28"));
}

void TfrmMain::cmbSyukiChange()
{
    guarded(this, [&] {
        std::optional<QString> length = ChooseCycleLength(ui->cmbSyuki->currentData().toInt());
        if (!length) {
            // The no-data path has just offered the registration: evaluate the mode on what it stored,
            // so that modes 0 to 3 get a usable length too.
            length = ChooseCycleLength(ui->cmbSyuki->currentData().toInt(), false);
        }
        if (length) {
            ui->txtSyuki->setText(*length);
        }
        if (ui->cmbSyuki->currentIndex() == OwnLengthMode) {
            showLengthEditable(true);
            ui->txtSyuki->setText(
                IniFile(Variable::SettingFilePath).readString(DaySection, DaybetweenKey, QStringLiteral("28")));
        } else {
            showLengthEditable(false);
        }
        showNextPeriodRange();
        readBodySigns();
        findPmsDays();
        RecomputeAndRepaint();
    });
    storeModeIfChanged();
}

void TfrmMain::storeModeIfChanged()
{
    // The login reminder reads the mode from the file while this window is open; an unchanged mode
    // writes nothing, so a start-up leaves the file as it was.
    const int mode = ui->cmbSyuki->currentIndex();
    if (mode != m_storedMode) {
        guarded(this, [&] {
            IniFile(Variable::SettingFilePath).writeInteger(DaySection, DaymodeKey, mode);
            m_storedMode = mode;
        });
    }
}

void TfrmMain::showNextPeriodRange()
{
    const QString rule = QStringLiteral("排卵日から16日後に生理がくるとする");
    // The best estimate of the next first day, in the words of the status line and the reminders.
    const QDate now = today();
    const StatusReport report =
        computeStatus(readStatusInput(Variable::DateFilePath, Variable::SettingFilePath), now,
                      temperatureStatusJson(Variable::DateFilePath, Variable::TempFilePath, now));
    ui->lblNextPeriod->setText(nextPeriodText(report));
    const std::optional<DayRange> &range = report.range;
    ui->Panel_06->setToolTip(range ? rule + QStringLiteral("\n次の生理の見込み: %1 (10回に%2回はこの範囲)")
                                                .arg(rangeText(*range))
                                                .arg(RangeShareInTen)
                                   : rule);
    ui->Panel_06->setAccessibleDescription(ui->Panel_06->toolTip());
}

void TfrmMain::showLengthEditable(bool editable)
{
    ui->txtSyuki->setReadOnly(!editable);
    if (editable) {
        ui->txtSyuki->setPalette(QPalette());
    } else {
        QPalette palette = ui->txtSyuki->palette();
        palette.setColor(QPalette::Base, OutsideGrey);
        palette.setColor(QPalette::Text, Qt::black);
        ui->txtSyuki->setPalette(palette);
    }
}

void TfrmMain::txtSyukiExit()
{
    guarded(this, [&] {
        if (ui->cmbSyuki->currentIndex() == OwnLengthMode) {
            IniFile settings(Variable::SettingFilePath);
            settings.writeInteger(DaySection, DaymodeKey, ui->cmbSyuki->currentIndex());
            settings.writeString(DaySection, DaybetweenKey, ui->txtSyuki->text());
        }
        RecomputeAndRepaint();
    });
}

void TfrmMain::UpDownClick()
{
    guarded(this, [&] {
        if (parseIntegerText(ui->txtNext->text()) < 0) {
            // One cycle back: with the last gap as length the shown cycle ends on the newest first day.
            ui->cmbSyuki->setCurrentIndex(PreviousCycleMode);
            cmbSyukiChange();
        } else {
            RecomputeAndRepaint();
        }
    });
}

void TfrmMain::RecomputeAndRepaint()
{
    const int cyclesAhead = parseIntegerText(ui->txtNext->text());
    const int cycleLength = parseIntegerText(ui->txtSyuki->text());
    m_engine->PredictMonth(ViewYear, ViewMonth, cycleLength, cyclesAhead, Variable::ShowToday, Variable::ShowMemos);
    PaintCalendar();
    if (m_shown) {
        m_sync->inputsMayHaveChanged();
    }
}

void TfrmMain::PaintCalendar()
{
    m_monthFlows = monthFlows(Variable::DayFilePath, ViewYear, ViewMonth);
    std::array<std::optional<Flow>, Calendar::CellCount> flows{};
    for (int k = 1; k <= Calendar::CellCount; ++k) {
        QLabel *cell = m_cells[k - 1];
        const QString caption = m_engine->DayCaption(k);
        cell->setText(caption);
        setPanelColors(cell, cellColor(m_engine->DayColor(k)), Qt::black);
        if (const QDate date = cellDate(cell); m_monthFlows.contains(date)) {
            flows[std::size_t(k - 1)] = m_monthFlows.value(date);
        }
        markPmsDay(cell, cellColor(m_engine->DayColor(k)));
    }
    m_grid->setFlows(flows);
    paintBodyMarks();
    describeCells();
}

QDate TfrmMain::cellDate(const QLabel *cell) const
{
    bool isDay = false;
    const int day = cell->text().toInt(&isDay);
    const QDate date = isDay ? QDate(ViewYear, ViewMonth, 1).addDays(day - 1) : QDate();
    return date.isValid() && date.month() == ViewMonth ? date : QDate();
}

QString TfrmMain::cellDescription(const QLabel *cell, const std::optional<QStringList> &memoLines,
                                  const QList<TemperatureReading> &readings) const
{
    const QDate date = cellDate(cell);
    if (!date.isValid()) {
        return QString();
    }
    const auto reading =
        std::find_if(readings.begin(), readings.end(), [&date](const TemperatureReading &r) { return r.date == date; });
    const auto flow = m_monthFlows.constFind(date);
    const QString text = dayCellDescription(
        *m_engine, date, Variable::ShowToday && date == today(), memoLines,
        flow != m_monthFlows.constEnd() ? std::optional<Flow>(*flow) : std::nullopt,
        reading != readings.end() ? std::optional<TemperatureReading>(*reading) : std::nullopt, isPmsDay(date));
    const QString body = bodySignText(date);
    return body.isEmpty() ? text : text + QStringLiteral("、") + body;
}

void TfrmMain::describeCells()
{
    // The names serve assistive technology only. With none listening they would cost a read of the memo
    // file at every month step; activation describes the shown month (accessibilityActiveChanged).
    if (!QAccessible::isActive() || !m_engine.has_value()) {
        return;
    }
    const std::optional<QStringList> memoLines =
        memoLinesOfMonth(*m_engine, Variable::MemoFilePath, ViewYear, ViewMonth);
    QList<TemperatureReading> readings;
    try {
        readings = readTemperatureFile(Variable::TempFilePath).readings;
    } catch (const std::exception &) {
        // Described without readings until the file can be read again.
    }
    readings.removeIf(
        [this](const TemperatureReading &r) { return r.date.year() != ViewYear || r.date.month() != ViewMonth; });
    for (QLabel *cell : m_cells) {
        cell->setAccessibleName(cellDescription(cell, memoLines, readings));
    }
}

void TfrmMain::accessibilityActiveChanged(bool active)
{
    if (active && !m_destroying) {
        describeCells();
    }
}

bool TfrmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (m_destroying) {
        return QWidget::eventFilter(watched, event);
    }
    if (watched == ui->txtSyuki || watched == ui->txtNext) {
        if (event->type() == QEvent::KeyPress) {
            if (!acceptDigitKey(static_cast<const QKeyEvent *>(event))) {
                QApplication::beep();
                return true;
            }
            return false;
        }
        if (watched == ui->txtSyuki && event->type() == QEvent::FocusOut) {
            // Leaving the box for another control of this window, not a switch to another window.
            const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
            if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
                txtSyukiExit();
            }
        }
        return QWidget::eventFilter(watched, event);
    }
    if (event->type() == QEvent::ToolTip && m_engine.has_value()) {
        const auto found = std::find(m_cells.begin(), m_cells.end(), watched);
        if (found != m_cells.end()) {
            // Made when asked for, so a month step never reads the memo file for tooltips nobody sees.
            const std::optional<TemperatureReading> reading = dayReading(Variable::TempFilePath, cellDate(*found));
            const QString text =
                cellDescription(*found, memoLinesOfMonth(*m_engine, Variable::MemoFilePath, ViewYear, ViewMonth),
                                reading ? QList<TemperatureReading>{*reading} : QList<TemperatureReading>());
            if (text.isEmpty()) {
                QToolTip::hideText();
                event->ignore();
            } else {
                QToolTip::showText(static_cast<const QHelpEvent *>(event)->globalPos(), text, *found);
            }
            return true;
        }
    }
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) {
        const auto found = std::find(m_cells.begin(), m_cells.end(), watched);
        if (found != m_cells.end()) {
            // The second press of a double click is a press too; only the primary button's opens the memo.
            pnlDayMouseDown(*found);
            if (event->type() == QEvent::MouseButtonDblClick &&
                static_cast<const QMouseEvent *>(event)->button() == Qt::LeftButton) {
                pnlDay01DblClick();
            }
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

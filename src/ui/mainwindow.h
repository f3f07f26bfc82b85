#pragma once

#include "calendar.h"
#include "dayrecordfile.h"
#include "fertilephase.h"
#include "symptompattern.h"
#include "temperaturefile.h"

#include <QAccessible>
#include <QCoreApplication>
#include <QDate>
#include <QHash>
#include <QString>
#include <QWidget>

#include <array>
#include <memory>
#include <optional>

class BodyLegendEntry;
class BodyMarkLayer;
class CalendarSyncRunner;
class DayGridFocus;
class QLabel;

namespace Ui {
class frmMain;
}

// The main window: the prediction calendar of one month with its legend, the cycle controls and the
// buttons that open the dialogs. It computes nothing itself; every change of what is shown ends in
// the engine's PredictMonth followed by PaintCalendar.
class TfrmMain final : public QWidget, private QAccessible::ActivationObserver
{
    Q_OBJECT

public:
    // The data files lie in the executable's folder.
    explicit TfrmMain(QWidget *parent = nullptr);
    // The data files lie in dataDir; today (empty: the local clock) gives the current day to the
    // displayed month, the today mark and the registration dialog.
    TfrmMain(const QString &dataDir, Calendar::TodayFunction today, QWidget *parent = nullptr);
    ~TfrmMain() override;

    // For the mail dialog: the engine and the two texts that carry the cycle length and cycles ahead.
    Calendar &engine() { return *m_engine; }
    QString cycleLengthText() const;
    QString cyclesAheadText() const;

    int viewYear() const { return ViewYear; }
    int viewMonth() const { return ViewMonth; }
    const QString &clickedDay() const { return ClickedDay; }

    // "2011年3月": no leading zeros or blanks.
    static QString monthLabelText(int year, int month);

public slots:
    void btnNextClick();
    void btnReturnClick();
    void btnTodayClick();
    void btnMemoClick();
    void btnEntryClick();
    // The day dialog (memo, reading and the day's observations) on `day`, then the grid redrawn.
    void openDayDialog(const QDate &day);
    void btnViewClick();
    void btnMailClick();
    void btnNoticeClick();
    void btnHelpClick();
    void btmCloseClick();
    void cmbSyukiChange();
    // The legend's 次の生理 names the range of her history in its hint.
    void showNextPeriodRange();
    void txtSyukiExit();
    void UpDownClick();

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void FormCreate(const QString &dataDir);
    void FormShow();
    void FormDestroy();
    void setUpLook();
    void connectHandlers();

    // The cycle length of the mode from date.dat, or nothing after the no-data path (which offers the
    // registration dialog only when offerEntry is set).
    std::optional<QString> ChooseCycleLength(int mode, bool offerEntry = true);
    void RecomputeAndRepaint();
    void PaintCalendar();
    // PMSが出やすい時期 before the next period, as eveluna --status gives it, found once the month is painted
    // and then banded; none while her records do not show one (or cannot be read: the band is left out,
    // the calendar is not held up).
    void findPmsDays();
    // The legend's hint for the band.
    void showPmsHint();
    bool isPmsDay(const QDate &date) const;
    // The band along the bottom of a cell of those days, over its colour.
    void markPmsDay(QLabel *cell, const QColor &color);
    void showMonth(int year, int month);
    // The month of date, with the keyboard frame on it.
    void showDate(const QDate &date);
    // Accessible names of the day cells for the month just painted, while assistive technology listens.
    void describeCells();
    void accessibilityActiveChanged(bool active) override;
    // Full date with weekday, category, today and memo of a day cell; empty for cells outside the month.
    // Bleeding and reading as dayCellDescription tells them; readings may hold other days too.
    QString cellDescription(const QLabel *cell, const std::optional<QStringList> &memoLines,
                            const QList<TemperatureReading> &readings) const;
    // The day of a cell of the shown month; invalid for the cells before and after it.
    QDate cellDate(const QLabel *cell) const;
    void pnlDayMouseDown(const QLabel *cell);
    void pnlDay01DblClick();
    void showLengthEditable(bool editable);
    // Her body's signs (mainwindowbody.cpp): the legend entries, the phase of the current cycle read from
    // the files, and its marks on the grid and in the cells' descriptions.
    void setUpBodyLegend();
    void readBodySigns();
    void paintBodyMarks();
    QString bodySignText(const QDate &date) const;
    // Writes Daymode when the mode differs from what the file holds.
    void storeModeIfChanged();
    void readStoredMode();
    QDate today() const;

    std::unique_ptr<Ui::frmMain> ui;
    Calendar::TodayFunction m_today;
    std::optional<Calendar> m_engine;
    std::array<QLabel *, Calendar::CellCount> m_cells{};
    DayGridFocus *m_grid = nullptr;
    QHash<QDate, Flow> m_monthFlows; // the bleeding she recorded in the shown month
    BodyMarkLayer *m_bodyMarks = nullptr;
    std::array<BodyLegendEntry *, 2> m_bodyLegend{};
    std::optional<FertilityResult> m_body; // the cycle holding today, when her records speak for it
    QDate m_bodyNextFirstDay;              // the registered first day after it, if any
    CalendarSyncRunner *m_sync = nullptr;
    int ViewYear = 0;
    int ViewMonth = 1;
    QString ClickedDay;
    bool m_shown = false;
    // The cycle mode as setting.ini has it (or would give it, when it has none or one outside the list).
    int m_storedMode = -1;
    bool m_destroying = false;
    std::optional<PmsForecast> m_pms;
};

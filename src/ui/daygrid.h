#pragma once

#include "daycolors.h"
#include "dayrecordfile.h"
#include "daywords.h"
#include "temperaturefile.h"

#include <QColor>
#include <QDate>
#include <QHash>
#include <QString>
#include <QWidget>

#include <array>
#include <optional>

class Calendar;
class QLabel;
class QPainter;

// What a day cell says to a user who cannot see its colour, as its tooltip and accessible name:
// "2026年12月7日（月）、妊娠しやすい日、今日、出血: 多い、体温: 36.52℃、メモ:病院". The category in the
// legend's words (nothing for None), "今日" when the today mark is on and the day is today, the bleeding
// she recorded, her reading ("（除外）" when left out) and the memo's first line (at most
// MemoPreviewLength characters) when the day has a memo, even an empty one.
QString dayCellDescription(const QDate &date, DayCategory category, bool markedToday,
                           const std::optional<QString> &memo, const std::optional<Flow> &flow = std::nullopt,
                           const std::optional<TemperatureReading> &reading = std::nullopt, bool pmsDay = false);
inline constexpr int MemoPreviewLength = 40;

// The days before the next period when her symptoms usually come ("PMSが出やすい時期"): a thin band of this
// colour along the bottom of their cells, and the legend's sample of it.
inline const QColor PmsBandColor = QColor(112, 48, 160);
inline const QString PmsCaption = QStringLiteral("PMSが出やすい時期");
// Paints a cell (or the legend's sample) in its colour with the band along its bottom, or without it.
void setCellBand(QWidget *cell, const QColor &background, bool band);

// The same for a day of the engine's last computed month, its memo taken from memoLines (the memo
// file's lines, or nothing to leave memos out).
QString dayCellDescription(const Calendar &engine, const QDate &date, bool markedToday,
                           const std::optional<QStringList> &memoLines, const std::optional<Flow> &flow = std::nullopt,
                           const std::optional<TemperatureReading> &reading = std::nullopt, bool pmsDay = false);

// The bleeding she recorded on the days of a month (dateDay.dat). A file that cannot be read now leaves
// the marks out instead of interrupting the painting.
QHash<QDate, Flow> monthFlows(const QString &dayFilePath, int year, int month);

// The reading of one day (dateTemp.dat), or nothing; nothing too when the file cannot be read now.
std::optional<TemperatureReading> dayReading(const QString &tempFilePath, const QDate &day);

// A small drop in the top right corner of cell (half its height): filled a third, two thirds or whole for light, medium
// and heavy bleeding, hollow for spotting. Dark red with a white rim, so that it stands out on every
// category colour, which the cells keep in dark themes too.
void drawBleedingDrop(QPainter &painter, const QRectF &cell, Flow flow);

// The memo file's lines when the month has memo days in the engine's last computation, else nothing.
std::optional<QStringList> memoLinesOfMonth(const Calendar &engine, const QString &memoFilePath, int year, int month);

// The month grid by keyboard: a focus target laid over the 37 day cells. It draws a frame around the cell
// of the framed day and nothing else, so the cells keep their colours; mouse input passes through to the
// cells. Arrows move the frame by a day or a week, Page Up / Page Down ask for the neighbouring month,
// Home for the month of today, Enter and Space activate the framed cell. Leaving the month is the window's
// business: the grid asks for the date, the window shows its month and then frames it.
class DayGridFocus final : public QWidget
{
    Q_OBJECT

public:
    static constexpr int CellCount = 37;

    DayGridFocus(const std::array<QLabel *, CellCount> &cells, QWidget *parent);

    // The displayed month changed (by any control): the frame keeps its day, clamped to the month.
    void setMonth(int year, int month);
    // Frames a day of the displayed month.
    void frameDate(const QDate &date);
    QDate framedDate() const;
    // The cell (0..36) of the framed day.
    int framedCell() const;
    // Tells assistive technology which cell is framed, when the grid has the focus.
    void announceFramedCell();
    // The bleeding marks of the cells (index 0..36), drawn over them.
    void setFlows(const std::array<std::optional<Flow>, CellCount> &flows);

signals:
    // A date outside the displayed month was reached with the arrows.
    void dateRequested(const QDate &date);
    // Page Up (-1) and Page Down (+1).
    void monthStepRequested(int step);
    void todayRequested();
    void cellActivated(QLabel *cell);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void updateFrame();
    void moveBy(int days);

    std::array<QLabel *, CellCount> m_cells;
    int m_year = 2000;
    int m_month = 1;
    int m_day = 1;
    std::array<std::optional<Flow>, CellCount> m_flows{};
};

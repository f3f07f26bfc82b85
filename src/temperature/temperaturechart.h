#pragma once

#include "fertilephase.h"
#include "temperatureshift.h"

#include <QDate>
#include <QRectF>
#include <QStringList>

#include <optional>

class QPainter;

// "t", "Ø", "f", "S", "S+" for mucus 0..4.
QString mucusLetter(int mucus);

// The 基礎体温表 of one cycle, the one drawing for the history window, the printer and the PDF: cycle days
// with their dates along the bottom, °C up the side (a line every 0.05, a label every 0.1, 35.8–37.4
// widened to fit), the readings as dots joined while the days follow each other, readings left out as
// hollow marks off the line, the cover line, the first higher reading, the high phase shaded from the
// rise day and the registered first day marked, a legend line under the dates; the figures and notes in
// a column on the right. Sizes in the painter's units, which the callers set to 1/96 inch; text is drawn
// as text.

struct TemperatureChartFigures
{
    std::optional<QDate> bodyNextStart;     // 体温から見た予定日 (current cycle with a confirmed shift)
    std::optional<QDate> calendarNextStart; // the calendar rule's next first day (current cycle)
    // Her body's signs in this cycle: a row of mucus letters (t, Ø, f, S, S+) under the dates with the
    // peak boxed, a line through the plot on each positive ovulation test, and the fertile phase as a
    // band along the plot's top.
    std::optional<FertilityResult> body;
};

// The figures column as label and value, in the order drawn: 低温期平均, 高温期平均, 差, 高温期の日数, ...
QList<std::pair<QString, QString>> temperatureFigureTexts(const CycleTemperature &cycle,
                                                          const TemperatureChartFigures &figures = {});

// The lowest and highest °C of the scale in hundredths: 35.80–37.40, widened to whole tenths around
// every reading of the cycle.
std::pair<int, int> temperatureScale(const CycleTemperature &cycle);

void drawTemperatureChart(QPainter &painter, const QRectF &area, const CycleTemperature &cycle,
                          const QStringList &families, const TemperatureChartFigures &figures = {});

// The chart in words for screen readers: the span, the number of readings, the shift and the figures.
QString temperatureChartSummary(const CycleTemperature &cycle, const TemperatureChartFigures &figures = {});

// "12日目 3/12 36.52" (with "（除外）" for a reading left out), in date order: the report writes them under
// each chart.
QStringList temperatureReadingTexts(const CycleTemperature &cycle);

// The cycles the report's 基礎体温表 pages show: those with readings, newest first, at most 12.
QList<CycleTemperature> reportedTemperatureCycles(const QList<CycleTemperature> &cycles);

// Pages for that many cycles: one cycle per half page.
qsizetype temperatureReportPageCount(qsizetype cycles);

// Draws report page `page` (0-based) of the 基礎体温表: its heading and up to two cycles of `reported`,
// each a chart with its readings written under it as text. The footer is the caller's.
// The cycles' body signs (bodies, any order, matched by first day) are drawn when given.
void drawTemperatureReportPage(QPainter &painter, const QRectF &area, const QList<CycleTemperature> &reported,
                               qsizetype page, const QStringList &families, const QList<FertilityResult> &bodies = {});

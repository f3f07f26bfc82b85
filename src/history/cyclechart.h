#pragma once

#include "cyclehistory.h"

#include <QRectF>
#include <QSet>
#include <QStringList>

class QPainter;

// Sizes are in logical units of 1/96 inch, whatever the device: the drawing scales them by the device's
// logicalDpiX, so the window, a printer and a PDF page show the same proportions.
constexpr double LogicalUnitsPerInch = 96.0;

// Switches the painter to logical units for its device; returns the factor applied.
double useLogicalUnits(QPainter &painter);

// The bar chart of the completed cycles: one bar per cycle, oldest left, its height the length in days,
// labelled with the cycle's first month (yyyy/mm) and its length; the usual range shaded; the mean of
// the modes, the shortest and the longest as horizontal lines; a cycle left out of the statistics hatched
// grey. A bar's length stands above it, moved up clear of any line. Text is drawn as text, black on the
// chart's own white, so it stays readable under any palette and extractable from a PDF.
class CycleChart final
{
public:
    // Space left of the bars for the day scale, and right of them for the names of the lines.
    static constexpr double LeftMargin = 40;
    static constexpr double RightMargin = 84;
    static constexpr double WindowSlot = 44; // width per bar in the window
    static constexpr double PaperSlot = 32;  // width per bar in the report
    static constexpr double Height = 250;
    // Space left of the first bar when the day scale is drawn apart (drawAxis).
    static constexpr double AxisGap = 6;

    CycleChart(const CycleHistory &history, const CycleStatistics &stats, QStringList families,
               QSet<QDate> excluded = {});

    int cycleCount() const { return int(m_lengths.size()); }
    // The width the bars of `count` cycles need, margins included (the day scale's only withAxis).
    static double widthFor(int count, double slot, bool withAxis = true);
    // The right edge of bar i (counted from the first drawn) in the area's units from its left.
    static double barRight(int i, double slot, bool withAxis = true);
    // How many bars of `slot` fit into `width`.
    static int cyclesFitting(double width, double slot);

    // Draws cycles first .. first + count - 1 into area (logical units, painter already in them). With
    // `exposed` given, only the bars that reach into it are drawn (a window repaints a strip at a time).
    // Without withAxis the day scale is left to drawAxis, for a window that scrolls the bars under a
    // fixed scale.
    void draw(QPainter &painter, const QRectF &area, int first, int count, double slot,
              const QRectF &exposed = QRectF(), bool withAxis = true) const;
    // The day scale alone, into a strip LeftMargin wide and as tall as the area given to draw().
    void drawAxis(QPainter &painter, const QRectF &area) const;

    // The chart in words for screen readers: span, statistics and the cycles outside the usual range.
    QString description() const;

private:
    // Days at the top of the scale: a multiple of 10 above every cycle and the usual range.
    int topDays() const;
    static QRectF plotArea(const QRectF &area, bool withAxis);

    QList<QDate> m_starts;
    QList<int> m_lengths;
    CycleStatistics m_stats;
    QStringList m_families;
    QSet<QDate> m_excluded;
};

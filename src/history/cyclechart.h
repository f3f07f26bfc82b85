#pragma once

#include "cyclehistory.h"

#include <QRectF>
#include <QStringList>

class QPainter;

// Sizes are in logical units of 1/96 inch, whatever the device: the drawing scales them by the device's
// logicalDpiX, so the window, a printer and a PDF page show the same proportions.
constexpr double LogicalUnitsPerInch = 96.0;

// Switches the painter to logical units for its device; returns the factor applied.
double useLogicalUnits(QPainter &painter);

// The bar chart of the completed cycles: one bar per cycle, oldest left, its height the length in days,
// labelled with the cycle's first month (yyyy/mm) and its length; the usual range shaded; the mean of
// the modes, the shortest and the longest as horizontal lines. Text is drawn as text, black on the
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

    CycleChart(const CycleHistory &history, const CycleStatistics &stats, QStringList families);

    int cycleCount() const { return int(m_lengths.size()); }
    // The width the bars of `count` cycles need, margins included.
    static double widthFor(int count, double slot);
    // How many bars of `slot` fit into `width`.
    static int cyclesFitting(double width, double slot);

    // Draws cycles first .. first + count - 1 into area (logical units, painter already in them). With
    // `exposed` given, only the bars that reach into it are drawn (a window repaints a strip at a time).
    void draw(QPainter &painter, const QRectF &area, int first, int count, double slot,
              const QRectF &exposed = QRectF()) const;

    // The chart in words for screen readers: span, statistics and the cycles outside the usual range.
    QString description() const;

private:
    QList<QDate> m_starts;
    QList<int> m_lengths;
    CycleStatistics m_stats;
    QStringList m_families;
};

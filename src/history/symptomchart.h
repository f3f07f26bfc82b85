#pragma once

#include "symptompattern.h"

#include <QRectF>
#include <QStringList>

#include <utility>

class QPainter;

// The 症状 chart, the one drawing for the history window and the report: a row per row of the pattern
// (痛み first, then each symptom recorded at least twice), a column per day from 14 days before a first
// day to 7 days after it; a cell's shade is the share of her cycles with that symptom on that day, from
// the chart's own white (none) to a deep rose (all), so it reads the same under any palette. Sizes in
// logical units (cyclechart.h); text is drawn as text.
class SymptomChart final
{
public:
    static constexpr double LabelWidth = 84; // the row names, left of the cells
    static constexpr double CellWidth = 19;
    static constexpr double RowHeight = 20;
    static constexpr double HeaderHeight = 36; // two lines: before / from the first day, the day numbers
    static constexpr double FooterHeight = 20; // the scale of shares

    SymptomChart(SymptomPattern pattern, QStringList families);

    const SymptomPattern &pattern() const { return m_pattern; }
    double width() const { return LabelWidth + PatternColumns * CellWidth + 4; }
    double height() const;

    // Draws the chart with its top-left at area's (logical units, painter already in them).
    void draw(QPainter &painter, const QRectF &area) const;

    // Row and column of the cell under a point of a chart drawn at area; {-1, -1} outside the cells.
    std::pair<int, int> cellAt(const QRectF &area, const QPointF &point) const;
    // "頭痛 生理の3日前: 6回中4回" for the hover.
    QString cellText(int row, int column) const;

    // Each row in words, one a line ("頭痛: 生理の3日前〜前日に多い (6回中4回)"), after a line on what the
    // chart counts; "症状の記録がある周期はまだありません" without cycles.
    QStringList rowSummaries() const;

private:
    SymptomPattern m_pattern;
    QStringList m_families;
};

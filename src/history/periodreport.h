#pragma once

#include "periodobservations.h"
#include "symptomchart.h"

#include <QList>
#include <QRectF>
#include <QStringList>

class QPainter;

// The report's 月経の記録 pages, after the history: per cycle, newest first, at most RecentCycleCount,
// its first day, cycle length, period length, bleeding days by intensity, pain and painkiller days and
// symptoms with their counts; then the observations against the standard ranges and the 症状 chart with
// each of its rows in words. Everything is text, so a PDF reader and a screen reader get all of it.
class PeriodReport final
{
public:
    PeriodReport(const QList<CycleRecord> &cycles, const SymptomPattern &pattern, QStringList families);

    // Pages for a printable height (logical units) less the caller's footer; none without cycles.
    qsizetype pageCount(double height) const;
    // Draws page `page` (0-based) into area, whose height is the one pageCount() was given.
    void drawPage(QPainter &painter, const QRectF &area, qsizetype page) const;

private:
    struct Item
    {
        enum class Kind { Heading, Bold, Text, Gap, Chart };
        Kind kind = Kind::Text;
        QString text;
        double height() const;
    };
    // The items of each page.
    QList<QList<Item>> paginate(double height) const;

    QList<Item> m_items;
    SymptomChart m_chart;
    QStringList m_families;
};

#include "cyclechart.h"

#include "datetext.h"

#include <QFont>
#include <QPaintDevice>
#include <QPainter>

#include <algorithm>
#include <functional>

namespace {

const QColor Ink(0, 0, 0);
const QColor Paper(255, 255, 255);
const QColor UsualBand(222, 244, 222);
const QColor UsualBar(110, 150, 215);
const QColor OutsideBar(235, 125, 70);
const QColor Grid(200, 200, 200);
const QColor LeftOutBar(205, 205, 205);
const QColor LeftOutHatch(110, 110, 110);

constexpr double LegendHeight = 22;
constexpr double LabelHeight = 30; // below the axis: the month of each bar
constexpr double TopRoom = 16;     // above the highest bar: its length

QFont chartFont(const QStringList &families, double pixels, bool bold = false)
{
    QFont font;
    font.setFamilies(families);
    font.setPixelSize(qRound(pixels));
    font.setBold(bold);
    return font;
}

bool isUsual(int length)
{
    return length >= UsualCycleMin && length <= UsualCycleMax;
}

QString monthText(const QDate &day)
{
    return formatDateText(day).left(7);
}

// The label of bar i of `bars`: its month ("2026/05"), or its first day ("5/3") when a neighbouring bar
// begins in the same month, so that two cycles of one month are told apart.
QString barLabel(const QList<QDate> &starts, qsizetype i, qsizetype bars)
{
    const auto sameMonth = [&](qsizetype k) {
        return k >= 0 && k < bars && starts[k].year() == starts[i].year() && starts[k].month() == starts[i].month();
    };
    if (sameMonth(i - 1) || sameMonth(i + 1)) {
        return QStringLiteral("%1/%2").arg(starts[i].month()).arg(starts[i].day());
    }
    return monthText(starts[i]);
}

struct LineMark
{
    int days;
    QString name;
    Qt::PenStyle style;
    QColor colour;
    double y = 0;
};

// The top of a label `height` tall that stands just above barTop, moved up past every line it would
// cross, so no line runs through its digits.
double labelTop(double barTop, double height, QList<double> lineYs)
{
    std::sort(lineYs.begin(), lineYs.end(), std::greater<>());
    double bottom = barTop - 1;
    for (const double y : lineYs) {
        if (y > bottom - height - 2 && y < bottom + 2) {
            bottom = y - 3;
        }
    }
    return bottom - height;
}

} // namespace

double useLogicalUnits(QPainter &painter)
{
    const double scale = painter.device()->logicalDpiX() / LogicalUnitsPerInch;
    painter.scale(scale, painter.device()->logicalDpiY() / LogicalUnitsPerInch);
    return scale;
}

CycleChart::CycleChart(const CycleHistory &history, const CycleStatistics &stats, QStringList families,
                       QSet<QDate> excluded)
    : m_starts(history.firstDays)
    , m_lengths(history.cycleLengths())
    , m_stats(stats)
    , m_families(std::move(families))
    , m_excluded(std::move(excluded))
{
}

double CycleChart::widthFor(int count, double slot, bool withAxis)
{
    return (withAxis ? LeftMargin : AxisGap) + slot * std::max(count, 1) + RightMargin;
}

double CycleChart::barRight(int i, double slot, bool withAxis)
{
    return (withAxis ? LeftMargin : AxisGap) + slot * (i + 1);
}

int CycleChart::topDays() const
{
    int longest = std::max(m_stats.longest, UsualCycleMax);
    for (const int length : m_lengths) {
        longest = std::max(longest, length);
    }
    return (longest / 10 + 1) * 10;
}

QRectF CycleChart::plotArea(const QRectF &area, bool withAxis)
{
    const double left = withAxis ? LeftMargin : AxisGap;
    return QRectF(area.left() + left, area.top() + LegendHeight + TopRoom,
                  std::max(1.0, area.width() - left - RightMargin),
                  std::max(1.0, area.height() - LegendHeight - TopRoom - LabelHeight));
}

void CycleChart::drawAxis(QPainter &painter, const QRectF &area) const
{
    painter.save();
    painter.fillRect(area, Paper);
    const QRectF plot = plotArea(QRectF(area.left(), area.top(), LeftMargin + RightMargin + 1, area.height()), true);
    const int top = topDays();
    const auto yOf = [&](double days) { return plot.bottom() - plot.height() * days / top; };
    painter.setFont(chartFont(m_families, 10));
    painter.setPen(Ink);
    const int step = top <= 60 ? 10 : top <= 150 ? 20 : 50;
    for (int days = 0; days <= top; days += step) {
        painter.drawText(QRectF(area.left(), yOf(days) - 8, LeftMargin - 6, 16), Qt::AlignRight | Qt::AlignVCenter,
                         QString::number(days));
    }
    painter.setPen(QPen(Ink, 1));
    painter.drawLine(QPointF(area.right() - 0.5, plot.bottom()), QPointF(area.right() - 0.5, plot.top()));
    painter.restore();
}

int CycleChart::cyclesFitting(double width, double slot)
{
    return std::max(1, int((width - LeftMargin - RightMargin) / slot));
}

void CycleChart::draw(QPainter &painter, const QRectF &area, int first, int count, double slot, const QRectF &exposed,
                      bool withAxis) const
{
    painter.save();
    painter.setClipRect(area);
    painter.fillRect(area, Paper);
    painter.setPen(Ink);

    // Legend along the top, ending above the newest bar, which a window shows first.
    painter.setFont(chartFont(m_families, 11));
    const QString usualText = QStringLiteral("通常の範囲 (%1〜%2日)").arg(UsualCycleMin).arg(UsualCycleMax);
    const QString outsideText = QStringLiteral("範囲外の周期");
    const double legendY = area.top() + 4;
    double x = area.right() - RightMargin - painter.fontMetrics().horizontalAdvance(usualText) -
               painter.fontMetrics().horizontalAdvance(outsideText) - 60;
    if (!m_excluded.isEmpty()) {
        x -= painter.fontMetrics().horizontalAdvance(QStringLiteral("計算に入れない周期")) + 30;
    }
    x = std::max(x, area.left() + (withAxis ? LeftMargin : AxisGap));
    const auto legendEntry = [&](const QColor &colour, const QString &text, bool hatched) {
        const QRectF box(x, legendY + 3, 10, 10);
        painter.fillRect(box, colour);
        if (hatched) {
            painter.fillRect(box, QBrush(Ink, Qt::BDiagPattern));
        }
        painter.drawRect(box);
        QRectF used;
        painter.drawText(QRectF(box.right() + 4, legendY, 400, 16), Qt::AlignLeft | Qt::AlignVCenter, text, &used);
        x = used.right() + 16;
    };
    legendEntry(UsualBand, usualText, false);
    legendEntry(OutsideBar, outsideText, true);
    if (!m_excluded.isEmpty()) {
        legendEntry(LeftOutBar, QStringLiteral("計算に入れない周期"), false);
    }

    const QRectF plot = plotArea(area, withAxis);
    const int top = topDays();
    const auto yOf = [&](double days) { return plot.bottom() - plot.height() * days / top; };

    painter.fillRect(QRectF(plot.left(), yOf(UsualCycleMax), plot.width(), yOf(UsualCycleMin) - yOf(UsualCycleMax)),
                     UsualBand);
    painter.setFont(chartFont(m_families, 10));
    const int step = top <= 60 ? 10 : top <= 150 ? 20 : 50;
    for (int days = 0; days <= top; days += step) {
        painter.setPen(QPen(Grid, 0.5));
        painter.drawLine(QPointF(plot.left(), yOf(days)), QPointF(plot.right(), yOf(days)));
        if (withAxis) {
            painter.setPen(Ink);
            painter.drawText(QRectF(area.left(), yOf(days) - 8, LeftMargin - 6, 16), Qt::AlignRight | Qt::AlignVCenter,
                             QString::number(days));
        }
    }
    painter.setPen(Ink);
    // The lines of the modes, which the bar labels keep clear of.
    const bool lines = m_stats.cycleCount > 0 && cycleCount() > 0;
    const QList<double> lineYs =
        lines ? QList<double>{yOf(m_stats.longest), yOf(m_stats.modeAverage), yOf(m_stats.shortest)} : QList<double>();

    const int last = std::min(first + count, cycleCount());
    const QFont labelFont = chartFont(m_families, slot >= 40 ? 10 : 8);
    for (int i = std::max(first, 0); i < last; ++i) {
        const int length = m_lengths[i];
        const double left = plot.left() + (i - first) * slot;
        if (!exposed.isNull() && (left + slot < exposed.left() || left > exposed.right())) {
            continue;
        }
        const QRectF bar(left + slot * 0.15, yOf(std::max(length, 0)), slot * 0.7,
                         plot.bottom() - yOf(std::max(length, 0)));
        if (m_excluded.contains(m_starts[i])) {
            painter.fillRect(bar, LeftOutBar);
            painter.fillRect(bar, QBrush(LeftOutHatch, Qt::FDiagPattern));
        } else {
            painter.fillRect(bar, isUsual(length) ? UsualBar : OutsideBar);
            if (!isUsual(length)) {
                painter.fillRect(bar, QBrush(Ink, Qt::BDiagPattern));
            }
        }
        painter.setFont(labelFont);
        painter.drawText(QRectF(left, labelTop(bar.top(), 14, lineYs), slot, 14), Qt::AlignHCenter | Qt::AlignBottom,
                         QString::number(length));
        painter.drawText(QRectF(left, plot.bottom() + 3, slot, 14), Qt::AlignHCenter | Qt::AlignTop,
                         barLabel(m_starts, i, cycleCount()));
    }
    painter.setPen(QPen(Ink, 1));
    painter.drawLine(plot.bottomLeft(), plot.bottomRight());
    if (withAxis) {
        painter.drawLine(plot.bottomLeft(), plot.topLeft());
    }

    if (lines) {
        QList<LineMark> marks = {
            {m_stats.longest, QStringLiteral("最長"), Qt::DotLine, QColor(190, 30, 30)},
            {m_stats.modeAverage, QStringLiteral("平均"), Qt::DashLine, QColor(20, 40, 150)},
            {m_stats.shortest, QStringLiteral("最短"), Qt::DotLine, QColor(20, 120, 40)},
        };
        // Names one text line apart at least, even when the lengths lie a day apart.
        double previous = plot.top() - 20;
        for (LineMark &mark : marks) {
            const double y = yOf(mark.days);
            painter.setPen(QPen(mark.colour, 1.5, mark.style));
            painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
            mark.y = std::max(y, previous + 14);
            previous = mark.y;
        }
        painter.setFont(chartFont(m_families, 11));
        for (const LineMark &mark : marks) {
            painter.setPen(mark.colour);
            painter.drawText(QRectF(plot.right() + 4, mark.y - 8, RightMargin - 6, 16),
                             Qt::AlignLeft | Qt::AlignVCenter,
                             mark.name + u' ' + QString::number(mark.days) + QStringLiteral("日"));
        }
    }
    painter.restore();
}

QString CycleChart::description() const
{
    if (cycleCount() == 0) {
        return QStringLiteral("データーが足りません。");
    }
    QStringList outside;
    for (int i = 0; i < cycleCount(); ++i) {
        if (!isUsual(m_lengths[i])) {
            outside.append(formatDateText(m_starts[i]) + QStringLiteral("から") + QString::number(m_lengths[i]) +
                           QStringLiteral("日"));
        }
    }
    QString text =
        QStringLiteral("周期のグラフ。%1から%2までの%3周期。平均%4日、いちばん短い周期%5日、いちばん長い周期%6日。")
            .arg(monthText(m_starts.first()), monthText(m_starts[cycleCount() - 1]))
            .arg(cycleCount())
            .arg(QString::number(m_stats.average, 'f', 1))
            .arg(m_stats.shortest)
            .arg(m_stats.longest);
    if (outside.isEmpty()) {
        text +=
            QStringLiteral("すべての周期が通常の範囲 (%1〜%2日) にあります。").arg(UsualCycleMin).arg(UsualCycleMax);
    } else {
        text += QStringLiteral("通常の範囲 (%1〜%2日) の外の周期: %3周期 (%4)。")
                    .arg(UsualCycleMin)
                    .arg(UsualCycleMax)
                    .arg(outside.size())
                    .arg(outside.join(QStringLiteral("、")));
    }
    if (!m_excluded.isEmpty()) {
        text += QStringLiteral("計算に入れない周期: %1周期。").arg(m_excluded.size());
    }
    return text;
}

#include "cyclechart.h"

#include "datetext.h"

#include <QFont>
#include <QPaintDevice>
#include <QPainter>

#include <algorithm>

namespace {

const QColor Ink(0, 0, 0);
const QColor Paper(255, 255, 255);
const QColor UsualBand(222, 244, 222);
const QColor UsualBar(110, 150, 215);
const QColor OutsideBar(235, 125, 70);
const QColor Grid(200, 200, 200);

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

struct LineMark
{
    int days;
    QString name;
    Qt::PenStyle style;
    QColor colour;
    double y = 0;
};

} // namespace

double useLogicalUnits(QPainter &painter)
{
    const double scale = painter.device()->logicalDpiX() / LogicalUnitsPerInch;
    painter.scale(scale, painter.device()->logicalDpiY() / LogicalUnitsPerInch);
    return scale;
}

CycleChart::CycleChart(const CycleHistory &history, const CycleStatistics &stats, QStringList families)
    : m_starts(history.firstDays)
    , m_lengths(history.cycleLengths())
    , m_stats(stats)
    , m_families(std::move(families))
{
}

double CycleChart::widthFor(int count, double slot)
{
    return LeftMargin + slot * std::max(count, 1) + RightMargin;
}

int CycleChart::cyclesFitting(double width, double slot)
{
    return std::max(1, int((width - LeftMargin - RightMargin) / slot));
}

void CycleChart::draw(QPainter &painter, const QRectF &area, int first, int count, double slot,
                      const QRectF &exposed) const
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
    x = std::max(x, area.left() + LeftMargin);
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

    const QRectF plot(area.left() + LeftMargin, area.top() + LegendHeight + TopRoom,
                      std::max(1.0, area.width() - LeftMargin - RightMargin),
                      std::max(1.0, area.height() - LegendHeight - TopRoom - LabelHeight));
    // Days from 0 up to a multiple of 10 above both the longest cycle and the usual range.
    const int top = (std::max(m_stats.longest, UsualCycleMax) / 10 + 1) * 10;
    const auto yOf = [&](double days) { return plot.bottom() - plot.height() * days / top; };

    painter.fillRect(QRectF(plot.left(), yOf(UsualCycleMax), plot.width(), yOf(UsualCycleMin) - yOf(UsualCycleMax)),
                     UsualBand);
    painter.setFont(chartFont(m_families, 10));
    const int step = top <= 60 ? 10 : top <= 150 ? 20 : 50;
    for (int days = 0; days <= top; days += step) {
        painter.setPen(QPen(Grid, 0.5));
        painter.drawLine(QPointF(plot.left(), yOf(days)), QPointF(plot.right(), yOf(days)));
        painter.setPen(Ink);
        painter.drawText(QRectF(area.left(), yOf(days) - 8, LeftMargin - 6, 16), Qt::AlignRight | Qt::AlignVCenter,
                         QString::number(days));
    }

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
        painter.fillRect(bar, isUsual(length) ? UsualBar : OutsideBar);
        if (!isUsual(length)) {
            painter.fillRect(bar, QBrush(Ink, Qt::BDiagPattern));
        }
        painter.setFont(labelFont);
        painter.drawText(QRectF(left, bar.top() - 15, slot, 14), Qt::AlignHCenter | Qt::AlignBottom,
                         QString::number(length));
        painter.drawText(QRectF(left, plot.bottom() + 3, slot, 14), Qt::AlignHCenter | Qt::AlignTop,
                         monthText(m_starts[i]));
    }
    painter.setPen(QPen(Ink, 1));
    painter.drawLine(plot.bottomLeft(), plot.bottomRight());
    painter.drawLine(plot.bottomLeft(), plot.topLeft());

    if (cycleCount() > 0) {
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
    return text;
}

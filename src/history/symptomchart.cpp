#include "symptomchart.h"

#include "historyfont.h"

#include "periodobservations.h"

#include <QFont>
#include <QPainter>

namespace {

const QColor Ink(0, 0, 0);
const QColor Paper(255, 255, 255);
const QColor Full(176, 36, 96);
const QColor Grid(200, 200, 200);
const QColor FirstDayLine(60, 60, 60);

// White for none of her cycles to Full for all of them.
QColor shade(int count, int cycles)
{
    const double share = cycles > 0 ? double(count) / cycles : 0;
    const auto mix = [share](int paper, int full) { return int(paper + (full - paper) * share + 0.5); };
    return QColor(mix(Paper.red(), Full.red()), mix(Paper.green(), Full.green()), mix(Paper.blue(), Full.blue()));
}

QString rowName(const SymptomRow &row)
{
    return row.token.isEmpty() ? QStringLiteral("痛み") : symptomCaption(row.token);
}

} // namespace

SymptomChart::SymptomChart(SymptomPattern pattern, QStringList families)
    : m_pattern(std::move(pattern))
    , m_families(std::move(families))
{
}

double SymptomChart::height() const
{
    return HeaderHeight + RowHeight * double(m_pattern.rows.size()) + FooterHeight;
}

void SymptomChart::draw(QPainter &painter, const QRectF &area) const
{
    painter.save();
    const QRectF whole(area.topLeft(), QSizeF(width(), height()));
    painter.fillRect(whole, Paper);
    painter.setPen(Ink);
    if (m_pattern.cycles == 0) {
        painter.setFont(historyFont(m_families, 12));
        painter.drawText(whole, Qt::AlignCenter, rowSummaries().value(0));
        painter.restore();
        return;
    }
    const double left = area.left() + LabelWidth;
    const double top = area.top() + HeaderHeight;
    const double firstDayX = left + PatternDaysBefore * CellWidth;

    painter.setFont(historyFont(m_families, 11));
    painter.drawText(QRectF(left, area.top(), PatternDaysBefore * CellWidth, 16), Qt::AlignCenter,
                     QStringLiteral("生理の前 (日前)"));
    painter.drawText(QRectF(firstDayX, area.top(), (PatternDaysAfter + 1) * CellWidth, 16), Qt::AlignCenter,
                     QStringLiteral("生理 (日目)"));
    painter.setFont(historyFont(m_families, 10));
    for (int c = 0; c < PatternColumns; ++c) {
        const int day = c - PatternDaysBefore;
        painter.drawText(QRectF(left + c * CellWidth, area.top() + 16, CellWidth, 18), Qt::AlignCenter,
                         QString::number(day < 0 ? -day : day + 1));
    }

    for (qsizetype r = 0; r < m_pattern.rows.size(); ++r) {
        const SymptomRow &row = m_pattern.rows[r];
        const double y = top + double(r) * RowHeight;
        painter.setPen(Ink);
        painter.setFont(historyFont(m_families, 11));
        painter.drawText(QRectF(area.left() + 4, y, LabelWidth - 8, RowHeight), Qt::AlignLeft | Qt::AlignVCenter,
                         rowName(row));
        for (int c = 0; c < PatternColumns; ++c) {
            painter.fillRect(QRectF(left + c * CellWidth, y, CellWidth, RowHeight),
                             shade(row.counts.value(c), m_pattern.cycles));
        }
    }
    const double bottom = top + double(m_pattern.rows.size()) * RowHeight;
    painter.setPen(QPen(Grid, 0.5));
    for (int c = 0; c <= PatternColumns; ++c) {
        painter.drawLine(QPointF(left + c * CellWidth, top), QPointF(left + c * CellWidth, bottom));
    }
    for (qsizetype r = 0; r <= m_pattern.rows.size(); ++r) {
        const double y = top + double(r) * RowHeight;
        painter.drawLine(QPointF(left, y), QPointF(left + PatternColumns * CellWidth, y));
    }
    painter.setPen(QPen(FirstDayLine, 1.5));
    painter.drawLine(QPointF(firstDayX, area.top() + 16), QPointF(firstDayX, bottom));

    // The scale: a few shades with the share they stand for.
    painter.setPen(Ink);
    painter.setFont(historyFont(m_families, 10));
    double x = left;
    painter.drawText(QRectF(area.left() + 4, bottom + 3, LabelWidth - 8, 14), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("%1周期のうち").arg(m_pattern.cycles));
    for (const int percent : {0, 25, 50, 75, 100}) {
        painter.fillRect(QRectF(x, bottom + 5, 12, 10), shade(percent, 100));
        painter.setPen(QPen(Grid, 0.5));
        painter.drawRect(QRectF(x, bottom + 5, 12, 10));
        painter.setPen(Ink);
        painter.drawText(QRectF(x + 15, bottom + 3, 44, 14), Qt::AlignLeft | Qt::AlignVCenter,
                         QStringLiteral("%1%").arg(percent));
        x += 56;
    }
    painter.restore();
}

std::pair<int, int> SymptomChart::cellAt(const QRectF &area, const QPointF &point) const
{
    const double dx = point.x() - area.left() - LabelWidth;
    const double dy = point.y() - area.top() - HeaderHeight;
    if (m_pattern.cycles == 0 || dx < 0 || dy < 0) {
        return {-1, -1};
    }
    const int column = int(dx / CellWidth);
    const int row = int(dy / RowHeight);
    if (column >= PatternColumns || row >= m_pattern.rows.size()) {
        return {-1, -1};
    }
    return {row, column};
}

QString SymptomChart::cellText(int row, int column) const
{
    if (row < 0 || row >= m_pattern.rows.size() || column < 0 || column >= PatternColumns) {
        return QString();
    }
    const SymptomRow &cells = m_pattern.rows[row];
    return QStringLiteral("%1 %2: %3回中%4回")
        .arg(rowName(cells), patternDayText(column))
        .arg(m_pattern.cycles)
        .arg(cells.counts.value(column));
}

QStringList SymptomChart::rowSummaries() const
{
    if (m_pattern.cycles == 0) {
        return {QStringLiteral("症状の記録がある周期はまだありません")};
    }
    QStringList lines = {QStringLiteral("直近%1周期の症状 (生理の14日前から生理の8日目まで)").arg(m_pattern.cycles)};
    for (const SymptomRow &row : m_pattern.rows) {
        lines.append(symptomRowSummary(row, m_pattern.cycles));
    }
    return lines;
}

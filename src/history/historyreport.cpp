#include "historyreport.h"

#include "datetext.h"
#include "errors.h"
#include "historyfont.h"
#include "temperaturechart.h"

#include <QBuffer>
#include <QFont>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>

namespace {

const QColor Ink(0, 0, 0);
const QColor Paper(255, 255, 255);
const QColor Shade(235, 235, 235);

// Left edges of the table's columns, from the left of the area.
constexpr double ColumnX[] = {8, 120, 220};
constexpr double MemoTextX = 96;

bool isHalfWidth(char32_t c)
{
    return c < 0x1100 || (c >= 0xFF61 && c <= 0xFFDC);
}

} // namespace

QStringList wrapMemoText(const QString &text, int columns)
{
    QStringList lines;
    QString memo = text;
    memo.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    for (const QString &paragraph : memo.split(u'\n')) {
        QString line;
        int used = 0;
        for (const char32_t c : paragraph.toUcs4()) {
            const int width = isHalfWidth(c) ? 1 : 2;
            if (used + width > columns && !line.isEmpty()) {
                lines.append(line);
                line.clear();
                used = 0;
            }
            line += QString::fromUcs4(&c, 1);
            used += width;
        }
        lines.append(line);
    }
    return lines;
}

HistoryReport::HistoryReport(const CycleHistory &history, const CycleStatistics &stats, const QDate &printed,
                             bool withMemos, QStringList families, QSet<QDate> excluded)
    : m_stats(stats)
    , m_printed(printed)
    , m_families(std::move(families))
    , m_chart(history, stats, m_families, excluded)
    , m_period(cycleRecords(history.firstDays, history.dayRecords, excluded),
               symptomPattern(history.firstDays, history.dayRecords, excluded), m_families)
{
    using Kind = Line::Kind;
    m_lines.append(
        {Kind::TableHeader, {QStringLiteral("開始日"), QStringLiteral("周期(日)"), QStringLiteral("メモの日数")}});
    for (const HistoryRow &row : historyRows(history)) {
        m_lines.append({Kind::Row, {row.firstDay, row.length, QString::number(row.memoDays)}});
    }
    if (!withMemos || history.firstDays.isEmpty()) {
        return;
    }
    // The memos of the registered span: from the oldest first day on.
    auto memo = history.memos.lowerBound(history.firstDays.first());
    if (memo == history.memos.end()) {
        return;
    }
    m_lines.append({Kind::Gap, {}});
    m_lines.append({Kind::MemoHeading, {QStringLiteral("メモ")}});
    for (; memo != history.memos.end(); ++memo) {
        const QStringList wrapped = wrapMemoText(memo.value(), MemoColumns);
        for (qsizetype i = 0; i < wrapped.size(); ++i) {
            m_lines.append({Kind::Memo, {i == 0 ? formatDateText(memo.key()) : QString(), wrapped[i]}});
        }
    }
}

QList<HistoryReport::Page> HistoryReport::paginate(const QSizeF &pageSize) const
{
    const auto capacity = [&](bool firstPage) {
        const double room = pageSize.height() - FooterHeight - (firstPage ? HeadHeight : 0);
        return std::max<qsizetype>(2, qsizetype(room / LineHeight));
    };
    QList<Page> pages;
    qsizetype next = 0;
    do {
        Page page;
        page.firstLine = next;
        qsizetype room = capacity(pages.isEmpty());
        page.repeatHeader = next < m_lines.size() && m_lines[next].kind == Line::Kind::Row;
        if (page.repeatHeader) {
            --room;
        }
        // A page never starts with the gap before the memos.
        if (next < m_lines.size() && m_lines[next].kind == Line::Kind::Gap) {
            page.firstLine = ++next;
        }
        page.lineCount = std::min(room, m_lines.size() - next);
        next += page.lineCount;
        pages.append(page);
    } while (next < m_lines.size());
    return pages;
}

void HistoryReport::drawHead(QPainter &painter, const QRectF &area) const
{
    painter.setFont(historyFont(m_families, 22, true));
    painter.drawText(QRectF(area.left(), area.top(), area.width(), 32), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("生理の履歴"));
    painter.setFont(historyFont(m_families, 12));
    painter.drawText(QRectF(area.left(), area.top(), area.width(), 32), Qt::AlignRight | Qt::AlignVCenter,
                     QStringLiteral("印刷日 ") + formatDateText(m_printed));
    painter.drawLine(QPointF(area.left(), area.top() + 36), QPointF(area.right(), area.top() + 36));

    // The statistics in two columns of four.
    const QList<std::pair<QString, QString>> texts = statisticsTexts(m_stats);
    const double half = area.width() / 2;
    for (qsizetype i = 0; i < texts.size(); ++i) {
        const double x = area.left() + (i / 4) * half + 8;
        const double y = area.top() + 44 + (i % 4) * 20;
        painter.drawText(QRectF(x, y, half * 0.62, 20), Qt::AlignLeft | Qt::AlignVCenter, texts[i].first);
        painter.drawText(QRectF(x + half * 0.62, y, half * 0.34, 20), Qt::AlignRight | Qt::AlignVCenter,
                         texts[i].second);
    }

    const int count = m_chart.cycleCount();
    const int shown = std::min(count, CycleChart::cyclesFitting(area.width(), CycleChart::PaperSlot));
    const double chartTop = area.top() + 44 + 4 * 20 + 12;
    if (count == 0) {
        painter.drawText(QRectF(area.left(), chartTop, area.width(), CycleChart::Height), Qt::AlignCenter,
                         QStringLiteral("データーが足りません。"));
        return;
    }
    m_chart.draw(painter, QRectF(area.left(), chartTop, area.width(), CycleChart::Height), count - shown, shown,
                 CycleChart::PaperSlot);
    if (shown < count) {
        painter.setFont(historyFont(m_families, 10));
        painter.drawText(QRectF(area.left(), chartTop + CycleChart::Height, area.width(), 14),
                         Qt::AlignRight | Qt::AlignTop,
                         QStringLiteral("グラフは直近%1周期 (全%2周期)").arg(shown).arg(count));
    }
}

void HistoryReport::drawLine(QPainter &painter, const Line &line, double top, const QRectF &area) const
{
    using Kind = Line::Kind;
    const QRectF band(area.left(), top, area.width(), LineHeight);
    switch (line.kind) {
    case Kind::Gap:
        return;
    case Kind::MemoHeading:
        painter.setFont(historyFont(m_families, 13, true));
        painter.drawText(band, Qt::AlignLeft | Qt::AlignVCenter, line.cells.value(0));
        return;
    case Kind::Memo:
        painter.setFont(historyFont(m_families, 10));
        painter.drawText(band.adjusted(ColumnX[0], 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, line.cells.value(0));
        painter.drawText(band.adjusted(MemoTextX, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, line.cells.value(1));
        return;
    case Kind::TableHeader:
        painter.fillRect(band, Shade);
        painter.setFont(historyFont(m_families, 11, true));
        break;
    case Kind::Row:
        painter.setFont(historyFont(m_families, 11));
        break;
    }
    for (qsizetype c = 0; c < line.cells.size() && c < qsizetype(std::size(ColumnX)); ++c) {
        painter.drawText(band.adjusted(ColumnX[c], 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, line.cells[c]);
    }
    painter.setPen(QPen(Shade, 0.5));
    painter.drawLine(band.bottomLeft(), band.bottomRight());
    painter.setPen(Ink);
}

void HistoryReport::drawPage(QPainter &painter, const QRectF &area, const QList<Page> &pages, qsizetype p) const
{
    painter.save();
    painter.fillRect(area, Paper);
    painter.setPen(Ink);
    double top = area.top();
    if (p == 0) {
        drawHead(painter, area);
        top += HeadHeight;
    }
    const Page &page = pages[p];
    if (page.repeatHeader) {
        drawLine(painter, m_lines.first(), top, area);
        top += LineHeight;
    }
    for (qsizetype i = page.firstLine; i < page.firstLine + page.lineCount; ++i) {
        drawLine(painter, m_lines[i], top, area);
        top += LineHeight;
    }
    drawFooter(painter, area, p, pages.size());
    painter.restore();
}

void HistoryReport::drawFooter(QPainter &painter, const QRectF &area, qsizetype page, qsizetype pageCount) const
{
    painter.save();
    painter.setFont(historyFont(m_families, 10));
    painter.drawText(
        QRectF(area.left(), area.bottom() - FooterHeight + 8, area.width(), FooterHeight - 8),
        Qt::AlignHCenter | Qt::AlignVCenter,
        QStringLiteral("%1 / %2").arg(page + 1).arg(pageCount + periodPageCount(area) + temperaturePageCount()));
    painter.restore();
}

qsizetype HistoryReport::periodPageCount(const QRectF &area) const
{
    return m_period.pageCount(area.height() - FooterHeight);
}

void HistoryReport::drawPeriodPage(QPainter &painter, const QRectF &area, const QList<Page> &pages, qsizetype m) const
{
    painter.save();
    painter.fillRect(area, Paper);
    m_period.drawPage(painter, QRectF(area.topLeft(), QSizeF(area.width(), area.height() - FooterHeight)), m);
    drawFooter(painter, area, pages.size() + m, pages.size());
    painter.restore();
}

void HistoryReport::addTemperaturePages(const QList<CycleTemperature> &cycles, const QList<FertilityResult> &bodies)
{
    m_temperature = reportedTemperatureCycles(cycles);
    m_bodies = bodies;
}

qsizetype HistoryReport::temperaturePageCount() const
{
    return temperatureReportPageCount(m_temperature.size());
}

void HistoryReport::drawTemperaturePage(QPainter &painter, const QRectF &area, const QList<Page> &pages,
                                        qsizetype t) const
{
    drawTemperatureReportPage(painter, area, m_temperature, t, m_families, m_bodies);
    drawFooter(painter, area, pages.size() + periodPageCount(area) + t, pages.size());
}

void paintReport(QPagedPaintDevice &device, const HistoryReport &report)
{
    device.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(15, 15, 15, 15),
                                     QPageLayout::Millimeter));
    QPainter painter;
    if (!painter.begin(&device)) {
        throw EReportError(QStringLiteral("印刷を開始できません。"));
    }
    const double scale = useLogicalUnits(painter);
    const QRectF area(0, 0, device.width() / scale, device.height() * LogicalUnitsPerInch / device.logicalDpiY());
    const QList<HistoryReport::Page> pages = report.paginate(area.size());
    for (qsizetype p = 0; p < pages.size(); ++p) {
        if (p > 0) {
            device.newPage();
        }
        report.drawPage(painter, area, pages, p);
    }
    for (qsizetype m = 0; m < report.periodPageCount(area); ++m) {
        device.newPage();
        report.drawPeriodPage(painter, area, pages, m);
    }
    for (qsizetype t = 0; t < report.temperaturePageCount(); ++t) {
        device.newPage();
        report.drawTemperaturePage(painter, area, pages, t);
    }
}

void writeReportPdf(const QString &path, const HistoryReport &report)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setTitle(QStringLiteral("生理の履歴"));
        writer.setCreator(QStringLiteral("Easy VELUNA"));
        writer.setResolution(600);
        paintReport(writer, report);
    }
    writePrivateFile(path, buffer.data());
}

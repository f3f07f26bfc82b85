#include "temperaturechart.h"

#include "datetext.h"
#include "temperaturefile.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {

const QColor Ink(0, 0, 0);
const QColor Paper(255, 255, 255);
const QColor MinorGrid(228, 228, 228);
const QColor MajorGrid(180, 180, 180);
const QColor HighPhase(255, 228, 236);
const QColor Period(214, 40, 57);
const QColor Reading(32, 64, 160);
const QColor Cover(0, 128, 96);
const QColor FertileBand(46, 150, 80);
const QColor PositiveTest(170, 0, 100);

constexpr double LeftMargin = 44;
constexpr double BottomMargin = 54; // day numbers, dates and the legend
constexpr double TopMargin = 8;
constexpr double FigureColumn = 170;
constexpr double BodyRows = 32; // the mucus letters and the second legend line, when her body's signs are drawn

QFont chartFont(const QStringList &families, double pixels, bool bold = false)
{
    // The Japanese design fonts draw "." at these sizes so small that 36.5 reads like 36,5; the figures
    // take a face whose point stands clear, the Japanese text falls through to the families given.
    QFont font;
    font.setFamilies(QStringList{QStringLiteral("DejaVu Sans")} + families);
    font.setPixelSize(std::max(1, int(std::lround(pixels))));
    font.setBold(bold);
    return font;
}

QString degreesText(int centi)
{
    return formatCentiDegrees(centi) + QStringLiteral("℃");
}

QString shortDate(const QDate &date)
{
    return QStringLiteral("%1/%2").arg(date.month()).arg(date.day());
}

// A legend line drawn from the left: each mark at x, then its label, which moves x on past both.
struct LegendLine
{
    LegendLine(QPainter &on, const QRectF &area, const QStringList &families)
        : painter(on)
        , line(area)
        , metrics(fontOf(on, chartFont(families, 10)))
        , mid(area.center().y())
        , x(area.left())
    {
    }

    void label(const QString &text)
    {
        painter.setPen(Ink);
        painter.drawText(QRectF(x, line.top(), metrics.horizontalAdvance(text) + 2, line.height()),
                         Qt::AlignLeft | Qt::AlignVCenter, text);
        x += metrics.horizontalAdvance(text) + 14;
    }

    // The font as the painter holds it, bound to its device: the metrics then measure for that device.
    static QFont fontOf(QPainter &painter, const QFont &font)
    {
        painter.setFont(font);
        return painter.font();
    }

    QPainter &painter;
    const QRectF line;
    const QFontMetricsF metrics;
    const double mid; // the marks' vertical centre
    double x;
};

// One line under the dates: what the cover line, the shading, the ring and the hollow marks mean, each
// mark drawn as in the chart.
void drawLegend(QPainter &painter, const QRectF &line, double dot, const QStringList &families)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    LegendLine legend(painter, line, families);
    painter.setPen(QPen(Cover, 1.5));
    painter.drawLine(QPointF(legend.x, legend.mid), QPointF(legend.x + 18, legend.mid));
    legend.x += 22;
    legend.label(QStringLiteral("カバーライン"));
    painter.fillRect(QRectF(legend.x, legend.mid - 5, 14, 10), HighPhase);
    legend.x += 18;
    legend.label(QStringLiteral("高温期"));
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Cover, 1.5));
    painter.drawEllipse(QPointF(legend.x + 7, legend.mid), 6, 6);
    legend.x += 18;
    legend.label(QStringLiteral("最初の高温"));
    painter.setPen(QPen(Reading, 1.5));
    painter.setBrush(Paper);
    const QPointF mark(legend.x + 5, legend.mid);
    painter.drawEllipse(mark, dot, dot);
    painter.drawLine(mark + QPointF(-dot, -dot), mark + QPointF(dot, dot));
    legend.x += 14;
    legend.label(QStringLiteral("除外した体温"));
    painter.restore();
}

// The second legend line: the fertile band, the boxed peak and the positive test's line.
void drawBodyLegend(QPainter &painter, const QRectF &line, const QStringList &families)
{
    painter.save();
    LegendLine legend(painter, line, families);
    painter.fillRect(QRectF(legend.x, legend.mid - 3, 18, 6), FertileBand);
    legend.x += 22;
    legend.label(QStringLiteral("妊娠しやすい時期 (からだのサイン)"));
    painter.setPen(QPen(Ink, 1));
    painter.drawRect(QRectF(legend.x, legend.mid - 6, 14, 12));
    legend.x += 18;
    legend.label(QStringLiteral("おりもののピーク"));
    painter.setPen(QPen(PositiveTest, 1.5, Qt::DashLine));
    painter.drawLine(QPointF(legend.x + 5, legend.mid - 6), QPointF(legend.x + 5, legend.mid + 6));
    legend.x += 12;
    legend.label(QStringLiteral("排卵検査薬 陽性"));
    painter.restore();
}

} // namespace

QString mucusLetter(int mucus)
{
    static const QString letters[] = {QStringLiteral("t"), QStringLiteral("Ø"), QStringLiteral("f"),
                                      QStringLiteral("S"), QStringLiteral("S+")};
    return letters[std::clamp(mucus, MinMucus, MaxMucus)];
}

std::pair<int, int> temperatureScale(const CycleTemperature &cycle)
{
    int low = 3580;
    int high = 3740;
    for (const TemperatureReading &r : cycle.readings) {
        low = std::min(low, r.centiDegrees / 10 * 10);
        high = std::max(high, (r.centiDegrees + 9) / 10 * 10);
    }
    return {low, high};
}

QList<std::pair<QString, QString>> temperatureFigureTexts(const CycleTemperature &cycle,
                                                          const TemperatureChartFigures &figures)
{
    const QString none = QStringLiteral("－");
    QList<std::pair<QString, QString>> texts;
    texts.append({QStringLiteral("周期"), QStringLiteral("%1〜%2（%3日%4）")
                                              .arg(formatDateText(cycle.start), shortDate(cycle.end))
                                              .arg(cycle.lengthDays())
                                              .arg(cycle.closed ? QString() : QStringLiteral("目"))});
    texts.append({QStringLiteral("低温期平均"), cycle.lowMean ? degreesText(*cycle.lowMean) : none});
    texts.append({QStringLiteral("高温期平均"), cycle.highMean ? degreesText(*cycle.highMean) : none});
    texts.append(
        {QStringLiteral("差"), cycle.lowMean && cycle.highMean ? degreesText(*cycle.highMean - *cycle.lowMean) : none});
    texts.append(
        {QStringLiteral("高温期の日数"), cycle.shift.confirmed ? QStringLiteral("%1日").arg(cycle.highDays) : none});
    if (cycle.shift.confirmed) {
        texts.append({QStringLiteral("体温の上昇"),
                      QStringLiteral("%1（カバーライン %2）")
                          .arg(shortDate(cycle.shift.riseDay), degreesText(cycle.shift.coverLine))});
        texts.append({QStringLiteral("推定排卵日"), shortDate(cycle.ovulation)});
    } else {
        texts.append({QStringLiteral("体温の上昇"), QStringLiteral("まだ確かめられていません")});
    }
    if (figures.bodyNextStart) {
        texts.append({QStringLiteral("体温から見た予定日"), formatDateText(*figures.bodyNextStart)});
    }
    if (figures.calendarNextStart) {
        texts.append({QStringLiteral("暦から見た予定日"), formatDateText(*figures.calendarNextStart)});
    }
    if (figures.body && figures.body->fertileFrom.isValid()) {
        texts.append({QStringLiteral("妊娠しやすい時期 (からだのサイン)"),
                      shortDate(figures.body->fertileFrom) + QStringLiteral("〜") +
                          (figures.body->fertileUntil.isValid() ? shortDate(figures.body->fertileUntil) : QString())});
    }
    return texts;
}

void drawTemperatureChart(QPainter &painter, const QRectF &area, const CycleTemperature &cycle,
                          const QStringList &families, const TemperatureChartFigures &figures)
{
    painter.save();
    painter.fillRect(area, Paper);
    const double bottomMargin = BottomMargin + (figures.body ? BodyRows : 0);
    const QRectF plot(area.left() + LeftMargin, area.top() + TopMargin,
                      std::max(40.0, area.width() - LeftMargin - FigureColumn - 8),
                      std::max(40.0, area.height() - TopMargin - bottomMargin));
    const auto [low, high] = temperatureScale(cycle);
    const int days = std::max(cycle.lengthDays(), cycle.closed ? 1 : 28);
    const double dayWidth = plot.width() / days;
    const auto xOf = [&](const QDate &date) { return plot.left() + (cycle.start.daysTo(date) + 0.5) * dayWidth; };
    const auto yOf = [&](int centi) { return plot.bottom() - (centi - low) * plot.height() / (high - low); };

    // The high phase from the rise day, behind everything else.
    if (cycle.shift.confirmed) {
        const double left = xOf(cycle.shift.riseDay) - dayWidth / 2;
        painter.fillRect(QRectF(left, plot.top(), xOf(cycle.end) + dayWidth / 2 - left, plot.height()), HighPhase);
    }
    // The registered first day.
    painter.fillRect(QRectF(plot.left(), plot.bottom() - 6, dayWidth, 6), Period);
    // Her body's fertile phase as a band along the top, to the evening it ended (or the cycle's end).
    if (figures.body && figures.body->fertileFrom.isValid()) {
        const QDate until = figures.body->fertileUntil.isValid() ? figures.body->fertileUntil : cycle.end;
        const double left = xOf(figures.body->fertileFrom) - dayWidth / 2;
        painter.fillRect(QRectF(left, plot.top(), xOf(until) + dayWidth / 2 - left, 6), FertileBand);
    }

    painter.setFont(chartFont(families, 10));
    const QFontMetricsF metrics(painter.font());
    for (int centi = low; centi <= high; centi += 5) {
        const bool major = centi % 10 == 0;
        painter.setPen(QPen(major ? MajorGrid : MinorGrid, 0));
        painter.drawLine(QPointF(plot.left(), yOf(centi)), QPointF(plot.right(), yOf(centi)));
        if (major) {
            painter.setPen(Ink);
            painter.drawText(QRectF(area.left(), yOf(centi) - 8, LeftMargin - 4, 16), Qt::AlignRight | Qt::AlignVCenter,
                             formatCentiDegrees(centi).chopped(1));
        }
    }
    // Day numbers and dates, as many as fit without touching.
    const double labelWidth = metrics.horizontalAdvance(QStringLiteral("12/31")) + 4;
    const int step = std::max(1, int(std::ceil(labelWidth / dayWidth)));
    painter.setPen(Ink);
    for (int d = 0; d < days; d += step) {
        const QDate date = cycle.start.addDays(d);
        const double x = plot.left() + (d + 0.5) * dayWidth;
        painter.drawText(QRectF(x - labelWidth / 2, plot.bottom() + 2, labelWidth, 16), Qt::AlignCenter,
                         QString::number(d + 1));
        painter.drawText(QRectF(x - labelWidth / 2, plot.bottom() + 17, labelWidth, 16), Qt::AlignCenter,
                         shortDate(date));
    }
    // The mucus letters under the dates, the peak boxed; positive tests as a dashed line through the plot.
    const double textRow = plot.bottom() + 34;
    if (figures.body) {
        for (auto it = figures.body->mucus.constBegin(); it != figures.body->mucus.constEnd(); ++it) {
            const QRectF box(xOf(it.key()) - dayWidth / 2, textRow, dayWidth, 15);
            painter.setPen(Ink);
            painter.drawText(box, Qt::AlignCenter, mucusLetter(it.value()));
            if (it.key() == figures.body->mucusPeak) {
                painter.drawRect(box.adjusted(1, 1, -1, -1));
            }
        }
        painter.setPen(QPen(PositiveTest, 1.5, Qt::DashLine));
        for (const QDate &day : figures.body->positiveTests) {
            painter.drawLine(QPointF(xOf(day), plot.top()), QPointF(xOf(day), plot.bottom()));
        }
    }
    painter.setPen(QPen(MajorGrid, 0));
    painter.drawRect(plot);

    if (cycle.shift.firstHigher) {
        QPen pen(Cover, 1.5, cycle.shift.confirmed ? Qt::SolidLine : Qt::DashLine);
        painter.setPen(pen);
        painter.drawLine(QPointF(plot.left(), yOf(cycle.shift.coverLine)),
                         QPointF(plot.right(), yOf(cycle.shift.coverLine)));
    }

    // Readings: dots joined only across consecutive days; readings left out drawn hollow, off the line.
    const double dot = std::clamp(dayWidth * 0.35, 2.5, 4.0);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Reading, 1.5));
    const TemperatureReading *previous = nullptr;
    for (const TemperatureReading &r : cycle.readings) {
        if (r.excluded) {
            continue;
        }
        if (previous != nullptr && previous->date.daysTo(r.date) == 1) {
            painter.drawLine(QPointF(xOf(previous->date), yOf(previous->centiDegrees)),
                             QPointF(xOf(r.date), yOf(r.centiDegrees)));
        }
        previous = &r;
    }
    for (const TemperatureReading &r : cycle.readings) {
        const QPointF at(xOf(r.date), yOf(r.centiDegrees));
        painter.setPen(QPen(Reading, 1.5));
        painter.setBrush(r.excluded ? QBrush(Paper) : QBrush(Reading));
        painter.drawEllipse(at, dot, dot);
        if (r.excluded) {
            painter.drawLine(at + QPointF(-dot, -dot), at + QPointF(dot, dot));
        }
    }
    if (cycle.shift.firstHigher) {
        const auto reading = std::find_if(cycle.readings.begin(), cycle.readings.end(),
                                          [&](const auto &r) { return r.date == *cycle.shift.firstHigher; });
        if (reading != cycle.readings.end()) {
            painter.setBrush(Qt::NoBrush);
            painter.setPen(QPen(Cover, 1.5));
            painter.drawEllipse(QPointF(xOf(reading->date), yOf(reading->centiDegrees)), dot * 2.2, dot * 2.2);
        }
    }
    painter.setRenderHint(QPainter::Antialiasing, false);
    drawLegend(painter, QRectF(plot.left(), plot.bottom() + 36 + (figures.body ? 16 : 0), plot.width(), 16), dot,
               families);
    if (figures.body) {
        drawBodyLegend(painter, QRectF(plot.left(), plot.bottom() + 52 + 16, plot.width(), 16), families);
    }

    // The figures and notes.
    const QRectF column(area.right() - FigureColumn, area.top() + TopMargin, FigureColumn, area.height());
    double y = column.top();
    painter.setPen(Ink);
    for (const auto &[label, value] : temperatureFigureTexts(cycle, figures)) {
        painter.setFont(chartFont(families, 10));
        painter.drawText(QRectF(column.left(), y, column.width(), 14), Qt::AlignLeft | Qt::AlignVCenter, label);
        painter.setFont(chartFont(families, 11, true));
        painter.drawText(QRectF(column.left() + 8, y + 13, column.width() - 8, 15), Qt::AlignLeft | Qt::AlignVCenter,
                         value);
        y += 30;
    }
    painter.setFont(chartFont(families, 10, true));
    painter.setPen(Period);
    for (const QString &note : cycle.notes) {
        const QRectF box(column.left(), y, column.width(), 28);
        painter.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, QStringLiteral("● ") + note);
        y += 30;
    }
    painter.restore();
}

QString temperatureChartSummary(const CycleTemperature &cycle, const TemperatureChartFigures &figures)
{
    int counted = 0;
    for (const TemperatureReading &r : cycle.readings) {
        counted += r.excluded ? 0 : 1;
    }
    QStringList parts;
    parts.append(QStringLiteral("基礎体温、%1から%2日間、測定%3日（除外%4日）")
                     .arg(formatDateText(cycle.start))
                     .arg(cycle.lengthDays())
                     .arg(cycle.readings.size())
                     .arg(cycle.readings.size() - counted));
    for (const auto &[label, value] : temperatureFigureTexts(cycle, figures).mid(1)) {
        parts.append(label + QStringLiteral(" ") + value);
    }
    if (figures.body) {
        if (figures.body->mucusPeak.isValid()) {
            parts.append(QStringLiteral("おりもののピーク ") + shortDate(figures.body->mucusPeak));
        }
        for (const QDate &day : figures.body->positiveTests) {
            parts.append(QStringLiteral("排卵検査薬 陽性 ") + shortDate(day));
        }
    }
    parts.append(cycle.notes);
    return parts.join(QStringLiteral("。")) + QStringLiteral("。");
}

QStringList temperatureReadingTexts(const CycleTemperature &cycle)
{
    QStringList texts;
    texts.reserve(cycle.readings.size());
    for (const TemperatureReading &r : cycle.readings) {
        texts.append(QStringLiteral("%1日目 %2 %3%4")
                         .arg(cycle.start.daysTo(r.date) + 1)
                         .arg(shortDate(r.date), formatCentiDegrees(r.centiDegrees),
                              r.excluded ? QStringLiteral("（除外）") : QString()));
    }
    return texts;
}

QList<CycleTemperature> reportedTemperatureCycles(const QList<CycleTemperature> &cycles)
{
    QList<CycleTemperature> reported;
    for (auto it = cycles.crbegin(); it != cycles.crend() && reported.size() < 12; ++it) {
        if (!it->readings.isEmpty()) {
            reported.append(*it);
        }
    }
    return reported;
}

qsizetype temperatureReportPageCount(qsizetype cycles)
{
    return (cycles + 1) / 2;
}

void drawTemperatureReportPage(QPainter &painter, const QRectF &area, const QList<CycleTemperature> &reported,
                               qsizetype page, const QStringList &families, const QList<FertilityResult> &bodies)
{
    constexpr double HeadingHeight = 30;
    constexpr double FooterRoom = 24;
    constexpr double TitleHeight = 20;
    constexpr int Columns = 5;
    constexpr double TextLine = 13;
    painter.save();
    painter.fillRect(area, Paper);
    painter.setPen(Ink);
    painter.setFont(chartFont(families, 16, true));
    painter.drawText(QRectF(area.left(), area.top(), area.width(), HeadingHeight), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("基礎体温表"));
    const double half = (area.height() - HeadingHeight - FooterRoom) / 2;
    for (qsizetype k = 0; k < 2 && page * 2 + k < reported.size(); ++k) {
        const CycleTemperature &cycle = reported[page * 2 + k];
        const double top = area.top() + HeadingHeight + k * half;
        painter.setPen(Ink);
        painter.setFont(chartFont(families, 12, true));
        painter.drawText(QRectF(area.left(), top, area.width(), TitleHeight), Qt::AlignLeft | Qt::AlignVCenter,
                         QStringLiteral("%1 からの周期").arg(formatDateText(cycle.start)));
        const QStringList texts = temperatureReadingTexts(cycle);
        const qsizetype rows = (texts.size() + Columns - 1) / Columns;
        const double chartHeight = std::max(150.0, half - TitleHeight - rows * TextLine - 12);
        TemperatureChartFigures figures;
        const auto body = std::find_if(bodies.begin(), bodies.end(),
                                       [&](const FertilityResult &b) { return b.start == cycle.start && b.speaks; });
        if (body != bodies.end()) {
            figures.body = *body;
        }
        drawTemperatureChart(painter, QRectF(area.left(), top + TitleHeight, area.width(), chartHeight), cycle,
                             families, figures);
        // The readings as text, column by column, so that a PDF reader and a screen reader get them too.
        painter.setPen(Ink);
        painter.setFont(chartFont(families, 9));
        const double columnWidth = area.width() / Columns;
        const double textTop = top + TitleHeight + chartHeight + 6;
        const qsizetype fitting = std::max<qsizetype>(1, qsizetype((top + half - textTop) / TextLine));
        for (qsizetype i = 0; i < texts.size(); ++i) {
            const qsizetype row = i % std::max(rows, qsizetype(1));
            const qsizetype col = i / std::max(rows, qsizetype(1));
            if (row >= fitting) {
                continue;
            }
            painter.drawText(QRectF(area.left() + col * columnWidth, textTop + row * TextLine, columnWidth, TextLine),
                             Qt::AlignLeft | Qt::AlignVCenter, texts[i]);
        }
    }
    painter.restore();
}

#include "periodreport.h"

#include "datetext.h"
#include "historyfont.h"

#include <QFont>
#include <QPainter>

namespace {

constexpr double LineHeight = 16;
constexpr double HeadingHeight = 30;

QString daysText(int days)
{
    return QString::number(days) + QStringLiteral("日");
}

QString bleedingText(const CycleRecord &cycle)
{
    QStringList parts;
    for (const Flow flow : {Flow::Heavy, Flow::Medium, Flow::Light, Flow::Spotting}) {
        if (const int days = cycle.flowDays[std::size_t(flow)]; days > 0) {
            parts << flowText(flow) + u' ' + daysText(days);
        }
    }
    return parts.isEmpty() ? QStringLiteral("記録なし") : parts.join(QStringLiteral("、"));
}

QString symptomsText(const CycleRecord &cycle)
{
    QStringList parts;
    for (const auto &[token, days] : cycle.symptoms) {
        parts << symptomCaption(token) + u' ' + daysText(days);
    }
    return parts.isEmpty() ? QStringLiteral("記録なし") : parts.join(QStringLiteral("、"));
}

} // namespace

double PeriodReport::Item::height() const
{
    switch (kind) {
    case Kind::Heading:
        return HeadingHeight;
    case Kind::Gap:
        return LineHeight / 2;
    case Kind::Chart:
        return 0; // the chart's own height, set by the report
    case Kind::Bold:
    case Kind::Text:
        break;
    }
    return LineHeight;
}

PeriodReport::PeriodReport(const QList<CycleRecord> &cycles, const SymptomPattern &pattern, QStringList families)
    : m_chart(pattern, families)
    , m_families(std::move(families))
{
    if (cycles.isEmpty()) {
        return;
    }
    using Kind = Item::Kind;
    m_items.append({Kind::Heading, QStringLiteral("月経の記録 (直近%1周期、新しい順)")
                                       .arg(std::min<qsizetype>(cycles.size(), RecentCycleCount))});
    for (qsizetype i = cycles.size() - 1; i >= 0 && i >= cycles.size() - RecentCycleCount; --i) {
        const CycleRecord &cycle = cycles[i];
        m_items.append({Kind::Bold, QStringLiteral("%1から  周期 %2  月経期間 %3%4")
                                        .arg(formatDateText(cycle.firstDay),
                                             cycle.length ? daysText(*cycle.length) : QStringLiteral("(続いている)"),
                                             periodDaysText(cycle.periodDays),
                                             cycle.leftOut ? QStringLiteral("  (計算に入れない)") : QString())});
        if (cycle.recordedDays == 0) {
            m_items.append({Kind::Text, QStringLiteral("    日々の記録なし")});
        } else {
            m_items.append({Kind::Text, QStringLiteral("    出血: %1").arg(bleedingText(cycle))});
            m_items.append({Kind::Text, QStringLiteral("    痛み: いちばん強い日 %1、鎮痛剤 %2")
                                            .arg(painText(cycle.strongestPain), daysText(cycle.painkillerDays))});
            m_items.append({Kind::Text, QStringLiteral("    症状: %1").arg(symptomsText(cycle))});
        }
        m_items.append({Kind::Gap, QString()});
    }

    m_items.append({Kind::Heading, QStringLiteral("目安との比較")});
    m_items.append({Kind::Text, QStringLiteral("目安: 周期 %1〜%2日 (長さの差%3日以内)、月経期間 %4〜%5日")
                                    .arg(UsualCycleMin)
                                    .arg(UsualCycleMax)
                                    .arg(UsualCycleSpread)
                                    .arg(UsualPeriodMin)
                                    .arg(UsualPeriodMax)});
    const QStringList observations = periodObservations(cycles);
    if (observations.isEmpty()) {
        m_items.append({Kind::Text, QStringLiteral("直近の周期に目安の範囲を外れたものはありません")});
    }
    for (const QString &observation : observations) {
        m_items.append({Kind::Text, observation});
    }
    m_items.append({Kind::Text, QStringLiteral("目安は診断ではありません。気になることは医師に相談してください。")});

    m_items.append({Kind::Heading, QStringLiteral("症状の傾向")});
    if (pattern.cycles > 0) {
        m_items.append({Kind::Chart, QString()});
    }
    for (const QString &line : m_chart.rowSummaries()) {
        m_items.append({Kind::Text, line});
    }
}

QList<QList<PeriodReport::Item>> PeriodReport::paginate(double height) const
{
    QList<QList<Item>> pages;
    double used = height;
    for (const Item &item : m_items) {
        const double needed = item.kind == Item::Kind::Chart ? m_chart.height() : item.height();
        // A heading stays with the line after it; a cycle's block starts on the page of its first line.
        const double keep = item.kind == Item::Kind::Heading ? LineHeight * 2 : 0;
        if (used + needed + keep > height) {
            if (item.kind == Item::Kind::Gap) {
                continue;
            }
            pages.append(QList<Item>());
            used = 0;
        }
        pages.last().append(item);
        used += needed;
    }
    return pages;
}

qsizetype PeriodReport::pageCount(double height) const
{
    return paginate(height).size();
}

void PeriodReport::drawPage(QPainter &painter, const QRectF &area, qsizetype page) const
{
    const QList<QList<Item>> pages = paginate(area.height());
    if (page < 0 || page >= pages.size()) {
        return;
    }
    painter.save();
    painter.fillRect(area, Qt::white);
    painter.setPen(Qt::black);
    double top = area.top();
    for (const Item &item : pages[page]) {
        const QRectF band(area.left(), top, area.width(), item.height());
        switch (item.kind) {
        case Item::Kind::Heading:
            painter.setFont(historyFont(m_families, 16, true));
            painter.drawText(band.adjusted(0, 4, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, item.text);
            break;
        case Item::Kind::Bold:
        case Item::Kind::Text:
            painter.setFont(historyFont(m_families, 11, item.kind == Item::Kind::Bold));
            painter.drawText(band.adjusted(8, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, item.text);
            break;
        case Item::Kind::Chart:
            m_chart.draw(painter, QRectF(area.left() + 8, top, m_chart.width(), m_chart.height()));
            top += m_chart.height();
            break;
        case Item::Kind::Gap:
            break;
        }
        top += item.height();
    }
    painter.restore();
}

#include "panelstatus.h"

#include "cyclewindows.h"

#include <QJsonValue>

QString panelClassName(PanelClass panelClass)
{
    switch (panelClass) {
    case PanelClass::Period:
        return QStringLiteral("period");
    case PanelClass::Late:
        return QStringLiteral("late");
    case PanelClass::Fertile:
        return QStringLiteral("fertile");
    case PanelClass::Pms:
        return QStringLiteral("pms");
    case PanelClass::Normal:
        break;
    }
    return QStringLiteral("normal");
}

PanelClass panelClass(const StatusReport &report)
{
    if (!report.firstDay) {
        return PanelClass::Normal;
    }
    if (*report.lateDays > 0) {
        return PanelClass::Late;
    }
    if (inThisPeriod(report)) {
        return PanelClass::Period;
    }
    if (report.pms && report.pms->first <= report.today && report.today <= report.pms->last) {
        return PanelClass::Pms;
    }
    // Her body's signs, once they say anything about this cycle, decide; otherwise the calendar rule.
    const QJsonValue phase = report.fertility.toObject().value(QStringLiteral("phase"));
    if (phase.isString()) {
        return phase.toString() == QStringLiteral("fertile") ? PanelClass::Fertile : PanelClass::Normal;
    }
    const DayWindow likely =
        computeCycleWindows(report.firstDay->toJulianDay(), *report.cycleLength, 0)[DayCategory::LikelyDays];
    if (*report.cycleDay >= 1 && likely.contains(report.today.toJulianDay())) {
        return PanelClass::Fertile;
    }
    return PanelClass::Normal;
}

QString shortStatus(const StatusReport &report, bool discreet)
{
    if (!report.firstDay) {
        return QStringLiteral("データなし");
    }
    if (*report.lateDays > 0) {
        return discreet ? QStringLiteral("予定") : QStringLiteral("%1日遅れ").arg(*report.lateDays);
    }
    if (inThisPeriod(report)) {
        return discreet ? QStringLiteral("予定") : QStringLiteral("生理%1日目").arg(*report.cycleDay);
    }
    // A first day registered ahead of today is the next one she expects.
    const QDate next = *report.cycleDay < 1 ? *report.firstDay : report.nextStart.value_or(QDate());
    if (!next.isValid()) {
        return QStringLiteral("データなし");
    }
    const qint64 daysLeft = report.today.daysTo(next);
    return daysLeft == 0 ? QStringLiteral("今日") : QStringLiteral("あと%1日").arg(daysLeft);
}

QJsonObject waybarJson(const StatusReport &report, bool discreet)
{
    const QString text = shortStatus(report, discreet);
    return QJsonObject{
        {QStringLiteral("text"), text},
        {QStringLiteral("tooltip"), discreet ? QStringLiteral("Easy VELUNA: ") + text : statusLine(report)},
        {QStringLiteral("class"), panelClassName(panelClass(report))},
    };
}

#include "statusreport.h"

#include "cyclestats.h"
#include "cyclewindows.h"
#include "datetext.h"
#include "jsondate.h"
#include "periodfile.h"
#include "periodobservations.h"
#include "settings.h"
#include "temperaturestatus.h"

#include <QJsonArray>

#include <algorithm>
#include <cmath>

namespace {

QJsonValue isoDate(const std::optional<QDate> &day)
{
    return day ? jsonDate(*day) : QJsonValue(QJsonValue::Null);
}

QJsonValue number(const std::optional<int> &value)
{
    return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

std::optional<QDate> validDate(const QDate &day)
{
    return day.isValid() ? std::optional<QDate>(day) : std::nullopt;
}

} // namespace

StatusReport computeStatus(const StatusInput &input, const QDate &today, const QJsonValue &temperature,
                           const QJsonValue &fertility)
{
    StatusReport report;
    report.today = today;
    report.temperature = temperature;
    report.fertility = fertility;
    if (input.firstDays.isEmpty()) {
        return report;
    }
    const QDate newest = input.firstDays.last();
    report.firstDay = newest;
    report.cycleDay = int(newest.daysTo(today)) + 1;
    report.cycleLength = cycleLengthOfModeDays(input.firstDays, input.firstDays.size(), input.mode, input.excluded)
                             .value_or(input.ownLength);
    report.ruleNextStart = validDate(newest.addDays(*report.cycleLength));
    report.range = nextStartRange(input.firstDays, input.excluded);
    report.trackRecord = trackRecord(input.firstDays, input.excluded, input.mode, input.ownLength);

    // The temperature's estimate, when it has one, is the better guess of the two.
    report.nextStart = report.ruleNextStart;
    if (temperature.isObject()) {
        const QDate measured =
            QDate::fromString(temperature.toObject().value(QStringLiteral("next_start")).toString(), Qt::ISODate);
        if (measured.isValid()) {
            report.nextStart = measured;
        }
    }
    // A first day registered on or after the expected one would have become the newest.
    const bool late = report.nextStart && *report.nextStart > newest && report.nextStart->daysTo(today) > 0;
    report.lateDays = late ? int(report.nextStart->daysTo(today)) : 0;
    report.periodDays = periodLength(newest, input.dayRecords);
    report.pms = pmsForecast(pmsDays(input.firstDays, input.dayRecords, input.excluded), report.nextStart);
    return report;
}

QString nextPeriodText(const StatusReport &report)
{
    if (!report.nextStart) {
        return QString();
    }
    const bool fromBody =
        QDate::fromString(report.temperature.toObject().value(QStringLiteral("next_start")).toString(), Qt::ISODate) ==
        *report.nextStart;
    return nextPeriodText(*report.nextStart, fromBody, report.ruleNextStart.value_or(QDate()), report.range);
}

bool inThisPeriod(const StatusReport &report)
{
    if (!report.firstDay || *report.cycleDay < 1) {
        return false;
    }
    // The days the grid colours as this period: at most seven, fewer with a shorter cycle.
    const DayWindow period =
        computeCycleWindows(report.firstDay->toJulianDay(), *report.cycleLength, 0)[DayCategory::ThisPeriod];
    return period.contains(report.today.toJulianDay());
}

namespace {

QString cycleLine(const StatusReport &report)
{
    if (!report.firstDay) {
        return QStringLiteral("データーが足りません。");
    }
    if (*report.lateDays > 0) {
        return QStringLiteral("予定日を%1日過ぎています").arg(*report.lateDays);
    }
    if (inThisPeriod(report)) {
        return QStringLiteral("生理%1日目").arg(*report.cycleDay);
    }
    // A first day registered ahead of today is the next one she expects.
    if (*report.cycleDay < 1) {
        return QStringLiteral("次の生理まであと%1日 (%2ごろ)")
            .arg(report.today.daysTo(*report.firstDay))
            .arg(monthDayText(*report.firstDay));
    }
    if (!report.nextStart) {
        return QStringLiteral("データーが足りません。");
    }
    const qint64 daysLeft = report.today.daysTo(*report.nextStart);
    if (daysLeft < 0) {
        // An estimate already behind her newest first day: no count of days that runs backwards.
        return QStringLiteral("データーが足りません。");
    }
    if (daysLeft == 0) {
        return QStringLiteral("今日の予定です。") + nextPeriodText(report);
    }
    return QStringLiteral("あと%1日。").arg(daysLeft) + nextPeriodText(report);
}

} // namespace

QString statusLine(const StatusReport &report)
{
    const QString pms = pmsStatusText(report.pms, report.today);
    // Where her body's signs and the rule disagree, the body's phase is what she is told.
    const bool bodyFertile =
        report.fertility.toObject().value(QStringLiteral("phase")).toString() == QLatin1String("fertile");
    const QString line = bodyFertile ? QStringLiteral("妊娠しやすい時期です (からだのサイン)") : cycleLine(report);
    return pms.isEmpty() ? line : line + QStringLiteral("、") + pms;
}

QJsonObject statusJson(const StatusReport &report)
{
    QJsonValue range = QJsonValue::Null;
    if (report.range) {
        range = QJsonObject{{QStringLiteral("first"), isoDate(report.range->first)},
                            {QStringLiteral("last"), isoDate(report.range->last)},
                            {QStringLiteral("share"), RangeShareInTen / 10.0}};
    }
    QJsonValue track = QJsonValue::Null;
    if (report.trackRecord) {
        track = QJsonObject{{QStringLiteral("cycles"), report.trackRecord->cycles},
                            {QStringLiteral("within_2_days"), report.trackRecord->within2Days},
                            {QStringLiteral("mean_abs_days"), std::round(report.trackRecord->meanAbsDays * 10) / 10}};
    }
    QJsonValue pms = QJsonValue::Null;
    if (report.pms) {
        pms = QJsonObject{{QStringLiteral("first"), isoDate(report.pms->first)},
                          {QStringLiteral("last"), isoDate(report.pms->last)},
                          {QStringLiteral("symptoms"), QJsonArray::fromStringList(report.pms->symptoms)}};
    }
    return QJsonObject{
        {QStringLiteral("today"), isoDate(report.today)},
        {QStringLiteral("first_day"), isoDate(report.firstDay)},
        {QStringLiteral("cycle_day"), number(report.cycleDay)},
        {QStringLiteral("cycle_length"), number(report.cycleLength)},
        {QStringLiteral("rule_next_start"), isoDate(report.ruleNextStart)},
        {QStringLiteral("next_start"), isoDate(report.nextStart)},
        {QStringLiteral("range"), range},
        {QStringLiteral("late_days"), number(report.lateDays)},
        {QStringLiteral("track_record"), track},
        {QStringLiteral("temperature"), report.temperature},
        {QStringLiteral("fertility"), report.fertility},
        {QStringLiteral("period_days"), number(report.periodDays)},
        {QStringLiteral("pms"), pms},
    };
}

StatusInput readStatusInput(const QString &datePath, const QString &settingPath, const QString &dayPath)
{
    StatusInput input;
    input.firstDays = readFirstDaysAscending(datePath);
    const IniFile ini(settingPath);
    const QString section = QStringLiteral("Day Setting");
    input.mode = ini.readInteger(section, QStringLiteral("Daymode"), input.mode);
    const QString stored = ini.readString(section, QStringLiteral("Daybetween"), QString());
    QString notice;
    input.ownLength = ownCycleLengthFrom(stored, &notice);
    if (!notice.isEmpty()) {
        input.notices.append(notice);
    }
    input.excluded = readExcludedCycles(settingPath);
    if (!dayPath.isEmpty()) {
        input.dayRecords = readDayFile(dayPath).records;
    }
    return input;
}

std::optional<DayRange> nextPeriodRange(const QString &datePath, const QString &settingPath)
{
    const StatusInput input = readStatusInput(datePath, settingPath);
    return nextStartRange(input.firstDays, input.excluded);
}

std::optional<PmsForecast> pmsForecastOfFiles(const QString &datePath, const QString &settingPath,
                                              const QString &dayPath, const QString &tempPath, const QDate &today)
{
    const StatusInput input = readStatusInput(datePath, settingPath, dayPath);
    if (!pmsDays(input.firstDays, input.dayRecords, input.excluded)) {
        return std::nullopt;
    }
    return computeStatus(input, today, temperatureStatusJson(datePath, tempPath, today)).pms;
}

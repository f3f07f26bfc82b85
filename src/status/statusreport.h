#pragma once

#include "dayrecordfile.h"
#include "outlook.h"
#include "symptompattern.h"

#include <QDate>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QSet>
#include <QString>

#include <optional>

// What "eveluna --status" reports: the newest first day, the day of the cycle, the next first day by the
// calendar rule and its range, how late the period is, and the rule's track record.

// The records the report is made from, as the data files hold them.
struct StatusInput
{
    QList<QDate> firstDays;      // oldest first, each once
    QSet<QDate> excluded;        // first days of the cycles left out
    int mode = 4;                // the stored cycle mode (Daymode)
    int ownLength = 28;          // the stored own length (Daybetween)
    QList<DayRecord> dayRecords; // dateDay.dat, ascending
    QStringList notices;         // what was read otherwise than stored, one sentence each (for stderr)
};

struct StatusReport
{
    QDate today;
    std::optional<QDate> firstDay; // newest registered first day
    std::optional<int> cycleDay;   // 1 on firstDay
    std::optional<int> cycleLength;
    std::optional<QDate> ruleNextStart; // firstDay + cycleLength: the grid's next period
    std::optional<QDate> nextStart;     // the best estimate of the next first day
    std::optional<DayRange> range;
    std::optional<int> lateDays; // days after nextStart with no newer first day, else 0
    std::optional<TrackRecord> trackRecord;
    std::optional<int> periodDays;  // the newest cycle's period length, if its bleeding is recorded
    std::optional<PmsForecast> pms; // PMSが出やすい時期 before nextStart
    // The basal body temperature's own estimate as an object; null without readings.
    QJsonValue temperature = QJsonValue::Null;
    // The fertile phase from her body (mucus, ovulation tests, temperature) as an object; null when not read.
    QJsonValue fertility = QJsonValue::Null;
};

// The report on `today`. `temperature` is the temperature estimate's JSON object, or null: when it has a
// "next_start" (yyyy-mm-dd) that day is the best estimate, otherwise the rule's day.
StatusReport computeStatus(const StatusInput &input, const QDate &today,
                           const QJsonValue &temperature = QJsonValue::Null,
                           const QJsonValue &fertility = QJsonValue::Null);

// One line for a panel: "あと16日。次の生理: 12月23日ごろ (周期から。12月21日〜25日)", "生理3日目",
// "予定日を2日過ぎています" or "データーが足りません。"; with "、PMSが出やすい時期です (12月21日まで)" after it
// while today is in that time.
QString statusLine(const StatusReport &report);

// nextPeriodText (outlook.h) of the report's best estimate; empty without one.
QString nextPeriodText(const StatusReport &report);

// True while today is one of the days the grid colours as this period (cycleDay from 1).
bool inThisPeriod(const StatusReport &report);

// The report as one JSON object; dates as yyyy-mm-dd, everything but today null without records.
QJsonObject statusJson(const StatusReport &report);

// The input from date.dat, setting.ini and, when dayPath is given, dateDay.dat (missing files hold
// nothing). Throws EConvertError for a line that is not a date or a stored length that is not a number,
// EFileError for a file that cannot be read.
StatusInput readStatusInput(const QString &datePath, const QString &settingPath, const QString &dayPath = QString());

// The range of the next first day from the files, as readStatusInput reads them; none with too few cycles.
std::optional<DayRange> nextPeriodRange(const QString &datePath, const QString &settingPath);

// PMSが出やすい時期 before the next first day on `today`, as the report from the files gives it (the
// temperature's estimate of the next first day read only when her day records show such days at all);
// none without. Throws as readStatusInput does.
std::optional<PmsForecast> pmsForecastOfFiles(const QString &datePath, const QString &settingPath,
                                              const QString &dayPath, const QString &tempPath, const QDate &today);

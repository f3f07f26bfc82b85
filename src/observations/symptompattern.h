#pragma once

#include "dayrecordfile.h"

#include <QDate>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>

// Her own symptom pattern around a first day, from the day records of her completed cycles.

// The pattern's days, counted from a first day: 14 days before it to 7 days after it.
constexpr int PatternDaysBefore = 14;
constexpr int PatternDaysAfter = 7;
constexpr int PatternColumns = PatternDaysBefore + 1 + PatternDaysAfter;

// The PMS forecast needs this many completed cycles with day records.
constexpr int MinPmsCycles = 3;

// The first days that ended her newest completed cycles with day records (at most RecentCycleCount; a
// cycle left out does not count), oldest first. firstDays ascending, each once.
QList<QDate> patternFirstDays(const QList<QDate> &firstDays, const QList<DayRecord> &records,
                              const QSet<QDate> &excluded = {});

// One row of the chart: on how many of the cycles something was recorded on each day.
struct SymptomRow
{
    QString token;     // a token of SymptomTokens; empty for pain (any pain)
    QList<int> counts; // PatternColumns: column c is day c - PatternDaysBefore from the first day
};

struct SymptomPattern
{
    int cycles = 0; // the cycles the shares are of
    // Pain first, then each symptom recorded at least twice in these days, in SymptomTokens order.
    QList<SymptomRow> rows;
};

SymptomPattern symptomPattern(const QList<QDate> &firstDays, const QList<DayRecord> &records,
                              const QSet<QDate> &excluded = {});

// "生理の3日前", "生理の前日", "生理の1日目" for a column's day.
QString patternDayText(int column);

// The row in words for a screen reader and the report: "頭痛: 生理の3日前〜前日に多い (6回中4回)", the
// longest run of days with the row's highest count; "痛み: 記録なし" for a row without any.
QString symptomRowSummary(const SymptomRow &row, int cycles);

// The days before a first day when PMS tends to come: those on which, in at least half of her newest
// completed cycles with day records (MinPmsCycles at least), any symptom was recorded.
struct PmsDays
{
    int firstBefore = 0;  // days before the first day, 14..1
    int lastBefore = 0;   // <= firstBefore
    QStringList symptoms; // the tokens seen on those days in those cycles, most frequent first
};
std::optional<PmsDays> pmsDays(const QList<QDate> &firstDays, const QList<DayRecord> &records,
                               const QSet<QDate> &excluded = {});

// The same placed before the expected next first day: "PMSが出やすい時期".
struct PmsForecast
{
    QDate first;
    QDate last;
    QStringList symptoms;
};
std::optional<PmsForecast> pmsForecast(const std::optional<PmsDays> &days, const std::optional<QDate> &nextStart);

// "PMSが出やすい時期です (12月21日まで)" while today is inside the forecast, else empty.
QString pmsStatusText(const std::optional<PmsForecast> &forecast, const QDate &today);

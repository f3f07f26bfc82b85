#pragma once

#include "dayrecordfile.h"
#include "daywords.h"

#include <QDate>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <utility>

// The standard ranges a Japanese gynaecologist reads a cycle record against (those of the Japan Society
// of Obstetrics and Gynecology): a cycle of 25–38 days whose lengths differ by at most 6 days, and a
// period of 3–7 days.
constexpr int UsualCycleMin = 25;   // 24 days or fewer: 頻発月経
constexpr int UsualCycleMax = 38;   // 39 days or more: 稀発月経
constexpr int UsualCycleSpread = 6; // longest minus shortest above this: irregular
constexpr int UsualPeriodMin = 3;   // 2 days or fewer: 過短月経
constexpr int UsualPeriodMax = 7;   // 8 days or more: 過長月経

// Only the newest this many cycles count for the spread of recent cycles and for what is observed.
constexpr int RecentCycleCount = 12;

// A period is looked for at most this many days from its first day on; a longer run of bleeding is cut.
constexpr int MaxPeriodDays = 15;

// The record of a day in records (ascending by date, one per day), or none.
const DayRecord *dayRecordOn(const QList<DayRecord> &records, const QDate &day);

// The length in days of the period beginning on a registered first day: the first day and the bleeding
// days after it (light, medium, heavy; spotting only between two bleeding days), joined across gaps of
// at most one day without bleeding, up to MaxPeriodDays and never reaching nextFirstDay (invalid for the
// cycle still running). None when no bleeding is recorded in that run: the length is never guessed.
std::optional<int> periodLength(const QDate &firstDay, const QList<DayRecord> &records,
                                const QDate &nextFirstDay = QDate());

// What she recorded in one cycle, from its first day up to the day before the next.
struct CycleRecord
{
    QDate firstDay;
    QDate nextFirstDay;            // invalid for the cycle still running
    std::optional<int> length;     // days to nextFirstDay
    std::optional<int> periodDays; // periodLength()
    bool leftOut = false;          // left out of the calculation ([Excluded Cycles])
    int recordedDays = 0;          // days with a day record
    std::array<int, 4> flowDays{}; // days of each Flow, spotting to heavy
    int strongestPain = 0;         // 0 (none) .. MaxPain
    int painkillerDays = 0;
    QList<std::pair<QString, int>> symptoms; // token and days, most days first (then in SymptomTokens order)
};

// One per first day (firstDays ascending, each once), oldest first.
QList<CycleRecord> cycleRecords(const QList<QDate> &firstDays, const QList<DayRecord> &records,
                                const QSet<QDate> &excluded = {});

// The completed cycles that count: not left out, the newest RecentCycleCount of them, oldest first.
QList<CycleRecord> recentCountedCycles(const QList<CycleRecord> &cycles);

// The mean period length of the newest RecentCycleCount counted cycles that have one; none without.
std::optional<double> averagePeriodLength(const QList<CycleRecord> &cycles);

// The counted cycles and periods outside the standard ranges, worded as observations:
// "24日以内の周期: 2回 (頻発月経の目安)", "39日以上の周期: 1回 (稀発月経の目安)",
// "周期の長さの差が6日を超えています (最短26日、最長35日)", "月経期間が2日以内: 1回 (過短月経の目安)",
// "月経期間が8日以上: 1回 (過長月経の目安)". Empty when nothing is outside them.
QStringList periodObservations(const QList<CycleRecord> &cycles);

// "3日" for a known period length, "—" for an unknown one.
QString periodDaysText(const std::optional<int> &days);

// Pain in words: "なし", "軽い", "中", "強".
QString painText(int pain);

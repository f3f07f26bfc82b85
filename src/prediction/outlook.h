#pragma once

#include <QDate>
#include <QList>
#include <QSet>
#include <QString>

#include <optional>

// How sure the next first day is: a range from her own cycle lengths, and how far the calendar rule was
// off for her past cycles. First days are given oldest first, each once; `excluded` holds the first days
// of the cycles she left out, which count in none of these numbers. Pure functions, no clock or file.

// Completed (not left-out) cycles needed before a range is given.
constexpr int RangeMinimumCycles = 3;
// The share of first days the range is made to hold, shown as "10回に8回".
constexpr int RangeShareInTen = 8;
// Only her newest this many counted cycles shape the range and the track record.
constexpr int OutlookCycleCount = 12;

struct DayRange
{
    QDate first;
    QDate last; // both ends included; at least 3 days after first

    friend bool operator==(const DayRange &, const DayRange &) = default;
};

// The range in which the period after the newest first day is expected to start; none with fewer than
// RangeMinimumCycles counted cycles. It does not depend on the cycle mode.
std::optional<DayRange> nextStartRange(const QList<QDate> &firstDays, const QSet<QDate> &excluded);

// The rule's prediction for one past cycle.
struct PastPrediction
{
    QDate start;     // the cycle's first day
    QDate predicted; // start plus the mode's length from the first days up to start
    QDate actual;    // the first day registered after start

    // Days the period came after the predicted day (negative: before it).
    int offBy() const { return int(predicted.daysTo(actual)); }
};

// For each counted completed cycle with at least two counted cycles before it, oldest first: the day
// the cycle mode (0 average, 1 shortest, 2 longest, 3 previous, otherwise ownLength days) would have
// predicted from the first days up to its start. At most `newest` of the newest ones (all when < 0).
QList<PastPrediction> pastPredictions(const QList<QDate> &firstDays, const QSet<QDate> &excluded, int mode,
                                      int ownLength, qsizetype newest = -1);

struct TrackRecord
{
    int cycles = 0;
    int within2Days = 0;    // |offBy| at most 2
    double meanAbsDays = 0; // mean of |offBy|

    friend bool operator==(const TrackRecord &, const TrackRecord &) = default;
};

// Her last OutlookCycleCount past predictions; none when there is none.
std::optional<TrackRecord> trackRecord(const QList<QDate> &firstDays, const QSet<QDate> &excluded, int mode,
                                       int ownLength);

// "12月21日〜25日", "12月28日〜1月2日"; with repeatMonth "12月21日〜12月25日".
QString rangeText(const DayRange &range, bool repeatMonth = false);
// "12月23日".
QString monthDayText(const QDate &day);

// The one sentence of the next first day that the main window, the status line and the reminders share:
// "次の生理: 12月19日ごろ (体温から。12月17日〜21日)", where the day comes from ("体温から", her temperature;
// "周期から", her cycle length), the range when there is one, and the calendar rule's day when the body's
// differs from it ("。周期からは12月18日").
QString nextPeriodText(const QDate &best, bool fromBody, const QDate &ruleDay, const std::optional<DayRange> &range);

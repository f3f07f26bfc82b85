#pragma once

#include "temperaturefile.h"

#include <QDate>
#include <QList>
#include <QStringList>

#include <optional>

// The temperature shift of one cycle by the symptothermal rules taught to women who chart (Sensiplan),
// over plain readings, with no file or clock inside. All temperatures are hundredths of a degree.

// A reading rounded to the 0.05 °C steps the rules count in (36.52 → 36.50, 36.53 → 36.55).
constexpr int roundToStep(int centiDegrees)
{
    return (centiDegrees + 2) / 5 * 5;
}

struct ShiftResult
{
    // The first higher reading of the confirmed shift; while unconfirmed, that of a candidate still
    // waiting for its next readings (the cycle's last readings), or nothing.
    std::optional<QDate> firstHigher;
    bool confirmed = false;
    QDate confirmedOn; // the day of the reading that confirmed it
    int coverLine = 0; // the highest of the 6 counted readings before the first higher one (rounded)
    int rule = 0;      // 0 the regular rule, 1 or 2 the exception that confirmed it
    // The day the temperature rose (confirmed only), the one day the chart, the high phase, the ovulation
    // estimate and the learned length all use: the step of a two-level fit over every counted reading of
    // the cycle, looked for from three days before the first higher reading to the confirming one; after
    // missing mornings it lies in the gap, never on a reading of the low level. More readings after the
    // confirmation may move it by a day.
    QDate riseDay;
};

// The shift in the readings of one cycle (ascending by date). Readings left out are ignored and missing
// days skipped: "the 6 before" and "the next" count readings, not days. The first higher reading lies
// above the cover line; the shift is confirmed when the next two lie above it too and the third of the
// three is at least 0.20 above (regular rule); when that third is less than 0.20 above, a fourth above
// the cover line confirms (exception 1); one of the second and third may lie at or below the line when
// the fourth is at least 0.20 above it (exception 2). A candidate that fails does not end the search.
ShiftResult findShift(const QList<TemperatureReading> &cycle);

// One cycle with its readings and what the shift tells.
struct CycleTemperature
{
    QDate start;         // the registered first day
    QDate end;           // the day before the next first day, or the last day counted in the current cycle
    bool closed = false; // the next first day is registered
    QList<TemperatureReading> readings;
    ShiftResult shift;
    QDate ovulation;             // estimated: the day before the rise (confirmed only)
    int highDays = 0;            // from the rise day to end, both included (confirmed only)
    std::optional<int> lowMean;  // mean of the counted readings before the rise day
    std::optional<int> highMean; // mean of the counted readings from the rise day on
    QStringList notes;           // observations for the chart, never a diagnosis

    int lengthDays() const { return int(start.daysTo(end)) + 1; }
};

// The notes a cycle may carry.
QString shortHighPhaseNote();  // "高温期が10日未満です"
QString longHighPhaseNote();   // "高温期が21日以上続いています"
QString smallDifferenceNote(); // "低温期と高温期の差が0.3℃未満です"

// The shift, the phases, means and notes of the readings from start to end.
CycleTemperature analyseCycle(const QDate &start, const QDate &end, bool closed,
                              const QList<TemperatureReading> &readings);

// Every registered cycle (first days in any order), oldest first, each with its readings. The current
// cycle runs to today (or to its last reading, when that lies later).
QList<CycleTemperature> temperatureCycles(QList<QDate> firstDays, const QList<TemperatureReading> &readings,
                                          const QDate &today);

// The number of days from the rise to the next first day when she has no closed cycle with a confirmed
// shift yet: a luteal phase of about 12.4 days, the rise showing a day after ovulation.
constexpr int DefaultHighPhaseDays = 12;

// Her own length from the rise to the next first day: the median over her last (at most 12) closed
// cycles with a confirmed shift; lengths outside 7..20 days (a first day missed, a pregnancy) are not
// taken. Otherwise the default.
int learnedHighPhaseDays(const QList<CycleTemperature> &cycles);

// The next first day from the body: the current (newest, open) cycle's rise day plus her own length,
// weighed against her average cycle from the current first day by how much each has varied for her
// (the body's days from the rise, the calendar's whole cycles); nothing while the shift of the current
// cycle is not confirmed.
std::optional<QDate> temperatureNextStart(const QList<CycleTemperature> &cycles);

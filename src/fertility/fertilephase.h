#pragma once

#include "dayrecordfile.h"
#include "temperatureshift.h"

#include <QDate>
#include <QList>
#include <QMap>
#include <QStringList>

#include <optional>

// The fertile phase of one cycle from her body by the symptothermal rules (Sensiplan's double check):
// cervical mucus, ovulation tests and the temperature shift read together, over plain records, with no
// file or clock inside.

enum class BodyPhase {
    Unknown,    // no record of hers speaks for the day
    PreFertile, // the first days of a cycle after a cycle with a confirmed shift
    Fertile,
    Post, // 排卵後: from the morning after the fertile phase ends until the next first day
};

struct FertilityInput
{
    QDate start;                        // the registered first day
    QDate end;                          // the day before the next first day; for the current cycle its last day so far
    QList<TemperatureReading> readings; // this cycle's, ascending
    QList<DayRecord> days;              // this cycle's day records, ascending (only mucus and lh are read)
    bool previousShiftConfirmed = false;
    bool previousHasRecords = false; // a reading, a mucus observation or a test in the previous cycle
    // Cycle days (1 = the first day) of the first higher readings of her earlier cycles with a confirmed
    // shift, oldest first; the last 12 count.
    QList<int> earlierFirstHigherDays;
};

struct FertilityResult
{
    QDate start;
    QDate end;
    bool speaks = false;  // a reading, a mucus observation or a test in this or the previous cycle
    QDate lastPreFertile; // invalid: no pre-fertile days
    // The first fertile day: the earliest sign so far, else the day after the pre-fertile days (which
    // a sign can only bring forward). Invalid when nothing speaks.
    QDate fertileFrom;
    QDate fertileUntil;          // the day on whose evening it ended; invalid while open
    QDate mucusPeak;             // the peak found so far (the one that ended the phase, once ended)
    QDate lhPositive;            // the first positive ovulation test
    QStringList startSigns;      // which of "mucus", "lh", "temperature" began it
    QStringList endSigns;        // which ended it
    QStringList preFertileSigns; // "temperature": her earlier shifts gave the pre-fertile days
    QMap<QDate, int> mucus;      // the cycle's mucus observations up to today (MinMucus..MaxMucus)
    QList<QDate> positiveTests;  // the days of positive ovulation tests up to today

    BodyPhase phaseOn(const QDate &day) const;
    // The days from a positive test to two days after it: ovulation is expected within a day or two.
    bool mostFertile(const QDate &day) const;
    // The signs that decided the phase of the day, in the order mucus, lh, temperature.
    QStringList signsOn(const QDate &day) const;
};

// How many days at most the 5-day rule leaves pre-fertile, and how many earlier cycles make the minus-8
// rule stand on its own.
constexpr int FiveDayRuleDays = 5;
constexpr int MinusEightCycles = 12;
// A mucus peak is found once this many observations after it were all of lower quality.
constexpr int PeakFollowingObservations = 3;
// Without any mucus record the temperature alone ends the phase this many days after its confirmation.
constexpr int TemperatureOnlyDays = 3;

// The number of pre-fertile days (0..) at the start of a cycle.
int preFertileDays(bool previousShiftConfirmed, const QList<int> &earlierFirstHigherDays);

// The fertile phase of a cycle as it stands on the evening of `today`: every sign after today is ignored.
FertilityResult fertilePhase(const FertilityInput &cycle, const QDate &today);

// Every cycle's phase, oldest first: the cycles of temperatureCycles and her day records (ascending).
QList<FertilityResult> fertileCycles(const QList<CycleTemperature> &cycles, const QList<DayRecord> &records,
                                     const QDate &today);

// "排卵は1〜2日以内の見込み": what a positive test tells.
QString ovulationExpectedText();

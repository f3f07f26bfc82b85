#include "fertilephase.h"

#include <algorithm>

namespace {

const QString Mucus = QStringLiteral("mucus");
const QString Lh = QStringLiteral("lh");
const QString Temperature = QStringLiteral("temperature");

// Mucus of quality f (moist) or better opens the fertile phase.
constexpr int FertileMucus = 2;

bool isPositive(const std::optional<LhResult> &lh)
{
    return lh && *lh != LhResult::Negative;
}

bool hasSign(const DayRecord &record)
{
    return record.mucus.has_value() || record.lh.has_value();
}

FertilityResult evaluate(const FertilityInput &cycle, const ShiftResult &shift, const QDate &today)
{
    FertilityResult result;
    result.start = cycle.start;
    result.end = cycle.end;
    const QDate last = std::min(cycle.end, today);
    const auto inCycle = [&](const QDate &day) { return day >= cycle.start && day <= last; };
    result.speaks = cycle.previousHasRecords ||
                    std::any_of(cycle.readings.begin(), cycle.readings.end(),
                                [&](const TemperatureReading &r) { return inCycle(r.date); }) ||
                    std::any_of(cycle.days.begin(), cycle.days.end(),
                                [&](const DayRecord &d) { return inCycle(d.date) && hasSign(d); });
    if (!result.speaks || last < cycle.start) {
        return result;
    }
    for (const DayRecord &day : cycle.days) {
        if (inCycle(day.date) && day.mucus) {
            result.mucus.insert(day.date, *day.mucus);
        }
        if (inCycle(day.date) && isPositive(day.lh)) {
            result.positiveTests.append(day.date);
        }
    }

    const int preDays = preFertileDays(cycle.previousShiftConfirmed, cycle.earlierFirstHigherDays);
    const QDate afterPre = cycle.start.addDays(preDays);
    QDate mucusStart;
    // The peak, read day by day: the last day of the best quality so far, found once enough lower
    // observations followed it; a later day of equal or better quality becomes the peak and restarts the count.
    int best = -1;
    QDate candidate;
    int lowerAfter = 0;
    bool anyMucus = false;
    auto record = std::lower_bound(cycle.days.begin(), cycle.days.end(), cycle.start,
                                   [](const DayRecord &d, const QDate &day) { return d.date < day; });
    for (QDate day = cycle.start; day <= last; day = day.addDays(1)) {
        while (record != cycle.days.end() && record->date < day) {
            ++record;
        }
        if (record != cycle.days.end() && record->date == day) {
            if (record->mucus) {
                const int quality = *record->mucus;
                anyMucus = true;
                if (quality >= best) {
                    best = quality;
                    candidate = day;
                    lowerAfter = 0;
                    result.mucusPeak = QDate();
                } else if (++lowerAfter == PeakFollowingObservations) {
                    result.mucusPeak = candidate;
                }
                if (quality >= FertileMucus && !mucusStart.isValid()) {
                    mucusStart = day;
                }
            }
            if (isPositive(record->lh) && !result.lhPositive.isValid()) {
                result.lhPositive = day;
            }
        }
        // Neither sign alone ends the phase; without any mucus record the temperature does, a few days later.
        if (shift.confirmed && shift.confirmedOn <= day) {
            if (result.mucusPeak.isValid()) {
                result.fertileUntil = day;
                result.endSigns = {Mucus, Temperature};
                break;
            }
            if (!anyMucus && shift.confirmedOn.daysTo(day) >= TemperatureOnlyDays) {
                result.fertileUntil = day;
                result.endSigns = {Temperature};
                break;
            }
        }
    }

    result.fertileFrom = afterPre;
    for (const QDate &sign : {mucusStart, result.lhPositive}) {
        if (sign.isValid() && sign < result.fertileFrom) {
            result.fertileFrom = sign;
        }
    }
    // Pre-fertile days reaching past the shift (an unusually early rise): the phase still had to begin.
    if (result.fertileUntil.isValid() && result.fertileUntil < result.fertileFrom) {
        result.fertileFrom = result.fertileUntil;
    }
    if (result.fertileFrom > cycle.start) {
        result.lastPreFertile = result.fertileFrom.addDays(-1);
        result.preFertileSigns = {Temperature};
    }
    if (mucusStart == result.fertileFrom) {
        result.startSigns.append(Mucus);
    }
    if (result.lhPositive == result.fertileFrom) {
        result.startSigns.append(Lh);
    }
    if (preDays > 0 && afterPre == result.fertileFrom) {
        result.startSigns.append(Temperature);
    }
    return result;
}

} // namespace

BodyPhase FertilityResult::phaseOn(const QDate &day) const
{
    if (!speaks || !fertileFrom.isValid() || day < start || day > end) {
        return BodyPhase::Unknown;
    }
    if (lastPreFertile.isValid() && day <= lastPreFertile) {
        return BodyPhase::PreFertile;
    }
    if (fertileUntil.isValid() && day > fertileUntil) {
        return BodyPhase::Post;
    }
    return BodyPhase::Fertile;
}

bool FertilityResult::mostFertile(const QDate &day) const
{
    return lhPositive.isValid() && day >= lhPositive && lhPositive.daysTo(day) <= 2 && day <= end;
}

QStringList FertilityResult::signsOn(const QDate &day) const
{
    switch (phaseOn(day)) {
    case BodyPhase::PreFertile:
        return preFertileSigns;
    case BodyPhase::Fertile:
        return startSigns;
    case BodyPhase::Post:
        return endSigns;
    case BodyPhase::Unknown:
        break;
    }
    return {};
}

int preFertileDays(bool previousShiftConfirmed, const QList<int> &earlierFirstHigherDays)
{
    if (!previousShiftConfirmed) {
        return 0;
    }
    const QList<int> counted =
        earlierFirstHigherDays.mid(std::max<qsizetype>(0, earlierFirstHigherDays.size() - MinusEightCycles));
    if (counted.isEmpty()) {
        return FiveDayRuleDays;
    }
    // The minus-8 rule: the earliest first higher reading of her last cycles, minus 8 days.
    const int minusEight = *std::min_element(counted.begin(), counted.end()) - 8;
    const int days = counted.size() >= MinusEightCycles ? minusEight : std::min(FiveDayRuleDays, minusEight);
    return std::max(0, days);
}

FertilityResult fertilePhase(const FertilityInput &cycle, const QDate &today)
{
    return evaluate(cycle, findShift(cycle.readings), today);
}

QList<FertilityResult> fertileCycles(const QList<CycleTemperature> &cycles, const QList<DayRecord> &records,
                                     const QDate &today)
{
    QList<FertilityResult> results;
    results.reserve(cycles.size());
    QList<int> firstHigherDays;
    bool previousShift = false;
    bool previousRecords = false;
    auto record = records.begin();
    for (const CycleTemperature &cycle : cycles) {
        FertilityInput input;
        input.start = cycle.start;
        input.end = cycle.end;
        input.readings = cycle.readings;
        input.previousShiftConfirmed = previousShift;
        input.previousHasRecords = previousRecords;
        input.earlierFirstHigherDays = firstHigherDays;
        while (record != records.end() && record->date < cycle.start) {
            ++record;
        }
        // Records are ascending, so one pass hands each cycle its own slice.
        while (record != records.end() && record->date <= cycle.end) {
            input.days.append(*record++);
        }
        results.append(evaluate(input, cycle.shift, today));

        previousShift = cycle.shift.confirmed && cycle.shift.confirmedOn <= today;
        previousRecords = !cycle.readings.isEmpty() || std::any_of(input.days.begin(), input.days.end(), hasSign);
        if (previousShift) {
            firstHigherDays.append(int(cycle.start.daysTo(*cycle.shift.firstHigher)) + 1);
        }
    }
    return results;
}

QString ovulationExpectedText()
{
    return QStringLiteral("排卵は1〜2日以内の見込み");
}

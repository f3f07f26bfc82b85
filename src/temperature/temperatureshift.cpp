#include "temperatureshift.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int CoverCount = 6;
constexpr int ConfirmingRise = 20; // 0.20 °C above the cover line

// Confirms the candidate at position i of the counted readings, or tells why not (-1 failed, 0 waiting).
// On success returns 1 and sets the confirming position and the rule.
int confirm(const QList<const TemperatureReading *> &counted, qsizetype i, int cover, qsizetype &at, int &rule)
{
    const auto value = [&](qsizetype k) { return roundToStep(counted[k]->centiDegrees); };
    const qsizetype n = counted.size();
    // Waiting: whatever the next two readings are, one of the rules may still confirm.
    if (i + 2 >= n) {
        return 0;
    }
    const bool secondHigh = value(i + 1) > cover;
    const bool thirdHigh = value(i + 2) > cover;
    if (secondHigh && thirdHigh) {
        if (value(i + 2) >= cover + ConfirmingRise) {
            at = i + 2;
            rule = 0;
            return 1;
        }
        if (i + 3 >= n) {
            return 0;
        }
        if (value(i + 3) > cover) {
            at = i + 3;
            rule = 1;
            return 1;
        }
        return -1;
    }
    if (secondHigh != thirdHigh) {
        if (i + 3 >= n) {
            return 0;
        }
        if (value(i + 3) >= cover + ConfirmingRise) {
            at = i + 3;
            rule = 2;
            return 1;
        }
    }
    return -1;
}

std::optional<int> meanOf(const QList<const TemperatureReading *> &counted, qsizetype from, qsizetype to)
{
    if (from >= to) {
        return std::nullopt;
    }
    qint64 sum = 0;
    for (qsizetype k = from; k < to; ++k) {
        sum += counted[k]->centiDegrees;
    }
    return int(std::lround(double(sum) / double(to - from)));
}

QList<const TemperatureReading *> countedReadings(const QList<TemperatureReading> &cycle)
{
    QList<const TemperatureReading *> counted;
    counted.reserve(cycle.size());
    for (const TemperatureReading &r : cycle) {
        if (!r.excluded) {
            counted.append(&r);
        }
    }
    return counted;
}

// The change point of counted[from..to] (inclusive) among the positions first..last: the split into two
// levels with the least sum of squared deviations.
qsizetype changePoint(const QList<const TemperatureReading *> &counted, qsizetype from, qsizetype to, qsizetype first,
                      qsizetype last)
{
    qsizetype best = first;
    double bestCost = -1;
    for (qsizetype split = std::max(first, from + 1); split <= std::min(last, to); ++split) {
        double cost = 0;
        for (const auto &[begin, end] : {std::pair{from, split}, std::pair{split, to + 1}}) {
            double sum = 0;
            for (qsizetype k = begin; k < end; ++k) {
                sum += counted[k]->centiDegrees;
            }
            const double mean = sum / double(end - begin);
            for (qsizetype k = begin; k < end; ++k) {
                cost += (counted[k]->centiDegrees - mean) * (counted[k]->centiDegrees - mean);
            }
        }
        if (bestCost < 0 || cost < bestCost) {
            bestCost = cost;
            best = split;
        }
    }
    return best;
}

} // namespace

ShiftResult findShift(const QList<TemperatureReading> &cycle)
{
    const QList<const TemperatureReading *> counted = countedReadings(cycle);
    ShiftResult result;
    for (qsizetype i = CoverCount; i < counted.size(); ++i) {
        int cover = 0;
        for (qsizetype k = i - CoverCount; k < i; ++k) {
            cover = std::max(cover, roundToStep(counted[k]->centiDegrees));
        }
        if (roundToStep(counted[i]->centiDegrees) <= cover) {
            continue;
        }
        qsizetype at = 0;
        int rule = 0;
        const int outcome = confirm(counted, i, cover, at, rule);
        if (outcome == 1) {
            result.firstHigher = counted[i]->date;
            result.confirmed = true;
            result.confirmedOn = counted[at]->date;
            result.coverLine = cover;
            result.rule = rule;
            result.riseDay = counted[changePoint(counted, i - CoverCount, at, i - 2, i + 1)]->date;
            return result;
        }
        if (outcome == 0 && !result.firstHigher) {
            result.firstHigher = counted[i]->date;
            result.coverLine = cover;
        }
    }
    return result;
}

QString shortHighPhaseNote()
{
    return QStringLiteral("高温期が10日未満です");
}

QString longHighPhaseNote()
{
    return QStringLiteral("高温期が21日以上続いています");
}

QString smallDifferenceNote()
{
    return QStringLiteral("低温期と高温期の差が0.3℃未満です");
}

CycleTemperature analyseCycle(const QDate &start, const QDate &end, bool closed,
                              const QList<TemperatureReading> &readings)
{
    CycleTemperature cycle;
    cycle.start = start;
    cycle.end = end;
    cycle.closed = closed;
    cycle.readings = readings;
    cycle.shift = findShift(readings);
    const QList<const TemperatureReading *> counted = countedReadings(cycle.readings);
    if (!cycle.shift.confirmed) {
        cycle.lowMean = meanOf(counted, 0, counted.size());
        return cycle;
    }
    const QDate first = *cycle.shift.firstHigher;
    cycle.ovulation = cycle.shift.riseDay.addDays(-1);
    cycle.highDays = int(first.daysTo(end)) + 1;
    const qsizetype split = std::find_if(counted.begin(), counted.end(),
                                         [&first](const TemperatureReading *r) { return r->date >= first; }) -
                            counted.begin();
    cycle.lowMean = meanOf(counted, 0, split);
    cycle.highMean = meanOf(counted, split, counted.size());
    if (closed && cycle.highDays < 10) {
        cycle.notes.append(shortHighPhaseNote());
    }
    if (cycle.highDays >= 21) {
        cycle.notes.append(longHighPhaseNote());
    }
    if (cycle.lowMean && cycle.highMean && *cycle.highMean - *cycle.lowMean < 30) {
        cycle.notes.append(smallDifferenceNote());
    }
    return cycle;
}

QList<CycleTemperature> temperatureCycles(QList<QDate> firstDays, const QList<TemperatureReading> &readings,
                                          const QDate &today)
{
    std::sort(firstDays.begin(), firstDays.end());
    firstDays.erase(std::unique(firstDays.begin(), firstDays.end()), firstDays.end());
    QList<CycleTemperature> cycles;
    cycles.reserve(firstDays.size());
    // Readings are ascending, so one pass hands each cycle its own slice.
    qsizetype r = 0;
    for (qsizetype c = 0; c < firstDays.size(); ++c) {
        const QDate start = firstDays[c];
        const bool closed = c + 1 < firstDays.size();
        QDate end = closed ? firstDays[c + 1].addDays(-1) : std::max(today, start);
        while (r < readings.size() && readings[r].date < start) {
            ++r;
        }
        QList<TemperatureReading> own;
        while (r < readings.size() && (!closed ? true : readings[r].date <= end)) {
            own.append(readings[r++]);
        }
        if (!closed && !own.isEmpty()) {
            end = std::max(end, own.back().date);
        }
        cycles.append(analyseCycle(start, end, closed, own));
    }
    return cycles;
}

int learnedHighPhaseDays(const QList<CycleTemperature> &cycles)
{
    QList<int> lengths;
    for (auto it = cycles.crbegin(); it != cycles.crend() && lengths.size() < 12; ++it) {
        const int days = it->closed && it->shift.confirmed ? int(it->shift.riseDay.daysTo(it->end)) + 1 : 0;
        if (days >= 7 && days <= 20) {
            lengths.append(days);
        }
    }
    if (lengths.isEmpty()) {
        return DefaultHighPhaseDays;
    }
    // The median: one cycle whose rise was read a few days off moves it little.
    std::sort(lengths.begin(), lengths.end());
    const qsizetype half = lengths.size() / 2;
    return lengths.size() % 2 == 1 ? lengths[half] : int(std::lround((lengths[half - 1] + lengths[half]) / 2.0));
}

std::optional<QDate> temperatureNextStart(const QList<CycleTemperature> &cycles)
{
    if (cycles.isEmpty() || cycles.back().closed || !cycles.back().shift.confirmed) {
        return std::nullopt;
    }
    return cycles.back().shift.riseDay.addDays(learnedHighPhaseDays(cycles));
}

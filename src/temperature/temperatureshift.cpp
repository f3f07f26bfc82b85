#include "temperatureshift.h"

#include "median.h"

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

// The position in counted where the readings step from a low to a high level: of the positions first..last,
// the split of all the counted readings into a low and a high level, each at its median, with the least
// sum of absolute deviations. Medians and absolute deviations let a fever she did not mark, or a short
// night, pull the levels and the split no further than any other single reading; a rise spread over two
// or three days splits in its middle, in every cycle alike.
qsizetype changePoint(const QList<const TemperatureReading *> &counted, qsizetype first, qsizetype last)
{
    qsizetype best = first;
    double bestCost = -1;
    for (qsizetype split = std::max<qsizetype>(first, 1); split <= std::min(last, counted.size() - 1); ++split) {
        double cost = 0;
        for (const auto &[begin, end] : {std::pair{qsizetype(0), split}, std::pair{split, counted.size()}}) {
            QList<int> values;
            values.reserve(end - begin);
            for (qsizetype k = begin; k < end; ++k) {
                values.append(counted[k]->centiDegrees);
            }
            const double level = medianOf(values);
            for (const int value : values) {
                cost += std::abs(value - level);
            }
        }
        if (bestCost < 0 || cost < bestCost) {
            bestCost = cost;
            best = split;
        }
    }
    return best;
}

// The rise day of a confirmed shift from every counted reading of the cycle. The step is looked for from
// three days before the first higher reading to the confirming one. When mornings are missing before the
// first reading of the high level, the rise lies in the middle of that gap (the earlier of two middles),
// never on a reading of the low level.
QDate riseDayOf(const QList<const TemperatureReading *> &counted, const QDate &firstHigher, const QDate &confirmedOn)
{
    qsizetype first = 0;
    while (first < counted.size() && counted[first]->date < firstHigher.addDays(-3)) {
        ++first;
    }
    qsizetype last = first;
    while (last + 1 < counted.size() && counted[last + 1]->date <= confirmedOn) {
        ++last;
    }
    const qsizetype split = changePoint(counted, first, last);
    const QDate high = counted[split]->date;
    if (split == 0) {
        return high;
    }
    const qint64 gap = counted[split - 1]->date.daysTo(high); // 1 when no morning is missing
    return counted[split - 1]->date.addDays(1 + (gap - 1) / 2);
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
            result.riseDay = riseDayOf(counted, result.firstHigher.value(), result.confirmedOn);
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
    const QDate first = cycle.shift.riseDay;
    cycle.ovulation = first.addDays(-1);
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

namespace {

// Her last (at most 12) closed cycles with a confirmed shift: the days from the rise to the next first
// day, newest first; lengths outside 7..20 days (a first day missed, a pregnancy) are not taken.
QList<int> highPhaseLengths(const QList<CycleTemperature> &cycles)
{
    QList<int> lengths;
    for (auto it = cycles.crbegin(); it != cycles.crend() && lengths.size() < 12; ++it) {
        const int days = it->closed && it->shift.confirmed ? int(it->shift.riseDay.daysTo(it->end)) + 1 : 0;
        if (days >= 7 && days <= 20) {
            lengths.append(days);
        }
    }
    return lengths;
}

// How much a length has varied for her: the variance of `lengths` about their mean, starting from a
// typical spread worth two cycles so that two equal cycles do not make a rule look exact.
double spreadOf(const QList<int> &lengths, double typicalDeviation)
{
    constexpr double PriorCycles = 2;
    double mean = 0;
    for (const int length : lengths) {
        mean += length;
    }
    mean /= std::max<qsizetype>(1, lengths.size());
    double squares = PriorCycles * typicalDeviation * typicalDeviation;
    for (const int length : lengths) {
        squares += (length - mean) * (length - mean);
    }
    return squares / (PriorCycles + std::max<qsizetype>(0, lengths.size() - 1));
}

} // namespace

int learnedHighPhaseDays(const QList<CycleTemperature> &cycles)
{
    const QList<int> lengths = highPhaseLengths(cycles);
    if (lengths.isEmpty()) {
        return DefaultHighPhaseDays;
    }
    // The median: one cycle whose rise was read a few days off moves it little.
    return int(std::lround(medianOf(lengths)));
}

std::optional<QDate> temperatureNextStart(const QList<CycleTemperature> &cycles)
{
    if (cycles.isEmpty() || cycles.back().closed || !cycles.back().shift.confirmed) {
        return std::nullopt;
    }
    const CycleTemperature &current = cycles.back();
    const QDate body = current.shift.riseDay.addDays(learnedHighPhaseDays(cycles));
    QList<int> cycleLengths;
    for (auto it = cycles.crbegin() + 1; it != cycles.crend() && cycleLengths.size() < 12; ++it) {
        cycleLengths.append(it->lengthDays());
    }
    if (cycleLengths.isEmpty()) {
        return body;
    }
    // The body and the calendar (her average cycle), each weighed by the inverse of how much it has
    // varied for her: the days from the rise to the next first day vary by about a day, whole cycles
    // by about three, so the body counts most unless her own records say otherwise.
    double meanLength = 0;
    for (const int length : cycleLengths) {
        meanLength += length;
    }
    meanLength /= double(cycleLengths.size());
    const double bodyWeight = 1.0 / spreadOf(highPhaseLengths(cycles), 1.0);
    const double calendarWeight = 1.0 / spreadOf(cycleLengths, 3.0);
    const double fromStart =
        (double(current.start.daysTo(body)) * bodyWeight + meanLength * calendarWeight) / (bodyWeight + calendarWeight);
    return current.start.addDays(std::lround(fromStart));
}

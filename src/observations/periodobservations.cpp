#include "periodobservations.h"

#include <algorithm>

namespace {

bool isBleeding(const DayRecord *record)
{
    return record != nullptr && record->flow && *record->flow != Flow::Spotting;
}

// The symptoms of a day, counted into days per token.
void countSymptoms(const DayRecord &record, std::array<int, SymptomTokens.size()> &counts)
{
    for (std::size_t t = 0; t < SymptomTokens.size(); ++t) {
        if (record.symptoms.contains(QLatin1String(SymptomTokens[t]))) {
            ++counts[t];
        }
    }
}

} // namespace

const DayRecord *dayRecordOn(const QList<DayRecord> &records, const QDate &day)
{
    const auto found = std::lower_bound(records.begin(), records.end(), day,
                                        [](const DayRecord &record, const QDate &d) { return record.date < d; });
    return found != records.end() && found->date == day ? &*found : nullptr;
}

std::optional<int> periodLength(const QDate &firstDay, const QList<DayRecord> &records, const QDate &nextFirstDay)
{
    if (!firstDay.isValid()) {
        return std::nullopt;
    }
    // Days counted from the first day (0). The first day is bleeding by its registration; spotting
    // carries the run over to a bleeding day after it but does not lengthen it by itself.
    bool recorded = isBleeding(dayRecordOn(records, firstDay));
    int lastBleeding = 0;
    int daysWithout = 0;
    for (int offset = 1; offset < MaxPeriodDays; ++offset) {
        const QDate day = firstDay.addDays(offset);
        if (nextFirstDay.isValid() && day >= nextFirstDay) {
            break;
        }
        const DayRecord *record = dayRecordOn(records, day);
        if (isBleeding(record)) {
            recorded = true;
            lastBleeding = offset;
            daysWithout = 0;
        } else if (record != nullptr && record->flow) {
            daysWithout = 0;
        } else if (++daysWithout > 1) {
            break;
        }
    }
    return recorded ? std::optional<int>(lastBleeding + 1) : std::nullopt;
}

QList<CycleRecord> cycleRecords(const QList<QDate> &firstDays, const QList<DayRecord> &records,
                                const QSet<QDate> &excluded)
{
    QList<CycleRecord> cycles;
    cycles.reserve(firstDays.size());
    auto record = records.begin();
    for (qsizetype i = 0; i < firstDays.size(); ++i) {
        CycleRecord cycle;
        cycle.firstDay = firstDays[i];
        if (i + 1 < firstDays.size()) {
            cycle.nextFirstDay = firstDays[i + 1];
            cycle.length = int(cycle.firstDay.daysTo(cycle.nextFirstDay));
        }
        cycle.leftOut = excluded.contains(cycle.firstDay);
        cycle.periodDays = periodLength(cycle.firstDay, records, cycle.nextFirstDay);

        std::array<int, SymptomTokens.size()> symptomDays{};
        record = std::lower_bound(record, records.end(), cycle.firstDay,
                                  [](const DayRecord &r, const QDate &d) { return r.date < d; });
        for (; record != records.end() && (!cycle.nextFirstDay.isValid() || record->date < cycle.nextFirstDay);
             ++record) {
            ++cycle.recordedDays;
            if (record->flow) {
                ++cycle.flowDays[std::size_t(*record->flow)];
            }
            cycle.strongestPain = std::max(cycle.strongestPain, record->pain);
            cycle.painkillerDays += record->painkiller ? 1 : 0;
            countSymptoms(*record, symptomDays);
        }
        for (std::size_t t = 0; t < SymptomTokens.size(); ++t) {
            if (symptomDays[t] > 0) {
                cycle.symptoms.append({QLatin1String(SymptomTokens[t]), symptomDays[t]});
            }
        }
        std::stable_sort(cycle.symptoms.begin(), cycle.symptoms.end(),
                         [](const auto &a, const auto &b) { return a.second > b.second; });
        cycles.append(cycle);
    }
    return cycles;
}

QList<CycleRecord> recentCountedCycles(const QList<CycleRecord> &cycles)
{
    QList<CycleRecord> counted;
    for (const CycleRecord &cycle : cycles) {
        if (cycle.length && !cycle.leftOut) {
            counted.append(cycle);
        }
    }
    return counted.mid(std::max<qsizetype>(0, counted.size() - RecentCycleCount));
}

std::optional<double> averagePeriodLength(const QList<CycleRecord> &cycles)
{
    QList<int> lengths;
    for (const CycleRecord &cycle : cycles) {
        if (cycle.length && !cycle.leftOut && cycle.periodDays) {
            lengths.append(*cycle.periodDays);
        }
    }
    lengths = lengths.mid(std::max<qsizetype>(0, lengths.size() - RecentCycleCount));
    if (lengths.isEmpty()) {
        return std::nullopt;
    }
    double sum = 0;
    for (const int length : lengths) {
        sum += length;
    }
    return sum / double(lengths.size());
}

QStringList periodObservations(const QList<CycleRecord> &cycles)
{
    const QList<CycleRecord> counted = recentCountedCycles(cycles);
    int shortCycles = 0;
    int longCycles = 0;
    int shortPeriods = 0;
    int longPeriods = 0;
    int shortest = 0;
    int longest = 0;
    for (const CycleRecord &cycle : counted) {
        shortCycles += *cycle.length < UsualCycleMin ? 1 : 0;
        longCycles += *cycle.length > UsualCycleMax ? 1 : 0;
        shortest = shortest == 0 ? *cycle.length : std::min(shortest, *cycle.length);
        longest = std::max(longest, *cycle.length);
        if (cycle.periodDays) {
            shortPeriods += *cycle.periodDays < UsualPeriodMin ? 1 : 0;
            longPeriods += *cycle.periodDays > UsualPeriodMax ? 1 : 0;
        }
    }
    QStringList texts;
    if (shortCycles > 0) {
        texts << QStringLiteral("%1日以内の周期: %2回 (頻発月経の目安)").arg(UsualCycleMin - 1).arg(shortCycles);
    }
    if (longCycles > 0) {
        texts << QStringLiteral("%1日以上の周期: %2回 (稀発月経の目安)").arg(UsualCycleMax + 1).arg(longCycles);
    }
    if (longest - shortest > UsualCycleSpread) {
        texts << QStringLiteral("周期の長さの差が%1日を超えています (最短%2日、最長%3日)")
                     .arg(UsualCycleSpread)
                     .arg(shortest)
                     .arg(longest);
    }
    if (shortPeriods > 0) {
        texts << QStringLiteral("月経期間が%1日以内: %2回 (過短月経の目安)").arg(UsualPeriodMin - 1).arg(shortPeriods);
    }
    if (longPeriods > 0) {
        texts << QStringLiteral("月経期間が%1日以上: %2回 (過長月経の目安)").arg(UsualPeriodMax + 1).arg(longPeriods);
    }
    return texts;
}

QString periodDaysText(const std::optional<int> &days)
{
    return days ? QString::number(*days) + QStringLiteral("日") : QStringLiteral("—");
}

QString painText(int pain)
{
    static const QString words[] = {QStringLiteral("なし"), QStringLiteral("軽い"), QStringLiteral("中"),
                                    QStringLiteral("強")};
    return words[std::clamp(pain, 0, MaxPain)];
}

#include "symptompattern.h"

#include "periodobservations.h"

#include <algorithm>
#include <array>

QList<QDate> patternFirstDays(const QList<QDate> &firstDays, const QList<DayRecord> &records,
                              const QSet<QDate> &excluded)
{
    QList<QDate> ends;
    for (qsizetype i = firstDays.size() - 1; i >= 1 && ends.size() < RecentCycleCount; --i) {
        const QDate start = firstDays[i - 1];
        if (excluded.contains(start)) {
            continue;
        }
        const auto found = std::lower_bound(records.begin(), records.end(), start,
                                            [](const DayRecord &r, const QDate &d) { return r.date < d; });
        if (found != records.end() && found->date < firstDays[i]) {
            ends.prepend(firstDays[i]);
        }
    }
    return ends;
}

SymptomPattern symptomPattern(const QList<QDate> &firstDays, const QList<DayRecord> &records,
                              const QSet<QDate> &excluded)
{
    const QList<QDate> ends = patternFirstDays(firstDays, records, excluded);
    SymptomPattern pattern;
    pattern.cycles = int(ends.size());
    QList<int> pain(PatternColumns, 0);
    std::array<QList<int>, SymptomTokens.size()> symptoms;
    symptoms.fill(QList<int>(PatternColumns, 0));
    std::array<int, SymptomTokens.size()> totals{};
    for (const QDate &end : ends) {
        const QDate from = end.addDays(-PatternDaysBefore);
        auto record = std::lower_bound(records.begin(), records.end(), from,
                                       [](const DayRecord &r, const QDate &d) { return r.date < d; });
        for (; record != records.end() && from.daysTo(record->date) < PatternColumns; ++record) {
            const auto column = from.daysTo(record->date);
            pain[column] += record->pain > 0 ? 1 : 0;
            for (std::size_t t = 0; t < SymptomTokens.size(); ++t) {
                if (record->symptoms.contains(QLatin1String(SymptomTokens[t]))) {
                    ++symptoms[t][column];
                    ++totals[t];
                }
            }
        }
    }
    pattern.rows.append({QString(), pain});
    for (std::size_t t = 0; t < SymptomTokens.size(); ++t) {
        if (totals[t] >= 2) {
            pattern.rows.append({QLatin1String(SymptomTokens[t]), symptoms[t]});
        }
    }
    return pattern;
}

QString patternDayText(int column)
{
    const int day = column - PatternDaysBefore;
    if (day == -1) {
        return QStringLiteral("生理の前日");
    }
    return day < 0 ? QStringLiteral("生理の%1日前").arg(-day) : QStringLiteral("生理の%1日目").arg(day + 1);
}

QString symptomRowSummary(const SymptomRow &row, int cycles)
{
    const QString name = row.token.isEmpty() ? QStringLiteral("痛み") : symptomCaption(row.token);
    const int peak = row.counts.isEmpty() ? 0 : *std::max_element(row.counts.begin(), row.counts.end());
    if (peak == 0) {
        return name + QStringLiteral(": 記録なし");
    }
    // The longest run of days at the peak; the earliest of equally long ones.
    int bestFirst = 0;
    int bestLength = 0;
    for (int c = 0; c < row.counts.size();) {
        if (row.counts[c] != peak) {
            ++c;
            continue;
        }
        int end = c;
        while (end < row.counts.size() && row.counts[end] == peak) {
            ++end;
        }
        if (end - c > bestLength) {
            bestFirst = c;
            bestLength = end - c;
        }
        c = end;
    }
    QString days = patternDayText(bestFirst);
    if (bestLength > 1) {
        const int last = bestFirst + bestLength - 1;
        // The second day without the repeated "生理の": "生理の3日前〜前日", "生理の2日前〜2日目".
        days += u'〜' + patternDayText(last).mid(3);
    }
    return QStringLiteral("%1: %2に多い (%3回中%4回)").arg(name, days).arg(cycles).arg(peak);
}

std::optional<PmsDays> pmsDays(const QList<QDate> &firstDays, const QList<DayRecord> &records,
                               const QSet<QDate> &excluded)
{
    const QList<QDate> ends = patternFirstDays(firstDays, records, excluded);
    if (ends.size() < MinPmsCycles) {
        return std::nullopt;
    }
    // withSymptom[k]: cycles with any symptom k days before the first day that ended them.
    std::array<int, PatternDaysBefore + 1> withSymptom{};
    for (const QDate &end : ends) {
        for (int k = 1; k <= PatternDaysBefore; ++k) {
            const DayRecord *record = dayRecordOn(records, end.addDays(-k));
            withSymptom[k] += record != nullptr && !record->symptoms.isEmpty() ? 1 : 0;
        }
    }
    PmsDays days;
    for (int k = PatternDaysBefore; k >= 1; --k) {
        if (2 * withSymptom[k] >= ends.size()) {
            days.firstBefore = std::max(days.firstBefore, k);
            days.lastBefore = k;
        }
    }
    if (days.firstBefore == 0) {
        return std::nullopt;
    }
    std::array<int, SymptomTokens.size()> seen{};
    for (const QDate &end : ends) {
        for (int k = days.lastBefore; k <= days.firstBefore; ++k) {
            if (const DayRecord *record = dayRecordOn(records, end.addDays(-k))) {
                for (std::size_t t = 0; t < SymptomTokens.size(); ++t) {
                    seen[t] += record->symptoms.contains(QLatin1String(SymptomTokens[t])) ? 1 : 0;
                }
            }
        }
    }
    QList<std::size_t> order;
    for (std::size_t t = 0; t < SymptomTokens.size(); ++t) {
        if (seen[t] > 0) {
            order.append(t);
        }
    }
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return seen[a] > seen[b]; });
    for (const std::size_t t : order) {
        days.symptoms.append(QLatin1String(SymptomTokens[t]));
    }
    return days;
}

std::optional<PmsForecast> pmsForecast(const std::optional<PmsDays> &days, const std::optional<QDate> &nextStart)
{
    if (!days || !nextStart || !nextStart->isValid()) {
        return std::nullopt;
    }
    return PmsForecast{nextStart->addDays(-days->firstBefore), nextStart->addDays(-days->lastBefore), days->symptoms};
}

QString pmsStatusText(const std::optional<PmsForecast> &forecast, const QDate &today)
{
    if (!forecast || today < forecast->first || today > forecast->last) {
        return QString();
    }
    return QStringLiteral("PMSが出やすい時期です (%1月%2日まで)").arg(forecast->last.month()).arg(forecast->last.day());
}

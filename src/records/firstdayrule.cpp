#include "firstdayrule.h"

#include <algorithm>
#include <cstdlib>

namespace {

void sortUnique(QList<QDate> &days)
{
    std::sort(days.begin(), days.end());
    days.erase(std::unique(days.begin(), days.end()), days.end());
}

} // namespace

QList<QDate> firstDaysFromBleeding(QList<QDate> bleedingDays)
{
    sortUnique(bleedingDays);
    QList<QDate> firstDays;
    QDate previous;
    for (const QDate &day : bleedingDays) {
        if (!previous.isValid() || previous.daysTo(day) > TenDayRuleDays) {
            firstDays.append(day);
        }
        previous = day;
    }
    return firstDays;
}

QList<QDate> firstDaysWithMarks(const QList<QDate> &bleedingDays, QList<QDate> markedDays)
{
    sortUnique(markedDays);
    QList<QDate> result = markedDays;
    for (const QDate &derived : firstDaysFromBleeding(bleedingDays + markedDays)) {
        if (!samePeriodFirstDay(markedDays, derived).isValid()) {
            result.append(derived);
        }
    }
    sortUnique(result);
    return result;
}

QDate samePeriodFirstDay(const QList<QDate> &firstDaysAscending, const QDate &day)
{
    if (!day.isValid()) {
        return {};
    }
    // The first registered day not before `day`, and the one just before it: only these two can be nearest.
    const auto after = std::lower_bound(firstDaysAscending.begin(), firstDaysAscending.end(), day);
    QDate best;
    qint64 bestDistance = TenDayRuleDays + 1;
    if (after != firstDaysAscending.begin()) {
        const QDate before = *std::prev(after);
        bestDistance = before.daysTo(day);
        best = before;
    }
    if (after != firstDaysAscending.end() && after->daysTo(day) * -1 < bestDistance) {
        bestDistance = -after->daysTo(day);
        best = *after;
    }
    return bestDistance <= TenDayRuleDays ? best : QDate();
}

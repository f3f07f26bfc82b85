#include "cyclewindows.h"

CycleWindowDays longPastWindows()
{
    CycleWindowDays result;
    result.windows.fill(DayWindow{LongPastDay, LongPastDay});
    return result;
}

qint32 cycleOffset(int cycleLength, int cyclesAhead)
{
    // The 64-bit product is exact; keeping its low 32 bits and reading them as signed is the wrap
    // (a defined conversion since C++20).
    const qint64 product = qint64(cycleLength) * qint64(cyclesAhead);
    return static_cast<qint32>(static_cast<quint32>(static_cast<quint64>(product)));
}

CycleWindowDays computeCycleWindows(qint64 newestFirstDay, int cycleLength, int cyclesAhead)
{
    const qint64 p0 = newestFirstDay + cycleOffset(cycleLength, cyclesAhead);
    const qint64 nextStart = p0 + qint64(cycleLength);
    // Ovulation is expected 16 days before the next period; the fertility windows are laid around it.
    const qint64 likelyStart = nextStart - 16;
    const qint64 likelyEnd = likelyStart + 4;
    const qint64 semiLikelyStart = likelyStart - 3;
    const qint64 semiLikelyEnd = likelyEnd + 1;

    CycleWindowDays result;
    result.windows = {
        DayWindow{p0, p0 + 6},                             // ThisPeriod: a period lasts at most seven days
        DayWindow{nextStart, nextStart + 6},               // NextPeriod
        DayWindow{p0 + 7, nextStart - 1},                  // UnlikelyDays, empty below a length of 8
        DayWindow{semiLikelyStart - 4, semiLikelyEnd + 1}, // SemiUnlikelyDays
        DayWindow{semiLikelyStart, semiLikelyEnd},         // SemiLikelyDays
        DayWindow{likelyStart, likelyEnd},                 // LikelyDays
    };
    return result;
}

DayCategory classifyDay(const CycleWindowDays &windows, qint64 day)
{
    DayCategory result = DayCategory::None;
    for (int i = 0; i < DayCategoryCount; ++i) {
        if (windows.windows[std::size_t(i)].contains(day)) {
            result = DayCategory(i + 1);
        }
    }
    return result;
}

qint64 julianDay(int year, int month, int day)
{
    // Counts from 1 March so that the leap day ends the counting year; eras are 400-year blocks.
    const qint64 y = qint64(year) - (month <= 2 ? 1 : 0);
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const qint64 yearOfEra = y - era * 400;
    const qint64 dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const qint64 dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    constexpr qint64 JulianDayOfEraStart = 1721120; // 0000-03-01
    return era * 146097 + dayOfEra + JulianDayOfEraStart;
}

int weekdayNumber(qint64 julianDay)
{
    // Julian day 0 was a Monday.
    const qint64 fromSunday = ((julianDay + 1) % 7 + 7) % 7;
    return int(fromSunday) + 1;
}

int daysInMonth(int year, int month)
{
    switch (month) {
    case 4:
    case 6:
    case 9:
    case 11:
        return 30;
    case 2:
        if (year % 400 == 0) {
            return 29;
        }
        if (year % 100 == 0) {
            return 28;
        }
        return year % 4 == 0 ? 29 : 28;
    default:
        return 31;
    }
}

#pragma once

#include "daycolors.h"

#include <QDate>
#include <QtGlobal>

#include <array>

// Day numbers are Julian day numbers (as QDate::toJulianDay) held in 64 bits, so that windows of any
// cycle length a user can type, up to 2147483647 days, are plain numbers that never overflow.

// One window of days, both ends inclusive; empty when last < first.
struct DayWindow
{
    qint64 first = 0;
    qint64 last = 0;

    constexpr bool contains(qint64 day) const { return first <= day && day <= last; }
    friend constexpr bool operator==(const DayWindow &, const DayWindow &) = default;
};

// The six windows of one predicted cycle, in DayCategory order (ThisPeriod first, LikelyDays last).
struct CycleWindowDays
{
    std::array<DayWindow, DayCategoryCount> windows;

    const DayWindow &operator[](DayCategory category) const { return windows[std::size_t(category) - 1]; }
    friend bool operator==(const CycleWindowDays &, const CycleWindowDays &) = default;
};

// 1899-12-30, the day every window holds before a cycle was ever computed: no displayed day is in it.
inline constexpr qint64 LongPastDay = 2415019;

CycleWindowDays longPastWindows();

// The offset of the predicted cycle from the newest first day: cycleLength * cyclesAhead as a signed
// 32-bit product, wrapping on overflow the way the stored program computed it.
qint32 cycleOffset(int cycleLength, int cyclesAhead);

// The windows of the cycle that begins cycleOffset(L, N) days after newestFirstDay.
CycleWindowDays computeCycleWindows(qint64 newestFirstDay, int cycleLength, int cyclesAhead);

// The category a day shows: the last window in DayCategory order that holds it, or None.
DayCategory classifyDay(const CycleWindowDays &windows, qint64 day);

// Proleptic Gregorian calendar with astronomical years (year 0 exists); equal to QDate for years >= 1.
qint64 julianDay(int year, int month, int day);
// 1 = Sunday .. 7 = Saturday.
int weekdayNumber(qint64 julianDay);
// 28..31 for month 1..12 by the Gregorian leap rule.
int daysInMonth(int year, int month);

#pragma once

#include <QDate>
#include <QList>

// The ten-day rule: a period's bleeding days lie close together, so a day at most TenDayRuleDays from a
// first day (before or after it) belongs to that first day's period and does not begin another one.
// Pure functions over plain dates: the import, the day dialog and the command line ask the same rule.

inline constexpr int TenDayRuleDays = 10;

// The days that begin a bleeding: each day with no other bleeding day in the ten days before it (the 1st
// and the 11th are one period, the 1st and the 12th two). Returns them ascending, each once.
QList<QDate> firstDaysFromBleeding(QList<QDate> bleedingDays);

// The first days of a source that marks some days as first days: the marked days, and the first days
// the bleeding days give (firstDaysFromBleeding) wherever no marked day lies within ten days of one.
// Returns them ascending, each once; time n log n.
QList<QDate> firstDaysWithMarks(const QList<QDate> &bleedingDays, QList<QDate> markedDays);

// The first day among `firstDaysAscending` (sorted oldest first, as readFirstDaysAscending gives them)
// whose period holds `day` by the ten-day rule: the nearest one at most TenDayRuleDays before or after
// it, the earlier of two equally near; the day itself when it is registered. An invalid date when none
// does (then `day` would begin a period of its own). Time log n.
QDate samePeriodFirstDay(const QList<QDate> &firstDaysAscending, const QDate &day);

#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// Cycle-length statistics over the lines of date.dat (newest first, "yyyy/mm/dd"). Gap i is the day
// number of line i minus that of line i+1, taken newest gap first. Each result is a decimal integer text.
// Fewer than two lines throw EListError for the first missing line; a line that is not a date throws
// EConvertError. Gaps are summed in 64 bits.

// Sum of the gaps divided by their count, truncated toward zero ("28" for gaps 28 and 29).
QString AverageCycleLength(const QStringList &lines);

// Walk over the gaps with a running value that starts at 0 and takes a gap when the gap is smaller
// (longest: greater) or the running value is still 0.
QString ShortestCycleLength(const QStringList &lines);
QString LongestCycleLength(const QStringList &lines);

// Gap 0 alone: line 0 minus line 1.
QString PreviousCycleLength(const QStringList &lines);

// The length of a cycle mode of the main window's list: 0 average, 1 shortest, 2 longest, 3 previous.
// Nothing for any other mode: the user's own length, kept in the settings.
std::optional<QString> CycleLengthOfMode(const QStringList &lines, int mode);

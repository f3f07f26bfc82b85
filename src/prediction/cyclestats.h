#pragma once

#include <QDate>
#include <QList>
#include <QSet>
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

// Her own cycle length (mode 4, stored as Daybetween) that the 周期設定 box's predictions can use: at
// least a day, at most three digits; a stored value outside is read as the box's default.
constexpr int MinOwnCycleDays = 1;
constexpr int MaxOwnCycleDays = 999;
constexpr int DefaultOwnCycleDays = 28;

// The stored own length (the text of Daybetween, empty when missing): its value when it is a whole
// number from MinOwnCycleDays to MaxOwnCycleDays, otherwise DefaultOwnCycleDays and, in `notice` when
// given, one sentence saying so (nothing is said for a missing value).
int ownCycleLengthFrom(const QString &stored, QString *notice = nullptr);

// The length of a cycle mode of the main window's list: 0 average, 1 shortest, 2 longest, 3 previous.
// Nothing for any other mode: the user's own length, kept in the settings.
std::optional<QString> CycleLengthOfMode(const QStringList &lines, int mode);

// The same with the cycles beginning on an `excluded` day left out of modes 0 to 2 (a cycle she marked
// "計算に入れない"); when every cycle is excluded they all count, so a mode always has a length. Modes 3
// and over are as above.
std::optional<QString> CycleLengthOfMode(const QStringList &lines, int mode, const QSet<QDate> &excluded);

// The same rules over the oldest `count` of first days given oldest first, without text. Nothing with
// fewer than two days, or for a mode other than 0 to 3.
std::optional<int> cycleLengthOfModeDays(const QList<QDate> &oldestFirst, qsizetype count, int mode,
                                         const QSet<QDate> &excluded);

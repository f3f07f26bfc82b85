#pragma once

#include <QDate>
#include <QList>
#include <QString>

#include <functional>

// date.dat: one "yyyy/mm/dd" line per first day of a period, newest first.

enum class AddResult { Added, AlreadyRegistered };

// Adds the day unless its text is already a line (then the file is not touched), sorts all lines
// newest first and writes the file, creating it when missing.
AddResult AddPeriodStart(const QString &datePath, const QDate &day);

// What a reader of date.dat does with a line that is not a date (a hand edit).
enum class UnreadableLine {
    Throw, // EConvertError: the windows that list and count the lines say which one is wrong
    Skip,  // passed over: the import, the export and the temperature's cycles use the lines they can read
};

// The first days of date.dat oldest first, each once, whatever order a hand edit left them in; a missing
// file holds none. The one reader of the file's dates. Throws EFileError when it cannot be read.
QList<QDate> readFirstDaysAscending(const QString &datePath, UnreadableLine unreadable = UnreadableLine::Throw);

// One entry of a list shown to the user with check boxes.
struct CheckedEntry
{
    QString text;
    bool checked = false;
};

// Removes every checked entry whose text equals the file line at the same position, from the file list
// and from `shown`, going from the last position to the first so the two stay aligned; then writes the
// file, also when nothing was removed. A checked position the file no longer has throws
// EListError::indexOutOfRange(position): the file is then not written, while the entries removed from
// `shown` before that point stay removed. When the write itself fails, `shown` is given back as it came,
// so the list still matches the file that was left unchanged.
void DeletePeriodStarts(const QString &datePath, QList<CheckedEntry> &shown);

// The deletion pass both data files share: `sameEntry(line, shownText)` tells whether the file line at a
// checked position is the entry shown there; `isListed(line)`, when given, tells which lines the list
// shows (the others are skipped in counting positions and stay). Same contract as DeletePeriodStarts;
// time linear in the file and the list.
void deleteCheckedLines(const QString &path, QList<CheckedEntry> &shown,
                        const std::function<bool(const QString &line, const QString &shownText)> &sameEntry,
                        const std::function<bool(const QString &line)> &isListed = {});

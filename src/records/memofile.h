#pragma once

#include "periodfile.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>
#include <utility>

// dateMemo.dat: one line per day with a memo, newest first:  yyyy/mm/dd,"text"
// Inside the quotes a line break is stored as "$$" and a double quote is doubled.

// Cuts a file line into its fields. Blanks (U+0001..U+0020) around fields are skipped; a field is either
// quoted ("..." with "" standing for one quote; an unclosed quote runs to the end) or runs up to the next
// comma or blank; a comma that ends the line adds an empty last field. U+0000 outside quotes ends the line.
QStringList splitMemoLine(const QString &line);

// True for a line without any field: empty, or only characters U+0001..U+0020 (a hand edit leaves such
// lines). Readers pass over them; writers keep them where they are.
bool isBlankMemoLine(QStringView line);

// Position of the first line whose field 0 is the day as a date (2011/3/5 matches 2011/03/05), or -1.
// Throws EConvertError when a field 0 before the match is not a date.
int FindMemoLine(const QStringList &lines, const QDate &day);

// The stored line of a memo. Every line break (CR LF, or a lone CR or LF) becomes "$$" and a double quote
// is doubled, so the line never breaks apart and reads back as the text given (line breaks as CR LF).
QString BuildMemoLine(const QDate &day, const QString &text);

// The text of a memo as the file gives it back: BuildMemoLine's line for the text, read as LoadMemo reads
// it. A typed "$$", or a "$" right before a line break, comes back as a line break.
QString memoTextReadBack(const QDate &day, const QString &text);

// Nothing when the memo text reads back from its stored line exactly as typed (line breaks of any form
// count as kept: they all come back as CR LF); otherwise the notice to show, naming the "$" signs that
// would turn into line breaks and the lines they stand on. The file format stays as other copies of the
// program read it, so such a text is refused instead of stored.
std::optional<QString> memoNotKeptNotice(const QDate &day, const QString &text);

// The memo of the day with "$$" turned back into CR LF, or nothing when the day has no line.
std::optional<QString> LoadMemo(const QString &memoPath, const QDate &day);

// Replaces the day's line or adds one, sorts newest first and writes the file.
void SaveMemo(const QString &memoPath, const QDate &day, const QString &text);

// A memo for a day, as another program's export or a restore brings it.
struct DayMemo
{
    QDate day;
    QString text; // line breaks in any form
    friend bool operator==(const DayMemo &, const DayMemo &) = default;
};

struct MemoMerge
{
    int added = 0;    // days that had no memo
    int appended = 0; // memos added after a line break to a different memo of their day
    int there = 0;    // memos already held as a whole or as a block of whole lines
    // Memos the file cannot hold as written (the "$$" rule): their position in the incoming list (from 1)
    // and the reason.
    QList<std::pair<qsizetype, QString>> refused;

    bool changesAnything() const { return added + appended > 0; }
};

// Merges memos into the memo lines (as LineFile holds them): a day without a line gets one, a memo its
// day's memo already holds (the whole memo, or a block of whole lines of it) is counted as there, any
// other is appended after a line break. Nothing is removed or rewritten but the lines of the days that
// change; the lines are sorted newest first when anything changed. Time about linear in the lines and
// the memos (20,000 memos of one day take a fraction of a second).
MemoMerge mergeMemoLines(QStringList &lines, const QList<DayMemo> &incoming);

// The same on the memo file: with write false it only counts; with write true it writes the file once
// (atomically, under the data lock) when anything changed. Throws EFileError when it cannot be read or
// written.
MemoMerge mergeMemos(const QString &memoPath, const QList<DayMemo> &incoming, bool write);

// Sorts the memo lines newest first; blank lines (a hand edit) keep their places among them.
void sortMemoLines(QStringList &lines);

// Removes the day's line if there is one and writes the file in any case (created empty when missing).
void DeleteMemo(const QString &memoPath, const QDate &day);

// As DeletePeriodStarts, comparing the shown text with field 0 of the line at the same position, where
// positions count the memo lines only (blank lines are not listed and stay in the file).
void DeleteMemoLines(const QString &memoPath, QList<CheckedEntry> &shown);

// The days of all memo lines in file order, blank lines passed over; throws EConvertError for a day
// that is not a date. Reads only the day of each line, not its memo text.
QList<QDate> ReadMemoDays(const QString &memoPath);

// Field 0 of a memo line as splitMemoLine would cut it, without cutting the memo text when the line
// starts with an unquoted day and a comma. A line without fields throws EListError (0).
QString memoDayField(const QString &line);

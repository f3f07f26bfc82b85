#pragma once

#include "importrecords.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

// Reads a file of another program, choosing the reader by the content, never by the name. Throws
// EImportError with the reason when the file cannot be read (missing, empty, not one of the formats,
// broken or cut off, longer than MaxRecordBytes in one line or record, or not a regular file: a FIFO,
// pipe or device is refused before it is read); nothing is written in any case. Records outside
// FirstImportDay..today are left out and counted (keepPlausible).
ImportedRecords readImportFile(const QString &path, const QDate &today = QDate::currentDate());

// The same for bytes in memory (the fuzz targets and tests).
ImportedRecords readImportBytes(const QByteArray &bytes, const QDate &today = QDate::currentDate());

// What merging the records into the data folder gives (or gave).
struct MergeCounts
{
    int firstDaysNew = 0;
    int firstDaysThere = 0;                       // the same day registered, or one within the ten-day rule of it
    QList<QDate> firstDaysAdded;                  // ascending
    QList<std::pair<QDate, QDate>> firstDaysNear; // an imported first day and the one whose period holds it
    int memosNew = 0;
    int memosAppended = 0;
    int memosThere = 0;
    int readingsNew = 0;
    int readingsDiffering = 0;
    DayRecordMerge dayRecords;        // per kind of observation: days that gain it, days that differ
    QList<SkippedEntry> memosRefused; // memos the memo file cannot hold as written (the "$$" rule)

    bool changesAnything() const
    {
        return firstDaysNew + memosNew + memosAppended + readingsNew > 0 || dayRecords.changesAnything();
    }
};

// Merges the records into date.dat, dateMemo.dat, dateTemp.dat and dateDay.dat of dataFolder (ending in
// "/"), or with write false only counts what would change. Nothing is ever deleted: a first day already
// there, or within the ten-day rule of one there (firstdayrule.h, before or after it), is not added, a
// memo is appended after a line break to a different memo of its day and not repeated, a stored reading
// wins, so does a stored single value of a day record (symptoms are joined). Each file is written
// atomically under the data folder's lock. Throws EFileError (errors.h) when a data file cannot be read
// or written.
MergeCounts mergeImport(const QString &dataFolder, const ImportedRecords &records, bool write);

// Where the backup before an import made at `now` goes (Backup::makeTimedBackup at the same moment).
QString timedBackupPath(const QString &dataFolder, const QDateTime &now);

// The preview the window and the command line show alike: the format, the counts, the first days it
// adds and those it counts as the same period, the records left out, the skipped entries with their
// line or record number and reason and, when it changes anything and backupPath is given, the backup
// made first. Control characters from the file are shown escaped (escapeControls).
QString previewText(const ImportedRecords &records, const MergeCounts &counts, const QString &backupPath = {});

#pragma once

#include "importrecords.h"

#include <QByteArray>
#include <QString>

// Reads a file of another program, choosing the reader by the content, never by the name. Throws
// EImportError with the reason when the file cannot be read (missing, empty, not one of the formats,
// broken or cut off); nothing is written in any case.
ImportedRecords readImportFile(const QString &path);

// The same for bytes in memory (the fuzz targets and tests).
ImportedRecords readImportBytes(const QByteArray &bytes);

// What merging the records into the data folder gives (or gave).
struct MergeCounts
{
    int firstDaysNew = 0;
    int firstDaysThere = 0;
    int memosNew = 0;
    int memosAppended = 0;
    int memosThere = 0;
    int readingsNew = 0;
    int readingsDiffering = 0;
    QList<SkippedEntry> memosRefused; // memos the memo file cannot hold as written (the "$$" rule)

    bool changesAnything() const { return firstDaysNew + memosNew + memosAppended + readingsNew > 0; }
};

// Merges the records into date.dat, dateMemo.dat and dateTemp.dat of dataFolder (ending in "/"), or
// with write false only counts what would change. Nothing is ever deleted: a first day already there
// stays once, a memo is appended after a line break to a different memo of its day and not repeated,
// a stored reading wins. Each file is written atomically under the data folder's lock. Throws
// EFileError (errors.h) when a data file cannot be read or written.
MergeCounts mergeImport(const QString &dataFolder, const ImportedRecords &records, bool write);

// The preview the window and the command line show alike: the format, the counts and the skipped
// entries with their line or record number and reason.
QString previewText(const ImportedRecords &records, const MergeCounts &counts);

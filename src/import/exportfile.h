#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// The full export: one UTF-8 JSON document with every record of the data folder.
//   {"format": "Easy VELUNA export", "version": 2, "exported": "2026-12-07T19:54:40+09:00",
//    "firstDays": ["2026-11-30", ...],                       newest first
//    "memos": [{"date": "2026-11-30", "text": "..."}, ...],   line breaks as "\r\n"
//    "readings": [{"date": "2026-11-30", "celsius": 36.52, "leftOut": false}, ...],
//    "dayRecords": [{"date": "2026-11-30", "record": "flow=heavy,pain=2"}, ...],  as dateDay.dat holds them
//    "settings": {"Section": {"Key": "value", ...}, ...}}    setting.ini without the mail password
// Reading it back (readOwnExport) gives the same first days, memos, readings and day records. Version 1
// (before the day records) is read as well.

inline constexpr char ExportFormatName[] = "Easy VELUNA export";
constexpr int ExportFormatVersion = 2;

// The document for the data files of dataFolder (ending in "/"). Throws EFileError when one cannot be read.
QByteArray buildExport(const QString &dataFolder, const QDateTime &now);

// Empty when the export may be written to path; otherwise the one line that says why not: path is a
// symbolic link (one planted in a shared folder could lead to any file of hers), or one of her data
// files in dataFolder, by its name or by any other path to it.
QString exportRefusal(const QString &dataFolder, const QString &path);

// Writes the export to path atomically, readable and writable by the user only (0600). Throws EFileError
// with exportRefusal's line, or when the file cannot be written.
void writeExport(const QString &dataFolder, const QString &path);

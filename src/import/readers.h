#pragma once

#include "importrecords.h"

#include <QByteArray>
#include <QFile>
#include <QJsonDocument>
#include <QString>

// One reader per format. Each takes the whole file (the small formats) or streams it (Apple Health),
// returns plain records and throws EImportError when the file is not of its format or breaks off.
// importfile.h chooses among them by the content.

// Whether the bytes begin as a zip archive does (a local file header, or the end record of an empty one).
bool startsLikeZip(QByteArrayView head);

// Apple Health: export.zip (its apple_health_export/export.xml, read as a stream) or export.xml, from a
// regular file open for reading. Exports run to gigabytes: records outside FirstImportDay..today are
// counted and dropped as they are read, and of several readings of one day only the first is kept, so
// memory stays bounded whatever the file's size. A token (a tag with its attributes, a comment, a text)
// over MaxRecordBytes ends the import.
ImportedRecords readAppleHealthFile(QFile &file, const QDate &today);
// The same from bytes in memory (a zip or the XML).
ImportedRecords readAppleHealthBytes(const QByteArray &bytes, const QDate &today);

// drip.'s CSV export: a header of dotted column names, one row per day in any order.
ImportedRecords readDripCsv(const QString &text);

// A CSV whose first column holding dates lists first days; a メモ/note column gives memos.
ImportedRecords readDatesCsv(const QString &text);

// Clue: an array of objects, those of type "period" with a date are bleeding days.
ImportedRecords readClueJson(const QJsonDocument &document);

// Flo: operationalData.cycles[] with period_start_date.
ImportedRecords readFloJson(const QJsonDocument &document);

// Mensinator: periods[] with date and period_id; the earliest date of each period_id begins it.
ImportedRecords readMensinatorJson(const QJsonDocument &document);

// This program's own full export (exportfile.h).
ImportedRecords readOwnExport(const QJsonDocument &document);

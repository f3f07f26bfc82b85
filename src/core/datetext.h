#pragma once

#include <QDate>
#include <QString>

// The one text form of dates in files, lists and mail: "yyyy/mm/dd", zero-padded, whatever the locale.
QString formatDateText(const QDate &date);

// Reads year, month and day separated by "/"; the year has 1 to 4 digits, month and day 1 or 2 digits,
// surrounding blanks are ignored. Anything that is not a real calendar date throws EConvertError with
// "''<text>'' は日付ではありません".
QDate parseDateText(const QString &text);

// A decimal integer with an optional sign, leading blanks allowed, within the signed 32-bit range;
// anything else throws EConvertError with "''<text>'' は整数ではありません".
int parseIntegerText(const QString &text);

#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// Comma-separated text as RFC 4180 has it: fields in double quotes may hold commas, line breaks and
// doubled quotes; CR LF, LF and CR all end a record. Calls row(fields, line) for each record, line being
// the number of the line it starts on (from 1). Blank lines give no record. A record longer than
// MaxRecordBytes characters or of more than a thousand fields throws EImportError.
void forEachCsvRow(const QString &text, const std::function<void(const QStringList &fields, qint64 line)> &row);

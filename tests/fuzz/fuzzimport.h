#pragma once

// What every reader of another program's file promises, whatever the bytes: it gives records or throws
// EImportError, and the records it gives are real days, readings in range and a skip count that covers
// the listed skips; its day records are one per real day and read back the same from the line a save
// writes.
#include "fuzzsupport.h"
#include "importrecords.h"

#include <QJsonDocument>
#include <QSet>

inline void checkImportedRecords(const ImportedRecords &records)
{
    for (const QDate &day : records.firstDays) {
        FUZZ_CHECK(day.isValid(), records.format);
    }
    for (const ImportedMemo &memo : records.memos) {
        FUZZ_CHECK(memo.day.isValid(), memo.text);
    }
    for (const TemperatureReading &reading : records.readings) {
        FUZZ_CHECK(reading.date.isValid(), records.format);
        FUZZ_CHECK(reading.centiDegrees >= MinCentiDegrees && reading.centiDegrees <= MaxCentiDegrees,
                   QString::number(reading.centiDegrees));
    }
    QSet<QDate> days;
    for (const DayRecord &record : records.dayRecords) {
        FUZZ_CHECK(record.date.isValid() && !days.contains(record.date), records.format);
        days.insert(record.date);
        const DayFileContent back = parseDayFile(formatDayLine(record).toUtf8());
        FUZZ_CHECK(back.records.size() == 1 && back.records.front() == record, formatDayLine(record));
    }
    FUZZ_CHECK(records.skippedCount >= records.skipped.size(), records.format);
    FUZZ_CHECK(records.skipped.size() <= ImportedRecords::MaxListedSkipped, records.format);
}

template<typename Reader> void fuzzReader(Reader &&reader)
{
    try {
        checkImportedRecords(reader());
    } catch (const EImportError &e) {
        FUZZ_CHECK(!e.reason().isEmpty(), QString());
    }
}

// The JSON formats: the bytes as a document, then the reader.
template<typename Reader> void fuzzJsonReader(const uint8_t *data, size_t size, Reader &&reader)
{
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    fuzzReader([&] { return reader(document); });
}

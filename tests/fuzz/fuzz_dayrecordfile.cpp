// dateDay.dat: any bytes read as the file, then one record stored into it as the day dialog does.
// The save keeps every record, adds the new one and keeps every line it could not read; each record
// written comes back the same when read again.
#include "dayrecordfile.h"
#include "fuzzsupport.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = fuzzFile("dateDay.dat", data, size);
    const DayFileContent before = readDayFile(path);
    for (const DayRecord &record : before.records) {
        FUZZ_CHECK(record.date.isValid() && !record.isEmpty(), formatDayLine(record));
        FUZZ_CHECK(!record.mucus || (*record.mucus >= MinMucus && *record.mucus <= MaxMucus), formatDayLine(record));
        FUZZ_CHECK(record.pain >= 0 && record.pain <= MaxPain, formatDayLine(record));
        FUZZ_CHECK(!record.weightTenths ||
                       (*record.weightTenths >= MinWeightTenths && *record.weightTenths <= MaxWeightTenths),
                   formatDayLine(record));
    }
    const QDate day(2000, 1, 1);
    DayRecord added;
    added.date = day;
    added.flow = Flow::Medium;
    added.symptoms = {QStringLiteral("cramps")};
    storeDayRecord(path, day, added);
    QList<DayRecord> expected = before.records;
    expected.removeIf([&](const DayRecord &r) { return r.date == day; });
    expected.append(added);
    std::stable_sort(expected.begin(), expected.end(), [](auto &a, auto &b) { return a.date < b.date; });
    const DayFileContent after = readDayFile(path);
    FUZZ_CHECK(after.records == expected, QString::number(before.records.size()));
    FUZZ_CHECK(after.unreadableLines == before.unreadableLines, before.unreadableLines.join(u'|'));
    return 0;
}

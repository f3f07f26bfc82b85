// dateTemp.dat: any bytes read as the file, then one reading stored into it as the day dialog does.
// The save keeps every reading, adds the new one and keeps every line it could not read.
#include "fuzzsupport.h"
#include "temperaturefile.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = fuzzFile("dateTemp.dat", data, size);
    const TemperatureFileContent before = readTemperatureFile(path);
    for (const TemperatureReading &reading : before.readings) {
        FUZZ_CHECK(reading.date.isValid(), formatTemperatureLine(reading));
        FUZZ_CHECK(reading.centiDegrees >= MinCentiDegrees && reading.centiDegrees <= MaxCentiDegrees,
                   formatTemperatureLine(reading));
    }
    const QDate day(2000, 1, 1);
    const TemperatureReading added{day, 3650, false};
    storeTemperatureReading(path, day, added);
    QList<TemperatureReading> expected = before.readings;
    expected.removeIf([&](const TemperatureReading &r) { return r.date == day; });
    expected.append(added);
    std::stable_sort(expected.begin(), expected.end(), [](auto &a, auto &b) { return a.date < b.date; });
    const TemperatureFileContent after = readTemperatureFile(path);
    FUZZ_CHECK(after.readings == expected, QString::number(before.readings.size()));
    FUZZ_CHECK(after.unreadableLines == before.unreadableLines, before.unreadableLines.join(u'|'));
    return 0;
}

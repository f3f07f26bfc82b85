// dateTemp.dat: reading any bytes as the file, writing what was read and reading it again, and the
// typed reading of the day dialog.
#include "fuzzsupport.h"
#include "temperaturefile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const TemperatureFileContent content = parseTemperatureFile(bytes);
    for (qsizetype i = 0; i < content.readings.size(); ++i) {
        const TemperatureReading &r = content.readings[i];
        FUZZ_CHECK(r.date.isValid() && r.centiDegrees >= MinCentiDegrees && r.centiDegrees <= MaxCentiDegrees,
                   formatTemperatureLine(r));
        FUZZ_CHECK(i == 0 || content.readings[i - 1].date < r.date, formatTemperatureLine(r));
    }
    // A save keeps every reading and every line it could not read.
    const TemperatureFileContent again = parseTemperatureFile(formatTemperatureFile(content));
    FUZZ_CHECK(again.readings == content.readings, QString::fromUtf8(bytes));
    FUZZ_CHECK(again.unreadableLines.size() == content.unreadableLines.size(), QString::fromUtf8(bytes));

    const std::optional<int> typed = parseTemperatureText(fuzzText(data, size));
    FUZZ_CHECK(!typed || (*typed >= MinCentiDegrees && *typed <= MaxCentiDegrees), fuzzText(data, size));
    return 0;
}

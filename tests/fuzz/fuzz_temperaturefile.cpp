// dateTemp.dat: any bytes read as the file; what the reader takes is written back and read again alike.
#include "fuzzsupport.h"
#include "temperaturefile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const TemperatureFileContent content =
        parseTemperatureFile(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    for (const TemperatureReading &reading : content.readings) {
        FUZZ_CHECK(reading.date.isValid(), formatTemperatureLine(reading));
        FUZZ_CHECK(reading.centiDegrees >= MinCentiDegrees && reading.centiDegrees <= MaxCentiDegrees,
                   formatTemperatureLine(reading));
    }
    const TemperatureFileContent again = parseTemperatureFile(formatTemperatureFile(content));
    FUZZ_CHECK(again.readings == content.readings, QString::number(content.readings.size()));
    FUZZ_CHECK(again.unreadableLines.size() == content.unreadableLines.size(), content.unreadableLines.join(u'|'));
    return 0;
}

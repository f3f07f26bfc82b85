// Date text typed by the user or read from a data file line.
#include "datetext.h"
#include "errors.h"
#include "fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = fuzzText(data, size);
    QDate date;
    try {
        date = parseDateText(text);
    } catch (const EConvertError &e) {
        // The value is quoted whole, or its first 100 characters (up to 200 UTF-16 units) and "…".
        FUZZ_CHECK(e.message().contains(quotedValue(text)) && e.message().size() < 240, e.message());
        return 0;
    }
    // Whatever is accepted is a real day of years 1..9999 and survives its own written form.
    FUZZ_CHECK(date.isValid() && date.year() >= 1 && date.year() <= 9999, text);
    const QString written = formatDateText(date);
    FUZZ_CHECK(written.size() == 10, written);
    FUZZ_CHECK(parseDateText(written) == date, written);
    return 0;
}

// Integer text of the edit boxes (cycle length, cycles ahead) and of hand-edited files.
#include "datetext.h"
#include "errors.h"
#include "fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = fuzzText(data, size);
    int value = 0;
    try {
        value = parseIntegerText(text);
    } catch (const EConvertError &e) {
        // The value is quoted whole, or its first 100 characters (up to 200 UTF-16 units) and "…".
        FUZZ_CHECK(e.message().contains(quotedValue(text)) && e.message().size() < 240, e.message());
        return 0;
    }
    // An accepted text holds that number: with blanks, sign and leading zeros removed it is its decimal.
    QString digits = text.trimmed();
    FUZZ_CHECK(!digits.isEmpty(), text);
    bool ok = false;
    const qint64 reference = digits.toLongLong(&ok);
    FUZZ_CHECK(ok && reference == value, text);
    FUZZ_CHECK(parseIntegerText(QString::number(value)) == value, text);
    return 0;
}

// Base64 of the stored account name and password in setting.ini, and of the server's AUTH prompts.
#include "base64.h"
#include "fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = fuzzText(data, size);
    const QString decoded = Base64Decode(text);
    // Four characters give at most three bytes, each a character below U+0100.
    FUZZ_CHECK(decoded.size() <= (text.size() + 3) / 4 * 3, text);
    for (const QChar c : decoded) {
        FUZZ_CHECK(c.unicode() <= 0xFF, text);
    }

    // Byte text (one byte per character) survives encoding and decoding.
    const QString bytes = QString::fromLatin1(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString encoded = Base64Encode(bytes);
    FUZZ_CHECK(encoded.size() == qsizetype((size + 2) / 3 * 4), encoded);
    FUZZ_CHECK(Base64Decode(encoded) == bytes, encoded);
    return 0;
}

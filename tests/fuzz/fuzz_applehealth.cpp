// Apple Health's export: the XML with its DTD, and the zip around it, streamed through libarchive.
#include "fuzzimport.h"
#include "readers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    fuzzReader([&] { return readAppleHealthBytes(bytes, QDate::currentDate()); });
    return 0;
}

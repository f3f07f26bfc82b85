// A CSV of first days (this program's own history CSV among them): the date column found by its content.
#include "fuzzimport.h"
#include "readers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = fuzzText(data, size);
    fuzzReader([&] { return readDatesCsv(text); });
    return 0;
}

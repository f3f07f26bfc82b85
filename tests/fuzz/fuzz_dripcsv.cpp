// drip.'s CSV export: dotted column names, rows in any order, quoted fields with line breaks.
#include "fuzzimport.h"
#include "readers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = fuzzText(data, size);
    fuzzReader([&] { return readDripCsv(text); });
    return 0;
}

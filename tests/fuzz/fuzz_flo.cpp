// Flo's JSON export: operationalData.cycles[].
#include "fuzzimport.h"
#include "readers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzzJsonReader(data, size, readFloJson);
    return 0;
}

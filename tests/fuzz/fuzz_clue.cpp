// Clue's JSON export: an array of objects, periods among them.
#include "fuzzimport.h"
#include "readers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzzJsonReader(data, size, readClueJson);
    return 0;
}

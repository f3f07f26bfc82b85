// Mensinator's JSON export: periods[] grouped by period_id. The program's own full export, also JSON,
// goes through the same input.
#include "fuzzimport.h"
#include "readers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzzJsonReader(data, size, readMensinatorJson);
    fuzzJsonReader(data, size, readOwnExport);
    return 0;
}

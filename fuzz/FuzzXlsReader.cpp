// Binary workbooks through FreeXL.
#include "WorkbookFuzzing.h"

#include "identity/XlsWorkbookReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    return fuzzWorkbookReader<XlsWorkbookReader>(data, size, "fuzz.xls");
}

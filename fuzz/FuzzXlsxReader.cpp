// Zip container, relationships, workbook, styles, shared strings and sheet XML, and number formats.
#include "WorkbookFuzzing.h"

#include "workbook/XlsxWorkbookReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    return fuzzWorkbookReader<XlsxWorkbookReader>(data, size, "fuzz.xlsx");
}

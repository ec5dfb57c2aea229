// Text workbooks: the file is the sheet "IMEI".
#include "WorkbookFuzzing.h"

#include "workbook/CsvWorkbookReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    return fuzzWorkbookReader<CsvWorkbookReader>(data, size, "IMEI.csv");
}

// Binary workbooks: FreeXL in the helper program, and the reader over what the helper prints. A fault of FreeXL
// ends the helper, which the reader must take as a damaged workbook.
#include "WorkbookFuzzing.h"

#include "workbook/XlsWorkbookReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const bool helperSet = (XlsWorkbookReader::setHelperProgram(QStringLiteral(XLSCELLS_EXE)), true);
    Q_UNUSED(helperSet);
    return fuzzWorkbookReader<XlsWorkbookReader>(data, size, "fuzz.xls");
}

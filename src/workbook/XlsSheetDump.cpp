#include "workbook/XlsSheetDump.h"

#include <freexl.h>

#include <string>

namespace {

void putEscaped(const char *text, std::FILE *out)
{
    for (const char *c = text; *c; ++c) {
        switch (*c) {
        case '\\':
            std::fputs("\\\\", out);
            break;
        case '\n':
            std::fputs("\\n", out);
            break;
        case '\r':
            std::fputs("\\r", out);
            break;
        case '\t':
            std::fputs("\\t", out);
            break;
        default:
            std::fputc(*c, out);
            break;
        }
    }
}

int dumpSheet(const void *handle, unsigned short sheet, std::FILE *out)
{
    unsigned int rows = 0;
    unsigned short columns = 0;
    if (freexl_select_active_worksheet(handle, sheet) != FREEXL_OK ||
        freexl_worksheet_dimensions(handle, &rows, &columns) != FREEXL_OK)
        return 2;
    std::fprintf(out, "W %u\n", unsigned(sheet));
    for (unsigned int row = 0; row < rows; ++row) {
        for (unsigned short column = 0; column < columns; ++column) {
            FreeXL_CellValue value;
            if (freexl_get_cell_value(handle, row, column, &value) != FREEXL_OK)
                return 2;
            switch (value.type) {
            case FREEXL_CELL_INT:
                std::fprintf(out, "I %u %u %d\n", row + 1, unsigned(column) + 1, value.value.int_value);
                break;
            case FREEXL_CELL_DOUBLE:
                std::fprintf(out, "D %u %u %.17g\n", row + 1, unsigned(column) + 1, value.value.double_value);
                break;
            case FREEXL_CELL_TEXT:
            case FREEXL_CELL_SST_TEXT:
            case FREEXL_CELL_DATE:
            case FREEXL_CELL_DATETIME:
            case FREEXL_CELL_TIME:
                if (!value.value.text_value || !*value.value.text_value)
                    break;
                std::fprintf(out, "T %u %u ", row + 1, unsigned(column) + 1);
                putEscaped(value.value.text_value, out);
                std::fputc('\n', out);
                break;
            default:
                break;
            }
        }
    }
    return 0;
}

} // namespace

int dumpXlsWorkbook(const char *path, std::FILE *out)
{
    const void *handle = nullptr;
    if (freexl_open(path, &handle) != FREEXL_OK) {
        if (handle)
            freexl_close(handle);
        return 2;
    }
    unsigned int protection = 0;
    unsigned int sheets = 0;
    int status = 0;
    if (freexl_get_info(handle, FREEXL_BIFF_PASSWORD, &protection) != FREEXL_OK ||
        protection == FREEXL_BIFF_OBFUSCATED ||
        freexl_get_info(handle, FREEXL_BIFF_SHEET_COUNT, &sheets) != FREEXL_OK || sheets > 0xFFFF)
        status = 2;
    for (unsigned int i = 0; status == 0 && i < sheets; ++i) {
        const char *name = nullptr;
        if (freexl_get_worksheet_name(handle, (unsigned short)i, &name) != FREEXL_OK || !name) {
            status = 2;
            break;
        }
        std::fprintf(out, "S %u ", i);
        putEscaped(name, out);
        std::fputc('\n', out);
    }
    for (unsigned int i = 0; status == 0 && i < sheets; ++i)
        status = dumpSheet(handle, (unsigned short)i, out);
    freexl_close(handle);
    if (status != 0)
        return status;
    std::fputs("E\n", out);
    return std::fflush(out) == 0 && !std::ferror(out) ? 0 : 2;
}

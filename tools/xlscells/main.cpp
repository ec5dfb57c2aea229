// xlscells: prints the cells of a binary workbook (.xls), read through FreeXL, for the station tool.
//
// FreeXL reads past its buffers on some damaged workbooks; in a process of its own that ends this process, not
// the tool, which then reports the workbook as damaged. Output, one record a line, texts escaped (\\ \n \r \t):
//   S <sheet index> <name>        every sheet, in order
//   W <sheet index>               the cells below belong to this sheet
//   I <row> <column> <integer>    rows and columns from 1
//   D <row> <column> <number>     any other number, with 17 significant digits
//   T <row> <column> <text>       text, and dates and times as FreeXL writes them
//   E                             the end: everything was read
// Exit status 0 after "E"; 2 for a workbook that cannot be opened or is encrypted; 1 for a bad command line.

#include <freexl.h>

#include <cstdio>
#include <string>

namespace {

void putEscaped(const char *text)
{
    for (const char *c = text; *c; ++c) {
        switch (*c) {
        case '\\':
            std::fputs("\\\\", stdout);
            break;
        case '\n':
            std::fputs("\\n", stdout);
            break;
        case '\r':
            std::fputs("\\r", stdout);
            break;
        case '\t':
            std::fputs("\\t", stdout);
            break;
        default:
            std::putchar(*c);
            break;
        }
    }
}

int dumpSheet(const void *handle, unsigned short sheet)
{
    unsigned int rows = 0;
    unsigned short columns = 0;
    if (freexl_select_active_worksheet(handle, sheet) != FREEXL_OK ||
        freexl_worksheet_dimensions(handle, &rows, &columns) != FREEXL_OK)
        return 2;
    std::printf("W %u\n", unsigned(sheet));
    for (unsigned int row = 0; row < rows; ++row) {
        for (unsigned short column = 0; column < columns; ++column) {
            FreeXL_CellValue value;
            if (freexl_get_cell_value(handle, row, column, &value) != FREEXL_OK)
                return 2;
            switch (value.type) {
            case FREEXL_CELL_INT:
                std::printf("I %u %u %d\n", row + 1, unsigned(column) + 1, value.value.int_value);
                break;
            case FREEXL_CELL_DOUBLE:
                std::printf("D %u %u %.17g\n", row + 1, unsigned(column) + 1, value.value.double_value);
                break;
            case FREEXL_CELL_TEXT:
            case FREEXL_CELL_SST_TEXT:
            case FREEXL_CELL_DATE:
            case FREEXL_CELL_DATETIME:
            case FREEXL_CELL_TIME:
                if (!value.value.text_value || !*value.value.text_value)
                    break;
                std::printf("T %u %u ", row + 1, unsigned(column) + 1);
                putEscaped(value.value.text_value);
                std::putchar('\n');
                break;
            default:
                break;
            }
        }
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: xlscells WORKBOOK.xls\n");
        return 1;
    }
    const void *handle = nullptr;
    if (freexl_open(argv[1], &handle) != FREEXL_OK) {
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
        std::printf("S %u ", i);
        putEscaped(name);
        std::putchar('\n');
    }
    for (unsigned int i = 0; status == 0 && i < sheets; ++i)
        status = dumpSheet(handle, (unsigned short)i);
    freexl_close(handle);
    if (status != 0)
        return status;
    std::puts("E");
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 2;
}

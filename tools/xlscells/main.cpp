// xlscells: prints the cells of a binary workbook (.xls) for the station tool; see workbook/XlsSheetDump.h for
// the output. A process of its own, so that a damaged workbook that makes the reader fail ends this process,
// not the tool. Exit status 0 after the end record, 2 for a workbook that cannot be read, 1 for a bad command line.

#include "BinaryOutput.h"
#include "workbook/XlsSheetDump.h"

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: xlscells WORKBOOK.xls\n");
        return 1;
    }
    setBinaryOutput(stdout);
    return dumpXlsWorkbook(argv[1], stdout);
}

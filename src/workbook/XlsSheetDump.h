#pragma once

#include <cstdio>

// Prints the cells of a binary workbook (.xls), read through FreeXL, for the station tool
// (the helper xlscells runs it in a process of its own).
//
// FreeXL reads past its buffers on some damaged workbooks; in a process of its own that ends this process, not
// the tool, which then reports the workbook as damaged. Output, one record a line, texts escaped (\\ \n \r \t):
//   S <sheet index> <name>        every sheet, in order
//   W <sheet index>               the cells below belong to this sheet
//   I <row> <column> <integer>    rows and columns from 1
//   D <row> <column> <number>     any other number, with 17 significant digits
//   T <row> <column> <text>       text, and dates and times as FreeXL writes them
//   E                             the end: everything was read
// Returns 0 after "E"; 2 for a workbook that cannot be opened or is encrypted.

int dumpXlsWorkbook(const char *path, std::FILE *out);

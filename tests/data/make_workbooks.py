#!/usr/bin/python3
"""Writes the workbooks of the sheet-import tests into tests/data/workbooks/, and the seeds of the workbook
reader fuzz targets into fuzz/corpus/.

Each workbook is written three times from the same rows: NAME.xls with xlwt, NAME.xlsx with openpyxl, and
csv/NAME/SHEET.csv (one file per sheet) with Python's csv module. Integers are stored as number cells and
strings as text cells, so that both kinds are read back. The generated files are committed, so the test
suite needs no Python; run this script again after changing it:

    /usr/bin/python3 tests/data/make_workbooks.py   (Debian python3-xlwt and python3-openpyxl)
"""

import csv
import datetime
import os
import shutil
import zipfile

import openpyxl
import xlwt

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "workbooks")
SEEDS = os.path.join(HERE, "..", "..", "fuzz", "corpus")
BENCH = os.path.join(HERE, "..", "..", "bench", "data")


def imei(body):
    """The body followed by its Luhn check digit (odd positions doubled)."""
    total = 0
    for i, ch in enumerate(body):
        d = int(ch)
        if i % 2 == 1:
            d *= 2
            if d > 9:
                d -= 9
        total += d
    return body + str((10 - total % 10) % 10)


I = [imei("3520990017614%d" % k) for k in range(10)]
WRONG = I[9][:14] + str((int(I[9][14]) + 1) % 10)
N = int  # a number cell


class Fmt:
    """A number cell with a number format; `shown` is the text a spreadsheet shows, which a .csv export holds."""

    def __init__(self, value, code, shown=None):
        self.value, self.code, self.shown = value, code, shown


def serial(prefix, k, length):
    return (prefix + str(k)).ljust(length, "0")


M = [serial("MB", k, 17) for k in range(6)]
P = [serial("PS", k, 20) for k in range(3)]

WORKBOOKS = {
    # The data start at row 3; row 5 repeats row 3; row 8 lies below the first empty cell of column A.
    "start_row3": {
        "IMEI": [[], [], [N(I[0]), I[1]], [I[2]], [N(I[0])], [N(I[3]), N(I[4]), I[5], N(I[6])], [], [N(I[7])]],
    },
    # A 14-digit body stored as a number, and an IMEI with a wrong check digit stored as text.
    "adjust": {"IMEI": [[N(I[8][:14])], [WRONG]]},
    "repeats": {"IMEI": [[I[0]], [N(I[1])], [N(I[0])], [I[2]]]},
    # Row 1 is refused at column C, after A and B were taken into the list of values seen; row 2 repeats B.
    "own_list": {"IMEI": [[I[0], I[1], I[0]], [I[1]], [I[2]], [I[3], None, I[4]]]},
    "invalid": {"IMEI": [["IMEI1", "IMEI2"], [I[0], "35209900A761481"], [I[1]], [" " + I[2] + " "]]},
    "empty": {"IMEI": [[], [], [], [I[0]]]},
    # No sheet "PSN"; row 3 is one character short, row 5 repeats row 1.
    "serials": {"Other": [["x"]], "MBSN": [[M[0]], [M[1]], [M[2][:16]], [M[3]], [M[0]], [M[4]]]},
    "psn": {"PSN": [[P[0]], [P[1]], [P[2]]]},
    # Cells whose form is not an identity's: a 14-digit number shown with a leading zero, numbers of 4 and 16
    # digits, 16 digits as text in column B; serials (8 characters) with a literal in the number format and
    # with "#", a blank or a line break inside.
    "forms": {
        "IMEI": [
            [Fmt(12345678901237, "000000000000000", "012345678901237")],
            [N(1234)],
            [N(3520990017614081)],
            [I[1], "3520990017614160"],
            [I[2]],
        ],
        "MBSN": [[Fmt(123456, '"SN"000000', "SN123456")], ["SN#12345"], ["SN 12345"], ["SN1\n2345"], ["SN000042"]],
    },
    # Cells as a spreadsheet shows them.
    "cells": {
        "Cells": [
            [N(I[0]), "00123", 1.5, datetime.date(2024, 3, 1)],
            [Fmt(12345678901237, "000000000000000"), Fmt(3.14159, "0.00"), Fmt(0.25, "0%"), True],
            [-42, Fmt(1234567.891, "#,##0.00"), Fmt(datetime.datetime(2024, 3, 1, 13, 45, 30), "yyyy-mm-dd hh:mm:ss"), "text, with \"quotes\""],
        ],
    },
}

# CSV variants: byte order mark and CRLF, semicolons, quoted cells.
CSV_STYLE = {
    "start_row3": {"bom": True, "lineterminator": "\r\n"},
    "own_list": {"delimiter": ";"},
    "adjust": {"quoting": csv.QUOTE_ALL},
}


def plain(value):
    if isinstance(value, Fmt):
        value = value.value if value.shown is None else value.shown
    if isinstance(value, bool):
        return "TRUE" if value else "FALSE"
    if isinstance(value, datetime.datetime):
        return value.strftime("%Y-%m-%d %H:%M:%S")
    if isinstance(value, datetime.date):
        return value.isoformat()
    return "" if value is None else str(value)


def write_xls(path, sheets):
    book = xlwt.Workbook(encoding="utf-8")
    date_style = xlwt.easyxf(num_format_str="yyyy-mm-dd")
    for name, rows in sheets.items():
        sheet = book.add_sheet(name)
        for r, row in enumerate(rows):
            for c, value in enumerate(row):
                if value is None:
                    continue
                if isinstance(value, Fmt):
                    style = xlwt.easyxf(num_format_str=value.code)
                    sheet.write(r, c, value.value, style)
                elif isinstance(value, (datetime.date, datetime.datetime)):
                    sheet.write(r, c, value, date_style)
                else:
                    sheet.write(r, c, value)
    book.save(path)


def write_xlsx(path, sheets):
    book = openpyxl.Workbook()
    book.remove(book.active)
    for name, rows in sheets.items():
        sheet = book.create_sheet(name)
        for r, row in enumerate(rows, start=1):
            for c, value in enumerate(row, start=1):
                if value is None:
                    continue
                if isinstance(value, Fmt):
                    cell = sheet.cell(row=r, column=c, value=value.value)
                    cell.number_format = value.code
                else:
                    cell = sheet.cell(row=r, column=c, value=value)
                    if isinstance(value, str):
                        cell.data_type = "s"
                    if type(value) is datetime.date:
                        cell.number_format = "yyyy-mm-dd"
    book.save(path)


def write_csv(folder, sheets, style):
    os.makedirs(folder, exist_ok=True)
    style = dict(style)
    bom = style.pop("bom", False)
    style.setdefault("lineterminator", "\n")
    for name, rows in sheets.items():
        with open(os.path.join(folder, name + ".csv"), "w", newline="", encoding="utf-8-sig" if bom else "utf-8") as f:
            writer = csv.writer(f, **style)
            for row in rows:
                writer.writerow([plain(v) for v in row])


def write_seeds():
    """Seeds of the reader fuzz targets: some of the workbooks above, and .xlsx copies whose parts are stored
    uncompressed, so that mutations reach the XML."""
    for kind, ext in (("FuzzXlsReader", "xls"), ("FuzzXlsxReader", "xlsx")):
        folder = os.path.join(SEEDS, kind)
        os.makedirs(folder, exist_ok=True)
        for name in ("start_row3", "cells", "serials", "own_list"):
            shutil.copy(os.path.join(OUT, name + "." + ext), os.path.join(folder, name + "." + ext))
    for name in ("cells", "own_list"):
        with zipfile.ZipFile(os.path.join(OUT, name + ".xlsx")) as source, zipfile.ZipFile(
            os.path.join(SEEDS, "FuzzXlsxReader", name + "_stored.xlsx"), "w", zipfile.ZIP_STORED
        ) as stored:
            for item in source.infolist():
                stored.writestr(item.filename, source.read(item.filename))
    folder = os.path.join(SEEDS, "FuzzCsvReader")
    os.makedirs(folder, exist_ok=True)
    for name, sheet in (("start_row3", "IMEI"), ("own_list", "IMEI"), ("adjust", "IMEI"), ("cells", "Cells")):
        shutil.copy(os.path.join(OUT, "csv", name, sheet + ".csv"), os.path.join(folder, name + ".csv"))


def write_bench():
    """The workbook of the import benchmark: 10,000 IMEI sets of four distinct IMEIs, columns A and C as
    numbers, B and D as text."""
    rows = []
    for k in range(10000):
        imeis = [imei("%014d" % (86000000000000 + 4 * k + j)) for j in range(4)]
        rows.append([N(imeis[0]), imeis[1], N(imeis[2]), imeis[3]])
    sheets = {"IMEI": rows}
    os.makedirs(BENCH, exist_ok=True)
    write_xls(os.path.join(BENCH, "imei10000.xls"), sheets)
    write_xlsx(os.path.join(BENCH, "imei10000.xlsx"), sheets)
    write_csv(os.path.join(BENCH, "imei10000"), sheets, {})


def main():
    if os.path.isdir(OUT):
        shutil.rmtree(OUT)
    os.makedirs(OUT)
    for name, sheets in WORKBOOKS.items():
        write_xls(os.path.join(OUT, name + ".xls"), sheets)
        write_xlsx(os.path.join(OUT, name + ".xlsx"), sheets)
        write_csv(os.path.join(OUT, "csv", name), sheets, CSV_STYLE.get(name, {}))
    write_seeds()
    write_bench()
    for k, value in enumerate(I):
        print("I%d %s" % (k, value))
    print("WRONG", WRONG)
    for k, value in enumerate(M):
        print("M%d %s" % (k, value))
    for k, value in enumerate(P):
        print("P%d %s" % (k, value))


if __name__ == "__main__":
    main()

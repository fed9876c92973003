"""Checks that .xls workbooks hold the transfer file's content, read back with xlrd.

Usage: check_xls.py [--loose] INPUT WORKBOOK...  (several workbooks: their sheets in order)
Strict: every sheet name, the bold header row, every cell's type and value, and the date and
amount formats. --loose, for the routes through CSV, where the spreadsheet guesses types:
the sheet and row counts, the amounts as numbers and the ordering party's names.
Prints "ok" and exits 0, or prints the first difference and exits 1.
"""
import sys

import xlrd

from transfers import HEADER, accounts


def fail(message):
    print(message)
    sys.exit(1)


def main():
    arguments = sys.argv[1:]
    loose = arguments[0] == "--loose"
    if loose:
        arguments = arguments[1:]
    expected = list(accounts(arguments[0]))
    sheets = []
    for path in arguments[1:]:
        book = xlrd.open_workbook(path, formatting_info=not loose)
        sheets += [(book, sheet) for sheet in book.sheets()]
    if len(sheets) != len(expected):
        fail("%d sheets, expected %d" % (len(sheets), len(expected)))
    for (book, sheet), (name, rows) in zip(sheets, expected):
        where = "sheet %r: " % sheet.name
        if sheet.nrows != len(rows) + 2:
            fail(where + "%d rows, expected %d" % (sheet.nrows, len(rows) + 2))
        if loose:
            for r, row in enumerate(rows, start=2):
                got = sheet.cell_value(r, 3)
                if row[3] is not None and abs(float(got) - row[3]) > 0.005:
                    fail(where + "row %d amount %r, expected %r" % (r + 1, got, row[3]))
                if str(sheet.cell_value(r, 5)) != row[5]:
                    fail(where + "row %d name %r" % (r + 1, sheet.cell_value(r, 5)))
            continue
        if sheet.name != name:
            fail(where + "expected the name %r" % name)
        for c, title in enumerate(HEADER):
            cell = sheet.cell(0, c)
            font = book.font_list[book.xf_list[cell.xf_index].font_index]
            # Boldness is the font's weight (700); the bold flag bit is redundant in BIFF8.
            if cell.value != title or font.weight < 700:
                fail(where + "header %r (weight %s)" % (cell.value, font.weight))
        for r, row in enumerate(rows, start=2):
            for c, value in enumerate(row):
                cell = sheet.cell(r, c) if c < sheet.row_len(r) else None
                if value is None or value == "":
                    if cell is not None and cell.ctype not in (xlrd.XL_CELL_EMPTY,
                                                               xlrd.XL_CELL_BLANK):
                        fail(where + "row %d column %d should be empty: %r" % (r + 1, c, cell))
                    continue
                want = xlrd.XL_CELL_NUMBER if c == 3 else xlrd.XL_CELL_TEXT
                if cell is None or cell.ctype != want or cell.value != value:
                    fail(where + "row %d column %d: %r, expected %r" % (r + 1, c, cell, value))
                if c in (2, 3):
                    fmt = book.format_map[book.xf_list[cell.xf_index].format_key].format_str
                    if fmt != ("@" if c == 2 else "##,##0.00"):
                        fail(where + "row %d column %d format %r" % (r + 1, c, fmt))
    print("ok")


if __name__ == "__main__":
    main()

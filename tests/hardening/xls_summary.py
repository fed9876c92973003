#!/usr/bin/env python3
"""Prints what xlrd finds in a large workbook, without listing every cell:

  sheets <count>
  sheet <position> <name> <rows>            for each POSITION asked for (1-based; -1 is the last)
  cell <position> <row> <column> <value>    for every cell of those sheets, texts escaped
                                            as \\xNN for control characters and backslashes

Usage: xls_summary.py FILE [POSITION...]
"""
import sys

import xlrd


def escape(text):
    return "".join("\\x%02x" % ord(c) if ord(c) < 0x20 or c == "\\" else c for c in text)


def main():
    book = xlrd.open_workbook(sys.argv[1])
    out = sys.stdout
    out.reconfigure(encoding="utf-8")
    out.write("sheets\t%d\n" % book.nsheets)
    for asked in sys.argv[2:]:
        index = int(asked)
        index = book.nsheets + index if index < 0 else index - 1
        sheet = book.sheet_by_index(index)
        out.write("sheet\t%d\t%s\t%d\n" % (index + 1, escape(sheet.name), sheet.nrows))
        for r in range(sheet.nrows):
            for c in range(sheet.row_len(r)):
                cell = sheet.cell(r, c)
                if cell.ctype == xlrd.XL_CELL_EMPTY:
                    continue
                value = escape(cell.value) if cell.ctype == xlrd.XL_CELL_TEXT else repr(cell.value)
                out.write("cell\t%d\t%d\t%s\t%s\n" % (index + 1, r + 1, xlrd.colname(c), value))


if __name__ == "__main__":
    main()

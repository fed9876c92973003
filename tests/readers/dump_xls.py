#!/usr/bin/env python3
"""Prints what an .xls workbook holds, as read by xlrd, one item per line, tab-separated:

  sheet <position> <name> <rows>
  cell <position> <row> <column> <text|number|empty> <bold 0/1> <format> <value>

Cells that the file does not hold are not printed; "empty" is a formatted blank cell.

Positions and rows are 1-based, columns are letters. Tabs, line breaks and backslashes in texts
are written as \\t, \\n, \\r and \\\\. Usage: dump_xls.py FILE [COLUMNS], where COLUMNS such as
"AE" limits the cells printed to those columns.
"""
import sys

import xlrd


def escape(text):
    return (text.replace("\\", "\\\\").replace("\t", "\\t").replace("\n", "\\n")
            .replace("\r", "\\r"))


def main():
    path = sys.argv[1]
    columns = sys.argv[2] if len(sys.argv) > 2 else None
    book = xlrd.open_workbook(path, formatting_info=True)
    out = sys.stdout
    for position, sheet in enumerate(book.sheets(), start=1):
        out.write("sheet\t%d\t%s\t%d\n" % (position, escape(sheet.name), sheet.nrows))
        for r in range(sheet.nrows):
            for c in range(sheet.row_len(r)):
                letter = xlrd.colname(c)
                if columns is not None and letter not in columns:
                    continue
                cell = sheet.cell(r, c)
                if cell.ctype == xlrd.XL_CELL_EMPTY:
                    continue  # padding that xlrd adds to short rows
                if cell.ctype == xlrd.XL_CELL_TEXT:
                    kind, value = "text", escape(cell.value)
                elif cell.ctype == xlrd.XL_CELL_NUMBER:
                    kind, value = "number", repr(cell.value)
                elif cell.ctype == xlrd.XL_CELL_BLANK:
                    kind, value = "empty", ""
                else:
                    kind, value = "other", escape(str(cell.value))
                xf = book.xf_list[cell.xf_index]
                # The weight decides: BIFF8 leaves the old bold flag of the font record unused.
                bold = 1 if book.font_list[xf.font_index].weight >= 700 else 0
                fmt = book.format_map[xf.format_key].format_str
                out.write("cell\t%d\t%d\t%s\t%s\t%d\t%s\t%s\n"
                          % (position, r + 1, letter, kind, bold, escape(fmt), value))


if __name__ == "__main__":
    main()

"""Reads a .xls file with independent readers (olefile, xlrd) and prints what they see, one fact
per line, for the C++ tests to compare.

usage: xls_dump.py FILE [--summary]
  default    every cell: "cell <sheet> <row> <col> <type> <value> w=<font weight> f=<format>"
  --summary  per sheet only counts and sums, for large files
Both give each column's width in characters beside its longest value as shown:
  "fit <sheet> <col> chars=<width> longest=<characters>"
"""
import io
import json
import sys

import olefile
import xlrd


def q(text):
    return json.dumps(text, ensure_ascii=False)


def main():
    path = sys.argv[1]
    summary = "--summary" in sys.argv[2:]

    ole = olefile.OleFileIO(path, raise_defects=olefile.DEFECT_INCORRECT)
    streams = ["/".join(entry).replace("\x05", "\\005") for entry in ole.listdir()]
    size = ole.get_size("Workbook")
    data = ole.openstream("Workbook").read()
    print("ole streams=%s size=%d read=%d" % (",".join(streams), size, len(data)))
    meta = ole.get_metadata()
    # olefile 0.46 keeps a UTF-16 string's terminating NUL.
    text = lambda value: q(value.rstrip("\x00") if isinstance(value, str) else value)
    print("meta title=%s app=%s created=%s saved=%s codepage=%s/%s" % (
        text(meta.title), text(meta.creating_application), meta.create_time,
        meta.last_saved_time, meta.codepage, meta.codepage_doc))
    ole.close()

    log = io.StringIO()
    book = xlrd.open_workbook(path, formatting_info=True, logfile=log, verbosity=1)
    print("codepage %d sheets %d" % (book.codepage, book.nsheets))

    def describe(xf_index):
        xf = book.xf_list[xf_index]
        font = book.font_list[xf.font_index]
        return "w=%d f=%s" % (font.weight, q(book.format_map[xf.format_key].format_str))

    for s in range(book.nsheets):
        sheet = book.sheet_by_index(s)
        print("sheet %d %s selected=%d rows=%d cols=%d" % (
            s, q(sheet.name), sheet.sheet_selected, sheet.nrows, sheet.ncols))
        for c in sorted(sheet.colinfo_map):
            info = sheet.colinfo_map[c]
            print("colinfo %d %d width=%d %s" % (s, c, info.width, describe(info.xf_index)))
        counts = {xlrd.XL_CELL_TEXT: 0, xlrd.XL_CELL_NUMBER: 0, xlrd.XL_CELL_BLANK: 0}
        number_sum = 0.0
        text_units = 0
        longest = {}  # characters of the longest value of each column, as shown
        for r in range(sheet.nrows):
            for c in range(sheet.row_len(r)):
                cell = sheet.cell(r, c)
                if cell.ctype == xlrd.XL_CELL_EMPTY:
                    continue
                counts[cell.ctype] = counts.get(cell.ctype, 0) + 1
                shown = ""
                if cell.ctype == xlrd.XL_CELL_NUMBER:
                    number_sum += cell.value
                    amount = book.format_map[book.xf_list[cell.xf_index].format_key].format_str
                    shown = "{:,.2f}".format(cell.value) if amount == "##,##0.00" else "%g" % (
                        cell.value)
                elif cell.ctype == xlrd.XL_CELL_TEXT:
                    text_units += len(cell.value)
                    shown = cell.value
                longest[c] = max(longest.get(c, 0), len(shown))
                if summary:
                    continue
                kind = {xlrd.XL_CELL_TEXT: "text", xlrd.XL_CELL_NUMBER: "number",
                        xlrd.XL_CELL_BLANK: "blank"}.get(cell.ctype, str(cell.ctype))
                value = q(cell.value) if cell.ctype == xlrd.XL_CELL_TEXT else repr(cell.value)
                if cell.ctype == xlrd.XL_CELL_BLANK:
                    value = "-"
                print("cell %d %d %d %s %s %s" % (s, r, c, kind, value, describe(cell.xf_index)))
        for c in sorted(sheet.colinfo_map):
            print("fit %d %d chars=%.2f longest=%d" % (
                s, c, sheet.colinfo_map[c].width / 256.0, longest.get(c, 0)))
        if summary:
            print("count %d text=%d number=%d blank=%d sum=%.2f chars=%d" % (
                s, counts[xlrd.XL_CELL_TEXT], counts[xlrd.XL_CELL_NUMBER],
                counts[xlrd.XL_CELL_BLANK], number_sum, text_units))
    for line in log.getvalue().splitlines():
        print("log " + line)


if __name__ == "__main__":
    main()

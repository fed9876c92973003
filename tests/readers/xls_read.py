"""Reads a .xls workbook with independent readers (xlrd, and olefile for the container) and prints
what they see, for the tests to compare. Texts are printed in UTF-8.

usage: xls_read.py list FILE [COLUMNS]
  One item per line, tab-separated; cells the file does not hold are not printed, "empty" is a
  formatted blank cell; positions and rows are 1-based, columns are letters; tabs, line breaks
  and backslashes in texts are written as \\t, \\n, \\r and \\\\. COLUMNS such as "AE" limits the
  cells printed to those columns ("-" prints the sheets only).
    sheet <position> <name> <rows>
    cell <position> <row> <column> <text|number|empty> <bold 0/1> <format> <value>

usage: xls_read.py inspect FILE [--summary]
  One fact per line, texts as JSON strings (non-ASCII kept), positions 0-based, then every
  complaint of xlrd's log as "log ...":
    ole streams=<names> size=<bytes> read=<bytes>   (\x05 in names written as \005)
    meta title=<title> app=<application> created=<time> saved=<time> codepage=<SI>/<DSI>
    codepage <codepage> sheets <count>
    sheet <position> <name> selected=<0/1> rows=<rows> cols=<columns>
    colinfo <sheet> <column> width=<width> w=<font weight> f=<format>
    cell <sheet> <row> <column> <type> <value> w=<font weight> f=<format>   (not with --summary)
    fit <sheet> <column> chars=<width in characters> longest=<longest value as shown>
    count <sheet> text=<n> number=<n> blank=<n> sum=<sum> chars=<text length>  (only --summary)
"""
import io
import json
import sys

import olefile
import xlrd


def escape(text):
    return (text.replace("\\", "\\\\").replace("\t", "\\t").replace("\n", "\\n")
            .replace("\r", "\\r"))


def q(text):
    return json.dumps(text, ensure_ascii=False)


def list_cells(out, path, columns):
    book = xlrd.open_workbook(path, formatting_info=True)
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


def inspect(out, path, summary):
    ole = olefile.OleFileIO(path, raise_defects=olefile.DEFECT_INCORRECT)
    streams = ["/".join(entry).replace("\x05", "\\005") for entry in ole.listdir()]
    size = ole.get_size("Workbook")
    data = ole.openstream("Workbook").read()
    out.write("ole streams=%s size=%d read=%d\n" % (",".join(streams), size, len(data)))
    meta = ole.get_metadata()
    # olefile 0.46 keeps a string's terminating NUL, and leaves an 8-bit string in the set's
    # code page undecoded.
    def text(value):
        if isinstance(value, bytes):
            value = value.decode("cp%d" % meta.codepage)
        return q(value.rstrip("\x00") if isinstance(value, str) else value)
    out.write("meta title=%s app=%s created=%s saved=%s codepage=%s/%s\n" % (
        text(meta.title), text(meta.creating_application), meta.create_time,
        meta.last_saved_time, meta.codepage, meta.codepage_doc))
    ole.close()

    log = io.StringIO()
    book = xlrd.open_workbook(path, formatting_info=True, logfile=log, verbosity=1)
    out.write("codepage %d sheets %d\n" % (book.codepage, book.nsheets))

    def describe(xf_index):
        xf = book.xf_list[xf_index]
        font = book.font_list[xf.font_index]
        return "w=%d f=%s" % (font.weight, q(book.format_map[xf.format_key].format_str))

    for s in range(book.nsheets):
        sheet = book.sheet_by_index(s)
        out.write("sheet %d %s selected=%d rows=%d cols=%d\n" % (
            s, q(sheet.name), sheet.sheet_selected, sheet.nrows, sheet.ncols))
        for c in sorted(sheet.colinfo_map):
            info = sheet.colinfo_map[c]
            out.write("colinfo %d %d width=%d %s\n" % (s, c, info.width, describe(info.xf_index)))
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
                out.write("cell %d %d %d %s %s %s\n" % (
                    s, r, c, kind, value, describe(cell.xf_index)))
        for c in sorted(sheet.colinfo_map):
            out.write("fit %d %d chars=%.2f longest=%d\n" % (
                s, c, sheet.colinfo_map[c].width / 256.0, longest.get(c, 0)))
        if summary:
            out.write("count %d text=%d number=%d blank=%d sum=%.2f chars=%d\n" % (
                s, counts[xlrd.XL_CELL_TEXT], counts[xlrd.XL_CELL_NUMBER],
                counts[xlrd.XL_CELL_BLANK], number_sum, text_units))
    for line in log.getvalue().splitlines():
        out.write("log " + line + "\n")


def main():
    # The same bytes on every platform, whatever the console's code page.
    sys.stdout.reconfigure(encoding="utf-8", newline="\n")
    command, path, rest = sys.argv[1], sys.argv[2], sys.argv[3:]
    if command == "list":
        list_cells(sys.stdout, path, rest[0] if rest else None)
    elif command == "inspect":
        inspect(sys.stdout, path, "--summary" in rest)
    else:
        sys.exit("usage: xls_read.py list FILE [COLUMNS] | inspect FILE [--summary]")


if __name__ == "__main__":
    main()

"""Checks that an .xlsx workbook holds the transfer file's content, read with the standard
library only (zipfile and the XML parser): the sheet count, the last row of every sheet, every
amount as a number and every ordering party's name.

Usage: check_xlsx.py INPUT WORKBOOK. Prints "ok" and exits 0, or the first difference and 1.
"""
import re
import sys
import zipfile
import xml.etree.ElementTree as ET

from transfers import accounts

NS = "{http://schemas.openxmlformats.org/spreadsheetml/2006/main}"


def fail(message):
    print(message)
    sys.exit(1)


def texts(element):
    return "".join(t.text or "" for t in element.iter(NS + "t"))


def main():
    expected = list(accounts(sys.argv[1]))
    with zipfile.ZipFile(sys.argv[2]) as book:
        names = book.namelist()
        shared = []
        if "xl/sharedStrings.xml" in names:
            root = ET.fromstring(book.read("xl/sharedStrings.xml"))
            shared = [texts(si) for si in root.iter(NS + "si")]
        sheets = sorted((n for n in names if re.match(r"xl/worksheets/sheet\d+\.xml$", n)),
                        key=lambda n: int(re.search(r"(\d+)\.xml$", n).group(1)))
        if len(sheets) != len(expected):
            fail("%d sheets, expected %d" % (len(sheets), len(expected)))
        for part, (name, rows) in zip(sheets, expected):
            cells = {}
            last = 0
            with book.open(part) as f:
                for _, element in ET.iterparse(f):
                    if element.tag == NS + "row":
                        last = max(last, int(element.get("r")))
                        element.clear()
                    elif element.tag == NS + "c":
                        ref = element.get("r")
                        if ref[0] in "DF":
                            kind = element.get("t")
                            v = element.find(NS + "v")
                            if kind == "s":
                                cells[ref] = shared[int(v.text)]
                            elif kind == "inlineStr":
                                cells[ref] = texts(element)
                            elif v is not None:
                                cells[ref] = float(v.text)
            if last != len(rows) + 2:
                fail("%s: last row %d, expected %d" % (part, last, len(rows) + 2))
            for r, row in enumerate(rows, start=3):
                if row[3] is not None and cells.get("D%d" % r) != row[3]:
                    fail("%s: D%d is %r, expected %r" % (part, r, cells.get("D%d" % r), row[3]))
                if row[5] and cells.get("F%d" % r) != row[5]:
                    fail("%s: F%d is %r, expected %r" % (part, r, cells.get("F%d" % r), row[5]))
    print("ok")


if __name__ == "__main__":
    main()

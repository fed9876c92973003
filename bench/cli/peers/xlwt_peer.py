"""The transfer file as an .xls workbook written by xlwt. Usage: xlwt_peer.py INPUT OUTPUT"""
import sys

import xlwt

from transfers import HEADER, accounts


def main():
    source, target = sys.argv[1], sys.argv[2]
    book = xlwt.Workbook(encoding="utf-8")
    bold = xlwt.easyxf("font: bold on")
    text = xlwt.easyxf(num_format_str="@")
    money = xlwt.easyxf(num_format_str="##,##0.00")
    plain = xlwt.easyxf("")
    styles = [plain, plain, text, money, plain, plain, plain, plain]
    for name, rows in accounts(source):
        sheet = book.add_sheet(name)
        sheet.col(2).set_style(text)
        sheet.col(3).set_style(money)
        for column, title in enumerate(HEADER):
            sheet.write(0, column, title, bold)
        for r, row in enumerate(rows, start=2):
            write = sheet.row(r).write
            for column, value in enumerate(row):
                if value is not None and value != "":
                    write(column, value, styles[column])
    book.save(target)


if __name__ == "__main__":
    main()

"""The by-hand route's first step: the transfer file as one CSV file per account, UTF-8, named
after the account's sheet ("01 Cuenta 0049....csv"), for a spreadsheet program to import.

Usage: to_csv.py INPUT FOLDER. Amounts are written with a decimal point, dates as dd/mm/yyyy.
"""
import csv
import os
import sys

from transfers import HEADER, accounts


def main():
    source, folder = sys.argv[1], sys.argv[2]
    os.makedirs(folder, exist_ok=True)
    for number, (name, rows) in enumerate(accounts(source), start=1):
        path = os.path.join(folder, "%02d %s.csv" % (number, name))
        with open(path, "w", encoding="utf-8", newline="") as f:
            out = csv.writer(f)
            out.writerow(HEADER)
            out.writerow([])  # row 2 stays empty, as in quadrelo-convert's sheets
            for row in rows:
                out.writerow(["" if v is None else ("%.2f" % v if i == 3 else v)
                              for i, v in enumerate(row)])


if __name__ == "__main__":
    main()

"""Reads a transfer file the way quadrelo-convert does, for the comparison's peers and checks.

accounts(path) yields (sheet_name, rows), one per account header; every row is the list of
the eight cell values A-H: texts, the date text, and the amount as a float (None when the
amount does not read as a number). Lines end at CR (CR LF taken as one break).
"""

HEADER = ["Entidad ordenante", "Oficina ordenante", "Fecha presentación", "Importe",
          "Ref. operación", "Nombre ordenante", "Observaciones 1", "Observaciones 2"]


def piece(line, position, length):
    return line[position - 1:position - 1 + length]


def amount(line):
    text = (piece(line, 29, 8) + "," + piece(line, 37, 2)).strip(" ")
    text = text.replace(".", "").replace(",", ".")
    try:
        return round(float(text), 2)
    except ValueError:
        return None


def sheet_name(account):
    # The account label with what a sheet name may not hold taken out, as quadrelo-convert does.
    label = ("Cuenta: " + account).strip(" ")
    for bad in ":\\/?*[]":
        label = label.replace(bad, "")
    return label[:31]


def lines(path):
    with open(path, "rb") as f:
        data = f.read().decode("cp1252")
    for line in data.replace("\r\n", "\r").split("\r"):
        yield line


def accounts(path):
    name, rows = None, None
    for line in lines(path):
        kind = line[:2]
        if kind == "11":
            if name is not None:
                yield name, rows
            name, rows = sheet_name(piece(line, 3, 18)), []
        elif kind == "22" and rows is not None:
            date = "%s/%s/%s" % (piece(line, 27, 2).strip(" "), piece(line, 25, 2).strip(" "),
                                 piece(line, 21, 4).strip(" "))
            rows.append([piece(line, 3, 4).strip(" "), piece(line, 7, 4).strip(" "), date,
                         amount(line), piece(line, 42, 11).strip(" "), "", "", ""])
        elif kind == "23" and rows:
            rows[-1][5:8] = [piece(line, 3, 30).strip(" "), piece(line, 33, 20).strip(" "),
                             piece(line, 53, 20).strip(" ")]
    if name is not None:
        yield name, rows

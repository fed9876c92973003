#pragma once

#include <string>

namespace quadrelo::workbook {

// Gives the account at sheet position `iHoja` (1-based) its sheet through oExcel: keeps one
// blank sheet in reserve behind the last one, names the sheet `sNombreHoja` (trimmed), writes the
// bold header row A1:H1 and sets the formats of the date and amount columns. Each of its
// statements runs in continue-on-error mode; it reports nothing.
void PrepareAccountSheet(const std::string& sNombreHoja, const int& iHoja);

}  // namespace quadrelo::workbook

#pragma once

#include <memory>
#include <string>
#include <vector>

#include "workbook/xls/book.h"

namespace quadrelo::xls::testing {

// Small builders for the books the writer tests save.
inline Cell TextCell(Book& book, std::uint16_t column, std::string_view text, bool bold = false,
                     std::uint16_t format = 0) {
  Cell cell;
  cell.column = column;
  cell.kind = CellKind::Text;
  cell.bold = bold;
  cell.format = format;
  cell.text = book.strings.intern(text);
  return cell;
}

inline Cell NumberCell(std::uint16_t column, double value, std::uint16_t format = 0) {
  Cell cell;
  cell.column = column;
  cell.kind = CellKind::Number;
  cell.format = format;
  cell.number = value;
  return cell;
}

inline Cell BlankCell(std::uint16_t column, bool bold = false, std::uint16_t format = 0) {
  Cell cell;
  cell.column = column;
  cell.bold = bold;
  cell.format = format;
  return cell;
}

inline Sheet& AddSheet(Book& book, std::string name) {
  book.sheets.push_back(std::make_shared<Sheet>());
  book.sheets.back()->name = std::move(name);
  return *book.sheets.back();
}

// The sheet an account gets: bold headers A1:H1, C as text, D as amounts, then `rows` transfers
// from row 3 on.
inline Sheet& AddAccountSheet(Book& book, const std::string& name, int rows) {
  static const char* const kHeaders[] = {
      "Entidad ordenante", "Oficina ordenante", "Fecha presentación", "Importe",
      "Ref. operación",    "Nombre ordenante",  "Observaciones 1",    "Observaciones 2"};
  std::uint16_t text = 0, amount = 0;
  for (std::uint16_t i = 0; i < book.formats.size(); ++i) {
    if (book.formats[i] == "@") text = i;
    if (book.formats[i] == "##,##0.00") amount = i;
  }
  if (text == 0) {
    text = static_cast<std::uint16_t>(book.formats.size());
    book.formats.push_back("@");
  }
  if (amount == 0) {
    amount = static_cast<std::uint16_t>(book.formats.size());
    book.formats.push_back("##,##0.00");
  }
  Sheet& sheet = AddSheet(book, name);
  sheet.columnFormats = {0, 0, text, amount};
  sheet.rows.resize(2 + rows);
  for (std::uint16_t c = 0; c < 8; ++c) {
    std::uint16_t format = c == 2 ? text : c == 3 ? amount : 0;
    sheet.rows[0].push_back(TextCell(book, c, kHeaders[c], true, format));
  }
  for (int i = 0; i < rows; ++i) {
    auto& row = sheet.rows[2 + i];
    std::string n = std::to_string(i);
    row.push_back(TextCell(book, 0, "0049"));
    row.push_back(TextCell(book, 1, "1234"));
    row.push_back(TextCell(book, 2, "2026120" + std::to_string(i % 10), false, text));
    row.push_back(NumberCell(3, 1234.56 + i, amount));
    row.push_back(TextCell(book, 4, "REF" + n));
    row.push_back(TextCell(book, 5, "ORDENANTE " + n));
    row.push_back(TextCell(book, 6, "Observación " + n));
    row.push_back(TextCell(book, 7, "Nota " + n));
  }
  return sheet;
}

}  // namespace quadrelo::xls::testing

// The writer's tests sit in quadrelo::xls and use these by their short names.
namespace quadrelo::xls {
using testing::AddAccountSheet;
using testing::AddSheet;
using testing::BlankCell;
using testing::NumberCell;
using testing::TextCell;
}  // namespace quadrelo::xls

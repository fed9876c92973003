#include "workbook/cell_address.h"

#include <cstdint>

#include "platform/text.h"
#include "workbook/xls/book.h"

namespace quadrelo::workbook {

namespace {

// Reads column letters at `pos`; 0-based column, or nothing when absent or past column IV.
std::optional<std::uint16_t> ReadColumn(std::string_view text, std::size_t& pos) {
  std::uint32_t column = 0;
  std::size_t start = pos;
  while (pos < text.size() && pos - start < 3) {
    char c = LowerAscii(text[pos]);
    if (c < 'a' || c > 'z') break;
    column = column * 26 + static_cast<std::uint32_t>(c - 'a' + 1);
    ++pos;
  }
  if (pos == start || column > xls::kMaxColumns) return std::nullopt;
  return static_cast<std::uint16_t>(column - 1);
}

// Reads a 1-based row number at `pos`; 0-based row, or nothing when absent or out of range.
std::optional<std::uint32_t> ReadRow(std::string_view text, std::size_t& pos) {
  std::uint32_t row = 0;
  std::size_t start = pos;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
    row = row * 10 + static_cast<std::uint32_t>(text[pos] - '0');
    if (row > xls::kMaxRows) return std::nullopt;
    ++pos;
  }
  if (pos == start || row == 0) return std::nullopt;
  return row - 1;
}

}  // namespace

CellArea ReadCellAddress(std::string_view address) {
  constexpr CellArea kNoArea{0, 0, 1, 0};
  // The address of nearly every call, one capital letter and a row number, read in one pass;
  // anything else takes the general way below.
  if (address.size() >= 2 && address.size() <= 6 && address[0] >= 'A' && address[0] <= 'Z' &&
      address[1] >= '1' && address[1] <= '9') {
    std::uint32_t row = 0;
    std::size_t i = 1;
    for (; i < address.size() && address[i] >= '0' && address[i] <= '9'; ++i) {
      row = row * 10 + static_cast<std::uint32_t>(address[i] - '0');
    }
    if (i == address.size() && row <= xls::kMaxRows) {
      auto column = static_cast<std::uint16_t>(address[0] - 'A');
      return CellArea{row - 1, row - 1, column, column};
    }
  }
  std::size_t pos = 0;
  std::optional<std::uint16_t> first = ReadColumn(address, pos);
  if (!first) return kNoArea;
  if (pos < address.size() && address[pos] == ':') {
    ++pos;
    std::optional<std::uint16_t> last = ReadColumn(address, pos);
    if (!last || pos != address.size() || *last < *first) return kNoArea;
    return CellArea{0, xls::kMaxRows - 1, *first, *last};
  }
  std::optional<std::uint32_t> row = ReadRow(address, pos);
  if (!row || pos != address.size()) return kNoArea;
  return CellArea{*row, *row, *first, *first};
}

}  // namespace quadrelo::workbook

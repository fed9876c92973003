#include "workbook/xls/book.h"

#include <algorithm>

#include "platform/failure.h"
#include "workbook/xls/byte_output.h"
#include "workbook/xls/workbook_stream.h"

namespace quadrelo::xls {

namespace {

Row::iterator FirstCellFrom(Row& cells, std::uint16_t column) {
  return std::lower_bound(cells.begin(), cells.end(), column,
                          [](const Cell& cell, std::uint16_t c) { return cell.column < c; });
}

}  // namespace

Cell* Sheet::findCell(std::uint32_t row, std::uint16_t column) {
  if (row >= rows.size()) return nullptr;
  Row& cells = rows[row];
  auto it = FirstCellFrom(cells, column);
  return it != cells.end() && it->column == column ? &*it : nullptr;
}

Cell& Sheet::cellAt(std::uint32_t row, std::uint16_t column) {
  if (rows.size() <= row) {
    // A sheet past a few thousand rows is likely to fill up: room for all the rows a sheet can
    // hold, taken once, saves moving the rows again at every doubling. Room not written to
    // takes no memory.
    constexpr std::uint32_t kRowsBeforeFullRoom = 4096;
    if (row >= rows.capacity() && row >= kRowsBeforeFullRoom && row < kMaxRows) {
      rows.reserve(kMaxRows);
    }
    while (rows.size() <= row) rows.emplace_back(&cellMemory);
  }
  Row& cells = rows[row];
  Cell cell;
  cell.column = column;
  cell.format = columnFormat(column);
  // Rows are written left to right, so appending is the common case.
  if (cells.empty() || cells.back().column < column) {
    // A transfer's row holds eight cells: one allocation instead of four.
    if (cells.capacity() == 0) cells.reserve(8);
    return cells.emplace_back(cell);
  }
  auto it = FirstCellFrom(cells, column);
  if (it != cells.end() && it->column == column) return *it;
  return *cells.insert(it, cell);
}

void Sheet::clear() {
  name.clear();
  std::vector<Row>().swap(rows);
  std::vector<std::uint16_t>().swap(columnFormats);
  cellMemory.release();
}

std::uint16_t Book::internFormat(std::string_view format) {
  auto it = std::find(formats.begin(), formats.end(), format);
  if (it != formats.end()) return static_cast<std::uint16_t>(it - formats.begin());
  // The file format numbers formats in 16 bits and saves custom ones from 164 up.
  if (formats.size() >= 200) Fail(FailureCode::InvalidArgument, "too many number formats");
  formats.emplace_back(format);
  return static_cast<std::uint16_t>(formats.size() - 1);
}

void WriteWorkbook(const Book& book, ByteSink& sink) {
  ByteOutput out(sink);
  WriteCompoundWorkbook(book, out);
  out.flush();
}

}  // namespace quadrelo::xls

#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <memory_resource>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/byte_sink.h"
#include "workbook/xls/string_table.h"

namespace quadrelo::xls {

// What one worksheet of the .xls format can hold.
inline constexpr std::uint32_t kMaxRows = 65536;
inline constexpr std::uint32_t kMaxColumns = 256;
// Characters (UTF-16 units) in one cell's text; the writer cuts longer texts (never inside a
// surrogate pair) so that every reader accepts them.
inline constexpr std::size_t kMaxCellTextUnits = 32767;

enum class CellKind : std::uint8_t { Blank, Text, Number };

// One cell: 16 bytes, because big workbooks hold millions of them.
struct Cell {
  std::uint16_t column = 0;  // 0-based
  CellKind kind = CellKind::Blank;
  bool bold = false;
  std::uint16_t format = 0;  // index into Book::formats; 0 is "General"
  // Non-zero while `text` is still the object model's interner ticket, not a string index:
  // which round's (TicketMark), or kLostTicket. A workbook with such a cell cannot be saved.
  std::uint8_t ticket = 0;
  union {
    double number = 0;   // kind == Number
    std::uint32_t text;  // kind == Text: index into Book::strings
  };
};

static_assert(sizeof(Cell) == 16);

// The cells of one row, sorted by column.
using Row = std::pmr::vector<Cell>;

struct Sheet {
  Sheet() = default;
  // Neither copied nor assigned: its rows' cells live in its own `cellMemory`.
  Sheet(const Sheet&) = delete;
  Sheet& operator=(const Sheet&) = delete;

  std::string name;  // as the workbook was given it; made valid when saved
  // Where the rows cellAt() makes keep their cells: a few large blocks given back with the
  // sheet, rather than an allocation for each row (declared first, so that it goes last).
  std::pmr::monotonic_buffer_resource cellMemory;
  // rows[r] holds the cells of row r (0-based); rows past the last written one are not stored.
  std::vector<Row> rows;
  // Default format of column c (0-based) for cells it does not hold; absent or 0 is "General".
  std::vector<std::uint16_t> columnFormats;

  std::uint16_t columnFormat(std::uint16_t column) const {
    return column < columnFormats.size() ? columnFormats[column] : 0;
  }
  // The cell at (row, column), 0-based; nothing when the sheet does not hold it.
  Cell* findCell(std::uint32_t row, std::uint16_t column);
  // The same, created blank with its column's format when the sheet does not hold it yet.
  Cell& cellAt(std::uint32_t row, std::uint16_t column);
  // Leaves the sheet without name, cells or formats, and gives back its cells' memory.
  void clear();
};

// What a spreadsheet application shows under File > Properties.
struct DocumentProperties {
  std::string title;  // UTF-8; empty for none
  // Written as both the creation and the last-saved time; unset, the file holds no times (so
  // that the same book gives the same bytes).
  std::optional<std::chrono::system_clock::time_point> savedAt;
};

struct Book {
  StringTable strings;
  std::vector<std::string> formats{"General"};  // format codes in the spreadsheet's en-US syntax
  std::vector<std::shared_ptr<Sheet>> sheets;   // in tab order
  std::size_t activeSheet = 0;                  // the sheet shown when the file is opened
  DocumentProperties properties;

  // The index of `format` in `formats`, added when new. Throws Failure when the file format
  // has no number left for another one.
  std::uint16_t internFormat(std::string_view format);
};

// "Hoja<number>": the name of a new sheet, and of a saved sheet that has no usable name.
std::string DefaultSheetName(std::size_t number);

// The names the sheets get in the saved file, in tab order: the characters : \ / ? * [ ] removed,
// cut to 31 characters, an empty name replaced by "Hoja<position>", and names that repeat one
// before them (ignoring case) given " (2)", " (3)", ...
std::vector<std::string> SavedSheetNames(const Book& book);

// Writes `book` as an Excel 97-2003 workbook: a BIFF8 Workbook stream in a compound file, with
// the document properties beside it (creating application "Quadrelo", title, times).
// Throws Failure when the sink does, and (before writing anything) when the workbook would be
// larger than the 2 GiB such a file can hold.
void WriteWorkbook(const Book& book, ByteSink& sink);

}  // namespace quadrelo::xls

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

namespace quadrelo::xls {

// What one worksheet of the .xls format can hold.
inline constexpr std::uint32_t kMaxRows = 65536;
inline constexpr std::uint32_t kMaxColumns = 256;
// Characters (UTF-16 units) in one cell's text; the writer cuts longer texts (never inside a
// surrogate pair) so that every reader accepts them.
inline constexpr std::size_t kMaxCellTextUnits = 32767;

// The workbook's shared strings, UTF-8, each stored once; an index is given in order of first use.
// Kept compact (blocks of bytes and an open-addressing index) because large workbooks hold
// millions of distinct texts.
class StringTable {
 public:
  StringTable();
  StringTable(const StringTable& other);
  StringTable(StringTable&&) = default;
  StringTable& operator=(StringTable other) {
    swap(other);
    return *this;
  }
  void swap(StringTable& other) noexcept;
  std::uint32_t intern(std::string_view utf8);
  // Interns `count` texts in order, as intern() would one by one, and puts their indexes in
  // `indexes`. Faster for many texts: it fetches the table's memory for the texts ahead early.
  void intern(const std::string_view* texts, std::size_t count, std::uint32_t* indexes);
  // An index the table does not have gives the empty string.
  std::string_view operator[](std::uint32_t index) const {
    if (index >= size()) return {};
    const char* p = placeOf(index);
    // The length, seven bits a byte, low bits first.
    std::size_t length = 0;
    for (int shift = 0;; shift += 7) {
      auto byte = static_cast<unsigned char>(*p++);
      length |= std::size_t{byte & 0x7Fu} << shift;
      if (byte < 0x80) break;
    }
    return std::string_view(p, length);
  }
  std::uint32_t size() const { return static_cast<std::uint32_t>(places_.size()); }
  // TextWidthQuarters of string `index`, measured once when it was added: column widths need it
  // for every cell. 0 for an index the table does not have.
  std::uint8_t widthQuarters(std::uint32_t index) const {
    return index < size() ? widths_[index] : 0;
  }

 private:
  static constexpr int kBlockShift = 40;
  static constexpr std::uint64_t kOffsetMask = (std::uint64_t{1} << kBlockShift) - 1;

  void grow();
  std::uint32_t intern(std::string_view utf8, std::uint64_t hash);
  // Index + 1 of the first string in the probe sequence of `hash` whose slot carries the same
  // tag (not necessarily the same text), or 0.
  std::uint32_t firstMatch(std::uint64_t hash) const;
  // Where string `index` (which the table has) starts: its length, then its bytes.
  const char* placeOf(std::uint32_t index) const {
    std::uint64_t place = places_[index];
    return blocks_[place >> kBlockShift].get() + (place & kOffsetMask);
  }
  // Stores the bytes of a new string, without its width or slot.
  void store(std::string_view utf8);

  // Every string as its length and its bytes, back to back in blocks that are never moved, so
  // that a growing table copies nothing it holds.
  std::vector<std::unique_ptr<char[]>> blocks_;
  std::size_t blockUsed_ = 0;  // bytes taken in the last block
  std::size_t blockSize_ = 0;  // and its size
  // String i starts in block places_[i] >> kBlockShift, at the offset in the bits below.
  std::vector<std::uint64_t> places_;
  std::vector<std::uint8_t> widths_;  // TextWidthQuarters of each string
  // Per slot: index + 1 of the string in the low 32 bits (0 = empty), the high 32 bits of its
  // hash above, so that probing and growing rarely need to look at the strings themselves.
  std::vector<std::uint64_t> slots_;
};

enum class CellKind : std::uint8_t { Blank, Text, Number };

// One cell: 16 bytes, because big workbooks hold millions of them.
struct Cell {
  std::uint16_t column = 0;  // 0-based
  CellKind kind = CellKind::Blank;
  bool bold = false;
  std::uint16_t format = 0;  // index into Book::formats; 0 is "General"
  // Non-zero while `text` is still the object model's interner ticket, not a string index
  // (never so in a workbook being saved or looked at): which round's (TicketMark).
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

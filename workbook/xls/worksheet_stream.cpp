#include "workbook/xls/worksheet_stream.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <span>
#include <string>
#include <vector>

#include "platform/failure.h"

namespace quadrelo::xls {

namespace {

// What a cell becomes in the file. The choices, for contents the format cannot hold:
// - rows past kMaxRows and columns past kMaxColumns are not written at all;
// - a text whose string index the workbook does not have, and a NaN or infinite number (no
//   spreadsheet cell holds those), become an empty cell with the cell's formatting;
// - a text cell that still holds an interner's ticket fails the save before a byte is written;
// - an unknown format index counts as "General".
enum class CellRecord : std::uint8_t { None, LabelSst, Number, Rk, Blank };

struct CellChoice {
  CellRecord record = CellRecord::None;
  std::uint16_t xf = 0;
  std::uint32_t rk = 0;
};

std::size_t RecordSize(CellRecord record) {
  switch (record) {
    case CellRecord::LabelSst:
    case CellRecord::Rk:
      return 14;
    case CellRecord::Number:
      return 18;
    case CellRecord::Blank:
      return 10;
    case CellRecord::None:
      break;
  }
  return 0;
}

// The 32-bit RK form of `value` when it holds the number exactly.
bool EncodeRk(double value, std::uint32_t& rk) {
  if (value >= -536870912.0 && value <= 536870911.0) {
    auto integer = static_cast<std::int32_t>(value);
    if (static_cast<double>(integer) == value && !(integer == 0 && std::signbit(value))) {
      rk = (static_cast<std::uint32_t>(integer) << 2) | 2;
      return true;
    }
  }
  const auto bits = std::bit_cast<std::uint64_t>(value);
  if ((bits & 0x3FFFFFFFFull) != 0) return false;
  rk = static_cast<std::uint32_t>(bits >> 32) & ~3u;
  return true;
}

// The record each cell becomes; its XF is left to the caller (0 in the choice).
class CellClassifier {
 public:
  CellClassifier(const Sheet& sheet, const StringTable& strings, const StyleTable& styles)
      : styles_(styles), stringCount_(strings.size()) {
    columnCode_.fill(0);
    std::size_t n = std::min<std::size_t>(sheet.columnFormats.size(), kMaxColumns);
    for (std::size_t c = 0; c < n; ++c) columnCode_[c] = styles.formatCode(sheet.columnFormats[c]);
  }

  CellChoice classify(const Cell& cell) const {
    CellChoice choice;
    switch (cell.kind) {
      case CellKind::Text:
        // A ticket is no string index: whatever it was taken for would be a wrong text.
        if (cell.ticket != 0) Fail(FailureCode::Unexpected, "a text cell still holds a ticket");
        choice.record = cell.text < stringCount_ ? CellRecord::LabelSst : CellRecord::Blank;
        break;
      case CellKind::Number:
        if (!std::isfinite(cell.number)) {
          choice.record = CellRecord::Blank;
        } else {
          choice.record = EncodeRk(cell.number, choice.rk) ? CellRecord::Rk : CellRecord::Number;
        }
        break;
      default:
        if (!writesRecord(cell)) return choice;
        choice.record = CellRecord::Blank;
        break;
    }
    return choice;
  }

  // Whether classify() gives the cell a record, without choosing it.
  bool writesRecord(const Cell& cell) const {
    // An empty cell that looks like its column needs no record: the column's format reaches it.
    return cell.kind != CellKind::Blank || cell.bold ||
           styles_.formatCode(cell.format) != columnCode_[cell.column];
  }

 private:
  const StyleTable& styles_;
  std::uint32_t stringCount_;
  std::array<std::uint16_t, kMaxColumns> columnCode_;
};

// The row's cells in ascending column order, each column once (the later cell wins, as when a
// cell is written twice), inside the format's columns. Rows that are already in order, which is
// what the object model keeps, are used in place.
std::span<const Cell> OrderedCells(const Row& row, std::vector<Cell>& scratch) {
  bool ordered = true;
  for (std::size_t i = 1; i < row.size() && ordered; ++i) {
    ordered = row[i - 1].column < row[i].column;
  }
  std::span<const Cell> cells(row);
  if (!ordered) {
    scratch.assign(row.begin(), row.end());
    std::stable_sort(scratch.begin(), scratch.end(),
                     [](const Cell& a, const Cell& b) { return a.column < b.column; });
    std::size_t kept = 0;
    for (const Cell& cell : scratch) {
      if (kept > 0 && scratch[kept - 1].column == cell.column) {
        scratch[kept - 1] = cell;
      } else {
        scratch[kept++] = cell;
      }
    }
    scratch.resize(kept);
    cells = std::span<const Cell>(scratch);
  }
  auto end = std::lower_bound(cells.begin(), cells.end(), kMaxColumns,
                              [](const Cell& cell, std::uint32_t c) { return cell.column < c; });
  return cells.first(static_cast<std::size_t>(end - cells.begin()));
}

std::size_t RowCount(const Sheet& sheet) {
  return std::min<std::size_t>(sheet.rows.size(), kMaxRows);
}

// Column widths count in the spreadsheet's unit, the width of the digit "0" in the default font.
constexpr double kMarginChars = 2;  // beside the widest content
constexpr double kMaxChars = 50;    // so that one odd value cannot make a column absurd
constexpr double kBoldFactor = 1.1;
// "General" shows a number with a fraction in at most this many characters.
constexpr double kGeneralFractionChars = 11;
constexpr std::uint16_t kDefaultWidth = 0x0924;  // 8.43 characters, what Excel shows by default

// Characters the widest number of a column needs as the column's format shows it, separators,
// decimals and sign included, so that it shows instead of "####".
double NumberChars(double largest, bool negative, bool fraction, const std::string& format) {
  double digits = largest < 1 ? 1 : std::floor(std::log10(largest)) + 1;
  double chars = std::min(digits, 15.0);
  if (format.find(',') != std::string::npos) chars += std::floor((chars - 1) / 3);
  std::size_t point = format.find('.');
  if (point != std::string::npos) {
    std::size_t decimals = 0;
    while (point + 1 + decimals < format.size() &&
           (format[point + 1 + decimals] == '0' || format[point + 1 + decimals] == '#')) {
      ++decimals;
    }
    chars += decimals + 1;
  } else if (fraction && (format.empty() || format == "General")) {
    chars = std::max(chars, kGeneralFractionChars);
  }
  return chars + (negative ? 1 : 0);
}

// What the widest contents of a column need, gathered while the sheet is planned.
struct ColumnStats {
  double textChars = 0;
  double largestNumber = -1;
  bool negative = false;
  bool fraction = false;

  void addText(std::uint8_t quarters, bool bold) {
    textChars = std::max(textChars, quarters / 4.0 * (bold ? kBoldFactor : 1.0));
  }
  void addNumber(double value) {
    largestNumber = std::max(largestNumber, std::fabs(value));
    negative = negative || value < 0;
    // Beyond 2^52 a double holds no fraction; below, a cast tells one without a call to floor.
    if (!fraction && std::fabs(value) < 4503599627370496.0) {
      fraction = value != static_cast<double>(static_cast<std::int64_t>(value));
    }
  }
};

// The columns that get a COLINFO record; their XFs are filled in with the sheet's styles.
std::vector<ColumnInfo> PlanColumns(const Sheet& sheet,
                                    const std::array<ColumnStats, kMaxColumns>& stats,
                                    const StyleTable& styles) {
  std::vector<ColumnInfo> columns;
  for (std::uint16_t c = 0; c < kMaxColumns; ++c) {
    std::uint16_t format = c < sheet.columnFormats.size() ? sheet.columnFormats[c] : 0;
    std::uint16_t code = styles.formatCode(format);
    const ColumnStats& column = stats[c];
    double chars = column.textChars;
    if (column.largestNumber >= 0) {
      chars = std::max(chars, NumberChars(column.largestNumber, column.negative, column.fraction,
                                          styles.formatText(code)));
    }
    if (chars == 0 && code == 0) continue;
    ColumnInfo info;
    info.column = c;
    info.format = format;
    if (chars > 0) {
      chars = std::min(chars + kMarginChars, kMaxChars);
      info.width = static_cast<std::uint16_t>(std::lround(chars * 256));
      info.flags = 0x0002;  // width set by the user
    } else {
      info.width = kDefaultWidth;
    }
    columns.push_back(info);
  }
  return columns;
}

constexpr std::uint16_t kRowHeight = 0x00FF;  // 12.75 points in twips: the default font's row
constexpr std::uint32_t kRowsPerBlock = 32;
constexpr std::uint64_t kRowBytes = 20;  // a ROW record with its header

// The INDEX, with its header: one entry per block.
std::uint64_t IndexBytes(std::size_t blocks) { return 4 + 16 + 4 * std::uint64_t{blocks}; }
// A block's DBCELL, with its header: one entry per row.
std::uint64_t DbCellBytes(const RowBlock& block) { return 4 + 4 + 2 * std::uint64_t{block.rows}; }

void WriteIndex(RecordWriter& w, const WorksheetPlan& plan, std::uint32_t defColWidthAt,
                const std::vector<std::uint32_t>& dbCells) {
  std::string body(16 + 4 * dbCells.size(), '\0');
  auto* p = reinterpret_cast<std::uint8_t*>(body.data());
  Put32(p + 4, plan.firstRow);
  Put32(p + 8, plan.rowEnd);
  Put32(p + 12, defColWidthAt);
  for (std::size_t i = 0; i < dbCells.size(); ++i) Put32(p + 16 + 4 * i, dbCells[i]);
  w.record(record::kIndex, body);
}

// The records between INDEX and DEFCOLWIDTH, with Excel's values for a plain sheet: automatic
// calculation of up to 100 iterations of 0.001 (off), A1 references, recalculation before
// saving, neither headings nor grid printed, no outline, default row height, no header or
// footer, default margins and no printer settings, portrait.
void WriteSheetSettings(RecordWriter& w) {
  WriteU16Record(w, record::kCalcMode, 1);
  WriteU16Record(w, record::kCalcCount, 100);
  WriteU16Record(w, record::kCalcRefMode, 1);
  WriteU16Record(w, record::kCalcIter, 0);
  std::array<std::uint8_t, 8> delta;
  PutDouble(delta.data(), 0.001);
  w.record(record::kCalcDelta, delta);
  WriteU16Record(w, record::kCalcSaveRecalc, 1);
  WriteU16Record(w, record::kPrintRowCol, 0);
  WriteU16Record(w, record::kPrintGrid, 0);
  WriteU16Record(w, record::kGridSet, 1);
  w.record(record::kGuts, std::array<std::uint8_t, 8>{});
  std::array<std::uint8_t, 4> rowHeight{};
  Put16(rowHeight.data() + 2, kRowHeight);
  w.record(record::kDefaultRowHeight, rowHeight);
  WriteU16Record(w, record::kWsBool, 0x04C1);  // summary rows below, outline symbols
  w.record(record::kHeader, nullptr, 0);
  w.record(record::kFooter, nullptr, 0);
  WriteU16Record(w, record::kHCenter, 0);
  WriteU16Record(w, record::kVCenter, 0);
  std::array<std::uint8_t, 34> setup{};
  Put16(setup.data() + 2, 100);       // scale, per cent
  Put16(setup.data() + 4, 1);         // first page number
  Put16(setup.data() + 6, 1);         // fit to one page wide
  Put16(setup.data() + 8, 1);         // and one tall
  Put16(setup.data() + 10, 0x0006);   // portrait; no printer settings kept
  PutDouble(setup.data() + 16, 0.5);  // header and footer margins, inches: the default
  PutDouble(setup.data() + 24, 0.5);
  Put16(setup.data() + 32, 1);  // copies
  w.record(record::kSetup, setup);
}

// What WriteSheetSettings writes.
std::uint64_t SheetSettingsBytes() {
  static const std::uint64_t bytes = [] {
    ByteOutput counter;
    RecordWriter w(counter, 0);
    WriteSheetSettings(w);
    return w.position();
  }();
  return bytes;
}

void WriteDefColWidth(RecordWriter& w) { WriteU16Record(w, record::kDefColWidth, 8); }

void WriteColInfo(RecordWriter& w, const ColumnInfo& info) {
  std::array<std::uint8_t, 12> body{};
  Put16(body.data(), info.column);
  Put16(body.data() + 2, info.column);
  Put16(body.data() + 4, info.width);
  Put16(body.data() + 6, info.xf);
  Put16(body.data() + 8, info.flags);
  w.record(record::kColInfo, body);
}

void WriteDimensions(RecordWriter& w, const WorksheetPlan& plan) {
  std::array<std::uint8_t, 14> body{};
  Put32(body.data(), plan.firstRow);
  Put32(body.data() + 4, plan.rowEnd);
  Put16(body.data() + 8, plan.firstColumn);
  Put16(body.data() + 10, plan.columnEnd);
  w.record(record::kDimensions, body);
}

// A cell record's body with its row, column and XF filled in; N counts those 6 bytes.
template <std::size_t N>
std::array<std::uint8_t, N> CellBody(std::uint16_t row, const Cell& cell, std::uint16_t xf) {
  std::array<std::uint8_t, N> body;
  Put16(body.data(), row);
  Put16(body.data() + 2, cell.column);
  Put16(body.data() + 4, xf);
  return body;
}

void WriteCell(RecordWriter& w, std::uint16_t row, const Cell& cell, const CellChoice& choice) {
  switch (choice.record) {
    case CellRecord::LabelSst: {
      auto body = CellBody<10>(row, cell, choice.xf);
      Put32(body.data() + 6, cell.text);
      w.record(record::kLabelSst, body);
      break;
    }
    case CellRecord::Rk: {
      auto body = CellBody<10>(row, cell, choice.xf);
      Put32(body.data() + 6, choice.rk);
      w.record(record::kRk, body);
      break;
    }
    case CellRecord::Number: {
      auto body = CellBody<14>(row, cell, choice.xf);
      PutDouble(body.data() + 6, cell.number);
      w.record(record::kNumber, body);
      break;
    }
    case CellRecord::Blank:
      w.record(record::kBlank, CellBody<6>(row, cell, choice.xf));
      break;
    case CellRecord::None:
      break;
  }
}

void WriteRow(RecordWriter& w, std::uint16_t row, std::uint16_t firstColumn,
              std::uint16_t columnEnd) {
  std::array<std::uint8_t, 16> body{};
  Put16(body.data(), row);
  Put16(body.data() + 2, firstColumn);
  Put16(body.data() + 4, columnEnd);
  Put16(body.data() + 6, kRowHeight);
  // Default height and format; the bit Excel always sets, and the default cell XF it leaves in
  // the unused format field.
  Put16(body.data() + 12, 0x0100);
  Put16(body.data() + 14, StyleTable::kDefaultCellXf);
  w.record(record::kRow, body);
}

// A block's DBCELL: back to its first ROW record, then from the end of that record to the first
// cell of its first row, and from each row's first cell to the next one's.
void WriteDbCell(RecordWriter& w, std::uint64_t firstRowAt,
                 std::span<const std::uint64_t> cellsAt) {
  std::string body(4 + 2 * cellsAt.size(), '\0');
  auto* p = reinterpret_cast<std::uint8_t*>(body.data());
  Put32(p, static_cast<std::uint32_t>(w.position() - firstRowAt));
  std::uint64_t from = firstRowAt + kRowBytes;
  for (std::size_t i = 0; i < cellsAt.size(); ++i) {
    Put16(p + 4 + 2 * i, static_cast<std::uint16_t>(cellsAt[i] - from));
    from = cellsAt[i];
  }
  w.record(record::kDbCell, body);
}

// Refuses a save whose block came out elsewhere than the INDEX says: a damaged file otherwise.
void RequirePlannedDbCell(const RecordWriter& w, std::uint32_t planned) {
  if (w.position() != planned) {
    Fail(FailureCode::SaveFailed,
         "Error interno al escribir el libro: un bloque de filas no ocupa lo previsto.");
  }
}

// The cell table in blocks; `dbCells` are the planned stream offsets of the blocks' DBCELLs.
void WriteCells(RecordWriter& w, const Sheet& sheet, const StringTable& strings,
                const StyleTable& styles, const std::vector<std::uint32_t>& dbCells) {
  struct BlockRow {
    std::uint16_t row;
    std::uint16_t firstColumn, columnEnd;
  };
  CellClassifier classifier(sheet, strings, styles);
  auto writes = [&](const Cell& cell) { return classifier.writesRecord(cell); };
  std::vector<Cell> scratch;
  std::array<BlockRow, kRowsPerBlock> rows;
  std::array<std::uint64_t, kRowsPerBlock> cellsAt;
  std::size_t block = 0;
  const std::size_t rowCount = RowCount(sheet);
  for (std::size_t bandStart = 0; bandStart < rowCount; bandStart += kRowsPerBlock) {
    // The band's rows with a cell record, for their ROW records ahead of the cells; only the
    // ends of a row need looking at.
    std::size_t count = 0;
    const std::size_t bandEnd = std::min<std::size_t>(bandStart + kRowsPerBlock, rowCount);
    for (std::size_t r = bandStart; r < bandEnd; ++r) {
      std::span<const Cell> cells = OrderedCells(sheet.rows[r], scratch);
      auto first = std::find_if(cells.begin(), cells.end(), writes);
      if (first == cells.end()) continue;
      auto last = std::find_if(cells.rbegin(), cells.rend(), writes);
      rows[count++] = {static_cast<std::uint16_t>(r), first->column,
                       static_cast<std::uint16_t>(last->column + 1)};
    }
    if (count == 0) continue;
    const std::uint64_t firstRowAt = w.position();
    for (std::size_t i = 0; i < count; ++i) {
      WriteRow(w, rows[i].row, rows[i].firstColumn, rows[i].columnEnd);
    }
    for (std::size_t i = 0; i < count; ++i) {
      cellsAt[i] = w.position();
      for (const Cell& cell : OrderedCells(sheet.rows[rows[i].row], scratch)) {
        CellChoice choice = classifier.classify(cell);
        if (choice.record == CellRecord::None) continue;
        choice.xf = styles.plannedCellXf(cell.bold, cell.format);
        WriteCell(w, rows[i].row, cell, choice);
      }
    }
    RequirePlannedDbCell(w, block < dbCells.size() ? dbCells[block] : 0);
    ++block;
    WriteDbCell(w, firstRowAt, std::span<const std::uint64_t>(cellsAt.data(), count));
  }
}

void WriteWindow2(RecordWriter& w, bool selected) {
  std::array<std::uint8_t, 18> body{};
  // Grid lines, headings, zeros, automatic grid colour, outline symbols; the sheet shown on
  // opening is also the one selected and on the page view.
  Put16(body.data(), selected ? 0x06B6 : 0x00B6);
  Put16(body.data() + 6, 0x0040);  // automatic heading colour
  w.record(record::kWindow2, body);
}

// Records of a fixed size, with their headers.
constexpr std::uint64_t kBofBytes = 20, kDefColWidthBytes = 6, kDimensionsBytes = 18,
                        kWindow2Bytes = 22, kEofBytes = 4;
constexpr std::uint64_t kFixedRecordBytes =
    kBofBytes + kDefColWidthBytes + kDimensionsBytes + kWindow2Bytes + kEofBytes;
constexpr std::uint64_t kColInfoBytes = 16;

// The distinct styles of a sheet's cells in order of first use.
class StylesInOrder {
 public:
  explicit StylesInOrder(std::vector<std::uint32_t>& order) : order_(order) {}
  void add(const Cell& cell) {
    std::uint32_t style = StyleTable::Style(cell.bold, cell.format);
    if (style == last_) return;
    last_ = style;
    if (style >= seen_.size() * 64) seen_.resize(style / 64 + 1, 0);
    std::uint64_t bit = std::uint64_t{1} << (style % 64);
    if (seen_[style / 64] & bit) return;
    seen_[style / 64] |= bit;
    order_.push_back(style);
  }

 private:
  std::vector<std::uint32_t>& order_;
  std::vector<std::uint64_t> seen_;
  std::uint32_t last_ = 0xFFFFFFFFu;
};

}  // namespace

WorksheetPlan PlanWorksheet(const Sheet& sheet, const StringTable& strings, StyleTable& styles) {
  WorksheetPlan plan = MeasureWorksheet(sheet, strings, styles);
  AddWorksheetStyles(plan, styles);
  return plan;
}

void AddWorksheetStyles(WorksheetPlan& plan, StyleTable& styles) {
  for (std::uint32_t style : plan.cellStyles) {
    styles.cellXf((style & 1) != 0, static_cast<std::uint16_t>(style >> 1));
  }
  for (ColumnInfo& info : plan.columns) info.xf = styles.cellXf(false, info.format);
}

WorksheetPlan MeasureWorksheet(const Sheet& sheet, const StringTable& strings,
                               const StyleTable& styles) {
  WorksheetPlan plan;
  std::array<ColumnStats, kMaxColumns> stats{};
  CellClassifier classifier(sheet, strings, styles);
  StylesInOrder cellStyles(plan.cellStyles);
  std::vector<Cell> scratch;
  std::uint64_t cellBytes = 0;
  std::uint32_t firstRow = kMaxRows, lastRow = 0;
  std::uint16_t firstColumn = kMaxColumns, lastColumn = 0;
  std::size_t rows = RowCount(sheet);
  for (std::size_t r = 0; r < rows; ++r) {
    std::span<const Cell> cells = OrderedCells(sheet.rows[r], scratch);
    std::uint64_t rowBytes = 0;
    for (const Cell& cell : cells) {
      CellChoice choice = classifier.classify(cell);
      if (choice.record == CellRecord::None) continue;
      cellStyles.add(cell);
      rowBytes += RecordSize(choice.record);
      firstRow = std::min(firstRow, static_cast<std::uint32_t>(r));
      firstColumn = std::min(firstColumn, cell.column);
      lastColumn = std::max(lastColumn, cell.column);
      if (choice.record == CellRecord::LabelSst) {
        ++plan.labelCount;
        stats[cell.column].addText(strings.widthQuarters(cell.text), cell.bold);
      } else if (choice.record == CellRecord::Rk || choice.record == CellRecord::Number) {
        stats[cell.column].addNumber(cell.number);
      }
    }
    if (rowBytes == 0) continue;
    if (plan.blocks.empty() || r / kRowsPerBlock != lastRow / kRowsPerBlock) {
      plan.blocks.emplace_back();
    }
    // A block's bytes stay far below 4 GiB: 32 rows of 256 cells of at most 18 bytes.
    plan.blocks.back().bytes += static_cast<std::uint32_t>(kRowBytes + rowBytes);
    ++plan.blocks.back().rows;
    cellBytes += rowBytes;
    lastRow = static_cast<std::uint32_t>(r);
  }
  if (cellBytes > 0) {
    plan.firstRow = firstRow;
    plan.rowEnd = lastRow + 1;
    plan.firstColumn = firstColumn;
    plan.columnEnd = static_cast<std::uint16_t>(lastColumn + 1);
  }
  plan.columns = PlanColumns(sheet, stats, styles);
  std::uint64_t table = 0;
  for (const RowBlock& block : plan.blocks) table += block.bytes + DbCellBytes(block);
  plan.size = kFixedRecordBytes + IndexBytes(plan.blocks.size()) + SheetSettingsBytes() +
              kColInfoBytes * plan.columns.size() + table;
  return plan;
}

void WriteWorksheet(const Sheet& sheet, const WorksheetPlan& plan, bool selected,
                    const StringTable& strings, const StyleTable& styles, RecordWriter& w) {
  // Where DEFCOLWIDTH and each block's DBCELL will be, for the INDEX that goes before them.
  const std::uint64_t start = w.position();
  const std::uint64_t defColWidthAt =
      start + kBofBytes + IndexBytes(plan.blocks.size()) + SheetSettingsBytes();
  std::uint64_t at =
      defColWidthAt + kDefColWidthBytes + kColInfoBytes * plan.columns.size() + kDimensionsBytes;
  std::vector<std::uint32_t> dbCells;
  dbCells.reserve(plan.blocks.size());
  for (const RowBlock& block : plan.blocks) {
    dbCells.push_back(static_cast<std::uint32_t>(at + block.bytes));
    at += block.bytes + DbCellBytes(block);
  }

  WriteBof(w, SubstreamKind::Worksheet);
  WriteIndex(w, plan, static_cast<std::uint32_t>(defColWidthAt), dbCells);
  WriteSheetSettings(w);
  WriteDefColWidth(w);
  for (const ColumnInfo& info : plan.columns) WriteColInfo(w, info);
  WriteDimensions(w, plan);
  WriteCells(w, sheet, strings, styles, dbCells);
  WriteWindow2(w, selected);
  WriteEof(w);
}

}  // namespace quadrelo::xls

#include "workbook/xls/worksheet_stream.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <span>

namespace quadrelo::xls {

namespace {

// What a cell becomes in the file. The choices, for contents the format cannot hold:
// - rows past kMaxRows and columns past kMaxColumns are not written at all;
// - a text whose string index the workbook does not have, and a NaN or infinite number (no
//   spreadsheet cell holds those), become an empty cell with the cell's formatting;
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
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
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
        // An empty cell that looks like its column needs no record: the column's format reaches
        // it.
        if (!cell.bold && styles_.formatCode(cell.format) == columnCode_[cell.column]) {
          return choice;
        }
        choice.record = CellRecord::Blank;
        break;
    }
    return choice;
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

void WriteWsBool(RecordWriter& w) {
  const std::array<std::uint8_t, 2> body = {0xC1, 0x04};  // summary rows below, outline symbols
  w.record(record::kWsBool, body);
}

void WriteDefColWidth(RecordWriter& w) {
  const std::array<std::uint8_t, 2> body = {8, 0};
  w.record(record::kDefColWidth, body);
}

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
      std::uint64_t bits;
      std::memcpy(&bits, &cell.number, sizeof bits);
      Put64(body.data() + 6, bits);
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

void WriteCells(RecordWriter& w, const Sheet& sheet, const StringTable& strings,
                const StyleTable& styles) {
  CellClassifier classifier(sheet, strings, styles);
  std::vector<Cell> scratch;
  std::size_t rows = RowCount(sheet);
  for (std::size_t r = 0; r < rows; ++r) {
    for (const Cell& cell : OrderedCells(sheet.rows[r], scratch)) {
      CellChoice choice = classifier.classify(cell);
      if (choice.record == CellRecord::None) continue;
      choice.xf = styles.plannedCellXf(cell.bold, cell.format);
      WriteCell(w, static_cast<std::uint16_t>(r), cell, choice);
    }
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

// BOF, WSBOOL, DEFCOLWIDTH, DIMENSIONS, WINDOW2 and EOF, with their headers.
constexpr std::uint64_t kFixedRecordBytes = 20 + 6 + 6 + 18 + 22 + 4;
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
    for (const Cell& cell : cells) {
      CellChoice choice = classifier.classify(cell);
      if (choice.record == CellRecord::None) continue;
      cellStyles.add(cell);
      cellBytes += RecordSize(choice.record);
      firstRow = std::min(firstRow, static_cast<std::uint32_t>(r));
      lastRow = static_cast<std::uint32_t>(r);
      firstColumn = std::min(firstColumn, cell.column);
      lastColumn = std::max(lastColumn, cell.column);
      if (choice.record == CellRecord::LabelSst) {
        ++plan.labelCount;
        stats[cell.column].addText(strings.widthQuarters(cell.text), cell.bold);
      } else if (choice.record == CellRecord::Rk || choice.record == CellRecord::Number) {
        stats[cell.column].addNumber(cell.number);
      }
    }
  }
  if (cellBytes > 0) {
    plan.firstRow = firstRow;
    plan.rowEnd = lastRow + 1;
    plan.firstColumn = firstColumn;
    plan.columnEnd = static_cast<std::uint16_t>(lastColumn + 1);
  }
  plan.columns = PlanColumns(sheet, stats, styles);
  plan.size = kFixedRecordBytes + kColInfoBytes * plan.columns.size() + cellBytes;
  return plan;
}

void WriteWorksheet(const Sheet& sheet, const WorksheetPlan& plan, bool selected,
                    const StringTable& strings, const StyleTable& styles, RecordWriter& w) {
  WriteBof(w, SubstreamKind::Worksheet);
  WriteWsBool(w);
  WriteDefColWidth(w);
  for (const ColumnInfo& info : plan.columns) WriteColInfo(w, info);
  WriteDimensions(w, plan);
  WriteCells(w, sheet, strings, styles);
  WriteWindow2(w, selected);
  WriteEof(w);
}

}  // namespace quadrelo::xls

#pragma once

#include <cstdint>
#include <vector>

#include "workbook/xls/book.h"
#include "workbook/xls/record_writer.h"
#include "workbook/xls/styles.h"

namespace quadrelo::xls {

struct ColumnInfo {
  std::uint16_t column = 0;
  std::uint16_t width = 0;  // 1/256 of a character
  std::uint16_t xf = 0;
  std::uint16_t flags = 0;
  std::uint16_t format = 0;  // the column's format index, which its XF stands for
};

// Rows of cells go out in blocks of the rows of one 32-row band (rows 0-31, 32-63, ...) that
// hold a cell: each row's ROW record, then the rows' cells, then a DBCELL.
struct RowBlock {
  std::uint32_t bytes = 0;  // the ROW and cell records
  std::uint16_t rows = 0;   // rows with a cell
};

// What a worksheet's substream will hold, measured before anything is written.
struct WorksheetPlan {
  // The cells written, as DIMENSIONS gives them: rows [firstRow, rowEnd), columns
  // [firstColumn, columnEnd); all 0 for a sheet without cell records.
  std::uint32_t firstRow = 0;
  std::uint32_t rowEnd = 0;
  std::uint16_t firstColumn = 0;
  std::uint16_t columnEnd = 0;
  std::vector<ColumnInfo> columns;
  std::vector<RowBlock> blocks;
  std::uint32_t labelCount = 0;  // LABELSST records
  std::uint64_t size = 0;        // bytes of the substream, BOF to EOF
  // The cells' styles (StyleTable::Style) in order of first use, as measured; the XFs of
  // the columns are filled in when they are added to the style table.
  std::vector<std::uint32_t> cellStyles;
};

// Measures the sheet and adds the XFs it needs to `styles` (all of them, so that the globals can
// be written before the sheet).
WorksheetPlan PlanWorksheet(const Sheet& sheet, const StringTable& strings, StyleTable& styles);

// The same in two halves. Measuring leaves the style table alone, so several sheets can be
// measured at once; adding their XFs sheet by sheet, in tab order, then gives every XF the
// number PlanWorksheet would.
WorksheetPlan MeasureWorksheet(const Sheet& sheet, const StringTable& strings,
                               const StyleTable& styles);
void AddWorksheetStyles(WorksheetPlan& plan, StyleTable& styles);

// Writes the substream exactly as planned, from the stream offset `w` is at. `selected` marks
// the sheet shown on opening. Throws Failure when a block's DBCELL does not land where the INDEX
// said it would.
void WriteWorksheet(const Sheet& sheet, const WorksheetPlan& plan, bool selected,
                    const StringTable& strings, const StyleTable& styles, RecordWriter& w);

}  // namespace quadrelo::xls

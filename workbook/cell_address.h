#pragma once

#include <optional>
#include <string_view>

#include "workbook/application.h"

namespace quadrelo::workbook {

// What ParseCellAddress reads, with "nothing" as an area whose first column lies past its last:
// a value that comes back in registers, for the object model's every call.
CellArea ReadCellAddress(std::string_view address);
inline bool IsNoArea(const CellArea& area) { return area.firstColumn > area.lastColumn; }

// "A1".."IV65536" (one cell) or "C:C", "C:E" (whole columns); letters in either case. Anything
// else, or a cell beyond what a sheet holds, gives nothing.
inline std::optional<CellArea> ParseCellAddress(std::string_view address) {
  CellArea area = ReadCellAddress(address);
  if (IsNoArea(area)) return std::nullopt;
  return area;
}

}  // namespace quadrelo::workbook

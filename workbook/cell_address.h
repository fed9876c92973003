#pragma once

#include <optional>
#include <string_view>

#include "workbook/application.h"

namespace quadrelo::workbook {

// "A1".."IV65536" (one cell) or "C:C", "C:E" (whole columns); letters in either case. Anything
// else, or a cell beyond what a sheet holds, gives nothing.
std::optional<CellArea> ParseCellAddress(std::string_view address);

}  // namespace quadrelo::workbook

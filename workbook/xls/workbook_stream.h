#pragma once

#include <cstdint>

#include "workbook/xls/book.h"
#include "workbook/xls/byte_output.h"

namespace quadrelo::xls {

// Writes the whole compound file: the Workbook stream (globals, then one substream per sheet)
// inside its container. Throws Failure when the sink does, or when the workbook is larger than
// the format can address.
void WriteCompoundWorkbook(const Book& book, ByteOutput& out);

}  // namespace quadrelo::xls

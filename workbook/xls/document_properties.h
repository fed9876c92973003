#pragma once

#include <vector>

#include "workbook/xls/book.h"
#include "workbook/xls/compound_file.h"

namespace quadrelo::xls {

// The name the files give as their creating application.
inline constexpr char16_t kApplicationName[] = u"Quadrelo";

// The "\005SummaryInformation" and "\005DocumentSummaryInformation" streams: property sets in
// code page 1252, with 8-bit strings, and UTF-16 only for a title that has characters outside
// Windows-1252. A title is cut to 255 characters (and at a NUL), which
// keeps both streams well below the mini-stream cutoff.
std::vector<SmallStream> DocumentPropertyStreams(const DocumentProperties& properties);

}  // namespace quadrelo::xls

#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "workbook/xls/record_writer.h"

namespace quadrelo::xls {

// The fonts, number formats and cell XF records of a workbook, each written once. A cell XF is
// determined by (bold, number format); cells and columns ask this table for theirs.
class StyleTable {
 public:
  // XF 0-14 are style XFs, XF 15 the cell XF of plain "General" cells.
  static constexpr std::uint16_t kDefaultCellXf = 15;

  // `formats` are the workbook's format codes by index (index 0 is "General").
  explicit StyleTable(const std::vector<std::string>& formats);

  // The cell XF for a cell of format index `format`, added on first use. An index the workbook
  // does not have is taken as "General".
  std::uint16_t cellXf(bool bold, std::uint16_t format) {
    std::uint32_t slot = Style(bold, format);
    if (slot < byFormat_.size() && byFormat_[slot] != 0) return byFormat_[slot];
    return addCellXf(bold, format);
  }
  // A cell's bold flag and format index as one number, which the table keys its XFs by.
  static std::uint32_t Style(bool bold, std::uint16_t format) {
    return format * 2u + (bold ? 1 : 0);
  }
  // The cell XF that cellXf() gave for the same cell while the sheets were planned. Read-only,
  // so that sheets can be written on several threads at once.
  std::uint16_t plannedCellXf(bool bold, std::uint16_t format) const;
  // The BIFF format number (ifmt) that a format index is written as.
  std::uint16_t formatCode(std::uint16_t format) const {
    return format < codeOf_.size() ? codeOf_[format] : 0;
  }
  // The format text of a BIFF format number (built-in ones included), "" when unknown.
  std::string formatText(std::uint16_t code) const;

  void writeFonts(RecordWriter& w) const;
  void writeFormats(RecordWriter& w) const;
  void writeXfs(RecordWriter& w) const;
  void writeStyles(RecordWriter& w) const;

 private:
  std::uint16_t addCellXf(bool bold, std::uint16_t format);

  std::vector<std::uint16_t> codeOf_;                          // format index -> ifmt
  std::vector<std::pair<std::uint16_t, std::string>> custom_;  // FORMAT records
  std::vector<std::uint16_t> byFormat_;           // format index * 2 + bold -> XF, 0 = none yet
  std::map<std::uint32_t, std::uint16_t> byKey_;  // ifmt * 2 + bold -> XF
  std::vector<std::uint32_t> cellXfs_;            // key of XF 15, 16, ...
};

}  // namespace quadrelo::xls

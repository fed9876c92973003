#pragma once

#include <string_view>

namespace quadrelo::conversion {

// What a run did, for callers that want to tell the user more than the message boxes do (the
// command-line tool). Every callback has an empty default; lines are numbered from 1.
class ReportSink {
 public:
  virtual ~ReportSink() = default;
  // One record read; `type` is positions 1-2 of the line.
  virtual void recordRead(long line, std::string_view type) { (void)line, (void)type; }
  // An account sheet prepared at `position` for `label` (the sheet name as the driver gave it).
  virtual void sheetPrepared(int position, std::string_view label) { (void)position, (void)label; }
  // A cell (e.g. "D17") that could not be written, and why.
  virtual void cellNotWritten(long line, std::string_view address, std::string_view reason) {
    (void)line, (void)address, (void)reason;
  }
  // An amount text that did not read as a number; its cell stays empty.
  virtual void amountNotNumber(long line, std::string_view text) { (void)line, (void)text; }
  // The input's line breaks were repaired in place.
  virtual void lineBreaksRepaired() {}
  // The workbook was saved under `path` with `sheets` account sheets and `transfers` rows.
  virtual void workbookSaved(std::string_view path, int sheets, long transfers) {
    (void)path, (void)sheets, (void)transfers;
  }
};

}  // namespace quadrelo::conversion

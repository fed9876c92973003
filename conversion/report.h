#pragma once

#include <string_view>

namespace quadrelo::conversion {

// What a run did, for callers that want to tell the user more than the message boxes do (the
// command-line tool). Every callback has an empty default; lines are numbered from 1.
class ReportSink {
 public:
  virtual ~ReportSink() = default;
  // One record read; `type` is positions 1-2 of the line.
  virtual void recordRead(long /*line*/, std::string_view /*type*/) {}
  // An account sheet prepared at `position` for `label` (the sheet name as the driver gave it).
  // An account with more transfers than one sheet holds gets further sheets with the same label.
  virtual void sheetPrepared(int /*position*/, std::string_view /*label*/) {}
  // A cell (e.g. "D17") that could not be written, and why.
  virtual void cellNotWritten(long /*line*/, std::string_view /*address*/,
                              std::string_view /*reason*/) {}
  // An amount text that did not read as a number; its cell stays empty.
  virtual void amountNotNumber(long /*line*/, std::string_view /*text*/) {}
  // The input's line breaks were repaired in place.
  virtual void lineBreaksRepaired() {}
  // The workbook was saved under `path` with `sheets` account sheets and `transfers` rows.
  virtual void workbookSaved(std::string_view /*path*/, int /*sheets*/, long /*transfers*/) {}

  // Why the run ended with a message before converting anything (the failure behind it).
  virtual void runRefused(std::string_view /*reason*/) {}
  // The repair of the line breaks failed; the input file was left as it was.
  virtual void lineBreaksNotRepaired(std::string_view /*reason*/) {}
  // Reading the input failed after `line`; the records before it were converted.
  virtual void readFailed(long /*line*/, std::string_view /*reason*/) {}
  // Saving failed; nothing was written under `path`.
  virtual void workbookNotSaved(std::string_view /*path*/, std::string_view /*reason*/) {}
  // The user stopped the run after `line`; nothing was saved.
  virtual void runStopped(long /*line*/) {}
};

}  // namespace quadrelo::conversion

// The record layout and the whole conversion, from the bytes of a transfer file to a saved
// workbook: every line's fields are taken as the driver takes them, then the file is converted
// in a scratch folder and the result is held against what the input allows.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "conversion/convert_transfer_file.h"
#include "conversion/record_layout.h"
#include "conversion/report.h"
#include "fuzz/fuzz_support.h"
#include "platform/files.h"
#include "platform/text.h"
#include "tools/xls_structure/xls_structure.h"

namespace {

using namespace quadrelo;
using namespace quadrelo::conversion;
using quadrelo::fuzzing::Broken;
using quadrelo::fuzzing::CountingMessages;

// Yields until `stopAfter` yields have passed (never when negative).
class FakePump : public EventPump {
 public:
  explicit FakePump(long stopAfter) : stopAfter_(stopAfter) {}
  bool yield() override {
    ++yields;
    return stopAfter_ < 0 || yields <= stopAfter_;
  }
  long yields = 0;

 private:
  long stopAfter_;
};

class Saved : public ReportSink {
 public:
  void workbookSaved(std::string_view, int sheetCount, long) override { sheets = sheetCount; }
  int sheets = -1;
};

void CheckFields(std::string_view line) {
  auto checkPiece = [&](Piece piece) {
    std::string_view taken = TakePiece(line, piece);
    if (taken.size() > static_cast<std::size_t>(piece.length)) Broken("a piece longer than asked");
    if (!taken.empty() &&
        (taken.data() < line.data() || taken.data() + taken.size() > line.data() + line.size())) {
      Broken("a piece outside its line");
    }
  };
  checkPiece(kRecordType);
  checkPiece(kAccountField);
  std::string bytes;
  std::string utf8;
  for (const ColumnField& field : kTransferColumns) {
    TakeColumn(line, field, bytes);
    if (field.kind == ValueKind::Amount) {
      std::optional<double> amount = ReadAmount(bytes);
      if (amount && (!std::isfinite(*amount) || *amount < 0)) Broken("a bad amount");
    }
    AppendWindows1252(bytes, utf8);
  }
  for (const ColumnField& field : kRemarksColumns) TakeColumn(line, field, bytes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static fuzzing::ScratchFolder folder;
  std::string_view input(reinterpret_cast<const char*>(data), size);
  const auto inputPath = folder / "remesa.txt";
  const auto outputPath = folder / "remesa.xls";

  std::size_t firstLineLength = input.find('\r');
  if (firstLineLength == std::string_view::npos) firstLineLength = input.size();
  const bool repaired = firstLineLength > kLongestRecord;
  const std::string converted = repaired ? fuzzing::ExpectedRepair(input) : std::string(input);

  long records = 0;
  long accounts = 0;
  fuzzing::RecordLines(converted, [&](std::string_view line) {
    CheckFields(line);
    ++records;
    if (TakePiece(line, kRecordType) == kAccountRecord) ++accounts;
  });

  fuzzing::WriteBytes(inputPath, input);
  std::error_code ignored;
  std::filesystem::remove(outputPath, ignored);

  // One run in eight is stopped after a few records.
  const long stopAfter = size % 8 == 7 ? static_cast<long>(size % 5) : -1;
  CountingMessages messages;
  FakePump pump(stopAfter);
  Saved report;
  RunServices services;
  services.messages = &messages;
  services.events = &pump;
  services.report = &report;
  ConvertTransferFile(PathToUtf8(inputPath), PathToUtf8(outputPath), services);
  files::Reset();

  const std::string after = fuzzing::ReadBytes(inputPath);
  const bool accepted = input.substr(0, 2) == kAccountRecord;
  if (!accepted) {
    if (messages.count != 1) Broken("a refused file without exactly one message");
    if (after != input) Broken("a refused file was changed");
    if (std::filesystem::exists(outputPath)) Broken("a refused file produced a workbook");
    return 0;
  }
  if (after != converted) Broken("the input is not as the repair leaves it");
  const bool stopped = stopAfter >= 0 && records > stopAfter;
  if (stopped) {
    if (std::filesystem::exists(outputPath)) Broken("a stopped run saved a workbook");
    return 0;
  }
  if (messages.count != 0) Broken("a complete run showed a message: " + messages.last);
  if (pump.yields != records) Broken("not one yield per record");
  fuzzing::XlsSummary summary;
  std::string fault = fuzzing::CheckXlsStructure(fuzzing::ReadBytes(outputPath), &summary);
  if (!fault.empty()) Broken("saved workbook: " + fault);
  if (summary.sheets != static_cast<std::uint32_t>(accounts) || report.sheets != accounts) {
    Broken("sheets differ from the accounts");
  }
  return 0;
}

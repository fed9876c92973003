// The conversion of large files made from small inputs: the records of the input are repeated,
// and varied, into thousands of texts, so that the interner's batches and rounds, its thread
// and the save's second thread are fuzzed as a plain input of a few kilobytes never reaches
// them. Every text cell of the workbook is held against the text its record gives.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "conversion/convert_transfer_file.h"
#include "conversion/record_layout.h"
#include "fuzz/fuzz_support.h"
#include "platform/files.h"
#include "platform/text.h"
#include "tools/xls_structure/xls_structure.h"
#include "workbook/application.h"
#include "workbook/xls/book.h"

namespace {

using namespace quadrelo;
using namespace quadrelo::conversion;
using quadrelo::fuzzing::Broken;
using quadrelo::fuzzing::CountingMessages;

// About this many texts per file: below one batch (no thread), a few batches, two rounds,
// and enough rounds that they are handed over while later ones are filled.
constexpr std::size_t kTextsWanted[] = {3000, 12000, 70000, 300000};
// The copies of a record differ by their copy number modulo one of these (1: all the same).
constexpr std::uint32_t kVariety[] = {1, 7, 1000, 0xFFFFFFFF};
// A line keeps what the record layout can look at, and a little more.
constexpr std::size_t kLongestKept = 120;

// The input's lines repeated: copy k of line i has k % variety written into it, at a place that
// depends on i, so that some of its fields differ from one copy to the next. Account headers are
// repeated only now and then, so that accounts also grow past one sheet.
std::vector<std::string> Expand(std::string_view input) {
  std::vector<std::string> lines;
  fuzzing::RepairLines(
      input, [&](std::string_view line) { lines.emplace_back(line.substr(0, kLongestKept)); });
  if (lines.empty()) lines.emplace_back();
  if (TakePiece(lines[0], kRecordType) != kAccountRecord) lines[0].insert(0, kAccountRecord);
  const unsigned char last = static_cast<unsigned char>(input.empty() ? 0 : input.back());
  const std::size_t wanted = kTextsWanted[last % 4];
  const std::uint32_t variety = kVariety[(last / 4) % 4];
  const std::size_t copies = wanted / (5 * lines.size()) + 1;

  std::vector<std::string> expanded;
  expanded.reserve(copies * lines.size());
  for (std::size_t k = 0; k < copies; ++k) {
    const std::string mark = std::to_string(k % variety);
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const std::string& line = lines[i];
      const bool header = TakePiece(line, kRecordType) == kAccountRecord;
      if (k > 0 && header && k % 16 != 0) continue;
      std::string copy = line;
      if (k > 0 && copy.size() > 2) {
        std::size_t at = 2 + (i * 11) % (copy.size() - 2);
        copy.replace(at, std::min(mark.size(), copy.size() - at), mark);
      }
      expanded.push_back(std::move(copy));
    }
  }
  return expanded;
}

std::uint64_t Key(long sheet, long row, char column) {
  return (static_cast<std::uint64_t>(sheet) << 32) | (static_cast<std::uint64_t>(row) << 8) |
         static_cast<unsigned char>(column);
}

// The text each cell must hold (UTF-8; empty: none), as the driver walks the records.
std::unordered_map<std::uint64_t, std::string> ExpectedTexts(const std::vector<std::string>& lines,
                                                             long& sheets) {
  std::unordered_map<std::uint64_t, std::string> texts;
  long sheet = 0;
  long row = 1;
  std::string bytes;
  auto expect = [&](std::string_view line, const ColumnField& field) {
    if (field.kind == ValueKind::Amount) return;
    std::string utf8;
    AppendWindows1252(TakeColumn(line, field, bytes), utf8);
    texts[Key(sheet, row, field.column)] = std::move(utf8);
  };
  for (const std::string& line : lines) {
    std::string_view type = TakePiece(line, kRecordType);
    if (type == kAccountRecord) {
      ++sheet;
      row = 2;
    } else if (type == kTransferRecord) {
      if (row >= static_cast<long>(xls::kMaxRows)) {
        ++sheet;
        row = 2;
      }
      ++row;
      for (const ColumnField& field : kTransferColumns) expect(line, field);
    } else if (type == kRemarksRecord) {
      for (const ColumnField& field : kRemarksColumns) expect(line, field);
    }
  }
  sheets = sheet;
  return texts;
}

void CheckTexts(const xls::Book& book, const std::unordered_map<std::uint64_t, std::string>& texts,
                long sheets) {
  if (book.sheets.size() != static_cast<std::size_t>(sheets)) Broken("sheets differ");
  for (const auto& [key, text] : texts) {
    const auto sheet = static_cast<std::size_t>(key >> 32);
    const auto row = static_cast<std::size_t>((key >> 8) & 0xFFFFFF);
    const auto column = static_cast<std::uint16_t>((key & 0xFF) - 'A');
    const xls::Sheet& s = *book.sheets.at(sheet - 1);
    const xls::Cell* found = nullptr;
    if (row - 1 < s.rows.size()) {
      for (const xls::Cell& cell : s.rows[row - 1]) {
        if (cell.column == column) found = &cell;
      }
    }
    const bool isText = found != nullptr && found->kind == xls::CellKind::Text;
    if (text.empty()) {
      if (isText) Broken("a text in a cell whose field is empty");
      continue;
    }
    if (!isText) Broken("a text cell missing");
    if (found->ticket != 0) Broken("a ticket left in a cell");
    if (found->text >= book.strings.size() || book.strings[found->text] != text) {
      Broken("a cell with the wrong text");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static fuzzing::ScratchFolder folder;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const auto inputPath = folder / "remesa.txt";
  const auto outputPath = folder / "remesa.xls";

  const std::vector<std::string> lines = Expand(input);
  // One file in eight has lost its carriage returns and is repaired first (its lines make one
  // line of thousands of bytes, too long for a record).
  const bool lineFeedsOnly = size % 8 == 3;
  std::string file;
  for (const std::string& line : lines) {
    file += line;
    file += lineFeedsOnly ? "\n" : "\r\n";
  }
  fuzzing::WriteBytes(inputPath, file);
  std::error_code ignored;
  std::filesystem::remove(outputPath, ignored);

  long sheets = 0;
  const auto texts = ExpectedTexts(lines, sheets);
  bool checked = false;
  std::unique_ptr<workbook::ApplicationObject> app;
  RunServices services;
  CountingMessages messages;
  services.messages = &messages;
  services.createObject = [&](std::string_view className) {
    app = std::make_unique<workbook::ApplicationObject>(workbook::CreateObject(className));
    workbook::ApplicationObject* held = app.get();
    app->setFaultHook([&, held](std::string_view member) {
      // The workbook as it is saved, looked at once the run tells the application to quit.
      if (member != "quit" || checked) return;
      checked = true;
      CheckTexts(held->workbooks(1).contents(), texts, sheets);
    });
    return *app;
  };
  ConvertTransferFile(PathToUtf8(inputPath), PathToUtf8(outputPath), services);
  files::Reset();

  if (messages.count != 0) Broken("a message: " + messages.last);
  if (!checked) Broken("the run did not end its application");
  fuzzing::XlsSummary summary;
  std::string fault = fuzzing::CheckXlsStructure(fuzzing::ReadBytes(outputPath), &summary);
  if (!fault.empty()) Broken("saved workbook: " + fault);
  if (summary.sheets != static_cast<std::uint32_t>(sheets)) Broken("saved sheets differ");
  return 0;
}

// The .xls writer behind the object model: the input is read as a program of operations on the
// application (add and delete sheets, rename and move them, write texts and numbers, format and
// embolden cells and columns, add workbooks); every workbook is then written and its bytes go
// through the structural checker.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "platform/byte_sink.h"
#include "platform/failure.h"
#include "tools/xls_structure/xls_structure.h"
#include "workbook/application.h"
#include "workbook/xls/book.h"

namespace {

using namespace quadrelo;
using quadrelo::fuzzing::Broken;

// Takes bytes from the front of the input; zeros once it is used up.
class Program {
 public:
  Program(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool done() const { return at_ >= size_; }
  std::uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
  std::uint16_t word() { return static_cast<std::uint16_t>(byte() | byte() << 8); }
  std::string_view bytes(std::size_t n) {
    n = std::min(n, size_ - std::min(at_, size_));
    std::string_view taken(reinterpret_cast<const char*>(data_) + at_, n);
    at_ += n;
    return taken;
  }

  // Mostly a valid cell near the top, seldom the sheet's far edges (a sheet of 65536 rows is
  // slow to walk, and one in a run is enough), sometimes any text.
  std::string address() {
    std::uint8_t kind = byte() % 64;
    if (kind == 1) return "IV65536";
    if (kind == 2) return "A65536";
    if (kind < 8) return std::string(bytes(byte() % 8));
    unsigned column = byte() % 12;  // a few columns, so that rows get several cells
    if (byte() % 16 == 0) column = byte();
    unsigned row = 1 + word() % 300;
    std::string text;
    if (column >= 26) text += static_cast<char>('A' + column / 26 - 1);
    text += static_cast<char>('A' + column % 26);
    return text + std::to_string(row);
  }

  std::string text() {
    std::uint8_t kind = byte();
    if (kind % 16 == 0) {
      // Long texts reach the string table's record splits.
      std::string piece(bytes(1 + byte() % 4));
      std::string repeated;
      std::size_t times = 1 + word() % 12000;
      while (repeated.size() < times) repeated += piece.empty() ? std::string("x") : piece;
      return repeated;
    }
    if (kind % 16 == 1) return "\xE2\x82\xAC \xC3\xB1 \xF0\x9F\x98\x80";  // wide characters
    return std::string(bytes(byte() % 24));
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

int CountTextCells(const xls::Book& book) {
  int count = 0;
  for (const auto& sheet : book.sheets) {
    for (const auto& row : sheet->rows) {
      for (const xls::Cell& cell : row) count += cell.kind == xls::CellKind::Text ? 1 : 0;
    }
  }
  return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quadrelo::workbook;
  Program program(data, size);
  ApplicationObject app = CreateObject(kApplicationClass);
  app.workbooks().Add();
  auto sheetAt = [&](std::uint8_t which) {
    WorksheetsObject sheets = app.worksheets();
    return sheets(1 + which % sheets.Count());
  };
  for (int step = 0; step < 400 && !program.done(); ++step) {
    try {
      switch (program.byte() % 12) {
        case 0:
          app.worksheets().Add();
          break;
        case 1:
          sheetAt(program.byte()).Name(program.text());
          break;
        case 2:
        case 3:
        case 4:
          sheetAt(program.byte()).range(program.address()).Value(program.text());
          break;
        case 5: {
          double number;
          std::string_view raw = program.bytes(8);
          std::uint64_t bits = 0;
          std::memcpy(&bits, raw.data(), raw.size());
          std::memcpy(&number, &bits, sizeof number);
          if (program.byte() % 2 == 0) number = static_cast<double>(program.word()) / 4;
          sheetAt(program.byte()).range(program.address()).Value(number);
          break;
        }
        case 6: {
          static const char* const kFormats[] = {"@", "##,##0.00", "0.00%", "General", ""};
          std::string format =
              program.byte() % 4 == 0 ? std::string(program.text()) : kFormats[program.byte() % 5];
          std::string column(1, static_cast<char>('A' + program.byte() % 10));
          std::string where = program.byte() % 2 ? column + ":" + column : program.address();
          sheetAt(program.byte()).range(where).NumberFormat(format);
          break;
        }
        case 7:
          sheetAt(program.byte()).range(program.address()).Font().Bold(program.byte() % 2);
          break;
        case 8: {
          WorksheetObject moving = sheetAt(program.byte());
          WorksheetObject after = sheetAt(program.byte());
          moving.Move(MoveArgs{&after});
          break;
        }
        case 9:
          sheetAt(program.byte()).Delete();
          break;
        case 10:
          if (app.workbooks().Count() < 3) app.workbooks().Add();
          break;
        case 11:
          sheetAt(program.byte()).range(program.address()).Value(std::string_view());
          break;
      }
    } catch (const Failure&) {
      // A refused operation leaves the workbook as it was; the program goes on.
    }
  }

  for (int position = 1; position <= app.workbooks().Count(); ++position) {
    const xls::Book& book = app.workbooks(position).contents();
    MemorySink sink;
    try {
      xls::WriteWorkbook(book, sink);
    } catch (const Failure& failure) {
      Broken(std::string("a workbook could not be written: ") + failure.what());
    }
    fuzzing::XlsSummary summary;
    std::string fault = fuzzing::CheckXlsStructure(sink.bytes(), &summary);
    if (!fault.empty()) Broken(fault);
    if (summary.sheets != book.sheets.size()) Broken("sheet count differs from the workbook");
    if (summary.labelCells != static_cast<std::uint32_t>(CountTextCells(book))) {
      Broken("LABELSST count differs from the text cells");
    }
  }
  app.quit();
  return 0;
}

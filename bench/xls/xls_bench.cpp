// Builds account workbooks the way the conversion does (bold header row, column formats, one
// row of 7 texts and an amount per transfer) and saves them as .xls; prints cells per second.
//
//   xls_bench [rows] [sheets] [output.xls] [--direct]
//
// --direct fills the writer's Book without the object model, to see the writer alone. An
// earlier output.xls is removed before the clock starts. Measure peak memory with
// /usr/bin/time -v.
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "platform/byte_sink.h"
#include "workbook/application.h"
#include "workbook/xls/book.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

const char* const kHeaders[] = {"Entidad ordenante", "Oficina ordenante", "Fecha presentación",
                                "Importe",           "Ref. operación",    "Nombre ordenante",
                                "Observaciones 1",   "Observaciones 2"};
const char* const kNames[] = {"GARCÍA LÓPEZ, MARÍA",        "MUÑOZ PEÑA, JOSÉ",
                              "CONSTRUCCIONES IBÉRICAS SA", "FERNÁNDEZ ÁLVAREZ, ÁNGEL",
                              "TALLERES NÚÑEZ SL",          "PÉREZ GÓMEZ, INÉS"};

// Appends the decimal digits of `value`, at least `width` of them.
char* PutNumber(char* out, long value, int width = 0) {
  char digits[24];
  char* end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  for (int pad = width - static_cast<int>(end - digits); pad > 0; --pad) *out++ = '0';
  for (char* d = digits; d != end; ++d) *out++ = *d;
  return out;
}

char* PutText(char* out, std::string_view text) {
  for (char c : text) *out++ = c;
  return out;
}

// The text of column c (0-based, not the amount) of transfer t: repeats like real files do
// (banks, branches, dates), unique where real files are (references, remarks). Made without
// allocating, so that the figures are the workbook's and not the generator's.
std::string_view TransferText(long t, int c, char (&buffer)[96]) {
  char* out = buffer;
  switch (c) {
    case 0:
      out = PutNumber(out, 49 + t % 40, 4);
      break;
    case 1:
      out = PutNumber(out, (t * 7) % 3000, 4);
      break;
    case 2:
      out = PutNumber(PutText(out, "202612"), 1 + t % 28, 2);
      break;
    case 4:
      out = PutNumber(PutText(out, "REF"), t * 7919, 12);
      break;
    case 5:
      out = PutNumber(PutText(PutText(out, kNames[t % 6]), " "), t % 5000);
      break;
    case 6:
      out = PutNumber(PutText(PutNumber(PutText(out, "FACTURA "), t), "/2026 PEDIDO "), t * 3);
      break;
    default:
      out = PutNumber(PutText(out, "TRANSFERENCIA Nº "), t);
      break;
  }
  return std::string_view(buffer, static_cast<std::size_t>(out - buffer));
}

double Amount(long t) { return static_cast<double>((t * 104729) % 10000000) / 100.0; }

std::string_view Address(int column, long row, char (&buffer)[24]) {
  buffer[0] = static_cast<char>('A' + column);
  char* end = std::to_chars(buffer + 1, buffer + sizeof buffer, row).ptr;
  return std::string_view(buffer, static_cast<std::size_t>(end - buffer));
}

// Returns the seconds spent in SaveAs.
double BuildThroughObjectModel(long rows, int sheets, const std::string& path) {
  using namespace quadrelo::workbook;
  ApplicationObject excel = CreateObject(kApplicationClass);
  excel.workbooks().Add();
  excel.Application().displayalerts(false);
  long perSheet = rows / sheets;
  long t = 0;
  for (int s = 1; s <= sheets; ++s) {
    WorksheetsObject worksheets = excel.worksheets();
    WorksheetObject last = worksheets(worksheets.Count());
    WorksheetObject added = worksheets.Add();
    added.Move(MoveArgs{&last});
    WorksheetObject sheet = excel.worksheets(s);
    sheet.Name("Cuenta: 0049 1234 " + std::to_string(s));
    char address[24];
    char text[96];
    for (int c = 0; c < 8; ++c) {
      sheet.range(Address(c, 1, address)).Font().Bold(true);
      sheet.range(Address(c, 1, address)).Value(kHeaders[c]);
    }
    sheet.range("C:C").NumberFormat("@");
    sheet.range("D:D").NumberFormat("##,##0.00");
    for (long r = 0; r < perSheet; ++r, ++t) {
      for (int c = 0; c < 8; ++c) {
        if (c == 3) {
          sheet.range(Address(c, r + 3, address)).Value(Amount(t));
        } else {
          sheet.range(Address(c, r + 3, address)).Value(TransferText(t, c, text));
        }
      }
    }
  }
  excel.worksheets(sheets + 1).Delete();
  auto saving = Clock::now();
  excel.workbooks(1).SaveAs(SaveAsArgs{path});
  double seconds = Seconds(saving, Clock::now());
  excel.quit();
  return seconds;
}

// The same contents, straight into the writer's Book.
quadrelo::xls::Book BuildBook(long rows, int sheets) {
  using namespace quadrelo::xls;
  Book book;
  book.formats = {"General", "@", "##,##0.00"};
  long perSheet = rows / sheets;
  long t = 0;
  char text[96];
  for (int s = 1; s <= sheets; ++s) {
    auto sheet = std::make_shared<Sheet>();
    sheet->name = "Cuenta: 0049 1234 " + std::to_string(s);
    sheet->columnFormats = {0, 0, 1, 2};
    sheet->rows.resize(2 + perSheet);
    for (std::uint16_t c = 0; c < 8; ++c) {
      Cell cell;
      cell.column = c;
      cell.kind = CellKind::Text;
      cell.bold = true;
      cell.format = c == 2 ? 1 : c == 3 ? 2 : 0;
      cell.text = book.strings.intern(kHeaders[c]);
      sheet->rows[0].push_back(cell);
    }
    for (long r = 0; r < perSheet; ++r, ++t) {
      auto& row = sheet->rows[2 + r];
      row.reserve(8);
      for (std::uint16_t c = 0; c < 8; ++c) {
        Cell cell;
        cell.column = c;
        cell.format = c == 2 ? 1 : c == 3 ? 2 : 0;
        if (c == 3) {
          cell.kind = CellKind::Number;
          cell.number = Amount(t);
        } else {
          cell.kind = CellKind::Text;
          cell.text = book.strings.intern(TransferText(t, c, text));
        }
        row.push_back(cell);
      }
    }
    book.sheets.push_back(sheet);
  }
  return book;
}

class FileSink : public quadrelo::ByteSink {
 public:
  explicit FileSink(const std::string& path) : file_(std::fopen(path.c_str(), "wb")) {}
  ~FileSink() override {
    if (file_ != nullptr) std::fclose(file_);
  }
  void write(const char* data, std::size_t size) override { std::fwrite(data, 1, size, file_); }
  bool ok() const { return file_ != nullptr; }

 private:
  std::FILE* file_;
};

}  // namespace

int main(int argc, char** argv) {
  long rows = argc > 1 ? std::atol(argv[1]) : 100000;
  int sheets = argc > 2 ? std::atoi(argv[2]) : 10;
  std::string path = argc > 3 ? argv[3] : "xls_bench.xls";
  bool direct = argc > 4 && std::string(argv[4]) == "--direct";
  if (rows < 1 || sheets < 1) {
    std::fprintf(stderr, "usage: xls_bench [rows] [sheets] [output.xls] [--direct]\n");
    return 2;
  }
#ifndef NDEBUG
  std::printf("warning: not an optimised build; figures are not representative\n");
#endif
  // A workbook left by an earlier run would be freed by the system inside the save's rename
  // (about 5 ms at 100,000 rows on ext4), which is not the engine's time.
  std::error_code ignored;
  std::filesystem::remove(path, ignored);
  long cells = (rows / sheets) * sheets * 8 + 8L * sheets;
  auto start = Clock::now();
  std::clock_t cpuStart = std::clock();
  double buildSeconds = 0, saveSeconds = 0;
  if (direct) {
    quadrelo::xls::Book book = BuildBook(rows, sheets);
    auto built = Clock::now();
    FileSink sink(path);
    if (!sink.ok()) return 1;
    quadrelo::xls::WriteWorkbook(book, sink);
    buildSeconds = Seconds(start, built);
    saveSeconds = Seconds(built, Clock::now());
  } else {
    saveSeconds = BuildThroughObjectModel(rows, sheets, path);
    buildSeconds = Seconds(start, Clock::now()) - saveSeconds;
  }
  double total = Seconds(start, Clock::now());
  double cpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
  std::uintmax_t size = std::filesystem::file_size(path);
  std::printf("%s: %ld rows, %d sheets, %ld cells, file %ju bytes\n",
              direct ? "Book filled directly" : "object model", rows, sheets, cells, size);
  std::printf("  build %.3f s, save %.3f s (%.1f M cells/s saved)\n", buildSeconds, saveSeconds,
              cells / saveSeconds / 1e6);
  std::printf("  total %.3f s: %.2f M cells/s (processor time %.3f s: %.2f M cells/s)\n", total,
              cells / total / 1e6, cpu, cells / cpu / 1e6);
  return 0;
}

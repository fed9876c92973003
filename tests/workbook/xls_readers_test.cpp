// Whole workbooks saved to files and read back by independent readers: xlrd and olefile
// (tests/readers/xls_read.py) and gnumeric's ssconvert.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "platform/failure.h"
#include "platform/text.h"
#include "tests/support/test_support.h"
#include "tests/workbook/xls_test_books.h"

namespace quadrelo::xls {
namespace {

namespace fs = std::filesystem;
using quadrelo::testing::Reader;
using quadrelo::testing::ReadFile;
using quadrelo::testing::RunReader;
using quadrelo::testing::TempDir;
using testing::AddAccountSheet;
using testing::AddSheet;
using testing::BlankCell;
using ::testing::HasSubstr;
using ::testing::Not;
using testing::NumberCell;
using testing::TextCell;

class XlsReaders : public ::testing::Test {
 protected:
  void SetUp() override {
    QUADRELO_SKIP_WITHOUT(Reader::kXlrd);
    QUADRELO_SKIP_WITHOUT(Reader::kGnumeric);
  }

  fs::path save(const Book& book, const std::string& name = "libro.xls") {
    MemorySink sink;
    WriteWorkbook(book, sink);
    fs::path file = dir_ / name;
    quadrelo::testing::WriteFile(file, sink.bytes());
    return file;
  }

  // What olefile and xlrd see, with xlrd's log checked for complaints.
  std::string dump(const fs::path& file, bool summary = false) {
    std::vector<std::string> arguments = {"readers/xls_read.py", "inspect", PathToUtf8(file)};
    if (summary) arguments.push_back("--summary");
    auto result = RunReader(Reader::kXlrd, arguments);
    EXPECT_EQ(result.exitCode, 0) << result.output;
    std::istringstream lines(result.output);
    for (std::string line; std::getline(lines, line);) {
      if (line.rfind("log ", 0) != 0) continue;
      EXPECT_THAT(line, Not(HasSubstr("NOTE"))) << file;
      EXPECT_THAT(line, Not(HasSubstr("WARNING"))) << file;
      EXPECT_THAT(line, Not(HasSubstr("DIMENSIONS"))) << file;
    }
    return result.output;
  }

  // gnumeric converts the first sheet to CSV without a word of complaint.
  std::string gnumericCsv(const fs::path& file) {
    fs::path csv = dir_ / "salida.csv";
    auto result = RunReader(Reader::kGnumeric, {PathToUtf8(file), PathToUtf8(csv)});
    EXPECT_EQ(result.exitCode, 0) << result.output;
    EXPECT_EQ(result.output, "") << file;
    return fs::exists(csv) ? ReadFile(csv) : std::string();
  }

  // The stream size olefile reports.
  static std::uint64_t StreamSize(const std::string& dumped) {
    std::size_t at = dumped.find(" size=");
    return at == std::string::npos ? 0 : std::stoull(dumped.substr(at + 6));
  }

  TempDir dir_;
};

TEST_F(XlsReaders, AccountWorkbookAsTheConversionBuildsIt) {
  Book book;
  AddAccountSheet(book, "Cuenta: 0049 1234 12 1234567890", 2);
  AddSheet(book, "Hoja2");
  fs::path file = save(book);
  std::string seen = dump(file);
  const char* const expected[] = {
      "ole streams=Workbook size=4096 read=4096\n",
      "codepage 1200 sheets 2\n",
      "sheet 0 \"Cuenta 0049 1234 12 1234567890\" selected=1 rows=4 cols=8\n",
      "colinfo 0 0 width=5632 w=400 f=\"General\"\n",
      "colinfo 0 2 width=5888 w=400 f=\"@\"\n",
      "colinfo 0 3 width=2560 w=400 f=\"##,##0.00\"\n",
      "cell 0 0 0 text \"Entidad ordenante\" w=700 f=\"General\"\n",
      "cell 0 0 2 text \"Fecha presentación\" w=700 f=\"@\"\n",
      "cell 0 0 3 text \"Importe\" w=700 f=\"##,##0.00\"\n",
      "cell 0 0 4 text \"Ref. operación\" w=700 f=\"General\"\n",
      "cell 0 0 7 text \"Observaciones 2\" w=700 f=\"General\"\n",
      "cell 0 2 0 text \"0049\" w=400 f=\"General\"\n",
      "cell 0 2 2 text \"20261200\" w=400 f=\"@\"\n",
      "cell 0 3 3 number 1235.56 w=400 f=\"##,##0.00\"\n",
      "cell 0 3 6 text \"Observación 1\" w=400 f=\"General\"\n",
      "sheet 1 \"Hoja2\" selected=0 rows=0 cols=0\n",
  };
  for (const char* line : expected) EXPECT_THAT(seen, HasSubstr(line));
  // Every column holding a header is wide enough for it.
  EXPECT_THAT(seen, Not(HasSubstr("cell 0 1 "))) << "row 2 stays empty";
  std::string csv = gnumericCsv(file);
  EXPECT_THAT(
      csv, HasSubstr("\"Entidad ordenante\",\"Oficina ordenante\",\"Fecha presentación\",Importe"));
  EXPECT_THAT(csv, HasSubstr("0049,1234,20261200,1234.559"));
}

TEST_F(XlsReaders, WesternEuropeanTextInCellsAndSheetNames) {
  Book book;
  Sheet& sheet = AddSheet(book, "Año € “Œ” Ñá");
  sheet.rows = {{TextCell(book, 0, "€ “comillas” Œ Ñ á"), TextCell(book, 1, "Ñandú año"),
                 TextCell(book, 2, "plain")}};
  AddSheet(book, "año € “œ” ñÁ");  // the same name ignoring case
  AddSheet(book, "Cuenta: 0049/77");
  std::string seen = dump(save(book));
  EXPECT_THAT(seen, HasSubstr("sheet 0 \"Año € “Œ” Ñá\" selected=1"));
  EXPECT_THAT(seen, HasSubstr("sheet 1 \"año € “œ” ñÁ (2)\""));
  EXPECT_THAT(seen, HasSubstr("sheet 2 \"Cuenta 004977\""));
  EXPECT_THAT(seen, HasSubstr("cell 0 0 0 text \"€ “comillas” Œ Ñ á\""));
  EXPECT_THAT(seen, HasSubstr("cell 0 0 1 text \"Ñandú año\""));
  EXPECT_THAT(seen, HasSubstr("cell 0 0 2 text \"plain\""));
}

TEST_F(XlsReaders, LongStringsCrossingContinueRecords) {
  Book book;
  Sheet& sheet = AddSheet(book, "Textos");
  std::string latin, wide, mixed;
  for (int i = 0; i < 20000; ++i) latin += i % 2 ? "ñ" : "a";
  for (int i = 0; i < 10000; ++i) wide += i % 3 ? "€" : "b";
  for (int i = 0; i < 40000; ++i) mixed += "x";  // cut to 32767 characters
  sheet.rows.resize(600);
  sheet.rows[0] = {TextCell(book, 0, latin), TextCell(book, 1, wide), TextCell(book, 2, mixed)};
  // Many short strings, so that string headers land at record ends in all positions.
  for (int r = 1; r < 600; ++r) {
    sheet.rows[r] = {TextCell(book, 0, std::string(r % 37, 'q') + std::to_string(r)),
                     TextCell(book, 1, "“" + std::to_string(r) + "”")};
  }
  std::string seen = dump(save(book));
  EXPECT_THAT(seen, HasSubstr("cell 0 0 0 text \"" + latin + "\""));
  EXPECT_THAT(seen, HasSubstr("cell 0 0 1 text \"" + wide + "\""));
  EXPECT_THAT(seen, HasSubstr("cell 0 0 2 text \"" + std::string(32767, 'x') + "\""));
  for (int r = 1; r < 600; ++r) {
    ASSERT_THAT(seen, HasSubstr("cell 0 " + std::to_string(r) + " 0 text \"" +
                                std::string(r % 37, 'q') + std::to_string(r) + "\""));
    ASSERT_THAT(
        seen, HasSubstr("cell 0 " + std::to_string(r) + " 1 text \"“" + std::to_string(r) + "”\""));
  }
  gnumericCsv(save(book, "textos.xls"));
}

// Contents the format cannot hold are written soundly, never refused.
TEST_F(XlsReaders, OddContentsAreWrittenSoundly) {
  Book book;
  book.formats.push_back("@");
  Sheet& sheet = AddSheet(book, "Raro");
  sheet.columnFormats = {0, 1, 77};  // 77: a format the book does not have
  Cell badText = TextCell(book, 1, "x");
  badText.text = 12345;
  sheet.rows = {
      {NumberCell(3, 2.0), TextCell(book, 0, "later wins"), NumberCell(3, 4.5),
       NumberCell(400, 1.0), TextCell(book, 0, "b", true, 99), TextCell(book, 255, "IV")},
      {NumberCell(0, std::numeric_limits<double>::quiet_NaN()),
       NumberCell(1, std::numeric_limits<double>::infinity()), badText, BlankCell(2),
       BlankCell(4, true), BlankCell(5, false, 1)},
  };
  book.sheets.push_back(nullptr);
  book.activeSheet = 7;
  fs::path file = save(book);
  std::string seen = dump(file);
  EXPECT_THAT(seen, HasSubstr("sheet 0 \"Raro\" selected=1 rows=2 cols=256"));
  EXPECT_THAT(seen, HasSubstr("cell 0 0 0 text \"b\" w=700 f=\"General\""));
  EXPECT_THAT(seen, HasSubstr("cell 0 0 3 number 4.5 w=400 f=\"General\""));
  EXPECT_THAT(seen, HasSubstr("cell 0 0 255 text \"IV\""));
  EXPECT_THAT(seen, HasSubstr("cell 0 1 0 blank - w=400 f=\"General\""));
  EXPECT_THAT(seen, HasSubstr("cell 0 1 1 blank - w=400 f=\"General\""));
  EXPECT_THAT(seen, HasSubstr("cell 0 1 4 blank - w=700 f=\"General\""));
  EXPECT_THAT(seen, HasSubstr("cell 0 1 5 blank - w=400 f=\"@\""));
  EXPECT_THAT(seen, Not(HasSubstr("cell 0 1 2 ")));
  EXPECT_THAT(seen, HasSubstr("colinfo 0 1 width=2340 w=400 f=\"@\""));
  EXPECT_THAT(seen, HasSubstr("sheet 1 \"Hoja2\" selected=0 rows=0 cols=0"));
  gnumericCsv(file);
}

TEST_F(XlsReaders, EmptyBookStillHasOneSheet) {
  Book book;
  fs::path file = save(book);
  std::string seen = dump(file);
  EXPECT_THAT(seen, HasSubstr("ole streams=Workbook size=4096 read=4096"));
  EXPECT_THAT(seen, HasSubstr("sheet 0 \"Hoja1\" selected=1 rows=0 cols=0"));
  EXPECT_EQ(fs::file_size(file), 512u * (1 + 8 + 1 + 1));
  gnumericCsv(file);
}

TEST_F(XlsReaders, FullSheetOf65536RowsAndNothingPast) {
  Book book;
  Sheet& sheet = AddSheet(book, "Lleno");
  sheet.rows.resize(kMaxRows + 5);
  for (std::uint32_t r = 0; r < sheet.rows.size(); ++r) {
    sheet.rows[r] = {NumberCell(0, r), TextCell(book, 1, "z")};
  }
  std::string seen = dump(save(book), true);
  EXPECT_THAT(seen, HasSubstr("sheet 0 \"Lleno\" selected=1 rows=65536 cols=2"));
  EXPECT_THAT(seen,
              HasSubstr("count 0 text=65536 number=65536 blank=0 sum=2147450880.00 chars=65536"));
}

TEST_F(XlsReaders, ThousandSheetsOneSelected) {
  Book book;
  for (int i = 0; i < 1000; ++i) {
    Sheet& sheet = AddSheet(book, "Cuenta: " + std::to_string(i % 500));
    sheet.rows = {{TextCell(book, 0, "hoja " + std::to_string(i)), NumberCell(1, i)}};
  }
  book.activeSheet = 999;
  fs::path file = save(book);
  std::string seen = dump(file, true);
  EXPECT_THAT(seen, HasSubstr("codepage 1200 sheets 1000\n"));
  EXPECT_THAT(seen, HasSubstr("sheet 0 \"Cuenta 0\" selected=0"));
  EXPECT_THAT(seen, HasSubstr("sheet 500 \"Cuenta 0 (2)\" selected=0"));
  EXPECT_THAT(seen, HasSubstr("sheet 999 \"Cuenta 499 (2)\" selected=1"));
  EXPECT_THAT(seen, HasSubstr("count 999 text=1 number=1 blank=0 sum=999.00 chars=8"));
  std::size_t selected = 0;
  for (std::size_t at = seen.find("selected=1"); at != std::string::npos;
       at = seen.find("selected=1", at + 1)) {
    ++selected;
  }
  EXPECT_EQ(selected, 1u);
  gnumericCsv(file);
}

// A text as xls_read.py quotes it: a JSON string that keeps non-ASCII characters.
std::string JsonQuoted(const std::string& text) {
  std::string quoted = "\"";
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += c;
    } else if (byte < 0x20) {
      const char* named = c == '\n'   ? "\\n"
                          : c == '\r' ? "\\r"
                          : c == '\t' ? "\\t"
                          : c == '\b' ? "\\b"
                          : c == '\f' ? "\\f"
                                      : nullptr;
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      quoted += named != nullptr ? named : escaped;
    } else {
      quoted += c;
    }
  }
  return quoted + '"';
}

// A book of one sheet with `cells` numbers that are not RK-exact (18 bytes each).
Book NumberBook(std::uint32_t cells) {
  Book book;
  Sheet& sheet = AddSheet(book, "Números");
  std::uint32_t rows = (cells + 199) / 200;
  sheet.rows.resize(rows);
  for (std::uint32_t i = 0; i < cells; ++i) {
    sheet.rows[i / 200].push_back(NumberCell(static_cast<std::uint16_t>(i % 200), i + 0.1));
  }
  return book;
}

std::uint32_t FatSectors(const Book& book) {
  MemorySink sink;
  WriteWorkbook(book, sink);
  const std::string& b = sink.bytes();
  return static_cast<std::uint8_t>(b[0x2C]) | static_cast<std::uint8_t>(b[0x2D]) << 8;
}

// The largest book of NumberBook's kind that needs at most `fat` FAT sectors.
std::uint32_t LargestCellsWithFat(std::uint32_t fat) {
  std::uint32_t low = 1, high = 600000;  // FatSectors(low) <= fat < FatSectors(high)
  while (high - low > 1) {
    std::uint32_t middle = low + (high - low) / 2;
    (FatSectors(NumberBook(middle)) <= fat ? low : high) = middle;
  }
  return low;
}

// Files at both sides of 108, 109 and 110 FAT sectors (the last needs a DIFAT sector), and one
// far beyond, all read by every reader.
TEST_F(XlsReaders, FilesAroundTheFatLimitAndWithDifat) {
  std::uint32_t most108 = LargestCellsWithFat(108);
  std::uint32_t most109 = LargestCellsWithFat(109);
  const std::uint32_t counts[] = {most108, most108 + 1, most109, most109 + 1, 560000};
  const std::uint32_t fats[] = {108, 109, 109, 110, 0};
  for (std::size_t i = 0; i < std::size(counts); ++i) {
    Book book = NumberBook(counts[i]);
    if (fats[i] != 0) {
      EXPECT_EQ(FatSectors(book), fats[i]) << counts[i];
    }
    fs::path file = save(book, "fat" + std::to_string(i) + ".xls");
    if (fats[i] == 0) {
      EXPECT_GT(fs::file_size(file), 7'200'000u);
    }
    std::string seen = dump(file, true);
    double sum = 0;
    for (std::uint32_t c = 0; c < counts[i]; ++c) sum += c + 0.1;
    char expected[128];
    std::snprintf(expected, sizeof expected, "count 0 text=0 number=%u blank=0 sum=%.2f chars=0",
                  counts[i], sum);
    EXPECT_THAT(seen, HasSubstr(expected)) << counts[i];
    EXPECT_GE(StreamSize(seen), 4096u);
    gnumericCsv(file);
  }
}

// Books with anything in them (unsorted and repeated columns, unknown indexes, NaN, names to
// repair, texts of every width) still make files that the readers take without a complaint.
TEST_F(XlsReaders, RandomBooksReadCleanly) {
  const char* const pieces[] = {"a", "ñ", "€", "“", "Œ", ":", "'", "[", "x", " ", "😀", "\xFF"};
  for (unsigned seed = 1; seed <= 8; ++seed) {
    std::mt19937 random(seed);
    auto below = [&](unsigned n) { return static_cast<unsigned>(random() % n); };
    auto text = [&](unsigned length) {
      std::string t;
      for (unsigned i = 0; i < length; ++i) t += pieces[below(std::size(pieces))];
      return t;
    };
    Book book;
    for (unsigned f = 0; f < 5; ++f) book.formats.push_back(f % 2 ? "@" : "0.0" + text(below(3)));
    unsigned sheets = 1 + below(6);
    for (unsigned s = 0; s < sheets; ++s) {
      Sheet& sheet = AddSheet(book, below(3) == 0 ? "Hoja" : text(below(40)));
      for (unsigned c = 0; c < below(10); ++c) {
        sheet.columnFormats.push_back(static_cast<std::uint16_t>(below(8)));
      }
      sheet.rows.resize(below(300));
      for (auto& row : sheet.rows) {
        for (unsigned k = below(12); k > 0; --k) {
          auto column = static_cast<std::uint16_t>(below(4) == 0 ? below(300) : below(12));
          auto format = static_cast<std::uint16_t>(below(8));
          switch (below(4)) {
            case 0:
              row.push_back(TextCell(book, column, text(below(20) == 0 ? 9000 : below(30)),
                                     below(2) == 0, format));
              if (below(50) == 0) row.back().text = 1u << 30;
              break;
            case 1:
              row.push_back(
                  NumberCell(column, below(10) == 0 ? std::nan("") : random() / 7.0, format));
              break;
            default:
              row.push_back(BlankCell(column, below(2) == 0, format));
              break;
          }
        }
      }
    }
    book.activeSheet = below(8);
    fs::path file = save(book, "azar" + std::to_string(seed) + ".xls");
    std::string seen = dump(file, true);
    EXPECT_THAT(seen, HasSubstr("sheets " + std::to_string(sheets) + "\n")) << seed;
    std::vector<std::string> names = SavedSheetNames(book);
    for (std::size_t s = 0; s < names.size(); ++s) {
      std::string selected = (book.activeSheet < sheets ? book.activeSheet : 0) == s ? "1" : "0";
      std::string quoted = JsonQuoted(names[s]);
      EXPECT_THAT(seen,
                  HasSubstr("sheet " + std::to_string(s) + " " + quoted + " selected=" + selected))
          << seed;
    }
    gnumericCsv(file);
  }
}

class FailingSink : public ByteSink {
 public:
  explicit FailingSink(std::size_t limit) : limit_(limit) {}
  void write(const char*, std::size_t size) override {
    written_ += size;
    if (written_ > limit_) throw Failure(FailureCode::WriteFailed, "disco lleno");
  }

 private:
  std::size_t limit_;
  std::size_t written_ = 0;
};

TEST(XlsWriter, SinkFailureReachesTheCaller) {
  Book book;
  AddAccountSheet(book, "Cuenta: 1", 50000);
  for (std::size_t limit : {std::size_t{0}, std::size_t{100000}, std::size_t{3000000}}) {
    FailingSink sink(limit);
    EXPECT_THROW(WriteWorkbook(book, sink), Failure) << limit;
  }
}

}  // namespace
}  // namespace quadrelo::xls

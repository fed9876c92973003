// Whole workbooks saved to files and read back by independent readers: xlrd and olefile
// (tests/readers/xls_read.py) and gnumeric's ssconvert.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "platform/failure.h"
#include "platform/text.h"
#include "tests/support/test_support.h"
#include "tests/workbook/xls_test_books.h"
#include "tools/xls_structure/xls_structure.h"

namespace quadrelo::xls {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

class XlsReaders : public ::testing::Test {
 protected:
  void SetUp() override {
    QUADRELO_SKIP_WITHOUT(Reader::kXlrd);
    QUADRELO_SKIP_WITHOUT(Reader::kGnumeric);
  }

  // Every workbook these tests save also passes the structure checker, grammar included.
  fs::path save(const Book& book, const std::string& name = "libro.xls") {
    MemorySink sink;
    WriteWorkbook(book, sink);
    EXPECT_EQ(fuzzing::CheckXlsStructure(sink.bytes()), "") << name;
    fs::path file = dir_ / name;
    WriteFile(file, sink.bytes());
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
      "ole streams=\\005DocumentSummaryInformation,\\005SummaryInformation,Workbook size=4097 "
      "read=4097\n",
      "codepage 1200 sheets 2\n",
      "sheet 0 \"Cuenta 0049 1234 12 1234567890\" selected=1 rows=4 cols=8\n",
      "colinfo 0 0 width=5370 w=400 f=\"General\"\n",
      "colinfo 0 2 width=5651 w=400 f=\"@\"\n",
      "colinfo 0 3 width=2694 w=400 f=\"##,##0.00\"\n",
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
  EXPECT_THAT(seen, HasSubstr("Workbook size=4097 read=4097"));
  EXPECT_THAT(seen, HasSubstr("sheet 0 \"Hoja1\" selected=1 rows=0 cols=0"));
  // Header, the padded Workbook stream, one sector of mini stream, mini FAT, FAT, directory.
  EXPECT_EQ(fs::file_size(file), 512u * (1 + 9 + 1 + 1 + 1 + 1));
  gnumericCsv(file);
}

// A book as the conversion fills it, with the longest values its fields can hold: names of 30
// characters, remarks of 20, the largest amount; and one value past the cap.
Book WidestValuesBook() {
  Book book;
  Sheet& sheet = AddAccountSheet(book, "Cuenta: 1", 40);
  std::uint16_t amount = sheet.columnFormats[3];
  sheet.rows[5][5] = TextCell(book, 5, "CONSTRUCCIONES ÁLVAREZ MUÑOZ S");  // 30 characters
  sheet.rows[6][6] = TextCell(book, 6, "PAGO FACTURA 2026/77");
  sheet.rows[7][3] = NumberCell(3, -99999999.99, amount);
  sheet.rows[8][7] = TextCell(book, 7, std::string(200, 'x'));
  AddAccountSheet(book, "Cuenta: 2", 1);
  return book;
}

// Each column is as wide as its widest value as shown (bold header included), with a margin,
// and at most a third more for capitals and bold; the columns of fixed-width fields are as wide
// in every sheet.
TEST_F(XlsReaders, ColumnsFitTheirWidestValues) {
  std::string seen = dump(save(WidestValuesBook()));
  constexpr double kMargin = 2, kCap = 50;
  std::map<std::pair<int, int>, double> width;
  std::istringstream lines(seen);
  for (std::string line; std::getline(lines, line);) {
    int sheet = 0, column = 0, longest = 0;
    double chars = 0;
    if (std::sscanf(line.c_str(), "fit %d %d chars=%lf longest=%d", &sheet, &column, &chars,
                    &longest) != 4) {
      continue;
    }
    SCOPED_TRACE(line);
    EXPECT_GE(chars, std::min(longest + 1.0, kCap));
    EXPECT_LE(chars, std::min(longest * 4.0 / 3 + kMargin, kCap));
    width[{sheet, column}] = chars;
  }
  ASSERT_EQ(width.size(), 16u);
  EXPECT_EQ(width[std::pair(0, 7)], kCap);
  for (int column : {0, 1, 2, 4}) {
    EXPECT_EQ(width[std::pair(0, column)], width[std::pair(1, column)]) << column;
  }
}

// LibreOffice shows the longest name whole, although the next column is not empty. Rendering
// takes a few seconds, so it has a test of its own.
TEST_F(XlsReaders, LibreOfficeShowsTheLongestNameWhole) {
  QUADRELO_SKIP_WHEN(
      ToolsMissing({"soffice", "pdftotext"},
                   "LibreOffice (soffice) or pdftotext (poppler-utils) is not installed"));
  fs::path file = save(WidestValuesBook());
  // A profile of its own, so that a LibreOffice already running does not take the job.
  // Its address has three slashes before a Windows drive ("file:///C:/...") as before "/tmp".
  std::string folder = (dir_ / "perfil").generic_string();
  std::string profile = (folder.starts_with('/') ? "file://" : "file:///") + folder;
  auto converted = RunCommand("soffice -env:UserInstallation=" + ShellQuote(profile) +
                              " --headless --convert-to pdf --outdir " +
                              ShellQuote(dir_.path().string()) + " " + ShellQuote(file.string()));
  // soffice exits with 0 even when it could not load the file: the PDF tells.
  fs::path pdf = dir_ / "libro.pdf";
  ASSERT_TRUE(fs::exists(pdf)) << converted.output;
  auto text = RunCommand("pdftotext -layout " + ShellQuote(pdf.string()) + " -");
  EXPECT_THAT(text.output, HasSubstr("CONSTRUCCIONES ÁLVAREZ MUÑOZ S ")) << text.output;
  EXPECT_THAT(text.output, HasSubstr("-99,999,999.99"));
}

// File > Properties: what olefile's get_metadata() and Apache POI (where installed) read.
TEST_F(XlsReaders, DocumentProperties) {
  const auto saved = std::chrono::system_clock::from_time_t(1796715000);  // 2026-12-08 07:30 UTC
  struct Case {
    std::string title;
    bool timed;
    std::string olefile;
  };
  const Case cases[] = {
      {"transferencias año 2026 “€”", true,
       "meta title=\"transferencias año 2026 “€”\" app=\"Quadrelo\" created=2026-12-08 07:30:00 "
       "saved=2026-12-08 07:30:00 codepage=1252/1252"},
      // Outside Windows-1252: the title alone is a wide string.
      {"cuentas → 2026 Ω", false,
       "meta title=\"cuentas → 2026 Ω\" app=\"Quadrelo\" created=None saved=None "
       "codepage=1252/1252"},
      {"", false, "meta title=null app=\"Quadrelo\" created=None saved=None codepage=1252/1252"},
      {std::string(300, 'x'), false, "meta title=\"" + std::string(255, 'x') + "\" app="},
      {std::string("a\0b", 3), false, "meta title=\"a\" app="},
  };
  for (const Case& c : cases) {
    Book book;
    AddAccountSheet(book, "Cuenta: 1", 3);
    book.properties.title = c.title;
    if (c.timed) book.properties.savedAt = saved;
    fs::path file = save(book);
    EXPECT_THAT(dump(file), HasSubstr(c.olefile)) << c.title;
  }

  const char* const poiClasspath =
      "/usr/share/java/poi.jar:/usr/share/java/commons-collections4.jar:"
      "/usr/share/java/commons-math3.jar";
  QUADRELO_SKIP_WHEN(ToolsMissing({"java", "/usr/share/java/poi.jar"},
                                  "Apache POI (libapache-poi-java) or java is not installed"));
  Book book;
  AddAccountSheet(book, "Cuenta: 1", 3);
  book.properties.title = cases[0].title;
  book.properties.savedAt = saved;
  auto poi = RunCommand(
      std::string("java -Dorg.apache.poi.util.POILogger=org.apache.poi.util.SystemOutLogger -cp ") +
      poiClasspath + " " +
      ShellQuote((SourceDir() / "tests" / "readers" / "PoiProperties.java").string()) + " " +
      ShellQuote(save(book).string()));
  EXPECT_EQ(poi.exitCode, 0) << poi.output;
  // POI's logger also complains about its own unset tuning properties, whatever the file.
  std::string said;
  std::istringstream lines(poi.output);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("[org.apache.poi.util.Configurator]", 0) != 0) said += line + "\n";
  }
  EXPECT_EQ(said,
            "poi title=transferencias año 2026 “€” app=Quadrelo created=2026-12-08 07:30:00 "
            "saved=2026-12-08 07:30:00 codepage=1252/1252 sheets=1\n");
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

TEST(XlsWriter, ACellStillHoldingATicketFailsBeforeAByteIsWritten) {
  for (std::uint8_t ticket : {std::uint8_t{1}, std::uint8_t{0xFF}}) {
    Book book;
    Sheet& sheet = AddAccountSheet(book, "Cuenta: 1", 3);
    Cell& cell = sheet.cellAt(2, 4);
    cell.kind = CellKind::Text;
    cell.text = 0;  // also a string index the book has
    cell.ticket = ticket;
    MemorySink sink;
    EXPECT_THROW(WriteWorkbook(book, sink), Failure) << int{ticket};
    EXPECT_TRUE(sink.bytes().empty());
  }
}

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

#include "workbook/application.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "platform/continue_on_error.h"
#include "platform/failure.h"
#include "tests/support/test_support.h"
#include "workbook/cell_address.h"
#include "workbook/xls/book.h"

// Interning that runs out of memory: while set, the next allocation made on a thread other
// than the test's fails (the interner's, once it has started). GCC takes the replaced
// operators, once inlined, for a mismatch of new and free.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
namespace {
std::atomic<bool> gFailNextElsewhere{false};
std::thread::id gTestThread = std::this_thread::get_id();
}  // namespace

void* operator new(std::size_t size) {
  if (gFailNextElsewhere.load(std::memory_order_relaxed) &&
      std::this_thread::get_id() != gTestThread && gFailNextElsewhere.exchange(false)) {
    throw std::bad_alloc();
  }
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace quadrelo::workbook {
namespace {

FailureCode CodeOf(const std::function<void()>& statement) {
  ContinueOnError mode;
  mode(statement);
  return mode.code();
}

std::vector<std::string> SheetNames(const ApplicationObject& app) {
  std::vector<std::string> names;
  for (int i = 1; i <= app.worksheets().Count(); ++i) names.push_back(app.worksheets(i).Name());
  return names;
}

const xls::Cell* CellOf(const xls::Sheet& sheet, std::uint32_t row, std::uint16_t column) {
  if (row >= sheet.rows.size()) return nullptr;
  for (const xls::Cell& cell : sheet.rows[row]) {
    if (cell.column == column) return &cell;
  }
  return nullptr;
}

TEST(CellAddress, ParsesCellsAndColumns) {
  struct Case {
    const char* text;
    bool valid;
    CellArea area;
  };
  const Case cases[] = {
      {"A1", true, {0, 0, 0, 0}},
      {"H120", true, {119, 119, 7, 7}},
      {"h3", true, {2, 2, 7, 7}},
      {"IV65536", true, {65535, 65535, 255, 255}},
      {"C:C", true, {0, 65535, 2, 2}},
      {"C:E", true, {0, 65535, 2, 4}},
      {"IW1", false, {}},
      {"A65537", false, {}},
      {"A0", false, {}},
      {"A", false, {}},
      {"1", false, {}},
      {"", false, {}},
      {"A-1", false, {}},
      {"A1 ", false, {}},
      {" A1", false, {}},
      {"E:C", false, {}},
      {"A1:B2", false, {}},
      {"AAAA1", false, {}},
      {"A99999999999", false, {}},
      {"Z65536", true, {65535, 65535, 25, 25}},
      {"B007", true, {6, 6, 1, 1}},
      {"A123456", false, {}},
      {"B7x", false, {}},
      {"[1", false, {}},
      {"@1", false, {}},
      {"A1/", false, {}},
      {"A:1", false, {}},
  };
  for (const Case& c : cases) {
    std::optional<CellArea> area = ParseCellAddress(c.text);
    ASSERT_EQ(area.has_value(), c.valid) << c.text;
    if (!c.valid) continue;
    EXPECT_EQ(area->firstRow, c.area.firstRow) << c.text;
    EXPECT_EQ(area->lastRow, c.area.lastRow) << c.text;
    EXPECT_EQ(area->firstColumn, c.area.firstColumn) << c.text;
    EXPECT_EQ(area->lastColumn, c.area.lastColumn) << c.text;
  }
}

TEST(Application, CreatingAndAttaching) {
  EXPECT_TRUE(static_cast<bool>(CreateObject("Excel.Application")));
  EXPECT_TRUE(static_cast<bool>(CreateObject("excel.application")));
  EXPECT_EQ(CodeOf([] { CreateObject("Word.Application"); }), FailureCode::ClassNotAvailable);
  // Instances are never shared, so there is nothing to attach to, even while one exists.
  ApplicationObject running = CreateObject("Excel.Application");
  EXPECT_EQ(CodeOf([] { GetObject("Excel.Application"); }), FailureCode::ClassNotAvailable);
}

TEST(Application, NothingAndQuitFailEveryOperation) {
  ApplicationObject nothing;
  EXPECT_EQ(CodeOf([&] { nothing.workbooks().Add(); }), FailureCode::NoObject);
  EXPECT_EQ(CodeOf([&] { nothing.Application().displayalerts(false); }), FailureCode::NoObject);

  ApplicationObject app = CreateObject("Excel.Application");
  WorkbookObject book = app.workbooks().Add();
  WorksheetObject sheet = app.worksheets(1);
  RangeObject cell = sheet.range("A1");
  app.quit();
  EXPECT_EQ(CodeOf([&] { app.workbooks().Add(); }), FailureCode::ApplicationGone);
  EXPECT_EQ(CodeOf([&] { app.quit(); }), FailureCode::ApplicationGone);
  // Objects taken before the end fail too.
  EXPECT_EQ(CodeOf([&] { cell.Value("x"); }), FailureCode::ApplicationGone);
  EXPECT_EQ(CodeOf([&] { sheet.Name("x"); }), FailureCode::ApplicationGone);
  EXPECT_EQ(CodeOf([&] { book.SaveAs({.FileName = "x.xls"}); }), FailureCode::ApplicationGone);
}

TEST(Application, WorksheetsAddressTheWorkbookAddedLast) {
  ApplicationObject app = CreateObject("Excel.Application");
  EXPECT_EQ(CodeOf([&] { app.worksheets(); }), FailureCode::NoObject);
  app.workbooks().Add();
  app.worksheets(1).Name("first");
  app.workbooks().Add();
  EXPECT_EQ(app.workbooks().Count(), 2);
  EXPECT_EQ(app.worksheets().Count(), 1);
  EXPECT_EQ(app.worksheets(1).Name(), "Hoja1");
  EXPECT_EQ(app.workbooks(1).worksheets()(1).Name(), "first");
  EXPECT_EQ(CodeOf([&] { app.workbooks(3); }), FailureCode::IndexOutOfRange);
  EXPECT_EQ(CodeOf([&] { app.workbooks(0); }), FailureCode::IndexOutOfRange);
}

TEST(Worksheets, AddMoveDeleteKeepTheOrder) {
  ApplicationObject app = CreateObject("Excel.Application");
  app.workbooks().Add();
  WorksheetsObject sheets = app.worksheets();
  EXPECT_EQ(SheetNames(app), (std::vector<std::string>{"Hoja1"}));

  // The account-sheet pattern: take the last sheet, add one, move it behind the last.
  for (int i = 0; i < 3; ++i) {
    WorksheetObject last = sheets(sheets.Count());
    sheets.Add().Move({.after = &last});
  }
  EXPECT_EQ(SheetNames(app), (std::vector<std::string>{"Hoja1", "Hoja2", "Hoja3", "Hoja4"}));

  WorksheetObject first = sheets(1);
  sheets(4).Move({.after = &first});
  EXPECT_EQ(SheetNames(app), (std::vector<std::string>{"Hoja1", "Hoja4", "Hoja2", "Hoja3"}));
  WorksheetObject last = sheets(4);
  sheets(1).Move({.after = &last});
  EXPECT_EQ(SheetNames(app), (std::vector<std::string>{"Hoja4", "Hoja2", "Hoja3", "Hoja1"}));
  sheets(2).Move({.after = &last});
  EXPECT_EQ(SheetNames(app), (std::vector<std::string>{"Hoja4", "Hoja3", "Hoja2", "Hoja1"}));
  WorksheetObject second = sheets(2);
  second.Move({.after = &second});  // behind itself: stays where it is
  EXPECT_EQ(SheetNames(app), (std::vector<std::string>{"Hoja4", "Hoja3", "Hoja2", "Hoja1"}));
  EXPECT_EQ(CodeOf([&] { sheets(1).Move({}); }), FailureCode::InvalidArgument);

  // Deleting shifts the later sheets forward; a deleted sheet's handle fails from then on.
  WorksheetObject doomed = sheets(2);
  doomed.Delete();
  EXPECT_EQ(sheets.Count(), 3);
  EXPECT_EQ(CodeOf([&] { doomed.Name(); }), FailureCode::NoObject);
  EXPECT_EQ(CodeOf([&] { doomed.range("A1").Value(1.0); }), FailureCode::NoObject);
  EXPECT_EQ(CodeOf([&] { sheets(4); }), FailureCode::IndexOutOfRange);
  EXPECT_EQ(CodeOf([&] { sheets(0); }), FailureCode::IndexOutOfRange);

  sheets(1).Delete();
  sheets(1).Delete();
  EXPECT_EQ(CodeOf([&] { sheets(1).Delete(); }), FailureCode::CannotDelete);
  EXPECT_EQ(sheets.Count(), 1);
}

TEST(Worksheets, DefaultNamesTakeTheNextUnusedNumber) {
  ApplicationObject app = CreateObject("Excel.Application");
  app.workbooks().Add();
  app.worksheets(1).Name("HOJA2");  // taken, ignoring case
  app.worksheets().Add();
  app.worksheets().Add();
  EXPECT_EQ(SheetNames(app), (std::vector<std::string>{"HOJA2", "Hoja3", "Hoja4"}));
  app.worksheets(3).Delete();
  app.worksheets().Add();  // numbers are not reused once given
  EXPECT_EQ(SheetNames(app), (std::vector<std::string>{"HOJA2", "Hoja3", "Hoja5"}));
}

TEST(Worksheets, TensOfThousandsOfAccountSheets) {
  // One sheet per account, each added behind the last: files with 70,000 accounts exist.
  ApplicationObject app = CreateObject("Excel.Application");
  app.workbooks().Add();
  constexpr int kSheets = 70000;
  for (int i = 1; i < kSheets; ++i) {
    WorksheetObject last = app.worksheets(app.worksheets().Count());
    app.worksheets().Add().Move({.after = &last});
    app.worksheets(i).Name("Cuenta " + std::to_string(i));
  }
  app.worksheets(kSheets).Delete();
  EXPECT_EQ(app.worksheets().Count(), kSheets - 1);
  EXPECT_EQ(app.worksheets(kSheets - 1).Name(), "Cuenta " + std::to_string(kSheets - 1));
  EXPECT_EQ(app.workbooks(1).contents().activeSheet, 0u);
}

TEST(Worksheets, NamesAreKeptAsGiven) {
  ApplicationObject app = CreateObject("Excel.Application");
  app.workbooks().Add();
  // What a saved file may hold is settled when saving.
  app.worksheets(1).Name("Cuenta: 0049 1234 [x]");
  EXPECT_EQ(app.worksheets(1).Name(), "Cuenta: 0049 1234 [x]");
}

TEST(Range, ValuesAndFormats) {
  ApplicationObject app = CreateObject("Excel.Application");
  WorkbookObject book = app.workbooks().Add();
  WorksheetObject sheet = app.worksheets(1);
  sheet.range("D1").Font().Bold(true);
  sheet.range("D1").Value("Importe");
  sheet.range("C3").Value("07/12/2026");  // written before its column gets a format
  sheet.range("C:C").NumberFormat("@");
  sheet.range("D:D").NumberFormat("##,##0.00");
  sheet.range("D3").Value(12345.67);
  sheet.range("A3").Value("0049");
  sheet.range("B3").Value("");  // empty text leaves the cell empty
  sheet.range("E3").Value("x");
  sheet.range("E3").Value("");  // and empties a cell that held text

  const xls::Book& contents = book.contents();
  const xls::Sheet& data = *contents.sheets[0];
  const xls::Cell* header = CellOf(data, 0, 3);
  ASSERT_NE(header, nullptr);
  EXPECT_TRUE(header->bold);  // keeps its font when the column's format reaches it
  EXPECT_EQ(contents.formats[header->format], "##,##0.00");
  EXPECT_EQ(contents.strings[header->text], "Importe");

  const xls::Cell* date = CellOf(data, 2, 2);
  ASSERT_NE(date, nullptr);
  EXPECT_EQ(contents.formats[date->format], "@");
  const xls::Cell* amount = CellOf(data, 2, 3);
  ASSERT_NE(amount, nullptr);
  EXPECT_EQ(amount->kind, xls::CellKind::Number);
  EXPECT_EQ(amount->number, 12345.67);
  EXPECT_EQ(contents.formats[amount->format], "##,##0.00");
  const xls::Cell* bank = CellOf(data, 2, 0);
  ASSERT_NE(bank, nullptr);
  EXPECT_EQ(bank->kind, xls::CellKind::Text);
  EXPECT_EQ(contents.strings[bank->text], "0049");
  EXPECT_EQ(bank->format, 0);
  EXPECT_EQ(CellOf(data, 2, 1), nullptr);
  ASSERT_NE(CellOf(data, 2, 4), nullptr);
  EXPECT_EQ(CellOf(data, 2, 4)->kind, xls::CellKind::Blank);

  // Cells of a row stay sorted whatever the order of writing.
  std::vector<std::uint16_t> columns;
  for (const xls::Cell& cell : data.rows[2]) columns.push_back(cell.column);
  EXPECT_EQ(columns, (std::vector<std::uint16_t>{0, 2, 3, 4}));
  // "@" and "##,##0.00" are each stored once.
  EXPECT_EQ(contents.formats.size(), 3u);

  // Texts written after the contents were looked at join the same strings.
  const std::uint32_t bankText = bank->text;
  sheet.range("A4").Value("nuevo");
  sheet.range("B4").Value("0049");
  EXPECT_EQ(contents.strings[book.contents().sheets[0]->rows[3].at(0).text], "nuevo");
  EXPECT_EQ(book.contents().sheets[0]->rows[3].at(1).text, bankText);
}

TEST(Range, CellsWrittenAgainRoundsLaterKeepTheLastValue) {
  // Texts reach the string table in rounds of tens of thousands, handed over a few rounds
  // later: here every cell is written again and again, across rounds and two sheets, some times
  // as a number.
  ApplicationObject app = CreateObject("Excel.Application");
  WorkbookObject book = app.workbooks().Add();
  app.worksheets().Add();
  constexpr int kRows = 1000, kWrites = 200000;
  std::vector<int> last(2 * kRows);
  for (int i = 0; i < kWrites; ++i) {
    int row = i / 2 % kRows;
    std::string address = "B";
    address += std::to_string(1 + row);
    RangeObject cell = app.worksheets(1 + i % 2).range(address);
    if (i % 7 == 0) {
      cell.Value(static_cast<double>(i));
    } else {
      cell.Value("texto " + std::to_string(i));
    }
    last[i % 2 * kRows + row] = i;
  }
  const xls::Book& contents = book.contents();
  for (int s = 0; s < 2; ++s) {
    for (int row = 0; row < kRows; ++row) {
      const xls::Cell* cell = CellOf(*contents.sheets[s], row, 1);
      ASSERT_NE(cell, nullptr);
      int i = last[s * kRows + row];
      if (i % 7 == 0) {
        EXPECT_EQ(cell->number, i);
      } else {
        ASSERT_EQ(cell->kind, xls::CellKind::Text);
        EXPECT_EQ(contents.strings[cell->text], "texto " + std::to_string(i));
      }
    }
  }
}

TEST(Range, RefusedOperations) {
  ApplicationObject app = CreateObject("Excel.Application");
  app.workbooks().Add();
  WorksheetObject sheet = app.worksheets(1);
  const struct {
    const char* what;
    std::function<void()> statement;
    FailureCode code;
  } cases[] = {
      {"row beyond the sheet", [&] { sheet.range("A65537").Value(1.0); },
       FailureCode::InvalidArgument},
      {"column beyond the sheet", [&] { sheet.range("IW1").Value(1.0); },
       FailureCode::InvalidArgument},
      {"value into a column", [&] { sheet.range("C:C").Value("x"); }, FailureCode::InvalidArgument},
      {"bold on a column", [&] { sheet.range("C:C").Font().Bold(true); },
       FailureCode::InvalidArgument},
      {"not a number", [&] { sheet.range("A1").Value(std::nan("")); },
       FailureCode::InvalidArgument},
      {"infinity", [&] { sheet.range("A1").Value(std::numeric_limits<double>::infinity()); },
       FailureCode::InvalidArgument},
      {"text too long", [&] { sheet.range("A1").Value(std::string(32768, 'x')); },
       FailureCode::InvalidArgument},
  };
  for (const auto& c : cases) EXPECT_EQ(CodeOf(c.statement), c.code) << c.what;
  EXPECT_EQ(CodeOf([&] { sheet.range("A1").Value(std::string(32767, 'x')); }), FailureCode::None);
  EXPECT_EQ(CodeOf([&] { sheet.range("IV65536").Value(1.0); }), FailureCode::None);
}

TEST(Application, FaultHookFailsChosenMembers) {
  ApplicationObject app = CreateObject("Excel.Application");
  int values = 0;
  app.setFaultHook([&values](std::string_view member) {
    if (member == "Value" && ++values == 2) throw Failure(FailureCode::Unexpected, "injected");
    if (member == "Name") throw Failure(FailureCode::InvalidArgument, "injected");
  });
  WorkbookObject book = app.workbooks().Add();
  WorksheetObject sheet = app.worksheets(1);
  EXPECT_EQ(CodeOf([&] { sheet.range("A1").Value("one"); }), FailureCode::None);
  EXPECT_EQ(CodeOf([&] { sheet.range("B1").Value("two"); }), FailureCode::Unexpected);
  EXPECT_EQ(CodeOf([&] { sheet.range("C1").Value("three"); }), FailureCode::None);
  EXPECT_EQ(CodeOf([&] { sheet.Name("x"); }), FailureCode::InvalidArgument);
  EXPECT_EQ(book.contents().sheets[0]->rows[0].size(), 2u);
}

TEST(SaveAs, WritesTheFileOrLeavesTheOldOne) {
  TempDir dir;
  ApplicationObject app = CreateObject("Excel.Application");
  WorkbookObject book = app.workbooks().Add();
  app.worksheets(1).range("A1").Value("hola");

  std::string target = (dir / "libro.xls").string();
  WriteFile(target, "earlier content");
  book.SaveAs({.FileName = target});
  std::string saved = ReadFile(target);
  EXPECT_EQ(saved.substr(0, 8), std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8));

  // Failing saves: no name, a folder, a folder that does not exist. Nothing else appears.
  EXPECT_EQ(CodeOf([&] { book.SaveAs({.FileName = "   "}); }), FailureCode::SaveFailed);
  EXPECT_EQ(CodeOf([&] { book.SaveAs({.FileName = dir.path().string()}); }),
            FailureCode::SaveFailed);
  EXPECT_EQ(CodeOf([&] { book.SaveAs({.FileName = (dir / "no" / "x.xls").string()}); }),
            FailureCode::SaveFailed);
  int files = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path()))
    ++files;
  EXPECT_EQ(files, 1);
  EXPECT_EQ(ReadFile(target), saved);

  // The save time comes from the application's clock: fixed, the same workbook saves to the
  // same bytes.
  const auto fixed = std::chrono::system_clock::from_time_t(1796715000);
  app.setClock([fixed] { return fixed; });
  book.Title("remesa de marzo");
  book.SaveAs({.FileName = target});
  std::string stamped = ReadFile(target);
  EXPECT_NE(stamped, saved);
  book.SaveAs({.FileName = target});
  EXPECT_EQ(ReadFile(target), stamped);
  EXPECT_EQ(book.contents().properties.title, "remesa de marzo");
  EXPECT_EQ(book.contents().properties.savedAt, fixed);
}

TEST(SaveAs, TextsLostToAFailedInterningFailTheSaveAndKeepTheEarlierFile) {
  TempDir dir;
  const std::string target = (dir / "libro.xls").string();
  WriteFile(target, "earlier content");
  ApplicationObject app = CreateObject("Excel.Application");
  WorkbookObject book = app.workbooks().Add();
  gFailNextElsewhere = true;
  // More texts than one batch, so that they reach the interner's thread.
  for (int row = 1; row <= 3000; ++row) {
    const std::string number = std::to_string(row);
    app.worksheets(1).range(std::string(1, 'A') + number).Value(number);
    app.worksheets(1).range(std::string(1, 'B') + number).Value("b");
  }
  EXPECT_EQ(CodeOf([&] { book.SaveAs({.FileName = target}); }), FailureCode::SaveFailed);
  EXPECT_FALSE(gFailNextElsewhere);  // the thread did meet the failure
  EXPECT_EQ(CodeOf([&] { book.contents(); }), FailureCode::OutOfMemory);
  EXPECT_EQ(ReadFile(target), "earlier content");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

}  // namespace
}  // namespace quadrelo::workbook

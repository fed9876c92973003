#include "workbook/prepare_account_sheet.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "platform/failure.h"
#include "workbook/application.h"
#include "workbook/xls/book.h"

namespace quadrelo::workbook {
namespace {

class PrepareAccountSheetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    oExcel = CreateObject(kApplicationClass);
    oExcel.workbooks().Add();
  }
  void TearDown() override { oExcel = {}; }

  const xls::Book& book() const { return oExcel.workbooks(1).contents(); }
  std::vector<std::string> names() const {
    std::vector<std::string> result;
    for (const auto& sheet : book().sheets) result.push_back(sheet->name);
    return result;
  }
  const xls::Cell* cell(int position, std::uint32_t row, std::uint16_t column) const {
    const xls::Sheet& sheet = *book().sheets.at(static_cast<std::size_t>(position - 1));
    if (row >= sheet.rows.size()) return nullptr;
    for (const xls::Cell& c : sheet.rows[row]) {
      if (c.column == column) return &c;
    }
    return nullptr;
  }
  std::string text(int position, std::uint32_t row, std::uint16_t column) const {
    const xls::Cell* c = cell(position, row, column);
    return c && c->kind == xls::CellKind::Text ? std::string(book().strings[c->text]) : "";
  }
  std::string columnFormat(int position, std::size_t column) const {
    const xls::Sheet& sheet = *book().sheets.at(static_cast<std::size_t>(position - 1));
    return book().formats.at(column < sheet.columnFormats.size() ? sheet.columnFormats[column] : 0);
  }
};

TEST_F(PrepareAccountSheetTest, FirstAccountOnANewWorkbook) {
  PrepareAccountSheet("  Cuenta: ES76 2077  0024   ", 1);
  EXPECT_EQ(names(), (std::vector<std::string>{"Cuenta: ES76 2077  0024", "Hoja2"}));
  const std::vector<std::string> headers = {
      "Entidad ordenante", "Oficina ordenante", "Fecha presentación", "Importe",
      "Ref. operación",    "Nombre ordenante",  "Observaciones 1",    "Observaciones 2"};
  for (std::uint16_t column = 0; column < 8; ++column) {
    EXPECT_EQ(text(1, 0, column), headers[column]);
    EXPECT_TRUE(cell(1, 0, column)->bold) << column;
  }
  EXPECT_EQ(cell(1, 0, 8), nullptr);
  EXPECT_EQ(columnFormat(1, 2), "@");
  EXPECT_EQ(columnFormat(1, 3), "##,##0.00");
  EXPECT_TRUE(book().sheets[1]->rows.empty());  // the reserve stays blank
}

TEST_F(PrepareAccountSheetTest, EachCallKeepsOneReserveSheetLast) {
  PrepareAccountSheet("Cuenta: A", 1);
  PrepareAccountSheet("Cuenta: B", 2);
  PrepareAccountSheet("Cuenta: C", 3);
  EXPECT_EQ(names(), (std::vector<std::string>{"Cuenta: A", "Cuenta: B", "Cuenta: C", "Hoja4"}));
  EXPECT_EQ(text(3, 0, 4), "Ref. operación");
}

TEST_F(PrepareAccountSheetTest, AFailedStatementSkipsOnlyItself) {
  struct Case {
    const char* member;
    std::vector<std::string> names;
    bool headerText;
    bool bold;
    bool formats;
  };
  const std::vector<Case> cases = {
      // Adding or moving the reserve fails: the account's sheet is still named and filled.
      {"Add", {"Cuenta: A"}, true, true, true},
      {"Move", {"Cuenta: A", "Hoja2"}, true, true, true},
      {"Count", {"Cuenta: A"}, true, true, true},
      // A refused name leaves the sheet under its old name and the rest written.
      {"Name", {"Hoja1", "Hoja2"}, true, true, true},
      {"Bold", {"Cuenta: A", "Hoja2"}, true, false, true},
      {"NumberFormat", {"Cuenta: A", "Hoja2"}, true, true, false},
  };
  for (const Case& c : cases) {
    oExcel = CreateObject(kApplicationClass);
    oExcel.workbooks().Add();
    std::string failing = c.member;
    oExcel.setFaultHook([failing](std::string_view member) {
      if (member == failing) throw Failure(FailureCode::Unexpected, "refused");
    });
    // The workbook's own "Add" happened before the hook was set.
    PrepareAccountSheet("Cuenta: A", 1);
    oExcel.setFaultHook({});
    EXPECT_EQ(names(), c.names) << c.member;
    EXPECT_EQ(text(1, 0, 0) == "Entidad ordenante", c.headerText) << c.member;
    EXPECT_EQ(text(1, 0, 7) == "Observaciones 2", c.headerText) << c.member;
    const xls::Cell* a1 = cell(1, 0, 0);
    EXPECT_EQ(a1 != nullptr && a1->bold, c.bold) << c.member;
    EXPECT_EQ(columnFormat(1, 3) == "##,##0.00", c.formats) << c.member;
  }
}

TEST_F(PrepareAccountSheetTest, WithoutAnApplicationNothingHappens) {
  oExcel = {};
  EXPECT_NO_THROW(PrepareAccountSheet("Cuenta: A", 1));
  oExcel = CreateObject(kApplicationClass);
  oExcel.workbooks().Add();
  oExcel.quit();
  EXPECT_NO_THROW(PrepareAccountSheet("Cuenta: A", 1));
}

TEST_F(PrepareAccountSheetTest, APositionWithoutASheetWritesNothingElsewhere) {
  PrepareAccountSheet("Cuenta: A", 5);
  // The reserve is added, but there is no fifth sheet to name or fill.
  EXPECT_EQ(names(), (std::vector<std::string>{"Hoja1", "Hoja2"}));
  EXPECT_EQ(cell(1, 0, 0), nullptr);
}

}  // namespace
}  // namespace quadrelo::workbook

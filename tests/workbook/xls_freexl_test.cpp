// Saved workbooks read by libfreexl, the strictest reader at hand: it refuses cells outside
// DIMENSIONS and sheets that are not at the offset their BOUNDSHEET gives.
#include <freexl.h>
#include <gtest/gtest.h>

#include <string>

#include "tests/support/test_support.h"
#include "tests/workbook/xls_test_books.h"

namespace quadrelo::xls {
namespace {

class FreeXl {
 public:
  explicit FreeXl(const fs::path& file) {
    // freexl may report success without a handle: check both.
    EXPECT_EQ(freexl_open(file.string().c_str(), &handle_), FREEXL_OK);
    EXPECT_NE(handle_, nullptr);
  }
  ~FreeXl() {
    if (handle_ != nullptr) freexl_close(handle_);
  }
  bool ok() const { return handle_ != nullptr; }
  unsigned info(unsigned short what) const {
    unsigned value = 0;
    EXPECT_EQ(freexl_get_info(handle_, what, &value), FREEXL_OK);
    return value;
  }
  std::string sheetName(unsigned short sheet) const {
    const char* name = nullptr;
    EXPECT_EQ(freexl_get_worksheet_name(handle_, sheet, &name), FREEXL_OK);
    return name != nullptr ? name : "";
  }
  // Selects the sheet and gives its rows and columns.
  std::pair<unsigned, unsigned short> select(unsigned short sheet) const {
    EXPECT_EQ(freexl_select_active_worksheet(handle_, sheet), FREEXL_OK);
    unsigned rows = 0;
    unsigned short columns = 0;
    EXPECT_EQ(freexl_worksheet_dimensions(handle_, &rows, &columns), FREEXL_OK);
    return {rows, columns};
  }
  // The cell as text: "t:" text, "n:" number, "-" empty.
  std::string cell(unsigned row, unsigned short column) const {
    FreeXL_CellValue value;
    EXPECT_EQ(freexl_get_cell_value(handle_, row, column, &value), FREEXL_OK);
    switch (value.type) {
      case FREEXL_CELL_TEXT:
      case FREEXL_CELL_SST_TEXT: {
        std::string text = "t:";
        text.append(value.value.text_value);
        return text;
      }
      case FREEXL_CELL_INT:
        return Number(value.value.int_value);
      case FREEXL_CELL_DOUBLE:
        return Number(value.value.double_value);
      case FREEXL_CELL_NULL:
        return "-";
      default:
        return "?";
    }
  }

 private:
  static std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "n:%.2f", value);
    return text;
  }
  const void* handle_ = nullptr;
};

class XlsFreeXl : public ::testing::Test {
 protected:
  fs::path save(const Book& book) {
    MemorySink sink;
    WriteWorkbook(book, sink);
    fs::path file = dir_ / "libro.xls";
    WriteFile(file, sink.bytes());
    return file;
  }
  TempDir dir_;
};

TEST_F(XlsFreeXl, AccountWorkbook) {
  Book book;
  AddAccountSheet(book, "Cuenta: 0049 1234", 3);
  AddSheet(book, "Vacía");
  FreeXl xl(save(book));
  ASSERT_TRUE(xl.ok());
  EXPECT_EQ(xl.info(FREEXL_BIFF_VERSION), unsigned{FREEXL_BIFF_VER_8});
  EXPECT_EQ(xl.info(FREEXL_BIFF_SHEET_COUNT), 2u);
  EXPECT_EQ(xl.info(FREEXL_BIFF_STRING_COUNT), book.strings.size());
  EXPECT_EQ(xl.sheetName(0), "Cuenta 0049 1234");
  EXPECT_EQ(xl.sheetName(1), "Vacía");
  EXPECT_EQ(xl.select(0), std::make_pair(5u, static_cast<unsigned short>(8)));
  EXPECT_EQ(xl.cell(0, 2), "t:Fecha presentación");
  EXPECT_EQ(xl.cell(1, 0), "-");
  EXPECT_EQ(xl.cell(2, 0), "t:0049");
  EXPECT_EQ(xl.cell(4, 3), "n:1236.56");
  EXPECT_EQ(xl.cell(4, 6), "t:Observación 2");
  EXPECT_EQ(xl.select(1), std::make_pair(0u, static_cast<unsigned short>(0)));
}

TEST_F(XlsFreeXl, ThousandSheetsAndAStringAcrossAContinue) {
  Book book;
  std::string wide;
  for (int i = 0; i < 6000; ++i) wide += "€";
  for (int i = 0; i < 1000; ++i) {
    Sheet& sheet = AddSheet(book, "Cuenta: " + std::to_string(i));
    sheet.rows = {{TextCell(book, 0, i == 999 ? wide : "hoja"), NumberCell(1, i + 0.25)}};
  }
  FreeXl xl(save(book));
  ASSERT_TRUE(xl.ok());
  EXPECT_EQ(xl.info(FREEXL_BIFF_SHEET_COUNT), 1000u);
  EXPECT_EQ(xl.sheetName(999), "Cuenta 999");
  EXPECT_EQ(xl.select(999), std::make_pair(1u, static_cast<unsigned short>(2)));
  EXPECT_EQ(xl.cell(0, 0).substr(2), wide);
  EXPECT_EQ(xl.cell(0, 1), "n:999.25");
}

TEST_F(XlsFreeXl, FileWithDifatSectors) {
  Book book;
  Sheet& sheet = AddSheet(book, "Grande");
  sheet.rows.resize(kMaxRows);
  for (std::uint32_t r = 0; r < kMaxRows; ++r) {
    for (std::uint16_t c = 0; c < 10; ++c)
      sheet.rows[r].push_back(NumberCell(c, r + c * 0.5 + 0.1));
  }
  fs::path file = save(book);
  ASSERT_GT(fs::file_size(file), 7'200'000u);
  FreeXl xl(file);
  ASSERT_TRUE(xl.ok());
  EXPECT_EQ(xl.select(0), std::make_pair(kMaxRows, static_cast<unsigned short>(10)));
  EXPECT_EQ(xl.cell(kMaxRows - 1, 9), "n:65539.60");
}

}  // namespace
}  // namespace quadrelo::xls

// The names sheets are saved under.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/workbook/xls_test_books.h"
#include "workbook/xls/unicode.h"

namespace quadrelo::xls {
namespace {

std::vector<std::string> Saved(const std::vector<std::string>& given) {
  Book book;
  for (const std::string& name : given) AddSheet(book, name);
  return SavedSheetNames(book);
}

TEST(XlsSheetNames, MadeValidForTheFormat) {
  struct Case {
    std::string given;
    std::string saved;
  };
  const Case cases[] = {
      {"Cuenta: 0049 1234 12 1234567890", "Cuenta 0049 1234 12 1234567890"},
      {"Cuenta: 0049 1234 12 12345678901234", "Cuenta 0049 1234 12 12345678901"},
      {"a : b", "a b"},
      {"a:b", "ab"},
      {"x\\y/z?w*v[u]t", "xyzwvut"},
      {std::string("a\0b\3c", 5), "abc"},
      {"'cita'", "cita"},
      {"''", "Hoja1"},
      {"", "Hoja1"},
      {":/?*[]", "Hoja1"},
      {"Ñandú € “año” Œ", "Ñandú € “año” Œ"},
      {"Fecha：１", "Fecha１"},
      // 31 UTF-16 units, and a character outside the BMP is never cut in half.
      {std::string(30, 'x') + "😀", std::string(30, 'x')},
      {std::string(29, 'x') + "😀", std::string(29, 'x') + "😀"},
      {std::string(30, 'x') + "'y", std::string(30, 'x')},
      {"\xFF"
       "bad",
       "\xEF\xBF\xBD"
       "bad"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> saved = Saved({c.given});
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0], c.saved) << c.given;
    EXPECT_LE(ToUtf16(saved[0]).size(), 31u);
  }
}

TEST(XlsSheetNames, RepeatsIgnoringCaseGetANumber) {
  EXPECT_EQ(Saved({"Dup", "dup", "DUP", "Otra"}),
            (std::vector<std::string>{"Dup", "dup (2)", "DUP (3)", "Otra"}));
  EXPECT_EQ(Saved({"Año", "AÑO", "año"}), (std::vector<std::string>{"Año", "AÑO (2)", "año (3)"}));
  EXPECT_EQ(Saved({"Œuvre", "œuvre"}), (std::vector<std::string>{"Œuvre", "œuvre (2)"}));
  // Cutting can make two names equal; the number still fits in 31 units.
  std::string longName = "Cuenta 0049 1234 12 1234567890";
  EXPECT_EQ(Saved({longName + "12", longName + "13"}),
            (std::vector<std::string>{longName + "1", "Cuenta 0049 1234 12 1234567 (2)"}));
  // A name that looks like a number given before it.
  EXPECT_EQ(Saved({"A", "A", "A (2)"}), (std::vector<std::string>{"A", "A (2)", "A (2) (2)"}));
  // Excel keeps "History" for itself.
  EXPECT_EQ(Saved({"History", "history"}),
            (std::vector<std::string>{"History (2)", "history (3)"}));
  // Empty names are numbered by position, and may clash with given ones.
  EXPECT_EQ(Saved({"Hoja2", ""}), (std::vector<std::string>{"Hoja2", "Hoja2 (2)"}));
}

TEST(XlsSheetNames, ManySheetsOfTheSameName) {
  std::vector<std::string> saved = Saved(std::vector<std::string>(1000, "Cuenta"));
  ASSERT_EQ(saved.size(), 1000u);
  EXPECT_EQ(saved[0], "Cuenta");
  EXPECT_EQ(saved[999], "Cuenta (1000)");
}

TEST(XlsSheetNames, MissingSheetIsNamedByPosition) {
  Book book;
  AddSheet(book, "Uno");
  book.sheets.push_back(nullptr);
  EXPECT_EQ(SavedSheetNames(book), (std::vector<std::string>{"Uno", "Hoja2"}));
}

}  // namespace
}  // namespace quadrelo::xls

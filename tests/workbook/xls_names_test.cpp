// The shared string table and the names sheets are saved under.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/workbook/xls_test_books.h"
#include "workbook/xls/background_interner.h"
#include "workbook/xls/text_width.h"
#include "workbook/xls/unicode.h"

namespace quadrelo::xls {
namespace {

TEST(XlsStringTable, InternsEachTextOnceInOrderOfFirstUse) {
  StringTable strings;
  EXPECT_EQ(strings.size(), 0u);
  EXPECT_EQ(strings.intern("b"), 0u);
  EXPECT_EQ(strings.intern(""), 1u);
  EXPECT_EQ(strings.intern("a"), 2u);
  EXPECT_EQ(strings.intern("b"), 0u);
  EXPECT_EQ(strings.intern(std::string_view("a\0b", 3)), 3u);
  EXPECT_EQ(strings.intern(""), 1u);
  EXPECT_EQ(strings[1], "");
  EXPECT_EQ(strings[3], std::string_view("a\0b", 3));
  EXPECT_EQ(strings[99], "");  // an index it does not have
  // A view into the table itself can be interned (the arena may move while appending).
  EXPECT_EQ(strings.intern(strings[0]), 0u);
  // A part of a stored string is a new text viewing the table's own bytes while they grow.
  StringTable grown;
  grown.intern(std::string(100, 'x'));
  for (std::size_t n = 99; n > 0; --n) {
    std::uint32_t index = grown.intern(grown[grown.size() - 1].substr(1));
    ASSERT_EQ(grown[index], std::string(n, 'x'));
    ASSERT_EQ(grown.widthQuarters(index), TextWidthQuarters(std::string(n, 'x')));
  }
}

TEST(XlsStringTable, LongStringsAndLengthsTellApart) {
  xls::StringTable strings;
  const std::string longText(70000, 'x');  // longer than a slot records
  EXPECT_EQ(strings.intern(longText), 0u);
  EXPECT_EQ(strings.intern(longText + "x"), 1u);
  EXPECT_EQ(strings.intern(std::string(65535, 'x')), 2u);
  EXPECT_EQ(strings.intern(longText), 0u);
  EXPECT_EQ(strings.intern(longText + "x"), 1u);
  EXPECT_EQ(strings.intern(std::string(65535, 'x')), 2u);
  EXPECT_EQ(strings[1].size(), 70001u);
  // Short texts of every length that differ in one byte, wherever it is.
  for (std::size_t n = 1; n <= 20; ++n) {
    const std::uint32_t plain = strings.intern(std::string(n, 'a'));
    for (std::size_t at = 0; at < n; ++at) {
      std::string other(n, 'a');
      other[at] = 'b';
      const std::uint32_t index = strings.intern(other);
      EXPECT_NE(index, plain) << other;
      EXPECT_EQ(strings.intern(other), index) << other;
      EXPECT_EQ(strings[index], other);
    }
  }
}

TEST(XlsStringTable, KeepsEveryStringThroughManyGrowths) {
  StringTable strings;
  const std::uint32_t count = 300000;
  for (std::uint32_t i = 0; i < count; ++i) {
    ASSERT_EQ(strings.intern("texto " + std::to_string(i)), i);
  }
  for (std::uint32_t i = 0; i < count; i += 7) {
    ASSERT_EQ(strings.intern("texto " + std::to_string(i)), i);
    ASSERT_EQ(strings[i], "texto " + std::to_string(i));
  }
  EXPECT_EQ(strings.size(), count);
}

TEST(XlsStringTable, InternedOnASecondThreadAsOneByOne) {
  // Repeats near and far, empty texts, and enough texts for many batches and growths.
  std::vector<std::string> texts;
  for (std::uint32_t i = 0; i < 60000; ++i) {
    texts.push_back(i % 5 == 0 ? std::string() : std::to_string(i % 3 == 0 ? i : i % 977) + "t");
  }
  StringTable expected;
  std::vector<std::uint32_t> indexes;
  for (const std::string& text : texts) indexes.push_back(expected.intern(text));

  // In rounds that each start their tickets again at 0: the first handed over by advance()
  // once kRoundsAtOnce rounds have begun, the others by settle().
  static_assert(BackgroundInterner::kRoundsAtOnce == 4);
  StringTable strings;
  BackgroundInterner interner(strings);
  const std::size_t starts[] = {0, 25000, 40000, 45000, 50000};
  std::vector<std::uint32_t> byTicket;
  std::vector<std::uint32_t> rounds;
  auto take = [&](std::uint32_t round, const std::vector<std::uint32_t>& indexes) {
    rounds.push_back(round);
    byTicket.insert(byTicket.end(), indexes.begin(), indexes.end());
  };
  for (std::size_t i = 0, round = 0; i < texts.size(); ++i) {
    if (round < 4 && i == starts[round + 1]) {
      EXPECT_EQ(interner.pending(), starts[round + 1] - starts[round]);
      interner.advance(take);
      ++round;
      EXPECT_EQ(rounds.size(), round == 4 ? 1u : 0u);
    }
    ASSERT_EQ(interner.round(), round);
    ASSERT_EQ(interner.add(texts[i]), i - starts[round]);
  }
  interner.settle(take);
  EXPECT_EQ(rounds, (std::vector<std::uint32_t>{0, 1, 2, 3, 4}));
  EXPECT_EQ(byTicket, indexes);
  EXPECT_EQ(interner.pending(), 0u);
  interner.settle([](std::uint32_t, const std::vector<std::uint32_t>&) { ADD_FAILURE(); });
  ASSERT_EQ(strings.size(), expected.size());
  for (std::uint32_t i = 0; i < strings.size(); ++i) ASSERT_EQ(strings[i], expected[i]);

  // One dropped unsettled neither waits for ever nor leaves its thread running.
  StringTable dropped;
  BackgroundInterner unsettled(dropped);
  for (const std::string& text : texts) unsettled.add(text);
}

std::vector<std::string> Saved(const std::vector<std::string>& given) {
  Book book;
  for (const std::string& name : given) testing::AddSheet(book, name);
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
  testing::AddSheet(book, "Uno");
  book.sheets.push_back(nullptr);
  EXPECT_EQ(SavedSheetNames(book), (std::vector<std::string>{"Uno", "Hoja2"}));
}

}  // namespace
}  // namespace quadrelo::xls

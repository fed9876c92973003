// The shared string table: each text once, in order of first use, found again by its bytes.
#include "workbook/xls/string_table.h"

#include <gtest/gtest.h>

#include <string>

#include "workbook/xls/text_width.h"

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
  // A view into the table itself can be interned (a new block may be taken while it is stored).
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

}  // namespace
}  // namespace quadrelo::xls

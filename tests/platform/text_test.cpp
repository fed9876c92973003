#include "platform/text.h"

#include <gtest/gtest.h>

#include <string>

namespace quadrelo {
namespace {

TEST(Windows1252, DecodesToUtf8) {
  const struct {
    std::string bytes;
    std::string utf8;
  } cases[] = {
      {"", ""},
      {"CUENTA 0049", "CUENTA 0049"},
      {"\xD1", "\xC3\x91"},  // Ñ
      {"JOS\xC9 GARC\xCD"
       "A",
       "JOS\xC3\x89 GARC\xC3\x8D"
       "A"},  // JOSÉ GARCÍA
      {"\x80"
       "100",
       "\xE2\x82\xAC"
       "100"},                                                               // €100
      {"\x93hola\x94", "\xE2\x80\x9Chola\xE2\x80\x9D"},                      // “hola”
      {"\x8C\x9C\x9F", "\xC5\x92\xC5\x93\xC5\xB8"},                          // Œ œ Ÿ
      {"\x81\x8D\x8F\x90\x9D", "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D"},  // undefined: C1
      {"\xA0\xFF", "\xC2\xA0\xC3\xBF"},
      {std::string("a\0b", 3), std::string("a\0b", 3)},
      // Long ASCII runs around a letter that is not.
      {"CONSTRUCCIONES MU\xD1OZ Y ASOCIADOS S.L.", "CONSTRUCCIONES MU\xC3\x91OZ Y ASOCIADOS S.L."},
  };
  for (const auto& c : cases) {
    std::string appended = "x";
    AppendWindows1252(c.bytes, appended);
    EXPECT_EQ(appended, "x" + c.utf8) << c.bytes;
  }
}

// What a Windows console is given: a sequence cut by the end waits for its next bytes, and
// bytes that no UTF-8 sequence can hold show as U+FFFD rather than vanish.
TEST(Utf16, ConvertsUtf8AndKeepsCutSequences) {
  const struct {
    std::string utf8;
    std::u16string utf16;
    std::size_t used;
  } cases[] = {
      {"", u"", 0},
      {"versi\xC3\xB3n", u"versi\u00F3n", 8},
      {"\xE2\x82\xAC \xC2\xBF", u"\u20AC \u00BF", 6},  // € ¿
      {"\xF0\x9F\x98\x80", u"\xD83D\xDE00", 4},        // a surrogate pair
      {"da\xC3", u"da", 2},                            // ñ cut after its lead
      {"\xE2\x82", u"", 0},                            // € cut
      {"\xF0\x9F\x98", u"", 0},
      {"\xC3(", u"\uFFFD(", 2},                    // lead without its tail
      {"\xC0\xAF\xFF", u"\uFFFD\uFFFD\uFFFD", 3},  // never in UTF-8
      {"\xE0\x80\xAF", u"\uFFFD", 3},              // a longer form of '/'
      {"\xED\xA0\x80", u"\uFFFD", 3},              // a lone surrogate
      {"\xF4\x90\x80\x80", u"\uFFFD", 4},          // past U+10FFFF
      {"\x80x", u"\uFFFDx", 2},
  };
  for (const auto& c : cases) {
    std::u16string appended = u"x";
    EXPECT_EQ(AppendUtf16(c.utf8, appended), c.used) << c.utf8;
    EXPECT_EQ(appended, u"x" + c.utf16) << c.utf8;
  }
}

// Only ASCII letters fold: "Ñ" and "ñ" are different bytes, and so are "@" and "`" beside 'A'.
TEST(AsciiCase, FoldsOnlyAsciiLetters) {
  const struct {
    std::string a, b;
    bool equal;
  } cases[] = {
      {"Excel.Application", "eXCEL.aPPLICATION", true},
      {"Hoja1", "HOJA1", true},
      {"Hoja1", "Hoja12", false},
      {"@[", "`{", false},
      {"\xC3\x91", "\xC3\xB1", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EqualIgnoringAsciiCase(c.a, c.b), c.equal) << c.a << " " << c.b;
    EXPECT_EQ(LowerAsciiKey(c.a) == LowerAsciiKey(c.b), c.equal) << c.a << " " << c.b;
  }
  EXPECT_EQ(LowerAscii(u'Z'), u'z');
  EXPECT_EQ(LowerAscii(char16_t(0xC9)), char16_t(0xC9));
}

TEST(TrimSpaces, RemovesSpacesOnly) {
  EXPECT_EQ(TrimSpaces("  a b  "), "a b");
  EXPECT_EQ(TrimSpaces("    "), "");
  EXPECT_EQ(TrimSpaces("\ta\t"), "\ta\t");
  // Fixed-width fields: long runs of trailing spaces.
  EXPECT_EQ(TrimSpaces("  a b" + std::string(19, ' ')), "a b");
  EXPECT_EQ(TrimSpaces(std::string(16, ' ')), "");
  EXPECT_EQ(TrimSpaces("ABCDEFGH        "), "ABCDEFGH");
}

TEST(Paths, Utf8RoundTrip) {
  const std::string name =
      "remesa_peque\xC3\xB1"
      "a.txt";
  EXPECT_EQ(PathToUtf8(PathFromUtf8(name)), name);
  EXPECT_EQ(PathToUtf8(PathFromUtf8("datos/" + name).filename()), name);
}

}  // namespace
}  // namespace quadrelo

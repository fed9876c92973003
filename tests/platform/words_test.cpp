#include "platform/words.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/text.h"

namespace quadrelo::words {
namespace {

using Bytes = std::array<unsigned char, 8>;

std::uint64_t WordOf(const Bytes& bytes) {
  return Load64(reinterpret_cast<const char*>(bytes.data()));
}
// The mark, in a word's byte order, of every byte for which `pick` holds.
template <class Pick>
std::uint64_t MarksWhere(const Bytes& bytes, Pick pick) {
  Bytes marks{};
  for (std::size_t i = 0; i < 8; ++i) marks[i] = pick(bytes[i]) ? 0x80 : 0;
  return WordOf(marks);
}

// Each trick against the same question asked of the bytes one by one. Carries and borrows run
// from one byte into the next, so every value goes next to every other, in every place, amid
// bytes of each kind.
TEST(Words, WordTricksAnswerAsTheBytesOneByOne) {
  for (unsigned char filler : {0x00, 0x20, 0x35, 0x7F, 0x80, 0xFF}) {
    for (std::size_t at = 0; at < 7; ++at) {
      for (int a = 0; a < 256; ++a) {
        for (int b = 0; b < 256; ++b) {
          Bytes bytes;
          bytes.fill(filler);
          bytes[at] = static_cast<unsigned char>(a);
          bytes[at + 1] = static_cast<unsigned char>(b);
          const std::uint64_t word = WordOf(bytes);
          const auto* text = reinterpret_cast<const char*>(bytes.data());

          int zeroAtStart = 0, zeroAtEnd = 0, high = 0, ascii = 0;
          while (zeroAtStart < 8 && bytes[zeroAtStart] == 0) ++zeroAtStart;
          while (zeroAtEnd < 8 && bytes[7 - zeroAtEnd] == 0) ++zeroAtEnd;
          while (ascii < 8 && bytes[ascii] < 0x80) ++ascii;
          for (unsigned char c : bytes) high += c >= 0x80;
          bool digits = true;
          std::int64_t number = 0;
          for (unsigned char c : bytes) {
            digits = digits && c >= '0' && c <= '9';
            number = number * 10 + (c - '0');
          }

          ASSERT_EQ(ZeroBytes(word), MarksWhere(bytes, [](unsigned char c) { return c == 0; }))
              << std::hex << word;
          ASSERT_EQ(CountMarks(word & kHigh), high) << std::hex << word;
          ASSERT_EQ(ZeroBytesAtStart(word), zeroAtStart) << std::hex << word;
          ASSERT_EQ(ZeroBytesAtEnd(word), zeroAtEnd) << std::hex << word;
          ASSERT_EQ(AsciiBytesOfWord(text), ascii) << std::hex << word;
          ASSERT_EQ(ReadEightDigits(text), digits ? number : -1) << std::hex << word;
          if (high == 0) {
            ASSERT_EQ(AsciiBytesBetween(word, 'A', 'Z'),
                      MarksWhere(bytes, [](unsigned char c) { return c >= 'A' && c <= 'Z'; }))
                << std::hex << word;
            ASSERT_EQ(AsciiBytesBetween(word, 0, 0x7F), kHigh) << std::hex << word;
          }
        }
      }
    }
  }
}

// The texts' fast paths against plain loops, for every length up to a few words and every
// byte value in every place.
TEST(Words, TextLoopsAnswerAsTheBytesOneByOne) {
  for (std::size_t length = 0; length <= 33; ++length) {
    for (std::size_t at = 0; at < length; ++at) {
      for (int value = 0; value < 256; ++value) {
        const auto c = static_cast<char>(value);
        std::string text = std::string(length, ' ');
        text[at] = c;

        ASSERT_EQ(IsAscii(text), value < 0x80) << length << " " << at << " " << value;
        std::string_view trimmed = TrimSpaces(text);
        ASSERT_EQ(trimmed, c == ' ' ? "" : std::string_view(&text[at], 1))
            << length << " " << at << " " << value;

        std::string other = std::string(length, ' ');
        ASSERT_EQ(SameBytes(text.data(), other.data(), length), c == ' ')
            << length << " " << at << " " << value;

        std::string copy(length + 16, '#');
        CopyBytes(copy.data() + 8, text.data(), length);
        ASSERT_EQ(copy, std::string(8, '#') + text + std::string(8, '#'))
            << length << " " << at << " " << value;
      }
    }
  }
}

TEST(Words, VarintsKeepEveryValueAndTakeTheBytesTheyCount) {
  for (int bits = 0; bits <= 64; ++bits) {
    const std::uint64_t power = bits == 64 ? 0 : std::uint64_t{1} << bits;
    for (std::uint64_t value : {power - 1, power, power + 1}) {
      std::string plain;  // seven bits a byte, low bits first
      std::uint64_t rest = value;
      do {
        plain += static_cast<char>((rest & 0x7F) | (rest >= 0x80 ? 0x80 : 0));
        rest >>= 7;
      } while (rest != 0);

      char bytes[16];
      char* end = PutVarint(bytes, value);
      ASSERT_EQ(std::string(bytes, end), plain) << value;
      ASSERT_EQ(VarintBytes(value), plain.size()) << value;
      const char* p = bytes;
      ASSERT_EQ(GetVarint(p), value);
      ASSERT_EQ(p, end);
    }
  }
}

}  // namespace
}  // namespace quadrelo::words

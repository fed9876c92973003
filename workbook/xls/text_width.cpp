#include "workbook/xls/text_width.h"

#include <algorithm>
#include <array>

#include "platform/words.h"

namespace quadrelo::xls {

namespace {

constexpr std::array<std::uint8_t, 256> MakeQuarters() {
  std::array<std::uint8_t, 256> quarters{};
  for (int b = 0; b < 256; ++b) {
    quarters[b] = b < 0x80 ? 4 : b < 0x9F ? 1 : b < 0xC0 ? 0 : b < 0xE3 ? 4 : 8;
  }
  for (int c = 'A'; c <= 'Z'; ++c) quarters[c] = 5;
  quarters['M'] = quarters['W'] = quarters['m'] = quarters['w'] = 6;
  return quarters;
}
constexpr std::array<std::uint8_t, 256> kQuarters = MakeQuarters();

}  // namespace

std::uint8_t TextWidthQuarters(std::string_view utf8) {
  // Past 64 bytes the cap is reached whatever the bytes are.
  if (utf8.size() >= 64) return 255;
  const char* p = utf8.data();
  std::size_t n = utf8.size();
  std::uint32_t quarters = 0;
  // Most texts are ASCII: eight bytes at a time, with the table's weights as bit arithmetic.
  for (; n >= 8; p += 8, n -= 8) {
    using namespace words;
    std::uint64_t w = Load64(p);
    if ((w & kHigh) != 0) {
      for (int i = 0; i < 8; ++i) quarters += kQuarters[static_cast<unsigned char>(p[i])];
      continue;
    }
    std::uint64_t capital = AsciiBytesBetween(w, 'A', 'Z');
    std::uint64_t folded = w | kOnes * 0x20;  // capitals as lower case
    std::uint64_t wide = ZeroBytes(folded ^ kOnes * 'm') | ZeroBytes(folded ^ kOnes * 'w');
    quarters += static_cast<std::uint32_t>(32 + CountMarks(capital) + 2 * CountMarks(wide) -
                                           CountMarks(wide & capital));
  }
  for (; n > 0; ++p, --n) quarters += kQuarters[static_cast<unsigned char>(*p)];
  return static_cast<std::uint8_t>(std::min<std::uint32_t>(quarters, 255));
}

}  // namespace quadrelo::xls

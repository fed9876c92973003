#include "workbook/xls/text_width.h"

#include <algorithm>
#include <array>
#include <cstring>

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

constexpr std::uint64_t kOnes = 0x0101010101010101ull;
constexpr std::uint64_t kHigh = 0x8080808080808080ull;

// The high bit of each byte of `v` that is zero.
std::uint64_t ZeroBytes(std::uint64_t v) {
  std::uint64_t y = (v & ~kHigh) + ~kHigh;
  return ~(y | v | ~kHigh);
}

// How many bytes of a mask that holds only high bits are set.
std::uint32_t CountHigh(std::uint64_t mask) {
  return static_cast<std::uint32_t>(((mask >> 7) * kOnes) >> 56);
}

}  // namespace

std::uint8_t TextWidthQuarters(std::string_view utf8) {
  // Past 64 bytes the cap is reached whatever the bytes are.
  if (utf8.size() >= 64) return 255;
  const char* p = utf8.data();
  std::size_t n = utf8.size();
  std::uint32_t quarters = 0;
  // Most texts are ASCII: eight bytes at a time, with the table's weights as bit arithmetic.
  for (; n >= 8; p += 8, n -= 8) {
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    if ((w & kHigh) != 0) {
      for (int i = 0; i < 8; ++i) quarters += kQuarters[static_cast<unsigned char>(p[i])];
      continue;
    }
    // No byte carries into the next: every byte is below 0x80.
    std::uint64_t capital = (w + kOnes * (0x80 - 'A')) & ~(w + kOnes * (0x80 - 'Z' - 1)) & kHigh;
    std::uint64_t folded = w | kOnes * 0x20;  // capitals as lower case
    std::uint64_t wide = ZeroBytes(folded ^ kOnes * 'm') | ZeroBytes(folded ^ kOnes * 'w');
    quarters += 32 + CountHigh(capital) + 2 * CountHigh(wide) - CountHigh(wide & capital);
  }
  for (; n > 0; ++p, --n) quarters += kQuarters[static_cast<unsigned char>(*p)];
  return static_cast<std::uint8_t>(std::min<std::uint32_t>(quarters, 255));
}

}  // namespace quadrelo::xls

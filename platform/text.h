#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/words.h"

namespace quadrelo {

// The transfer files are single-byte text in Windows-1252; everything inside the program is UTF-8.
// Appends the decoded bytes to `out` (no allocation when `out` has room for three bytes a byte).
void AppendWindows1252(std::string_view bytes, std::string& out);

// The Windows-1252 bytes of UTF-16 `units`, the reverse of AppendWindows1252; false (and `out`
// unspecified) when a unit has no byte there.
bool EncodeWindows1252(std::u16string_view units, std::string& out);

// Appends the UTF-8 form of one code point (U+0000 to U+10FFFF).
void AppendUtf8(char32_t c, std::string& out);

// Appends the UTF-16 form of `utf8` to `out` and returns how many bytes it used: a sequence cut
// short by the end of `utf8` is left for the caller to pass again with the bytes that follow.
// Every byte that cannot belong to a valid sequence becomes U+FFFD.
std::size_t AppendUtf16(std::string_view utf8, std::u16string& out);

// True when every byte is ASCII: such text reads the same in Windows-1252, UTF-8 and Latin-1.
inline bool IsAscii(std::string_view bytes) {
  const char* p = bytes.data();
  std::size_t n = bytes.size();
  for (; n >= 8; p += 8, n -= 8) {
    if (words::Load64(p) & words::kHigh) return false;
  }
  for (; n > 0; ++p, --n) {
    if (static_cast<unsigned char>(*p) >= 0x80) return false;
  }
  return true;
}

// 'A'-'Z' become 'a'-'z'; every other character, of any width, stays as it is.
template <class Char>
constexpr Char LowerAscii(Char c) {
  return c >= Char('A') && c <= Char('Z') ? static_cast<Char>(c - 'A' + 'a') : c;
}
// True when the texts differ at most in the case of ASCII letters (names of classes, sheets).
bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b);
// `text` with its ASCII letters lowered, as a key under which such texts compare equal.
std::string LowerAsciiKey(std::string_view text);

// Removes spaces (the space character only, not tabs) at both ends. Inline: every text field
// of a transfer passes through it.
inline std::string_view TrimSpaces(std::string_view text) {
  const char* first = text.data();
  const char* last = first + text.size();
  while (first != last && *first == ' ') ++first;
  // Fixed-width fields end in runs of spaces: eight bytes at a time, and in the last word that
  // is not all spaces, its trailing ones counted at once.
  while (last - first >= 8) {
    std::uint64_t others = words::Load64(last - 8) ^ words::kOnes * ' ';  // zero where spaces are
    if (others != 0) {
      last -= words::ZeroBytesAtEnd(others);
      return std::string_view(first, static_cast<std::size_t>(last - first));
    }
    last -= 8;
  }
  while (last != first && last[-1] == ' ') --last;
  return std::string_view(first, static_cast<std::size_t>(last - first));
}

// Paths travel as UTF-8 strings and become std::filesystem::path only here, so that non-ASCII
// names work the same on every platform.
std::filesystem::path PathFromUtf8(std::string_view utf8);
std::string PathToUtf8(const std::filesystem::path& path);

}  // namespace quadrelo

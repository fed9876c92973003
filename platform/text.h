#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace quadrelo {

// The transfer files are single-byte text in Windows-1252; everything inside the program is UTF-8.
// Appends the decoded bytes to `out` (no allocation when `out` has room for three bytes a byte).
void AppendWindows1252(std::string_view bytes, std::string& out);

// Appends the UTF-8 form of one code point (U+0000 to U+10FFFF).
void AppendUtf8(char32_t c, std::string& out);

// 'A'-'Z' become 'a'-'z'; every other character, of any width, stays as it is.
template <class Char>
constexpr Char LowerAscii(Char c) {
  return c >= Char('A') && c <= Char('Z') ? static_cast<Char>(c - 'A' + 'a') : c;
}
// True when the texts differ at most in the case of ASCII letters (names of classes, sheets).
bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b);
// `text` with its ASCII letters lowered, as a key under which such texts compare equal.
std::string LowerAsciiKey(std::string_view text);

// Removes spaces (the space character only, not tabs) at both ends.
std::string_view TrimSpaces(std::string_view text);

// Paths travel as UTF-8 strings and become std::filesystem::path only here, so that non-ASCII
// names work the same on every platform.
std::filesystem::path PathFromUtf8(std::string_view utf8);
std::string PathToUtf8(const std::filesystem::path& path);

}  // namespace quadrelo

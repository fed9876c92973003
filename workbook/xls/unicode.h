#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quadrelo::xls {

// BIFF8 keeps text as UTF-16 code units; the workbook model keeps UTF-8.

// Appends the UTF-16 units of `utf8`; each malformed sequence, and one cut short by the end,
// becomes U+FFFD, so any input yields well-formed text.
void AppendUtf16(std::string_view utf8, std::u16string& out);
std::u16string ToUtf16(std::string_view utf8);
std::string ToUtf8(std::u16string_view units);

// How many UTF-16 units well-formed `utf8` becomes, counted without converting it.
std::size_t Utf16Length(std::string_view utf8);

// True when every unit is U+0000..U+00FF: such text is stored one byte per character.
bool FitsLatin1(std::u16string_view units);

// The longest prefix of at most `maxUnits` units that does not split a surrogate pair.
std::size_t CutUnits(std::u16string_view units, std::size_t maxUnits);

// Appends the characters in BIFF8 form: a flags byte (bit 0 = two bytes per character), then the
// characters, compressed when they all fit in one byte, otherwise UTF-16LE.
void AppendBiffChars(std::u16string_view units, std::string& out);

}  // namespace quadrelo::xls

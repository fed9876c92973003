#include "workbook/xls/unicode.h"

#include "platform/text.h"

namespace quadrelo::xls {

namespace {
constexpr char16_t kReplacement = 0xFFFD;
}  // namespace

void AppendUtf16(std::string_view utf8, std::u16string& out) {
  // A whole text: a sequence cut short by its end has no more bytes to wait for.
  if (quadrelo::AppendUtf16(utf8, out) < utf8.size()) out += kReplacement;
}

std::u16string ToUtf16(std::string_view utf8) {
  std::u16string units;
  units.reserve(utf8.size());
  AppendUtf16(utf8, units);
  return units;
}

std::string ToUtf8(std::u16string_view units) {
  std::string out;
  out.reserve(units.size());
  for (std::size_t i = 0; i < units.size(); ++i) {
    char32_t c = units[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = kReplacement;
    }
    AppendUtf8(c, out);
  }
  return out;
}

std::size_t Utf16Length(std::string_view utf8) {
  std::size_t units = 0;
  for (unsigned char c : utf8) {
    if ((c & 0xC0) != 0x80) units += c >= 0xF0 ? 2 : 1;
  }
  return units;
}

bool FitsLatin1(std::u16string_view units) {
  for (char16_t unit : units) {
    if (unit > 0xFF) return false;
  }
  return true;
}

std::size_t CutUnits(std::u16string_view units, std::size_t maxUnits) {
  if (units.size() <= maxUnits) return units.size();
  std::size_t cut = maxUnits;
  // Never keep a high surrogate without the low one that follows it.
  if (cut > 0 && units[cut - 1] >= 0xD800 && units[cut - 1] <= 0xDBFF) --cut;
  return cut;
}

void AppendBiffChars(std::u16string_view units, std::string& out) {
  if (FitsLatin1(units)) {
    out += '\0';
    for (char16_t unit : units) out += static_cast<char>(unit);
  } else {
    out += '\1';
    for (char16_t unit : units) {
      out += static_cast<char>(unit & 0xFF);
      out += static_cast<char>(unit >> 8);
    }
  }
}

}  // namespace quadrelo::xls

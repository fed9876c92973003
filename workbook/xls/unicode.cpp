#include "workbook/xls/unicode.h"

#include <cstdint>

#include "platform/text.h"

namespace quadrelo::xls {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

// Length of the sequence a lead byte announces, 0 when it cannot start one.
int SequenceLength(std::uint8_t lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

}  // namespace

void AppendUtf16(std::string_view utf8, std::u16string& out) {
  const auto* p = reinterpret_cast<const std::uint8_t*>(utf8.data());
  std::size_t n = utf8.size();
  std::size_t i = 0;
  while (i < n) {
    std::uint8_t lead = p[i];
    if (lead < 0x80) {
      out += static_cast<char16_t>(lead);
      ++i;
      continue;
    }
    int length = SequenceLength(lead);
    char32_t c = 0;
    bool valid = length > 0 && i + length <= n;
    if (valid) {
      c = lead & (0xFF >> (length + 1));
      for (int k = 1; k < length; ++k) {
        std::uint8_t next = p[i + k];
        if ((next & 0xC0) != 0x80) {
          valid = false;
          break;
        }
        c = (c << 6) | (next & 0x3F);
      }
    }
    // Overlong forms, surrogates and values past U+10FFFF are not characters.
    if (valid && ((length == 3 && (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF))) ||
                  (length == 4 && (c < 0x10000 || c > 0x10FFFF)))) {
      valid = false;
    }
    if (!valid) {
      out += kReplacement;
      ++i;
      continue;
    }
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
    i += length;
  }
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

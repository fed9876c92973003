#include "platform/text.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>

namespace quadrelo {

namespace {

// Windows-1252 bytes 0x80-0x9F; the five bytes it leaves undefined map to the C1 control of the
// same value, as Windows itself does.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

}  // namespace

void AppendUtf8(char32_t c, std::string& out) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

bool EncodeWindows1252(std::u16string_view units, std::string& out) {
  out.clear();
  out.reserve(units.size());
  for (char16_t unit : units) {
    if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) {
      out += static_cast<char>(unit);
      continue;
    }
    const char16_t* found = std::find(std::begin(kHighControls), std::end(kHighControls), unit);
    if (found == std::end(kHighControls)) return false;
    out += static_cast<char>(0x80 + (found - std::begin(kHighControls)));
  }
  return true;
}

std::size_t AppendUtf16(std::string_view utf8, std::u16string& out) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(utf8.data());
  const std::size_t size = utf8.size();
  std::size_t i = 0;
  while (i < size) {
    const unsigned char lead = bytes[i];
    if (lead < 0x80) {
      out += static_cast<char16_t>(lead);
      ++i;
      continue;
    }
    // C0, C1 and F5-FF never start a sequence; the smallest value of each length rules out the
    // longer forms of shorter ones.
    std::size_t length = 0;
    char32_t c = 0;
    char32_t smallest = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2, c = lead & 0x1F, smallest = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3, c = lead & 0x0F, smallest = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4, c = lead & 0x07, smallest = 0x10000;
    } else {
      out += u'\uFFFD';
      ++i;
      continue;
    }
    std::size_t k = 1;
    while (k < length && i + k < size && (bytes[i + k] & 0xC0) == 0x80) {
      c = (c << 6) | (bytes[i + k] & 0x3F);
      ++k;
    }
    if (k < length && i + k == size) return i;  // the rest comes with the next bytes
    i += k;
    if (k < length || c < smallest || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      out += u'\uFFFD';
    } else if (c < 0x10000) {
      out += static_cast<char16_t>(c);
    } else {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 | (c >> 10));
      out += static_cast<char16_t>(0xDC00 | (c & 0x3FF));
    }
  }
  return i;
}

void AppendWindows1252(std::string_view bytes, std::string& out) {
  // Written through a pointer into room for the longest outcome, three UTF-8 bytes a byte, and
  // cut to what was written: no capacity check per character.
  const std::size_t start = out.size();
  out.resize(start + 3 * bytes.size());
  char* p = out.data() + start;
  const char* in = bytes.data();
  const char* const end = in + bytes.size();
  while (in != end) {
    // Runs of ASCII, most of a Spanish text, are copied eight bytes at a time, up to the first
    // byte that is not (the copy may run past it; that room is written over next).
    if (end - in >= 8) {
      int ascii = words::AsciiBytesOfWord(in);
      std::memcpy(p, in, 8);
      p += ascii;
      in += ascii;
      if (ascii == 8) continue;
    }
    char byte = *in++;
    auto b = static_cast<std::uint8_t>(byte);
    if (b < 0x80) {
      *p++ = byte;
      continue;
    }
    char32_t c = b < 0xA0 ? kHighControls[b - 0x80] : b;
    if (c < 0x800) {
      *p++ = static_cast<char>(0xC0 | (c >> 6));
    } else {
      *p++ = static_cast<char>(0xE0 | (c >> 12));
      *p++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    }
    *p++ = static_cast<char>(0x80 | (c & 0x3F));
  }
  out.resize(static_cast<std::size_t>(p - out.data()));
}

bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

std::string LowerAsciiKey(std::string_view text) {
  std::string key(text);
  for (char& c : key) c = LowerAscii(c);
  return key;
}

std::filesystem::path PathFromUtf8(std::string_view utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string PathToUtf8(const std::filesystem::path& path) {
  std::u8string utf8 = path.u8string();
  return std::string(utf8.begin(), utf8.end());
}

}  // namespace quadrelo

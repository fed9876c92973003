#include "workbook/xls/shared_strings.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/text.h"
#include "platform/words.h"
#include "workbook/xls/unicode.h"

namespace quadrelo::xls {

namespace {

// One string in BIFF form: the characters (compressed or UTF-16LE) and their width.
struct EncodedString {
  std::uint16_t units = 0;
  bool wide = false;
  const char* chars = nullptr;
  std::size_t bytes = 0;
};

class StringEncoder {
 public:
  EncodedString encode(std::string_view utf8) {
    EncodedString s;
    // Texts no longer in bytes than a cell's limit in units need no cut.
    if (utf8.size() <= kMaxCellTextUnits) {
      if (IsAscii(utf8)) return Narrow(utf8.data(), utf8.size());
      if (DecodeLatin1(utf8)) return Narrow(bytes_.data(), bytes_.size());
    }
    units_.clear();
    AppendUtf16(utf8, units_);
    units_.resize(CutUnits(units_, kMaxCellTextUnits));
    s.units = static_cast<std::uint16_t>(units_.size());
    s.wide = !FitsLatin1(units_);
    bytes_.resize(units_.size() * (s.wide ? 2 : 1));
    char* out = bytes_.data();
    for (char16_t unit : units_) {
      *out++ = static_cast<char>(unit & 0xFF);
      if (s.wide) *out++ = static_cast<char>(unit >> 8);
    }
    s.chars = bytes_.data();
    s.bytes = bytes_.size();
    return s;
  }

 private:
  static EncodedString Narrow(const char* chars, std::size_t size) {
    EncodedString s;
    s.units = static_cast<std::uint16_t>(size);
    s.chars = chars;
    s.bytes = size;
    return s;
  }

  // Most non-ASCII texts are Spanish: only ASCII and the two-byte forms of U+0080..U+00FF, which
  // go straight to one byte per character. False (bytes_ then unspecified) for anything else,
  // which the general path decodes.
  bool DecodeLatin1(std::string_view utf8) {
    bytes_.resize(utf8.size());
    char* out = bytes_.data();
    const auto* p = reinterpret_cast<const std::uint8_t*>(utf8.data());
    const auto* end = p + utf8.size();
    while (p != end) {
      // ASCII runs a word at a time; the output, never ahead of the input, has room for it.
      if (end - p >= 8) {
        int ascii = words::AsciiBytesOfWord(reinterpret_cast<const char*>(p));
        std::memcpy(out, p, 8);
        out += ascii;
        p += ascii;
        if (ascii == 8) continue;
      }
      std::uint8_t lead = *p++;
      if (lead < 0x80) {
        *out++ = static_cast<char>(lead);
        continue;
      }
      if ((lead != 0xC2 && lead != 0xC3) || p == end || (*p & 0xC0) != 0x80) return false;
      *out++ = static_cast<char>(((lead & 0x03) << 6) | (*p++ & 0x3F));
    }
    bytes_.resize(static_cast<std::size_t>(out - bytes_.data()));
    return true;
  }

  std::u16string units_;
  std::string bytes_;
};

// What a string's first character takes: a surrogate pair counts as one character.
std::size_t FirstCharacterBytes(const EncodedString& s) {
  if (s.units == 0) return 0;
  if (!s.wide) return 1;
  auto high = static_cast<std::uint8_t>(s.chars[1]);
  return high >= 0xD8 && high <= 0xDB && s.units > 1 ? 4 : 2;
}

// Appends one string. Its 3-byte header and first character stay in one record; characters that
// reach into a CONTINUE are preceded there by the repeated width flag, and neither a two-byte
// character nor a surrogate pair is split.
void AppendString(RecordWriter& w, const EncodedString& s) {
  std::size_t charSize = s.wide ? 2 : 1;
  std::size_t left = s.bytes;
  const char* chars = s.chars;
  std::uint8_t header[3] = {0, 0, static_cast<std::uint8_t>(s.wide ? 1 : 0)};
  Put16(header, s.units);
  w.append(header, sizeof header);
  if (left <= w.room()) {  // the usual case: the whole string fits
    w.append(chars, left);
    return;
  }
  while (left > 0) {
    std::size_t piece = std::min(w.room() / charSize * charSize, left);
    // Readers decode each record's part of a string on its own, so a surrogate pair stays in
    // one record too.
    if (s.wide && piece >= 2 && piece < left) {
      auto last = static_cast<std::uint8_t>(chars[piece - 1]);
      if (last >= 0xD8 && last <= 0xDB) piece -= 2;
    }
    if (piece == 0) {
      w.startContinue();
      w.append(&header[2], 1);
      continue;
    }
    w.append(chars, piece);
    chars += piece;
    left -= piece;
  }
}

}  // namespace

std::uint16_t ExtSstBucketSize(std::uint32_t stringCount) {
  // The size is 16 bits: past 128 full buckets of 65535 strings it stays at the largest, rather
  // than wrapping round to a size below 8 and a bucket per handful of strings.
  return static_cast<std::uint16_t>(
      std::min<std::uint32_t>(std::max<std::uint32_t>(stringCount / 128 + 1, 8), 0xFFFF));
}

void WriteSst(RecordWriter& w, const StringTable& strings, std::uint32_t labelCount,
              std::vector<ExtSstBucket>& buckets) {
  std::uint32_t count = strings.size();
  std::uint16_t bucketSize = ExtSstBucketSize(count);
  std::uint32_t untilBucket = 1;  // strings to go before the next bucket starts
  buckets.clear();
  w.begin(record::kSst);
  std::uint8_t counts[8];
  Put32(counts, labelCount);
  Put32(counts + 4, count);
  w.append(counts, sizeof counts);
  StringEncoder encoder;
  for (std::uint32_t i = 0; i < count; ++i) {
    EncodedString s = encoder.encode(strings[i]);
    std::size_t head = 3 + FirstCharacterBytes(s);
    if (w.room() < head) w.startContinue();
    if (--untilBucket == 0) {
      untilBucket = bucketSize;
      ExtSstBucket bucket;
      bucket.streamOffset = static_cast<std::uint32_t>(w.position());
      bucket.recordOffset = static_cast<std::uint16_t>(w.position() - w.recordStart());
      buckets.push_back(bucket);
    }
    AppendString(w, s);
  }
  w.end();
}

void WriteExtSst(RecordWriter& w, std::uint32_t stringCount,
                 const std::vector<ExtSstBucket>& buckets) {
  std::string body(2 + 8 * buckets.size(), '\0');
  auto* p = reinterpret_cast<std::uint8_t*>(body.data());
  Put16(p, ExtSstBucketSize(stringCount));
  for (std::size_t i = 0; i < buckets.size(); ++i) {
    Put32(p + 2 + 8 * i, buckets[i].streamOffset);
    Put16(p + 6 + 8 * i, buckets[i].recordOffset);
  }
  w.record(record::kExtSst, body);
}

std::uint64_t SharedStringsSize(const StringTable& strings) {
  ByteOutput counter;
  RecordWriter w(counter, 0);
  std::vector<ExtSstBucket> buckets;
  WriteSst(w, strings, 0, buckets);
  WriteExtSst(w, strings.size(), buckets);
  return counter.position();
}

}  // namespace quadrelo::xls

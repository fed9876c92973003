#pragma once

// Texts eight bytes at a time: the word loads and bit tricks that the loops over every field
// and every cell share. Each answers exactly what a loop over the bytes one by one would; the
// tests hold them to such loops.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace quadrelo::words {

inline constexpr std::uint64_t kOnes = 0x0101010101010101ull;  // 0x01 in every byte
inline constexpr std::uint64_t kHigh = 0x8080808080808080ull;  // the high bit of every byte

// The bytes at `p` as one word, in the machine's byte order; `p` need not be aligned.
inline std::uint64_t Load64(const char* p) {
  std::uint64_t word;
  std::memcpy(&word, p, 8);
  return word;
}
inline std::uint32_t Load32(const char* p) {
  std::uint32_t word;
  std::memcpy(&word, p, 4);
  return word;
}

// The high bit of every byte of `word` that is zero, and no other bit.
constexpr std::uint64_t ZeroBytes(std::uint64_t word) {
  std::uint64_t low = (word & ~kHigh) + ~kHigh;  // high bit set where the low seven bits are not 0
  return ~(low | word | ~kHigh);
}

// The high bit of every byte of `word` from `low` to `high`, both below 0x80, when every byte of
// `word` is below 0x80 too (no sum then carries into the next byte).
constexpr std::uint64_t AsciiBytesBetween(std::uint64_t word, unsigned char low,
                                          unsigned char high) {
  return (word + kOnes * (0x80u - low)) & ~(word + kOnes * (0x7Fu - high)) & kHigh;
}

// How many bytes of `marks`, which holds high bits only, are set.
constexpr int CountMarks(std::uint64_t marks) {
  return static_cast<int>(((marks >> 7) * kOnes) >> 56);
}

// How many of a loaded word's bytes are zero before the first that is not, counted from the
// start in memory (ZeroBytesAtStart) or back from the end (ZeroBytesAtEnd): 8 when all are.
constexpr int ZeroBytesAtStart(std::uint64_t word) {
  return (std::endian::native == std::endian::little ? std::countr_zero(word)
                                                     : std::countl_zero(word)) /
         8;
}
constexpr int ZeroBytesAtEnd(std::uint64_t word) {
  return (std::endian::native == std::endian::little ? std::countl_zero(word)
                                                     : std::countr_zero(word)) /
         8;
}

// How many of the eight bytes at `p` come before the first that is not ASCII: 8 when all are.
inline int AsciiBytesOfWord(const char* p) { return ZeroBytesAtStart(Load64(p) & kHigh); }

// The eight bytes at `p` read as a decimal number, or -1 when one is not '0' to '9'.
inline std::int64_t ReadEightDigits(const char* p) {
  if constexpr (std::endian::native != std::endian::little) {
    std::int64_t value = 0;
    for (int i = 0; i < 8; ++i) {
      if (p[i] < '0' || p[i] > '9') return -1;
      value = value * 10 + (p[i] - '0');
    }
    return value;
  }
  std::uint64_t digits = Load64(p) - kOnes * '0';  // '0'-'9' become 0-9, anything else 10 or more
  if (((digits | (digits + kOnes * 6)) & 0xF0F0F0F0F0F0F0F0ull) != 0) return -1;
  // Pairs, then fours, then all eight (the first digit is the lowest byte).
  digits = (digits * 10 + (digits >> 8)) & 0x00FF00FF00FF00FFull;
  digits = (digits * 100 + (digits >> 16)) & 0x0000FFFF0000FFFFull;
  digits = (digits * 10000 + (digits >> 32)) & 0xFFFFFFFFull;
  return static_cast<std::int64_t>(digits);
}

// Whether the `n` bytes at `a` and at `b` are the same: word compares that overlap at the end,
// with no library call for the short texts that nearly every compare is about.
inline bool SameBytes(const char* a, const char* b, std::size_t n) {
  if (n >= 8) {
    for (std::size_t i = 0; i + 8 < n; i += 8) {
      if (Load64(a + i) != Load64(b + i)) return false;
    }
    return Load64(a + n - 8) == Load64(b + n - 8);
  }
  if (n >= 4) return Load32(a) == Load32(b) && Load32(a + n - 4) == Load32(b + n - 4);
  for (std::size_t i = 0; i < n; ++i) {
    if (a[i] != b[i]) return false;
  }
  return true;
}

// Copies `n` bytes from `in` to `out`, which do not overlap; 8 to 16 bytes, most texts, as two
// word moves that overlap rather than a library call.
inline void CopyBytes(char* out, const char* in, std::size_t n) {
  if (n >= 8 && n <= 16) {
    std::uint64_t head = Load64(in), tail = Load64(in + n - 8);
    std::memcpy(out, &head, 8);
    std::memcpy(out + n - 8, &tail, 8);
  } else if (n != 0) {
    std::memcpy(out, in, n);
  }
}

// Lengths stored as seven bits a byte, low bits first, with the high bit set on every byte but
// the last: one byte for the short texts nearly all are.
constexpr std::size_t VarintBytes(std::size_t value) {
  std::size_t bytes = 1;
  for (value >>= 7; value != 0; value >>= 7) ++bytes;
  return bytes;
}
// Writes `value` at `out` and returns the byte after it.
inline char* PutVarint(char* out, std::size_t value) {
  for (; value >= 0x80; value >>= 7) *out++ = static_cast<char>(0x80 | (value & 0x7F));
  *out++ = static_cast<char>(value);
  return out;
}
// Reads the value at `p` and moves `p` past it.
inline std::size_t GetVarint(const char*& p) {
  std::size_t value = 0;
  for (int shift = 0;; shift += 7) {
    auto byte = static_cast<unsigned char>(*p++);
    value |= std::size_t{byte & 0x7Fu} << shift;
    if (byte < 0x80) return value;
  }
}

}  // namespace quadrelo::words

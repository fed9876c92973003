#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/words.h"

namespace quadrelo::xls {

// The workbook's shared strings, UTF-8, each stored once; an index is given in order of first use.
// Kept compact (blocks of bytes and an open-addressing index) because large workbooks hold
// millions of distinct texts.
class StringTable {
 public:
  StringTable();
  StringTable(const StringTable& other);
  StringTable(StringTable&&) = default;
  StringTable& operator=(StringTable other) {
    swap(other);
    return *this;
  }
  void swap(StringTable& other) noexcept;
  std::uint32_t intern(std::string_view utf8);
  // Interns `count` texts in order, as intern() would one by one, and puts their indexes in
  // `indexes`. Faster for many texts: it fetches the table's memory for the texts ahead early.
  void intern(const std::string_view* texts, std::size_t count, std::uint32_t* indexes);
  // An index the table does not have gives the empty string.
  std::string_view operator[](std::uint32_t index) const {
    if (index >= size()) return {};
    const char* p = placeOf(index);
    std::size_t length = words::GetVarint(p);
    return std::string_view(p, length);
  }
  std::uint32_t size() const { return static_cast<std::uint32_t>(places_.size()); }
  // TextWidthQuarters of string `index`, measured once when it was added: column widths need it
  // for every cell. 0 for an index the table does not have.
  std::uint8_t widthQuarters(std::uint32_t index) const {
    return index < size() ? widths_[index] : 0;
  }

 private:
  static constexpr int kBlockShift = 40;
  static constexpr std::uint64_t kOffsetMask = (std::uint64_t{1} << kBlockShift) - 1;

  void grow();
  std::uint32_t intern(std::string_view utf8, std::uint64_t hash);
  // Index + 1 of the first string in the probe sequence of `hash` whose slot carries the same
  // tag (not necessarily the same text), or 0.
  std::uint32_t firstMatch(std::uint64_t hash) const;
  // Where string `index` (which the table has) starts: its length, then its bytes.
  const char* placeOf(std::uint32_t index) const {
    std::uint64_t place = places_[index];
    return blocks_[place >> kBlockShift].get() + (place & kOffsetMask);
  }
  // Stores the bytes of a new string, without its width or slot.
  void store(std::string_view utf8);

  // Every string as its length and its bytes, back to back in blocks that are never moved, so
  // that a growing table copies nothing it holds.
  std::vector<std::unique_ptr<char[]>> blocks_;
  std::size_t blockUsed_ = 0;  // bytes taken in the last block
  std::size_t blockSize_ = 0;  // and its size
  // String i starts in block places_[i] >> kBlockShift, at the offset in the bits below.
  std::vector<std::uint64_t> places_;
  std::vector<std::uint8_t> widths_;  // TextWidthQuarters of each string
  // Per slot: index + 1 of the string in the low 32 bits (0 = empty), the high 32 bits of its
  // hash above, so that probing and growing rarely need to look at the strings themselves.
  std::vector<std::uint64_t> slots_;
};

}  // namespace quadrelo::xls

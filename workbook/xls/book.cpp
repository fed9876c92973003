#include "workbook/xls/book.h"

#include <cstring>

#include "workbook/xls/byte_output.h"
#include "workbook/xls/workbook_stream.h"

namespace quadrelo::xls {

namespace {

constexpr std::size_t kInitialSlots = 1024;  // a power of two
// Lengths from this one up are read from the offsets instead of the slot.
constexpr std::uint64_t kLongString = 0xFFFF;

// A fast 64-bit hash of a string's bytes (multiply and shift over 8-byte words); only used
// inside one run, so byte order does not matter.
std::uint64_t HashBytes(std::string_view bytes) {
  constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
  const char* p = bytes.data();
  std::size_t n = bytes.size();
  std::uint64_t h = n * kMultiplier;
  for (; n >= 8; p += 8, n -= 8) {
    std::uint64_t word;
    std::memcpy(&word, p, 8);
    h = (h ^ word) * kMultiplier;
    h ^= h >> 29;
  }
  if (n > 0) {
    std::uint64_t word = 0;
    std::memcpy(&word, p, n);
    h = (h ^ word) * kMultiplier;
  }
  h ^= h >> 33;
  h *= 0xFF51AFD7ED558CCDull;
  h ^= h >> 33;
  return h;
}

}  // namespace

StringTable::StringTable() : offsets_{0}, slots_(kInitialSlots) {}

std::uint32_t StringTable::intern(std::string_view utf8) {
  // Linear probing stays short up to three quarters full; neighbouring slots share a cache line.
  if ((static_cast<std::size_t>(size()) + 1) * 4 > slots_.size() * 3) grow();
  const auto tag = static_cast<std::uint32_t>(HashBytes(utf8) >> 32);
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t i = tag & mask;; i = (i + 1) & mask) {
    Slot& slot = slots_[i];
    if (slot.index == 0) {
      std::uint64_t start = bytes_.size();
      bytes_.append(utf8.data(), utf8.size());
      offsets_.push_back(bytes_.size());
      std::uint64_t length = utf8.size() < kLongString ? utf8.size() : kLongString;
      slot = Slot{tag, size(), start << 16 | length};
      return size() - 1;
    }
    if (slot.tag != tag) continue;
    std::uint64_t start = slot.place >> 16;
    std::uint64_t length = slot.place & kLongString;
    if (length == kLongString) length = offsets_[slot.index] - start;
    if (length == utf8.size() && std::memcmp(bytes_.data() + start, utf8.data(), length) == 0) {
      return slot.index - 1;
    }
  }
}

void StringTable::grow() {
  std::vector<Slot> slots(slots_.size() * 2);
  const std::size_t mask = slots.size() - 1;
  for (const Slot& slot : slots_) {
    if (slot.index == 0) continue;
    std::size_t i = slot.tag & mask;
    while (slots[i].index != 0) i = (i + 1) & mask;
    slots[i] = slot;
  }
  slots_.swap(slots);
}

void WriteWorkbook(const Book& book, ByteSink& sink) {
  ByteOutput out(sink);
  WriteCompoundWorkbook(book, out);
  out.flush();
}

}  // namespace quadrelo::xls

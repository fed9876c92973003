#include "workbook/xls/string_table.h"

#include <cstring>

#include "platform/words.h"
#include "workbook/xls/text_width.h"

namespace quadrelo::xls {

namespace {

constexpr std::size_t kInitialSlots = 1024;  // a power of two

// A slot's entry keeps the high 32 bits of its string's hash, the tag, which also choose the
// slot its probing starts at.
constexpr std::uint64_t kTagBits = 0xFFFFFFFF00000000ull;

std::size_t HomeSlot(std::uint64_t hashOrEntry, std::size_t slotCount) {
  return (hashOrEntry >> 32) & (slotCount - 1);
}
// Blocks of strings start small for small workbooks and stop growing where another block costs
// nothing next to filling it.
constexpr std::size_t kFirstBlockBytes = 16 * 1024;
constexpr std::size_t kLargestBlockBytes = 4 * 1024 * 1024;

using words::Load32;
using words::Load64;

// The last `n` (1 to 7) bytes of a string of `size` bytes that ends at `end`, in one word:
// loads that overlap, rather than a copy of variable length, since most texts are short.
std::uint64_t TailWord(const char* end, std::size_t n, std::size_t size) {
  if (size >= 8) {
    std::uint64_t word = Load64(end - 8);
    return std::endian::native == std::endian::little ? word >> (8 * (8 - n))
                                                      : word & (~std::uint64_t{0} >> (8 * (8 - n)));
  }
  if (n >= 4) return std::uint64_t{Load32(end - n)} << 32 | Load32(end - 4);
  const auto* u = reinterpret_cast<const unsigned char*>(end - n);
  return std::uint64_t{u[0]} << 16 | std::uint64_t{u[n / 2]} << 8 | u[n - 1];
}

// A fast 64-bit hash of a string's bytes (multiply and shift over 8-byte words); only used
// inside one run, so byte order does not matter.
std::uint64_t HashBytes(std::string_view bytes) {
  constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
  const char* p = bytes.data();
  std::size_t n = bytes.size();
  std::uint64_t h = n * kMultiplier;
  for (; n >= 8; p += 8, n -= 8) {
    h = (h ^ Load64(p)) * kMultiplier;
    h ^= h >> 29;
  }
  if (n > 0) h = (h ^ TailWord(p + n, n, bytes.size())) * kMultiplier;
  h ^= h >> 33;
  h *= 0xFF51AFD7ED558CCDull;
  h ^= h >> 33;
  return h;
}

// A hint to start loading the memory at `address`; it changes nothing else.
inline void Prefetch(const void* address) {
#if defined(__GNUC__) || defined(__clang__)
  __builtin_prefetch(address);
#else
  (void)address;
#endif
}

}  // namespace

StringTable::StringTable() : slots_(kInitialSlots, 0) {}

StringTable::StringTable(const StringTable& other) : widths_(other.widths_), slots_(other.slots_) {
  places_.reserve(other.size());
  for (std::uint32_t i = 0; i < other.size(); ++i) store(other[i]);
}

void StringTable::swap(StringTable& other) noexcept {
  blocks_.swap(other.blocks_);
  std::swap(blockUsed_, other.blockUsed_);
  std::swap(blockSize_, other.blockSize_);
  places_.swap(other.places_);
  widths_.swap(other.widths_);
  slots_.swap(other.slots_);
}

std::uint32_t StringTable::intern(std::string_view utf8) { return intern(utf8, HashBytes(utf8)); }

void StringTable::intern(const std::string_view* texts, std::size_t count, std::uint32_t* indexes) {
  // In a large table a text's slot is a cache miss, and for a text met before so are the place
  // and the bytes of the string it matches. The texts ahead go through three steps, each a few
  // texts after the one before: their slots are asked for, then the places of the strings those
  // slots hold, then those strings' bytes, so that the misses overlap instead of coming one
  // after the other. The steps only ask; the table may change under them without harm.
  constexpr std::size_t kAhead = 16;  // a power of two
  constexpr std::size_t kPlaceStep = 8, kBytesStep = 12;
  std::uint64_t hashes[kAhead];
  std::uint32_t matches[kAhead];  // index + 1 of a string whose tag matches, or 0
  for (std::size_t i = 0; i < count + kAhead; ++i) {
    if (i < count) {
      hashes[i % kAhead] = HashBytes(texts[i]);
      Prefetch(&slots_[HomeSlot(hashes[i % kAhead], slots_.size())]);
    }
    if (i >= kPlaceStep && i - kPlaceStep < count) {
      std::size_t k = (i - kPlaceStep) % kAhead;
      matches[k] = firstMatch(hashes[k]);
      if (matches[k] != 0) Prefetch(&places_[matches[k] - 1]);
    }
    if (i >= kBytesStep && i - kBytesStep < count) {
      std::size_t k = (i - kBytesStep) % kAhead;
      if (matches[k] != 0) Prefetch(placeOf(matches[k] - 1));
    }
    if (i >= kAhead - 1 && i - (kAhead - 1) < count) {
      std::size_t k = i - (kAhead - 1);
      indexes[k] = intern(texts[k], hashes[k % kAhead]);
    }
  }
}

std::uint32_t StringTable::firstMatch(std::uint64_t hash) const {
  const std::uint64_t tag = hash & kTagBits;
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t slot = HomeSlot(hash, slots_.size());; slot = (slot + 1) & mask) {
    std::uint64_t entry = slots_[slot];
    if (entry == 0) return 0;
    if ((entry & kTagBits) == tag) return static_cast<std::uint32_t>(entry);
  }
}

std::uint32_t StringTable::intern(std::string_view utf8, std::uint64_t hash) {
  // Linear probing stays short up to three quarters full; neighbouring slots share a cache line.
  if ((static_cast<std::size_t>(size()) + 1) * 4 > slots_.size() * 3) grow();
  const std::uint64_t tag = hash & kTagBits;
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t slot = HomeSlot(hash, slots_.size());; slot = (slot + 1) & mask) {
    std::uint64_t entry = slots_[slot];
    if (entry == 0) {
      widths_.push_back(TextWidthQuarters(utf8));
      store(utf8);
      slots_[slot] = tag | size();
      return size() - 1;
    }
    if ((entry & kTagBits) == tag) {
      auto index = static_cast<std::uint32_t>(entry) - 1;
      std::string_view stored = (*this)[index];
      if (stored.size() == utf8.size() &&
          words::SameBytes(stored.data(), utf8.data(), utf8.size())) {
        return index;
      }
    }
  }
}

void StringTable::store(std::string_view utf8) {
  std::size_t needed = words::VarintBytes(utf8.size()) + utf8.size();
  if (blocks_.empty() || blockSize_ - blockUsed_ < needed) {
    std::size_t size =
        blocks_.empty() ? kFirstBlockBytes : std::min(blockSize_ * 2, kLargestBlockBytes);
    size = std::max(size, needed);
    blocks_.push_back(std::make_unique_for_overwrite<char[]>(size));
    blockSize_ = size;
    blockUsed_ = 0;
  }
  places_.push_back(std::uint64_t{blocks_.size() - 1} << kBlockShift | blockUsed_);
  char* out = words::PutVarint(blocks_.back().get() + blockUsed_, utf8.size());
  // Blocks never move, so `utf8` may even view this table's own bytes.
  if (!utf8.empty()) std::memcpy(out, utf8.data(), utf8.size());
  blockUsed_ += needed;
}

void StringTable::grow() {
  std::vector<std::uint64_t> slots(slots_.size() * 2, 0);
  const std::size_t mask = slots.size() - 1;
  for (std::uint64_t entry : slots_) {
    if (entry == 0) continue;
    std::size_t slot = HomeSlot(entry, slots.size());
    while (slots[slot] != 0) slot = (slot + 1) & mask;
    slots[slot] = entry;
  }
  slots_.swap(slots);
}

}  // namespace quadrelo::xls

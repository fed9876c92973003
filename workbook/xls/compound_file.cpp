#include "workbook/xls/compound_file.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <vector>

namespace quadrelo::xls {

namespace {

constexpr std::uint32_t kSectorSize = 512;
constexpr std::uint32_t kMiniSectorSize = 64;
constexpr std::uint32_t kEntriesPerSector = kSectorSize / 4;
constexpr std::uint32_t kDirectoryEntrySize = 128;
constexpr std::uint32_t kEntriesPerDirectorySector = kSectorSize / kDirectoryEntrySize;
constexpr std::uint32_t kHeaderDifatEntries = 109;
constexpr std::uint32_t kDifatEntriesPerSector = kEntriesPerSector - 1;  // the last links on
constexpr std::uint32_t kDifSect = 0xFFFFFFFC;
constexpr std::uint32_t kFatSect = 0xFFFFFFFD;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kFreeSect = 0xFFFFFFFF;
constexpr std::uint32_t kNoStream = 0xFFFFFFFF;

// Compound file header fields [MS-CFB 2.2], as byte offsets.
namespace header {
constexpr std::size_t kSignature = 0x00;
constexpr std::size_t kMinorVersion = 0x18;
constexpr std::size_t kMajorVersion = 0x1A;
constexpr std::size_t kByteOrder = 0x1C;
constexpr std::size_t kSectorShift = 0x1E;
constexpr std::size_t kMiniSectorShift = 0x20;
constexpr std::size_t kNumberOfFatSectors = 0x2C;
constexpr std::size_t kFirstDirectorySectorLocation = 0x30;
constexpr std::size_t kMiniStreamCutoffSize = 0x38;
constexpr std::size_t kFirstMiniFatSectorLocation = 0x3C;
constexpr std::size_t kNumberOfMiniFatSectors = 0x40;
constexpr std::size_t kFirstDifatSectorLocation = 0x44;
constexpr std::size_t kNumberOfDifatSectors = 0x48;
constexpr std::size_t kDifat = 0x4C;
}  // namespace header

// Directory entry fields [MS-CFB 2.6.1], as byte offsets within the entry.
namespace entry {
constexpr std::size_t kDirectoryEntryName = 0;
constexpr std::size_t kDirectoryEntryNameLength = 64;
constexpr std::size_t kObjectType = 66;
constexpr std::size_t kColorFlag = 67;
constexpr std::size_t kLeftSiblingId = 68;
constexpr std::size_t kRightSiblingId = 72;
constexpr std::size_t kChildId = 76;
constexpr std::size_t kClsid = 80;
constexpr std::size_t kStartingSectorLocation = 116;
constexpr std::size_t kStreamSize = 120;

constexpr std::uint8_t kStreamObject = 2;
constexpr std::uint8_t kRootStorageObject = 5;
constexpr std::uint8_t kRed = 0;
constexpr std::uint8_t kBlack = 1;
}  // namespace entry

std::uint32_t CeilDiv(std::uint64_t a, std::uint64_t b) {
  return static_cast<std::uint32_t>((a + b - 1) / b);
}

std::uint32_t MiniSectors(const SmallStream& stream) {
  return CeilDiv(stream.bytes.size(), kMiniSectorSize);
}

// Sector numbers as 32-bit entries, written a sector at a time.
class SectorWriter {
 public:
  explicit SectorWriter(ByteOutput& out) : out_(out) {}
  void put(std::uint32_t value) {
    Put32(bytes_.data() + 4 * used_, value);
    if (++used_ == kEntriesPerSector) flush();
  }
  // A chain over `count` consecutive sectors from `first`.
  void chain(std::uint32_t first, std::uint32_t count) {
    for (std::uint32_t s = first; s < first + count; ++s) {
      put(s + 1 < first + count ? s + 1 : kEndOfChain);
    }
  }
  // Pads the last sector with FREESECT.
  void finish() {
    while (used_ != 0) put(kFreeSect);
  }

 private:
  void flush() {
    out_.write(bytes_.data(), bytes_.size());
    used_ = 0;
  }
  ByteOutput& out_;
  std::array<std::uint8_t, kSectorSize> bytes_{};
  std::uint32_t used_ = 0;
};

struct DirectoryEntry {
  std::u16string_view name;
  std::uint8_t type = 0;
  std::uint8_t color = entry::kBlack;
  std::uint32_t left = kNoStream;
  std::uint32_t right = kNoStream;
  std::uint32_t child = kNoStream;
  std::uint32_t start = kEndOfChain;
  std::uint64_t size = 0;
};

void PutDirectoryEntry(std::uint8_t* p, const DirectoryEntry& e) {
  for (std::size_t i = 0; i < e.name.size(); ++i) {
    Put16(p + entry::kDirectoryEntryName + 2 * i, e.name[i]);
  }
  Put16(p + entry::kDirectoryEntryNameLength, static_cast<std::uint16_t>(2 * (e.name.size() + 1)));
  p[entry::kObjectType] = e.type;
  p[entry::kColorFlag] = e.color;
  Put32(p + entry::kLeftSiblingId, e.left);
  Put32(p + entry::kRightSiblingId, e.right);
  Put32(p + entry::kChildId, e.child);
  Put32(p + entry::kStartingSectorLocation, e.start);
  Put64(p + entry::kStreamSize, e.size);
}

// The order of siblings in a storage: shorter names first, then by upper-cased UTF-16 units
// (our names are ASCII, so upper-casing ASCII letters is the whole rule).
bool NameLess(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return a.size() < b.size();
  auto upper = [](char16_t c) { return c >= u'a' && c <= u'z' ? char16_t(c - u'a' + u'A') : c; };
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (upper(a[i]) != upper(b[i])) return upper(a[i]) < upper(b[i]);
  }
  return false;
}

// Links `sorted[lo, hi)` as a size-balanced search tree and returns its root. Such a tree has
// every empty link on its last two levels, so colouring the deepest level red (below a black
// root) gives every path the same number of black nodes: a valid red-black tree.
std::uint32_t LinkSiblings(std::vector<DirectoryEntry>& entries,
                           const std::vector<std::uint32_t>& sorted, std::size_t lo, std::size_t hi,
                           int depth, int deepest) {
  if (lo >= hi) return kNoStream;
  std::size_t middle = lo + (hi - lo - 1) / 2;
  DirectoryEntry& node = entries[sorted[middle]];
  node.color = depth == deepest && depth > 0 ? entry::kRed : entry::kBlack;
  node.left = LinkSiblings(entries, sorted, lo, middle, depth + 1, deepest);
  node.right = LinkSiblings(entries, sorted, middle + 1, hi, depth + 1, deepest);
  return sorted[middle];
}

int TreeDepth(std::size_t n) {
  int depth = -1;
  for (; n > 0; n = (n - 1) - (n - 1) / 2) ++depth;  // follows the larger (right) half
  return depth;
}

}  // namespace

CompoundFileLayout PlanCompoundFile(std::uint64_t contentSize, std::span<const SmallStream> small) {
  CompoundFileLayout layout;
  layout.contentSize = contentSize;
  // Strictly above the cutoff: a stream of exactly the cutoff belongs in ordinary sectors, but
  // libfreexl looks it up in the mini stream once the file has one.
  layout.streamSize = std::max(contentSize, kMiniStreamCutoff + 1);
  layout.streamSectors = CeilDiv(layout.streamSize, kSectorSize);
  for (const SmallStream& stream : small) {
    assert(stream.bytes.size() < kMiniStreamCutoff);
    layout.miniSectors += MiniSectors(stream);
  }
  layout.miniStreamSectors =
      CeilDiv(std::uint64_t{layout.miniSectors} * kMiniSectorSize, kSectorSize);
  layout.miniFatSectors = CeilDiv(layout.miniSectors, kEntriesPerSector);
  layout.directorySectors = CeilDiv(2 + small.size(), kEntriesPerDirectorySector);
  // The FAT covers every sector including its own and the DIFAT's: iterate to the fixed point.
  std::uint32_t fat = 1;
  std::uint32_t difat = 0;
  for (;;) {
    std::uint64_t total = std::uint64_t{layout.streamSectors} + layout.miniStreamSectors +
                          layout.miniFatSectors + difat + fat + layout.directorySectors;
    std::uint32_t needFat = CeilDiv(total, kEntriesPerSector);
    std::uint32_t needDifat = needFat <= kHeaderDifatEntries
                                  ? 0
                                  : CeilDiv(needFat - kHeaderDifatEntries, kDifatEntriesPerSector);
    if (needFat == fat && needDifat == difat) break;
    fat = needFat;
    difat = needDifat;
  }
  layout.fatSectors = fat;
  layout.difatSectors = difat;
  return layout;
}

void WriteCompoundHeader(const CompoundFileLayout& layout, ByteOutput& out) {
  std::array<std::uint8_t, kSectorSize> h{};
  const std::uint8_t signature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  std::copy(std::begin(signature), std::end(signature), h.begin() + header::kSignature);
  Put16(&h[header::kMinorVersion], 0x003E);
  Put16(&h[header::kMajorVersion], 0x0003);
  Put16(&h[header::kByteOrder], 0xFFFE);   // little-endian
  Put16(&h[header::kSectorShift], 9);      // 512-byte sectors
  Put16(&h[header::kMiniSectorShift], 6);  // 64-byte mini sectors
  Put32(&h[header::kNumberOfFatSectors], layout.fatSectors);
  Put32(&h[header::kFirstDirectorySectorLocation], layout.directorySector());
  Put32(&h[header::kMiniStreamCutoffSize], static_cast<std::uint32_t>(kMiniStreamCutoff));
  Put32(&h[header::kFirstMiniFatSectorLocation],
        layout.miniFatSectors > 0 ? layout.firstMiniFatSector() : kEndOfChain);
  Put32(&h[header::kNumberOfMiniFatSectors], layout.miniFatSectors);
  Put32(&h[header::kFirstDifatSectorLocation],
        layout.difatSectors > 0 ? layout.firstDifatSector() : kEndOfChain);
  Put32(&h[header::kNumberOfDifatSectors], layout.difatSectors);
  for (std::uint32_t i = 0; i < kHeaderDifatEntries; ++i) {
    Put32(&h[header::kDifat + 4 * i],
          i < layout.fatSectors ? layout.firstFatSector() + i : kFreeSect);
  }
  out.write(h.data(), h.size());
}

void WriteCompoundTail(const CompoundFileLayout& layout, std::span<const SmallStream> small,
                       ByteOutput& out) {
  out.zeros(std::uint64_t{layout.streamSectors} * kSectorSize - layout.contentSize);

  // The mini stream: each small stream from a mini sector of its own.
  std::vector<std::uint32_t> miniStarts;
  std::uint32_t miniUsed = 0;
  for (const SmallStream& stream : small) {
    miniStarts.push_back(stream.bytes.empty() ? kEndOfChain : miniUsed);
    out.write(stream.bytes.data(), stream.bytes.size());
    out.zeros(std::uint64_t{MiniSectors(stream)} * kMiniSectorSize - stream.bytes.size());
    miniUsed += MiniSectors(stream);
  }
  assert(miniUsed == layout.miniSectors);
  out.zeros(std::uint64_t{layout.miniStreamSectors} * kSectorSize -
            std::uint64_t{miniUsed} * kMiniSectorSize);

  SectorWriter miniFat(out);
  std::uint32_t miniNext = 0;
  for (const SmallStream& stream : small) {
    miniFat.chain(miniNext, MiniSectors(stream));
    miniNext += MiniSectors(stream);
  }
  miniFat.finish();

  // DIFAT sectors: FAT sector numbers, then the next DIFAT sector.
  SectorWriter difat(out);
  for (std::uint32_t d = 0; d < layout.difatSectors; ++d) {
    for (std::uint32_t k = 0; k < kDifatEntriesPerSector; ++k) {
      std::uint32_t fatIndex = kHeaderDifatEntries + d * kDifatEntriesPerSector + k;
      difat.put(fatIndex < layout.fatSectors ? layout.firstFatSector() + fatIndex : kFreeSect);
    }
    difat.put(d + 1 < layout.difatSectors ? layout.firstDifatSector() + d + 1 : kEndOfChain);
  }

  SectorWriter fat(out);
  fat.chain(0, layout.streamSectors);
  fat.chain(layout.firstMiniStreamSector(), layout.miniStreamSectors);
  fat.chain(layout.firstMiniFatSector(), layout.miniFatSectors);
  for (std::uint32_t d = 0; d < layout.difatSectors; ++d) fat.put(kDifSect);
  for (std::uint32_t f = 0; f < layout.fatSectors; ++f) fat.put(kFatSect);
  fat.chain(layout.directorySector(), layout.directorySectors);
  fat.finish();

  // Entry 0 is the root, whose stream is the mini stream; 1 is "Workbook"; the small streams
  // follow. All streams are the root's children, linked as one red-black tree.
  std::vector<DirectoryEntry> entries(2 + small.size());
  entries[0].name = u"Root Entry";
  entries[0].type = entry::kRootStorageObject;
  if (layout.miniSectors > 0) {
    entries[0].start = layout.firstMiniStreamSector();
    entries[0].size = std::uint64_t{layout.miniSectors} * kMiniSectorSize;
  }
  entries[1].name = u"Workbook";
  entries[1].type = entry::kStreamObject;
  entries[1].start = 0;
  entries[1].size = layout.streamSize;
  for (std::size_t i = 0; i < small.size(); ++i) {
    DirectoryEntry& e = entries[2 + i];
    e.name = small[i].name;
    e.type = entry::kStreamObject;
    e.start = miniStarts[i];
    e.size = small[i].bytes.size();
  }
  std::vector<std::uint32_t> siblings;
  for (std::uint32_t i = 1; i < entries.size(); ++i) siblings.push_back(i);
  std::sort(siblings.begin(), siblings.end(), [&](std::uint32_t a, std::uint32_t b) {
    return NameLess(entries[a].name, entries[b].name);
  });
  entries[0].child =
      LinkSiblings(entries, siblings, 0, siblings.size(), 0, TreeDepth(siblings.size()));

  std::vector<std::uint8_t> directory(std::size_t{layout.directorySectors} * kSectorSize, 0);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    PutDirectoryEntry(directory.data() + kDirectoryEntrySize * i, entries[i]);
  }
  // The class of an Excel workbook, as Excel itself marks its files.
  const std::uint8_t workbookClass[16] = {0x20, 0x08, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                          0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
  std::copy(std::begin(workbookClass), std::end(workbookClass), directory.begin() + entry::kClsid);
  for (std::size_t unused = entries.size(); unused < directory.size() / kDirectoryEntrySize;
       ++unused) {
    std::uint8_t* p = directory.data() + kDirectoryEntrySize * unused;
    Put32(p + entry::kLeftSiblingId, kNoStream);
    Put32(p + entry::kRightSiblingId, kNoStream);
    Put32(p + entry::kChildId, kNoStream);
  }
  out.write(directory.data(), directory.size());
}

}  // namespace quadrelo::xls

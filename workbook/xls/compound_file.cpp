#include "workbook/xls/compound_file.h"

#include <algorithm>
#include <array>

namespace quadrelo::xls {

namespace {

constexpr std::uint32_t kSectorSize = 512;
constexpr std::uint32_t kEntriesPerSector = kSectorSize / 4;
constexpr std::uint32_t kHeaderDifatEntries = 109;
constexpr std::uint32_t kDifSect = 0xFFFFFFFC;
constexpr std::uint32_t kFatSect = 0xFFFFFFFD;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kFreeSect = 0xFFFFFFFF;
constexpr std::uint32_t kNoStream = 0xFFFFFFFF;
// Readers look a stream below this size up in the mini stream, which this file does not have.
constexpr std::uint64_t kMiniStreamCutoff = 4096;

std::uint32_t CeilDiv(std::uint64_t a, std::uint64_t b) {
  return static_cast<std::uint32_t>((a + b - 1) / b);
}

// Sector numbers as 32-bit entries, written a sector at a time.
class SectorWriter {
 public:
  explicit SectorWriter(ByteOutput& out) : out_(out) {}
  void put(std::uint32_t value) {
    Put32(bytes_.data() + 4 * used_, value);
    if (++used_ == kEntriesPerSector) flush();
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

void PutDirectoryEntry(std::uint8_t* entry, const char16_t* name, std::uint8_t type,
                       std::uint32_t child, std::uint32_t start, std::uint64_t size) {
  std::size_t length = 0;
  for (; name[length] != 0; ++length) Put16(entry + 2 * length, name[length]);
  Put16(entry + 64, static_cast<std::uint16_t>(2 * (length + 1)));
  entry[66] = type;
  entry[67] = 1;  // black: a single node is a valid red-black tree
  Put32(entry + 68, kNoStream);
  Put32(entry + 72, kNoStream);
  Put32(entry + 76, child);
  Put32(entry + 116, start);
  Put64(entry + 120, size);
}

}  // namespace

CompoundFileLayout PlanCompoundFile(std::uint64_t contentSize) {
  CompoundFileLayout layout;
  layout.contentSize = contentSize;
  layout.streamSize = std::max(contentSize, kMiniStreamCutoff);
  layout.streamSectors = CeilDiv(layout.streamSize, kSectorSize);
  // The FAT covers every sector including its own and the DIFAT's: iterate to the fixed point.
  std::uint32_t fat = 1;
  std::uint32_t difat = 0;
  for (;;) {
    std::uint64_t total = std::uint64_t{layout.streamSectors} + difat + fat + 1;
    std::uint32_t needFat = CeilDiv(total, kEntriesPerSector);
    std::uint32_t needDifat =
        needFat <= kHeaderDifatEntries ? 0 : CeilDiv(needFat - kHeaderDifatEntries, 127);
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
  std::copy(std::begin(signature), std::end(signature), h.begin());
  Put16(&h[0x18], 0x003E);  // minor version
  Put16(&h[0x1A], 0x0003);  // major version 3
  Put16(&h[0x1C], 0xFFFE);  // little-endian
  Put16(&h[0x1E], 9);       // 512-byte sectors
  Put16(&h[0x20], 6);       // 64-byte mini sectors
  Put32(&h[0x2C], layout.fatSectors);
  Put32(&h[0x30], layout.directorySector());
  Put32(&h[0x38], static_cast<std::uint32_t>(kMiniStreamCutoff));
  Put32(&h[0x3C], kEndOfChain);  // no mini FAT
  Put32(&h[0x44], layout.difatSectors > 0 ? layout.firstDifatSector() : kEndOfChain);
  Put32(&h[0x48], layout.difatSectors);
  for (std::uint32_t i = 0; i < kHeaderDifatEntries; ++i) {
    Put32(&h[0x4C + 4 * i], i < layout.fatSectors ? layout.firstFatSector() + i : kFreeSect);
  }
  out.write(h.data(), h.size());
}

void WriteCompoundTail(const CompoundFileLayout& layout, ByteOutput& out) {
  out.zeros(std::uint64_t{layout.streamSectors} * kSectorSize - layout.contentSize);

  // DIFAT sectors: 127 FAT sector numbers each, then the next DIFAT sector.
  SectorWriter difat(out);
  for (std::uint32_t d = 0; d < layout.difatSectors; ++d) {
    for (std::uint32_t k = 0; k < 127; ++k) {
      std::uint32_t fatIndex = kHeaderDifatEntries + d * 127 + k;
      difat.put(fatIndex < layout.fatSectors ? layout.firstFatSector() + fatIndex : kFreeSect);
    }
    difat.put(d + 1 < layout.difatSectors ? layout.firstDifatSector() + d + 1 : kEndOfChain);
  }

  SectorWriter fat(out);
  for (std::uint32_t s = 0; s < layout.streamSectors; ++s) {
    fat.put(s + 1 < layout.streamSectors ? s + 1 : kEndOfChain);
  }
  for (std::uint32_t d = 0; d < layout.difatSectors; ++d) fat.put(kDifSect);
  for (std::uint32_t f = 0; f < layout.fatSectors; ++f) fat.put(kFatSect);
  fat.put(kEndOfChain);  // the directory's single sector
  fat.finish();

  std::array<std::uint8_t, kSectorSize> directory{};
  PutDirectoryEntry(directory.data(), u"Root Entry", 5, 1, kEndOfChain, 0);
  // The class of an Excel workbook, as Excel itself marks its files.
  const std::uint8_t workbookClass[16] = {0x20, 0x08, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                          0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
  std::copy(std::begin(workbookClass), std::end(workbookClass), directory.begin() + 80);
  PutDirectoryEntry(directory.data() + 128, u"Workbook", 2, kNoStream, 0, layout.streamSize);
  for (int unused = 2; unused < 4; ++unused) {
    std::uint8_t* entry = directory.data() + 128 * unused;
    Put32(entry + 68, kNoStream);
    Put32(entry + 72, kNoStream);
    Put32(entry + 76, kNoStream);
  }
  out.write(directory.data(), directory.size());
}

}  // namespace quadrelo::xls

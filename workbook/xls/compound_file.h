#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "workbook/xls/byte_output.h"

namespace quadrelo::xls {

// Readers look a stream below this size up in the mini stream.
inline constexpr std::uint64_t kMiniStreamCutoff = 4096;

// A stream of fewer than kMiniStreamCutoff bytes, kept whole in memory and stored in the mini
// stream (the document properties).
struct SmallStream {
  std::u16string name;
  std::string bytes;
};

// A compound file (version 3, 512-byte sectors) that holds the "Workbook" stream and a few small
// streams, laid out as
//   [header][Workbook sectors][mini stream][mini FAT][DIFAT][FAT][directory].
// Everything is known from the sizes, so the header goes out first and the Workbook stream can
// follow unbuffered.
struct CompoundFileLayout {
  std::uint64_t contentSize = 0;  // bytes the caller writes
  std::uint64_t streamSize = 0;   // declared size: content padded to above the cutoff
  std::uint32_t streamSectors = 0;
  std::uint32_t miniSectors = 0;        // 64-byte sectors of the small streams
  std::uint32_t miniStreamSectors = 0;  // the 512-byte sectors that hold them
  std::uint32_t miniFatSectors = 0;
  std::uint32_t difatSectors = 0;
  std::uint32_t fatSectors = 0;
  std::uint32_t directorySectors = 1;

  std::uint32_t firstMiniStreamSector() const { return streamSectors; }
  std::uint32_t firstMiniFatSector() const { return firstMiniStreamSector() + miniStreamSectors; }
  std::uint32_t firstDifatSector() const { return firstMiniFatSector() + miniFatSectors; }
  std::uint32_t firstFatSector() const { return firstDifatSector() + difatSectors; }
  std::uint32_t directorySector() const { return firstFatSector() + fatSectors; }
  std::uint32_t totalSectors() const { return directorySector() + directorySectors; }
  std::uint64_t fileSize() const { return 512ull * (1 + totalSectors()); }
};

// The largest stream a version-3 compound file may declare.
inline constexpr std::uint64_t kMaxStreamSize = 0x80000000ull;

// `small` must each be below kMiniStreamCutoff bytes and named apart from "Workbook".
CompoundFileLayout PlanCompoundFile(std::uint64_t contentSize,
                                    std::span<const SmallStream> small = {});

// The 512-byte header; the stream's bytes follow it directly.
void WriteCompoundHeader(const CompoundFileLayout& layout, ByteOutput& out);
// After the stream's contentSize bytes: padding, the small streams, their mini FAT, DIFAT, FAT
// and directory. `small` is what the layout was planned with.
void WriteCompoundTail(const CompoundFileLayout& layout, std::span<const SmallStream> small,
                       ByteOutput& out);

}  // namespace quadrelo::xls

#pragma once

#include <cstdint>

#include "workbook/xls/byte_output.h"

namespace quadrelo::xls {

// A compound file (version 3, 512-byte sectors) that holds one stream, "Workbook", laid out as
// [header][stream sectors][DIFAT sectors][FAT sectors][directory sector]. Everything is known
// from the stream's size, so the header goes out first and the stream can follow unbuffered.
struct CompoundFileLayout {
  std::uint64_t contentSize = 0;  // bytes the caller writes
  std::uint64_t streamSize = 0;   // declared size: content padded to at least 4096 bytes
  std::uint32_t streamSectors = 0;
  std::uint32_t difatSectors = 0;
  std::uint32_t fatSectors = 0;

  std::uint32_t firstDifatSector() const { return streamSectors; }
  std::uint32_t firstFatSector() const { return streamSectors + difatSectors; }
  std::uint32_t directorySector() const { return firstFatSector() + fatSectors; }
  std::uint32_t totalSectors() const { return directorySector() + 1; }
  std::uint64_t fileSize() const { return 512ull * (1 + totalSectors()); }
};

// The largest stream a version-3 compound file may declare.
inline constexpr std::uint64_t kMaxStreamSize = 0x80000000ull;

CompoundFileLayout PlanCompoundFile(std::uint64_t contentSize);

// The 512-byte header; the stream's bytes follow it directly.
void WriteCompoundHeader(const CompoundFileLayout& layout, ByteOutput& out);
// After the stream's contentSize bytes: padding, DIFAT, FAT and directory.
void WriteCompoundTail(const CompoundFileLayout& layout, ByteOutput& out);

}  // namespace quadrelo::xls

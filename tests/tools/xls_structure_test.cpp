// The structural checker that the fuzzers trust: it passes what the writer makes, from an empty
// workbook to one whose strings need CONTINUE records, and it finds each kind of damage.

#include "tools/xls_structure/xls_structure.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

#include "platform/byte_sink.h"
#include "tests/support/test_support.h"
#include "workbook/application.h"
#include "workbook/xls/book.h"
#include "workbook/xls/shared_strings.h"

namespace quadrelo::hardening {
namespace {

using fuzzing::CheckXlsStructure;
using fuzzing::XlsSummary;

std::string Written(const std::function<void(workbook::ApplicationObject&)>& fill) {
  workbook::ApplicationObject app = workbook::CreateObject(workbook::kApplicationClass);
  app.workbooks().Add();
  fill(app);
  MemorySink sink;
  xls::WriteWorkbook(app.workbooks(1).contents(), sink);
  app.quit();
  return sink.bytes();
}

std::string Sample() {
  return Written([](workbook::ApplicationObject& app) {
    app.worksheets().Add();
    for (int r = 1; r <= 300; ++r) {
      std::string row = std::to_string(r);
      app.worksheets(1)
          .range(std::string("A").append(row))
          .Value(std::string("texto ").append(row));
      app.worksheets(1).range(std::string("D").append(row)).Value(r * 1.25);
    }
    app.worksheets(2).range("B2").Value(std::string(30000, 'y'));
    app.worksheets(2).range("C3").Value(std::string("\xE2\x82\xAC").append(9000, 'z'));
  });
}

std::size_t Find(const std::string& file, std::uint16_t id, std::size_t from = 0) {
  // Record ids of the Workbook stream, which starts at sector 0 right after the header.
  for (std::size_t at = 512 + from; at + 4 <= file.size();) {
    auto rid = static_cast<std::uint16_t>(static_cast<unsigned char>(file[at]) |
                                          static_cast<unsigned char>(file[at + 1]) << 8);
    auto length = static_cast<std::size_t>(static_cast<unsigned char>(file[at + 2]) |
                                           static_cast<unsigned char>(file[at + 3]) << 8);
    if (rid == id) return at;
    at += 4 + length;
  }
  return std::string::npos;
}

TEST(XlsStructure, PassesWhatTheWriterMakes) {
  XlsSummary summary;
  EXPECT_EQ(CheckXlsStructure(Written([](workbook::ApplicationObject&) {}), &summary), "");
  EXPECT_EQ(summary.sheets, 1u);
  EXPECT_EQ(summary.propertySets, 2u);
  EXPECT_EQ(CheckXlsStructure(Sample(), &summary), "");
  EXPECT_EQ(summary.sheets, 2u);
  EXPECT_EQ(summary.uniqueStrings, 302u);
  EXPECT_EQ(summary.labelCells, 302u);
  EXPECT_EQ(summary.otherCells, 300u);
}

TEST(XlsStructure, FindsEachKindOfDamage) {
  const std::string good = Sample();
  struct Damage {
    const char* name;
    std::function<void(std::string&)> apply;
    const char* found;
  };
  const Damage damages[] = {
      {"cut short", [](std::string& f) { f.resize(f.size() - 512); }, ""},
      {"no signature", [](std::string& f) { f[0] = 'X'; }, "no compound-file signature"},
      {"a FAT entry looping back",
       [&](std::string& f) {
         // The Workbook stream's second sector points back at its first.
         std::size_t fat = 512 * (1 + static_cast<unsigned char>(f[0x4C]));
         std::memset(&f[fat + 4], 0, 4);
       },
       "a sector belongs to two chains, or a chain loops"},
      {"a BOUNDSHEET offset off its BOF", [&](std::string& f) { f[Find(f, 0x0085) + 4] ^= 0x01; },
       "a BOUNDSHEET offset does not land on its BOF"},
      {"a LABELSST index past the strings",
       [&](std::string& f) { f[Find(f, 0x00FD) + 4 + 9] = '\x7F'; },
       "a LABELSST index beyond the SST"},
      {"an SST count one short", [&](std::string& f) { f[Find(f, 0x00FC) + 4 + 4] ^= 0x01; }, ""},
      {"a record longer than 8224 bytes",
       [&](std::string& f) {
         std::size_t at = Find(f, 0x003C);
         f[at + 2] = '\x21';
         f[at + 3] = '\x20';
       },
       "a record body exceeds 8224 bytes"},
      {"an EOF missing",
       [&](std::string& f) {
         std::size_t eof = Find(f, 0x000A);
         f[eof] = '\x0B';
       },
       ""},
      {"directory siblings out of order",
       [&](std::string& f) {
         // The root's child (the middle name) gets its left and right siblings swapped.
         std::size_t directory = 512 * (1 + static_cast<unsigned char>(f[0x30]) +
                                        256 * static_cast<unsigned char>(f[0x31]));
         std::size_t child = directory + 128 * static_cast<unsigned char>(f[directory + 0x4C]);
         std::swap_ranges(&f[child + 0x44], &f[child + 0x48], &f[child + 0x48]);
       },
       "directory entries out of order"},
      {"a property set of the wrong kind",
       [&](std::string& f) { f[f.find(std::string("\xE0\x85\x9F\xF2", 4))] ^= 0x01; },
       "a property set of the wrong kind"},
      {"a cell outside DIMENSIONS",
       [&](std::string& f) { f[Find(f, 0x0200) + 4 + 4] = 2; },  // rows end at 2
       "a cell outside DIMENSIONS"},
      // What the file format's grammar asks of the records' order and of the cell table.
      {"a mandatory record missing",
       [&](std::string& f) { f[Find(f, 0x005C)] = 0x5B; },  // WRITEACCESS gone, FILESHARING instead
       "the globals break the grammar at record 0x005B FileSharing (stream offset 36)"},
      {"a DBCELL back to its first ROW off by one",
       [&](std::string& f) { f[Find(f, 0x00D7) + 4] ^= 0x01; },
       "a DBCELL does not lead back to its block's first ROW"},
      {"a DBCELL offset to a row's first cell off by one",
       [&](std::string& f) { f[Find(f, 0x00D7) + 4 + 6] ^= 0x01; },
       "a DBCELL offset does not lead to the first cell of row 1"},
      {"an INDEX entry pointing elsewhere",
       [&](std::string& f) { f[Find(f, 0x020B) + 4 + 16] ^= 0x04; },
       "an INDEX entry does not point at its DBCELL"},
      {"a ROW missing for a row with cells",
       [&](std::string& f) { f[Find(f, 0x0208) + 31 * 20 + 4] = 40; },  // row 31's ROW says 40
       "a cell in row 31 without its ROW in the block"},
  };
  for (const Damage& damage : damages) {
    SCOPED_TRACE(damage.name);
    std::string file = good;
    damage.apply(file);
    std::string fault = CheckXlsStructure(file);
    EXPECT_NE(fault, "");
    if (*damage.found != '\0') {
      EXPECT_EQ(fault, damage.found);
    }
  }
}

// Excel's own workbooks (2003 to 2016) follow the grammar the checker holds ours to.
TEST(XlsStructure, ExcelWrittenWorkbooksFollowTheGrammar) {
  const std::filesystem::path folder = SourceDir() / "tests" / "tools" / "excel-written";
  for (const char* name : {"43623.xls", "45720.xls", "49529.xls", "52575_source.xls", "55668.xls",
                           "59264.xls", "64261.xls"}) {
    EXPECT_EQ(fuzzing::CheckXlsGrammar(ReadFile(folder / name)), "") << name;
  }
}

// Found by a 1 GB input of 13 million transfers: the 16-bit bucket size wrapped round.
TEST(XlsStructure, ExtSstBucketsStayWithinTheirSixteenBits) {
  const std::uint32_t counts[] = {0,       1,       1023,    1024,     8388479,  8388480,
                                  8388607, 8388608, 8388736, 13300000, 16777216, 0xFFFFFFFF};
  std::uint32_t previous = 0;
  for (std::uint32_t count : counts) {
    std::uint32_t size = xls::ExtSstBucketSize(count);
    EXPECT_GE(size, 8u) << count;
    EXPECT_GE(size, previous) << count;
    if (count <= 128u * 0xFFFF) {
      EXPECT_LE((std::uint64_t{count} + size - 1) / size, 128u) << count;
    }
    previous = size;
  }
  EXPECT_EQ(xls::ExtSstBucketSize(13300000), 0xFFFF);
}

}  // namespace
}  // namespace quadrelo::hardening

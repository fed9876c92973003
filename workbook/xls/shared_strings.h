#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "workbook/xls/book.h"
#include "workbook/xls/record_writer.h"

namespace quadrelo::xls {

// Where one EXTSST bucket's first string starts: its stream offset, and its distance from the
// header of the SST or CONTINUE record that holds it.
struct ExtSstBucket {
  std::uint32_t streamOffset = 0;
  std::uint16_t recordOffset = 0;
};

// Strings per EXTSST bucket.
std::uint16_t ExtSstBucketSize(std::uint32_t stringCount);

// SST and its CONTINUE records with every string of the table, in index order, so that a
// LABELSST refers to a string by its table index. `labelCount` is the number of LABELSST cells
// in the workbook. Fills `buckets` for writeExtSst.
void WriteSst(RecordWriter& w, const StringTable& strings, std::uint32_t labelCount,
              std::vector<ExtSstBucket>& buckets);
void WriteExtSst(RecordWriter& w, std::uint32_t stringCount,
                 const std::vector<ExtSstBucket>& buckets);

// The SST records of a table, encoded before their place in the stream and the number of
// LABELSST cells are known, so that a workbook's strings are encoded once (and on a thread of
// their own while the sheets are measured).
struct EncodedSst {
  std::string records;                // SST and CONTINUE records; the LABELSST count left 0
  std::vector<ExtSstBucket> buckets;  // stream offsets counted from the SST's header
  std::uint32_t stringCount = 0;
};
EncodedSst EncodeSst(const StringTable& strings);
// Writes `sst` with the workbook's LABELSST count, then its EXTSST.
void WriteEncodedSst(RecordWriter& w, const EncodedSst& sst, std::uint32_t labelCount);

}  // namespace quadrelo::xls

#pragma once

#include <cstdint>
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
// in the workbook. Fills `buckets` for WriteExtSst.
void WriteSst(RecordWriter& w, const StringTable& strings, std::uint32_t labelCount,
              std::vector<ExtSstBucket>& buckets);
void WriteExtSst(RecordWriter& w, std::uint32_t stringCount,
                 const std::vector<ExtSstBucket>& buckets);

// The bytes WriteSst and WriteExtSst write for `strings`, measured without keeping them: the
// size does not depend on where they go nor on the LABELSST count.
std::uint64_t SharedStringsSize(const StringTable& strings);

}  // namespace quadrelo::xls

#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace quadrelo::fuzzing {

struct BiffRecord {
  std::uint16_t id;
  std::size_t offset;  // of the record header in the Workbook stream
  std::string_view body;
};

// Checks one substream, BOF to EOF, against the record grammar of the globals or of a worksheet
// (the productions plain workbooks use, transcribed from the file format's ABNF), and a
// worksheet's cell table against its INDEX: blocks of ROW records, their cells and a DBCELL whose
// offsets lead to the block's first ROW and to each row's first cell, every row with a cell
// having its ROW, and the INDEX pointing at DEFCOLWIDTH and at each DBCELL. Returns "" when all
// holds, else the first fault.
std::string CheckSubstreamGrammar(std::span<const BiffRecord> records, bool globals);

// The name of a record the grammar knows, or "" for one it does not.
std::string_view BiffRecordName(std::uint16_t id);

}  // namespace quadrelo::fuzzing

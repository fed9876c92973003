#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quadrelo::fuzzing {

// What a structurally sound file was found to hold.
struct XlsSummary {
  std::uint32_t sheets = 0;         // worksheet substreams
  std::uint32_t uniqueStrings = 0;  // SST strings
  std::uint32_t labelCells = 0;     // LABELSST records over all sheets
  std::uint32_t otherCells = 0;     // NUMBER, RK and BLANK records
  std::uint64_t streamSize = 0;     // declared size of the Workbook stream
  std::uint32_t propertySets = 0;   // document property streams
};

// Checks the container and the record structure of an .xls file written by our writer, without
// trusting a byte of it: the compound-file header, the FAT and DIFAT chains, the directory and
// its red-black tree, the Workbook stream's sectors, the mini FAT and mini stream with the
// document property streams in it; then the stream's BIFF records (lengths within 8224, BOF/EOF
// pairs, BOUNDSHEET offsets on worksheet BOFs, the SST's counts across its CONTINUEs, every
// LABELSST index below the unique count, cells inside DIMENSIONS, XF indexes that exist).
// Every substream is also held to the file format's record grammar (CheckXlsGrammar).
// Returns an empty string when everything holds, else a description of the first fault.
std::string CheckXlsStructure(std::string_view file, XlsSummary* summary = nullptr);

// Only the record grammar of every substream (the records each must hold, in their order) and
// the agreement of each worksheet's INDEX, ROW and DBCELL records, in any .xls file, Excel's own
// included, whatever else its container holds. "" when all holds, else the first fault.
std::string CheckXlsGrammar(std::string_view file);

// The Workbook stream of any .xls file, one line per record: stream offset, name, body length and
// the fields that tell the record apart (a cell's place, XF and value; a short body in full; a
// long one's first bytes and a fingerprint of all of it), so that two files compare record by
// record.
std::string DumpXlsRecords(std::string_view file);

}  // namespace quadrelo::fuzzing

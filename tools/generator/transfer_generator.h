#pragma once

#include <cstdint>
#include <ostream>
#include <string>

namespace quadrelo::bench {

// Deterministic synthetic transfer files: realistic Spanish names and remarks in Windows-1252,
// fixed-width records "11" (account), "22" (transfer) and "23" (remarks).
struct GeneratorOptions {
  long transfers = 100;        // "22" records in the whole file
  int accounts = 1;            // "11" records; transfers are spread evenly over them
  bool remarks = true;         // a "23" record after every transfer
  bool lineFeedsOnly = false;  // LF line breaks instead of CR LF
  std::uint64_t seed = 1;
  // Lines end after their last non-space character instead of being padded to 80, as some
  // banks send them.
  bool trimTrailingSpaces = false;
  // The last line ends with its line break (false: it ends at the end of the file).
  bool finalLineBreak = true;
};

// Every line of the generated file is 80 bytes before its line break unless trimTrailingSpaces
// is set. The same options give the same bytes on every platform and standard library.
std::string GenerateTransferFile(const GeneratorOptions& options);

// The same bytes, streamed to `out` (large files need not be held in memory).
void WriteTransferFile(const GeneratorOptions& options, std::ostream& out);

}  // namespace quadrelo::bench

#pragma once

#include <cstdint>
#include <string>

namespace quadrelo::bench {

// Deterministic synthetic transfer files: realistic Spanish names and remarks in Windows-1252,
// fixed-width records "11" (account), "22" (transfer) and "23" (remarks).
struct GeneratorOptions {
  long transfers = 100;         // "22" records in the whole file
  int accounts = 1;             // "11" records; transfers are spread evenly over them
  bool remarks = true;          // a "23" record after every transfer
  bool lineFeedsOnly = false;   // LF line breaks instead of CR LF
  std::uint64_t seed = 1;
};

std::string GenerateTransferFile(const GeneratorOptions& options);

}  // namespace quadrelo::bench

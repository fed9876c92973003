#pragma once

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "platform/text.h"

namespace quadrelo::cli {

// Exit statuses of quadrelo-convert.
inline constexpr int kAllConverted = 0;
inline constexpr int kSomeNotConverted = 1;  // refused, skipped or failed
inline constexpr int kUsageError = 2;

// quadrelo-convert [--overwrite] [-o WORKBOOK] [--quiet] FILE...
// Converts each FILE (UTF-8 paths) the way the window does, prints one summary line per
// converted file and its warnings on `out`, and every error, prefixed by the file's name, on
// `err`. Returns the exit status.
int RunBatchConvert(const std::vector<std::string>& arguments, std::ostream& out,
                    std::ostream& err);

// The command line without the program's name, as UTF-8 (main on POSIX, wmain on Windows).
template <class Char>
std::vector<std::string> ArgumentsFromMain(int argc, Char** argv) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back(PathToUtf8(std::filesystem::path(argv[i])));
  return arguments;
}

}  // namespace quadrelo::cli

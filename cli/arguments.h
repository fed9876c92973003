#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quadrelo::cli {

// What the command line asked for. `error` is set (in Spanish) when it makes no sense.
struct Invocation {
  bool overwrite = false;
  bool quiet = false;
  bool help = false;
  bool version = false;
  std::optional<std::string> workbook;  // -o
  std::vector<std::string> files;       // UTF-8 paths, in the order given
  std::string error;
};

// Options may stand anywhere among the files; "--" ends them, so that a file whose name
// begins with "-" can be named.
Invocation ParseArguments(const std::vector<std::string>& arguments);

}  // namespace quadrelo::cli

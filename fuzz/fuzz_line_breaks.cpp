// The line-break repair on any bytes: the repaired file must hold the same lines, byte for byte,
// each ended by CR LF; the conversion must read those lines back unchanged (whole and cut to a
// limit); and a second repair must change nothing.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "conversion/normalize_line_breaks.h"
#include "fuzz/fuzz_support.h"
#include "platform/failure.h"
#include "platform/files.h"
#include "platform/text.h"

namespace {

using namespace quadrelo;
using quadrelo::fuzzing::Broken;

// Reads every line of `path` through files by number, each cut to `keep` bytes.
std::vector<std::string> ReadLines(const std::filesystem::path& path, std::size_t keep) {
  std::vector<std::string> lines;
  int number = files::FreeFile();
  files::OpenForInput(number, path);
  std::string line;
  while (!files::Eof(number)) {
    files::LineInput(number, line, keep);
    lines.push_back(line);
  }
  files::Close(number);
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static fuzzing::ScratchFolder folder;
  std::string_view input(reinterpret_cast<const char*>(data), size);
  const auto path = folder / "remesa.txt";
  fuzzing::WriteBytes(path, input);

  try {
    conversion::NormalizeLineBreaks(PathToUtf8(path));
  } catch (const Failure& failure) {
    Broken(std::string("the repair failed: ") + failure.what());
  }
  const std::string repaired = fuzzing::ReadBytes(path);
  const std::string expected = fuzzing::ExpectedRepair(input);
  if (repaired != expected) Broken("the repaired file differs from the input's lines");

  std::vector<std::string> lines;
  fuzzing::RepairLines(input, [&](std::string_view line) { lines.emplace_back(line); });
  // A limit taken from the input, so that every cut length gets tried.
  const std::size_t keep = size == 0 ? 0 : data[0] % 100;
  const std::vector<std::string> whole = ReadLines(path, std::string::npos);
  const std::vector<std::string> cut = ReadLines(path, keep);
  if (whole != lines) Broken("the repaired lines do not read back as they were");
  if (cut.size() != lines.size()) Broken("a limit changed the number of lines");
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (cut[i] != lines[i].substr(0, keep)) Broken("a line cut to a limit lost its first bytes");
  }

  conversion::NormalizeLineBreaks(PathToUtf8(path));
  if (fuzzing::ReadBytes(path) != expected) Broken("a second repair changed the file");
  return 0;
}

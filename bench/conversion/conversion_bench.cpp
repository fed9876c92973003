// Measures the conversion end to end (transfer file to saved workbook) and the line-break repair
// on generated files. Peak memory is best read from outside, one measurement per process:
//   /usr/bin/time -v quadrelo-bench-conversion convert 500000
//   /usr/bin/time -v quadrelo-bench-conversion repair 500000
// Without arguments it runs convert 100000, convert 500000 and repair 500000 in turn.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>

#include "conversion/convert_transfer_file.h"
#include "conversion/normalize_line_breaks.h"
#include "platform/files.h"
#include "platform/text.h"
#include "tools/generator/transfer_generator.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

void PrintEnvironment() {
  std::printf("quadrelo-bench-conversion, compiler %s, %s\n", __VERSION__,
#ifdef NDEBUG
              "optimised build"
#else
              "WARNING: not an optimised build, figures mean little"
#endif
  );
}

fs::path Generate(const fs::path& folder, long transfers, bool lineFeedsOnly) {
  quadrelo::bench::GeneratorOptions options;
  options.transfers = transfers;
  options.accounts = 20;
  options.remarks = true;
  options.lineFeedsOnly = lineFeedsOnly;
  fs::path path =
      folder / (std::string(lineFeedsOnly ? "lf-" : "crlf-") + std::to_string(transfers) + ".txt");
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  quadrelo::bench::WriteTransferFile(options, out);
  out.close();
  return path;
}

double Seconds(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Processor time tells the cost apart from what other processes on the machine take.
double ProcessorSeconds(std::clock_t start) {
  return static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
}

int Convert(const fs::path& folder, long transfers) {
  fs::path input = Generate(folder, transfers, false);
  fs::path output = folder / ("crlf-" + std::to_string(transfers) + ".xls");
  long records = transfers * 2 + 20;
  double megabytes = static_cast<double>(fs::file_size(input)) / 1e6;
  auto start = Clock::now();
  std::clock_t processorStart = std::clock();
  quadrelo::conversion::ConvertTransferFile(quadrelo::PathToUtf8(input),
                                            quadrelo::PathToUtf8(output));
  double seconds = Seconds(start);
  double processor = ProcessorSeconds(processorStart);
  quadrelo::files::Reset();
  if (!fs::exists(output)) {
    std::fprintf(stderr, "the workbook was not saved\n");
    return 1;
  }
  std::printf(
      "convert %ld transfers (%ld records, %.1f MB): %.3f s (processor %.3f s), "
      "%.2f million records/s (processor %.2f), workbook %.1f MB\n",
      transfers, records, megabytes, seconds, processor, records / seconds / 1e6,
      records / processor / 1e6, static_cast<double>(fs::file_size(output)) / 1e6);
  return 0;
}

int Repair(const fs::path& folder, long transfers) {
  fs::path input = Generate(folder, transfers, true);
  double megabytes = static_cast<double>(fs::file_size(input)) / 1e6;
  auto start = Clock::now();
  std::clock_t processorStart = std::clock();
  quadrelo::conversion::NormalizeLineBreaks(quadrelo::PathToUtf8(input));
  double seconds = Seconds(start);
  double processor = ProcessorSeconds(processorStart);
  std::printf(
      "repair %.1f MB of LF-only lines: %.3f s (processor %.3f s), %.0f MB/s "
      "(processor %.0f)\n",
      megabytes, seconds, processor, megabytes / seconds, megabytes / processor);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  PrintEnvironment();
  fs::path folder =
      fs::temp_directory_path() / ("quadrelo-bench-" + std::to_string(std::random_device()()));
  fs::create_directories(folder);
  int status = 0;
  std::string_view mode = argc > 1 ? argv[1] : "all";
  long transfers = argc > 2 ? std::atol(argv[2]) : 500000;
  if (mode == "convert") {
    status = Convert(folder, transfers);
  } else if (mode == "repair") {
    status = Repair(folder, transfers);
  } else if (mode == "all") {
    status = Convert(folder, 100000) | Convert(folder, 500000) | Repair(folder, 500000);
  } else {
    std::fprintf(stderr, "usage: quadrelo-bench-conversion [convert|repair N]\n");
    status = 2;
  }
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  return status;
}

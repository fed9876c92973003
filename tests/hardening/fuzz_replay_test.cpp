// Runs one fuzz target, built with the ordinary compiler, over its kept corpus (seeds and every
// input a fuzzer once found), so that each of them stays a regression test of the normal and the
// sanitizer builds. The target stops the process with a message when a property breaks.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace quadrelo::hardening {
namespace {

TEST(QUADRELO_FUZZ_SUITE, EveryKeptInputHoldsTheTargetsProperties) {
  std::vector<fs::path> inputs;
  std::vector<fs::path> folders{testing::SourceDir() / "fuzz" / "corpus" / QUADRELO_FUZZ_CORPUS};
  if (std::string(QUADRELO_FUZZ_CORPUS) != "xls_writer") {
    folders.push_back(testing::SourceDir() / "samples");
  }
  for (const fs::path& folder : folders) {
    for (const auto& entry : fs::directory_iterator(folder)) inputs.push_back(entry.path());
  }
  std::sort(inputs.begin(), inputs.end());
  ASSERT_GE(inputs.size(), 5u);
  for (const fs::path& input : inputs) {
    SCOPED_TRACE(input.filename().string());
    std::string bytes = testing::ReadFile(input);
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  }
}

}  // namespace
}  // namespace quadrelo::hardening

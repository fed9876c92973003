#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <system_error>

#include "platform/ui_services.h"

namespace quadrelo::fuzzing {

// A scratch folder for one fuzzing process, removed when the process ends normally.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::error_code error;
    path_ = std::filesystem::temp_directory_path(error) /
            ("quadrelo-fuzz-" + std::to_string(static_cast<unsigned long>(std::rand())) + "-" +
             std::to_string(reinterpret_cast<std::uintptr_t>(this) & 0xFFFFFF));
    std::filesystem::create_directories(path_, error);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

inline void WriteBytes(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) std::abort();
}

// The file's bytes; empty when it cannot be read.
inline std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Counts the messages a run shows and keeps the last.
class CountingMessages : public MessageSink {
 public:
  void show(std::string_view text, MessageIcon) override {
    ++count;
    last = std::string(text);
  }
  int count = 0;
  std::string last;
};

// Stops the fuzzer with a message that names the broken property.
[[noreturn]] inline void Broken(const std::string& what) {
  std::fprintf(stderr, "property broken: %s\n", what.c_str());
  std::abort();
}

// The lines of `bytes` as the line-break repair cuts them: CR LF, a lone CR and a lone LF each
// end one line; a last line without a break still counts.
template <class Visit>
void RepairLines(std::string_view bytes, Visit visit) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] != '\r' && bytes[i] != '\n') continue;
    visit(bytes.substr(start, i - start));
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < bytes.size()) visit(bytes.substr(start));
}

// The lines of `bytes` as the conversion reads them: only a CR ends a line, an LF right after it
// belongs to the break, any other LF is a byte of the line.
template <class Visit>
void RecordLines(std::string_view bytes, Visit visit) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] != '\r') continue;
    visit(bytes.substr(start, i - start));
    if (i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < bytes.size()) visit(bytes.substr(start));
}

inline std::string ExpectedRepair(std::string_view bytes) {
  std::string out;
  RepairLines(bytes, [&](std::string_view line) {
    out.append(line);
    out.append("\r\n");
  });
  return out;
}

}  // namespace quadrelo::fuzzing

#pragma once

#include <filesystem>
#include <string>

namespace quadrelo::testing {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& bytes);
// A 64-bit FNV-1a digest of `bytes`, in 16 hexadecimal digits: enough to tell whether a file's
// bytes changed, not meant to resist anyone.
std::string Digest(const std::string& bytes);

// The checkout's root (tests run with QUADRELO_SOURCE_DIR set by ctest).
std::filesystem::path SourceDir();

struct CommandResult {
  int exitCode = -1;
  std::string output;  // standard output and standard error together
};
// Runs a shell command line and captures what it prints (tests only).
CommandResult RunCommand(const std::string& commandLine);

// Runs tests/readers/<script> with the system's Python (/usr/bin/python3, where Debian's xlrd
// and olefile live) on `arguments`.
CommandResult RunReader(const std::string& script, const std::string& arguments);

// Quotes one argument for the shell.
std::string ShellQuote(const std::string& argument);

}  // namespace quadrelo::testing

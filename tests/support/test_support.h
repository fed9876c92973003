#pragma once

#include <filesystem>
#include <string>
#include <vector>

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
// Runs a command line (UTF-8) through the platform's shell, sh or cmd.exe, and captures what it
// prints (tests only).
CommandResult RunCommand(const std::string& commandLine);

// Quotes one argument for RunCommand on this platform: for sh, or for cmd.exe and the C
// runtime's parsing of the command line on Windows.
std::string ShellQuote(const std::string& argument);

// The programs that read workbooks independently of ours.
enum class Reader {
  kXlrd,      // tests/readers/xls_read.py, or another script under tests/, under a Python that
              // has xlrd and olefile: /usr/bin/python3 (Debian's), on Windows QUADRELO_PYTHON
              // or else python
  kGnumeric,  // gnumeric's ssconvert
};

// Why `reader` cannot run here, or "" when it can; asked once per process.
std::string ReaderMissing(Reader reader);

// Runs `reader` on `arguments`, each quoted for this platform. For kXlrd the first argument is
// the script's path under tests/, such as "readers/xls_read.py".
CommandResult RunReader(Reader reader, const std::vector<std::string>& arguments);

// Why a test that needs `tools` cannot run here, `why` (which says what to install), or "" when
// all are there. A tool named with a folder, such as a library's jar, must exist as a file; one
// named without must be a program in a folder of the PATH (on Windows with one of the PATHEXT
// endings).
std::string ToolsMissing(const std::vector<std::string>& tools, const std::string& why);

}  // namespace quadrelo::testing

// Every test file sits in a namespace inside quadrelo, and finds these by their short names.
namespace quadrelo {
namespace fs = std::filesystem;
using testing::CommandResult;
using testing::Digest;
using testing::Reader;
using testing::ReaderMissing;
using testing::ReadFile;
using testing::RunCommand;
using testing::RunReader;
using testing::ShellQuote;
using testing::SourceDir;
using testing::TempDir;
using testing::ToolsMissing;
using testing::WriteFile;
}  // namespace quadrelo

// Ends the running test as skipped, saying why, when `missing` (such as ToolsMissing's answer) is
// not empty; what the test checked before still counts.
#define QUADRELO_SKIP_WHEN(missing)                                                 \
  if (const std::string quadrelo_missing_ = (missing); quadrelo_missing_.empty()) { \
  } else                                                                            \
    GTEST_SKIP() << quadrelo_missing_

// The same when `reader` cannot run here.
#define QUADRELO_SKIP_WITHOUT(reader) QUADRELO_SKIP_WHEN(::quadrelo::testing::ReaderMissing(reader))

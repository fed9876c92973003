#include "tests/support/test_support.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "platform/text.h"

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace quadrelo::testing {

namespace fs = std::filesystem;

TempDir::TempDir() {
  static std::atomic<unsigned> counter{0};
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    fs::path candidate = fs::temp_directory_path() / ("quadrelo-test-" + std::to_string(random()) +
                                                      "-" + std::to_string(counter++));
    if (fs::create_directory(candidate)) {
      path_ = candidate;
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
  std::error_code ignored;
  // Tests may leave read-only folders behind; make them writable so they can be removed.
  for (auto it = fs::recursive_directory_iterator(path_, ignored);
       it != fs::recursive_directory_iterator(); it.increment(ignored)) {
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
  }
  fs::remove_all(path_, ignored);
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string Digest(const std::string& bytes) {
  std::uint64_t hash = 0xCBF29CE484222325ull;
  for (unsigned char byte : bytes) hash = (hash ^ byte) * 0x100000001B3ull;
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
  return text;
}

fs::path SourceDir() {
  const char* dir = std::getenv("QUADRELO_SOURCE_DIR");
  if (dir == nullptr || *dir == '\0') throw std::runtime_error("QUADRELO_SOURCE_DIR is not set");
  return fs::path(dir);
}

CommandResult RunCommand(const std::string& commandLine) {
  CommandResult result;
#ifdef _WIN32
  // cmd.exe /c drops the first and the last quote of its line: a pair around the whole keeps the
  // arguments' own. Wide, so that names beyond the ANSI code page arrive whole; text mode, so
  // that the CR LF of the programs' output reads as "\n" like elsewhere.
  std::wstring line = L"\"" + PathFromUtf8(commandLine + " 2>&1").native() + L"\"";
  std::FILE* pipe = _wpopen(line.c_str(), L"rt");
#else
  std::FILE* pipe = popen((commandLine + " 2>&1").c_str(), "r");
#endif
  if (pipe == nullptr) return result;
  std::array<char, 4096> buffer;
  std::size_t n;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
    result.output.append(buffer.data(), n);
#ifdef _WIN32
  result.exitCode = _pclose(pipe);
#else
  int status = pclose(pipe);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
  return result;
}

std::string ShellQuote(const std::string& argument) {
#ifdef _WIN32
  // The runtime's rule: backslashes are literal unless they come before a quote, where each
  // pair stands for one; cmd.exe passes quoted text through (only %NAME% still expands).
  std::string quoted = "\"";
  std::size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(2 * backslashes, '\\');
  return quoted + '"';
#else
  std::string quoted = "'";
  for (char c : argument) {
    if (c == '\'')
      quoted += "'\\''";
    else
      quoted += c;
  }
  return quoted + "'";
#endif
}

namespace {

// The Python interpreter, quoted; -X utf8 so that a Windows Python reads and prints UTF-8.
std::string Python() {
#ifdef _WIN32
  const char* chosen = std::getenv("QUADRELO_PYTHON");
  return ShellQuote(chosen != nullptr && *chosen != '\0' ? chosen : "python") + " -X utf8";
#else
  return ShellQuote("/usr/bin/python3");
#endif
}

std::string ProgramOf(Reader reader) {
  return reader == Reader::kXlrd ? Python() : ShellQuote("ssconvert");
}

std::string Probe(Reader reader) {
  const char* what =
      reader == Reader::kXlrd ? "no Python with xlrd and olefile" : "no gnumeric (ssconvert)";
  std::string probe = reader == Reader::kXlrd ? " -c " + ShellQuote("import xlrd, olefile")
                                              : std::string(" --version");
  CommandResult result = RunCommand(ProgramOf(reader) + probe);
  if (result.exitCode == 0) return "";
  std::string seen = result.output.substr(0, 300);
  while (!seen.empty() && (seen.back() == '\n' || seen.back() == '\r')) seen.pop_back();
  return std::string(what) + " here, so the workbook is not read back independently (" +
         ProgramOf(reader) + probe + ": " + seen + ")";
}

// Searched here rather than asked of the shell: Wine's `where` answers yes to every name.
bool OnPath(const fs::path& program) {
  using Text = fs::path::string_type;
#ifdef _WIN32
  // Wide, so that folders beyond the ANSI code page arrive whole.
  const wchar_t* path = _wgetenv(L"PATH");
  const wchar_t* endings = _wgetenv(L"PATHEXT");
  constexpr wchar_t kSeparator = L';';
#else
  const char* path = std::getenv("PATH");
  const char* endings = nullptr;
  constexpr char kSeparator = ':';
#endif
  const auto split = [&](const auto* list) {
    std::vector<Text> parts{Text()};
    for (; list != nullptr && *list != 0; ++list) {
      if (*list == kSeparator)
        parts.emplace_back();
      else
        parts.back() += *list;
    }
    return parts;
  };
  for (const Text& folder : split(path)) {
    for (const Text& ending : split(endings)) {
      std::error_code error;
      const fs::file_status status = fs::status(
          (folder.empty() ? fs::path(".") : fs::path(folder)) / (program.native() + ending), error);
#ifdef _WIN32
      if (fs::is_regular_file(status)) return true;
#else
      if (fs::is_regular_file(status) &&
          (status.permissions() & fs::perms::owner_exec) != fs::perms::none)
        return true;
#endif
    }
  }
  return false;
}

}  // namespace

std::string ReaderMissing(Reader reader) {
  if (reader == Reader::kXlrd) {
    static const std::string why = Probe(reader);
    return why;
  }
  static const std::string why = Probe(reader);
  return why;
}

CommandResult RunReader(Reader reader, const std::vector<std::string>& arguments) {
  std::string command = ProgramOf(reader);
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    command += ' ';
    command += ShellQuote(i == 0 && reader == Reader::kXlrd
                              ? PathToUtf8(SourceDir() / "tests" / PathFromUtf8(arguments[0]))
                              : arguments[i]);
  }
  return RunCommand(command);
}

std::string ToolsMissing(const std::vector<std::string>& tools, const std::string& why) {
  for (const std::string& tool : tools) {
    const fs::path named = PathFromUtf8(tool);
    std::error_code error;
    if (named.has_parent_path() ? !fs::is_regular_file(named, error) : !OnPath(named)) return why;
  }
  return "";
}

}  // namespace quadrelo::testing

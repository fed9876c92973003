#include "conversion/normalize_line_breaks.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "platform/failure.h"
#include "platform/text.h"
#include "tests/support/test_support.h"

#ifndef _WIN32
#include <sys/resource.h>
#include <unistd.h>
#include <csignal>
#endif

namespace quadrelo::conversion {
namespace {

// Records of every byte but CR and LF, of lengths from empty to longer than a read block.
std::vector<std::string> MakeRecords(std::size_t count, std::uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<std::string> records;
  for (std::size_t i = 0; i < count; ++i) {
    std::size_t length = random() % 8 == 0 ? random() % 3 : 60 + random() % 40;
    std::string record;
    for (std::size_t j = 0; j < length; ++j) {
      char c;
      do {
        c = static_cast<char>(random() & 0xFF);
      } while (c == '\r' || c == '\n');
      record += c;
    }
    records.push_back(record);
  }
  return records;
}

std::string Joined(const std::vector<std::string>& records, const std::vector<std::string>& breaks,
                   bool finalBreak) {
  std::string bytes;
  for (std::size_t i = 0; i < records.size(); ++i) {
    bytes += records[i];
    if (i + 1 < records.size() || finalBreak) bytes += breaks[i % breaks.size()];
  }
  return bytes;
}

std::string Repaired(const TempDir& dir, const std::string& bytes) {
  fs::path path = dir / "remesa.txt";
  WriteFile(path, bytes);
  NormalizeLineBreaks(PathToUtf8(path));
  return ReadFile(path);
}

std::size_t FilesIn(const fs::path& folder) {
  return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), {}));
}

TEST(NormalizeLineBreaks, EveryKindOfBreakEndsOneRecord) {
  TempDir dir;
  std::vector<std::string> records = MakeRecords(300, 7);
  std::string expected = Joined(records, {"\r\n"}, true);
  const std::vector<std::vector<std::string>> breakings = {
      {"\n"},
      {"\r\n"},
      {"\r"},
      {"\n", "\r\n"},
      {"\r", "\r\n", "\n", "\r\n"},  // a CR never right before an LF break: that is CR LF
  };
  for (const auto& breaks : breakings) {
    for (bool finalBreak : {true, false}) {
      EXPECT_EQ(Repaired(dir, Joined(records, breaks, finalBreak)), expected)
          << breaks.size() << " kinds, final break " << finalBreak;
    }
  }
  EXPECT_EQ(FilesIn(dir.path()), 1u);
}

TEST(NormalizeLineBreaks, SmallCases) {
  TempDir dir;
  struct Case {
    std::string before;
    std::string after;
  };
  const std::vector<Case> cases = {
      {"", ""},
      {"abc", "abc\r\n"},
      {"\n", "\r\n"},
      {"\nabc", "\r\nabc\r\n"},        // a line feed first gives an empty first line
      {"a\n\nb\n", "a\r\n\r\nb\r\n"},  // two in a row give an empty line
      {"a\r\n\r\n", "a\r\n\r\n"},
      {"a\n\rb", "a\r\n\r\nb\r\n"},  // LF then CR are two breaks
      {"a\r\r\n", "a\r\n\r\n"},
      {std::string(81, 'x') + "\n" + std::string(81, 'y') + "\n",
       std::string(81, 'x') + "\r\n" + std::string(81, 'y') + "\r\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Repaired(dir, c.before), c.after) << "'" << c.before << "'";
  }
}

TEST(NormalizeLineBreaks, BreaksSplitAcrossReadBlocks) {
  // A CR LF whose two bytes fall into different blocks is still one break, wherever the
  // boundary lies.
  TempDir dir;
  for (std::size_t block : {65536u, 262144u, 1048576u}) {
    for (std::size_t offset = block - 2; offset <= block + 1; ++offset) {
      std::string first(offset, 'a');
      EXPECT_EQ(Repaired(dir, first + "\r\nb\nc\r"), first + "\r\nb\r\nc\r\n") << offset;
    }
  }
}

TEST(NormalizeLineBreaks, InsertedAndRemovedBreaks) {
  // Damage a valid CR LF file at chosen places: every record that is still delimited comes back
  // intact, and nothing but line breaks changes.
  TempDir dir;
  std::vector<std::string> records = MakeRecords(50, 11);
  std::string valid = Joined(records, {"\r\n"}, true);
  std::mt19937 random(3);
  for (int trial = 0; trial < 40; ++trial) {
    std::string damaged = valid;
    std::size_t at = random() % damaged.size();
    std::string what = trial % 3 == 0 ? "\n" : trial % 3 == 1 ? "\r" : "";
    if (what.empty()) {
      // Strip one byte of a break.
      std::size_t pos = damaged.find_first_of("\r\n", at);
      if (pos == std::string::npos) continue;
      damaged.erase(pos, 1);
    } else {
      damaged.insert(at, what);
    }
    std::string repaired = Repaired(dir, damaged);
    // Removing every break byte gives the same bytes before and after.
    auto strip = [](std::string s) {
      std::erase_if(s, [](char c) { return c == '\r' || c == '\n'; });
      return s;
    };
    EXPECT_EQ(strip(repaired), strip(damaged));
    // Every line ends in CR LF and holds no break byte.
    std::size_t lines = 0;
    for (std::size_t pos = 0; pos < repaired.size(); ++lines) {
      std::size_t end = repaired.find("\r\n", pos);
      ASSERT_NE(end, std::string::npos);
      ASSERT_EQ(repaired.substr(pos, end - pos).find_first_of("\r\n"), std::string::npos);
      pos = end + 2;
    }
    // A stripped byte of a CR LF still leaves a break; an inserted one adds at most one line.
    EXPECT_GE(lines, records.size());
    EXPECT_LE(lines, records.size() + 1);
    // Records away from the damage are intact.
    std::size_t intact = 0;
    for (const std::string& record : records) {
      intact += repaired.find(record + "\r\n") != std::string::npos ? 1 : 0;
    }
    EXPECT_GE(intact, records.size() - 1);
  }
}

TEST(NormalizeLineBreaks, KeepsPermissions) {
  TempDir dir;
  fs::path path = dir / "remesa.txt";
  WriteFile(path, "a\nb\n");
  fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  fs::perms before = fs::status(path).permissions();
  NormalizeLineBreaks(PathToUtf8(path));
  EXPECT_EQ(fs::status(path).permissions(), before);
  EXPECT_EQ(ReadFile(path), "a\r\nb\r\n");
}

TEST(NormalizeLineBreaks, AMissingFileFails) {
  TempDir dir;
  EXPECT_THROW(NormalizeLineBreaks(PathToUtf8(dir / "missing.txt")), Failure);
  EXPECT_THROW(NormalizeLineBreaks(PathToUtf8(dir.path())), Failure);
  EXPECT_EQ(FilesIn(dir.path()), 0u);
}

#ifndef _WIN32
// Writes beyond `bytes` fail for as long as it lives (works for root as well).
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    std::signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &saved_);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved_); }

 private:
  rlimit saved_{};
};

TEST(NormalizeLineBreaks, AFailedWriteLeavesTheOriginalAndNoTemporaryFile) {
  TempDir dir;
  fs::path path = dir / "remesa.txt";
  std::string original = Joined(MakeRecords(60000, 5), {"\n"}, true);  // several MB
  WriteFile(path, original);
  {
    FileSizeLimit limit(1 << 20);
    EXPECT_THROW(NormalizeLineBreaks(PathToUtf8(path)), Failure);
  }
  EXPECT_EQ(ReadFile(path), original);
  EXPECT_EQ(FilesIn(dir.path()), 1u);
}

TEST(NormalizeLineBreaks, AReadOnlyFolderLeavesTheOriginal) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  TempDir dir;
  fs::path path = dir / "remesa.txt";
  WriteFile(path, "a\nb\n");
  fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec);
  EXPECT_THROW(NormalizeLineBreaks(PathToUtf8(path)), Failure);
  fs::permissions(dir.path(), fs::perms::owner_all);
  EXPECT_EQ(ReadFile(path), "a\nb\n");
  EXPECT_EQ(FilesIn(dir.path()), 1u);
}

TEST(NormalizeLineBreaks, ALinkIsFollowedAndKept) {
  TempDir dir;
  WriteFile(dir / "real.txt", "a\nb");
  fs::create_symlink(dir / "real.txt", dir / "link.txt");
  NormalizeLineBreaks(PathToUtf8(dir / "link.txt"));
  EXPECT_TRUE(fs::is_symlink(dir / "link.txt"));
  EXPECT_EQ(ReadFile(dir / "real.txt"), "a\r\nb\r\n");
}
#endif

}  // namespace
}  // namespace quadrelo::conversion

// Faults that need the run in a process of its own: as an unprivileged user (a folder it may not
// write, an input it may not read) and on a small file system of its own that fills up (a tmpfs
// in a private mount namespace). Both need root to set up and are skipped, saying why, where
// that is not possible.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/hardening/hardening_support.h"
#include "tests/support/test_support.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace quadrelo::hardening {
namespace {

#ifndef _WIN32
const std::string kHelper = QUADRELO_HARDENING_HELPER;

std::string Transfers(int count, bool lineFeedsOnly) {
  std::vector<std::string> lines{AccountRecord("ES7620770024003102")};
  for (int t = 0; t < count; ++t) {
    lines.push_back(TransferRecord(std::string("R").append(std::to_string(t))));
  }
  std::string bytes = CrLf(lines);
  if (lineFeedsOnly) std::erase(bytes, '\r');
  return bytes;
}

std::string Convert(const std::string& prefix, const fs::path& input, const fs::path& output) {
  return RunCommand(prefix + ShellQuote(kHelper) + " convert " + ShellQuote(PathToUtf8(input)) +
                    " " + ShellQuote(PathToUtf8(output)))
      .output;
}

const std::string kAsNobody = "setpriv --reuid=65534 --regid=65534 --clear-groups ";

class AsUnprivilegedUser : public ::testing::Test {
 protected:
  void SetUp() override {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to switch to an unprivileged user";
    // The scratch folder stays root's and read-only for others, which is the point.
    fs::permissions(dir.path(), fs::perms(0755));
    CommandResult probe = RunCommand(kAsNobody + ShellQuote(kHelper) + " probe");
    if (probe.output != "ok\n") {
      GTEST_SKIP() << "the helper cannot run as user 65534 here: " << probe.output;
    }
  }
  TempDir dir;
};

TEST_F(AsUnprivilegedUser, AFolderItMayNotWriteKeepsTheEarlierWorkbook) {
  const std::string input = Transfers(5, false);
  WriteFile(dir / "remesa.txt", input);
  WriteFile(dir / "remesa.xls", kEarlierWorkbook);
  EXPECT_EQ(Convert(kAsNobody, dir / "remesa.txt", dir / "remesa.xls"),
            "message: " + std::string(kCannotSave) + "\n");
  EXPECT_TRUE(ReadFile(dir / "remesa.txt") == input);
  EXPECT_TRUE(ReadFile(dir / "remesa.xls") == kEarlierWorkbook);
  EXPECT_EQ(Listing(dir.path()), (std::vector<std::string>{"remesa.txt", "remesa.xls"}));
}

TEST_F(AsUnprivilegedUser, ARepairInAFolderItMayNotWriteKeepsTheInput) {
  const std::string input = Transfers(5, true);
  WriteFile(dir / "remesa.txt", input);
  EXPECT_EQ(Convert(kAsNobody, dir / "remesa.txt", dir / "remesa.xls"),
            "message: " + std::string(kCannotOpen) + "\n");
  EXPECT_TRUE(ReadFile(dir / "remesa.txt") == input);
  EXPECT_EQ(Listing(dir.path()), std::vector<std::string>{"remesa.txt"});
}

TEST_F(AsUnprivilegedUser, AnInputItMayNotReadIsRefused) {
  WriteFile(dir / "remesa.txt", Transfers(5, false));
  fs::permissions(dir / "remesa.txt", fs::perms::owner_read | fs::perms::owner_write);
  fs::create_directory(dir / "salida");
  fs::permissions(dir / "salida", fs::perms::all);
  EXPECT_EQ(Convert(kAsNobody, dir / "remesa.txt", dir / "salida" / "remesa.xls"),
            "message: " + std::string(kCannotOpen) + "\n");
  EXPECT_TRUE(fs::is_empty(dir / "salida"));
}

// A tmpfs of `bytes` mounted over `mount` in a namespace of its own, holding a copy of `input`
// and of `earlier`, filled by the conversion; what the shell prints tells what survived.
std::string RunOnSmallDisk(const fs::path& mount, std::size_t bytes, const fs::path& input,
                           const fs::path& earlier) {
  std::string m = ShellQuote(PathToUtf8(mount));
  std::string in = ShellQuote(PathToUtf8(input));
  std::string old = ShellQuote(PathToUtf8(earlier));
  std::string script = "mount -t tmpfs -o size=" + std::to_string(bytes) + " quadrelo " + m +
                       " || exit 1; cp " + in + " " + m + "/remesa.txt && cp " + old + " " + m +
                       "/remesa.xls && " + ShellQuote(kHelper) + " convert " + m + "/remesa.txt " +
                       m + "/remesa.xls; cmp -s " + in + " " + m +
                       "/remesa.txt && echo input-intact; cmp -s " + old + " " + m +
                       "/remesa.xls && echo workbook-intact; ls -A " + m;
  return RunCommand("unshare -m sh -c " + ShellQuote(script)).output;
}

class OnAFullDisk : public ::testing::Test {
 protected:
  void SetUp() override {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to mount a small file system";
    fs::create_directory(dir / "disk");
    CommandResult probe =
        RunCommand("unshare -m sh -c " +
                   ShellQuote("mount -t tmpfs -o size=64k quadrelo " +
                              ShellQuote(PathToUtf8(dir / "disk")) + " && echo mounted"));
    if (probe.output != "mounted\n") {
      GTEST_SKIP() << "cannot mount a tmpfs in a private namespace here: " << probe.output;
    }
    WriteFile(dir / "earlier.xls", kEarlierWorkbook);
  }
  TempDir dir;
};

TEST_F(OnAFullDisk, ASaveThatFillsTheDiskKeepsTheEarlierWorkbookAndLeavesNothing) {
  const std::string input = Transfers(3000, false);
  WriteFile(dir / "remesa.txt", input);
  std::string out = RunOnSmallDisk(dir / "disk", input.size() + 48 * 1024, dir / "remesa.txt",
                                   dir / "earlier.xls");
  EXPECT_EQ(out, "message: " + std::string(kCannotSave) +
                     "\ninput-intact\nworkbook-intact\nremesa.txt\nremesa.xls\n");
}

TEST_F(OnAFullDisk, ARepairThatFillsTheDiskKeepsTheInputAndLeavesNothing) {
  const std::string input = Transfers(3000, true);
  WriteFile(dir / "remesa.txt", input);
  std::string out = RunOnSmallDisk(dir / "disk", input.size() + 32 * 1024, dir / "remesa.txt",
                                   dir / "earlier.xls");
  EXPECT_EQ(out, "message: " + std::string(kCannotOpen) +
                     "\ninput-intact\nworkbook-intact\nremesa.txt\nremesa.xls\n");
}

TEST_F(OnAFullDisk, WithRoomEnoughTheSameRunSaves) {
  const std::string input = Transfers(3000, false);
  WriteFile(dir / "remesa.txt", input);
  std::string out = RunOnSmallDisk(dir / "disk", input.size() + 4 * 1024 * 1024, dir / "remesa.txt",
                                   dir / "earlier.xls");
  EXPECT_EQ(out, "saved\ninput-intact\nremesa.txt\nremesa.xls\n");
}
#endif

}  // namespace
}  // namespace quadrelo::hardening

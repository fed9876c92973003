// The .deb as a user gets it: built by cpack, listed, unpacked with dpkg -x, and its programs
// run from the unpacked tree.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <utility>

#include "tests/support/test_support.h"

namespace quadrelo::package {
namespace {

std::string DpkgMissing() {
  return ToolsMissing({"dpkg-deb"}, "dpkg-deb no está instalado (paquete dpkg)");
}

class DebianPackage : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!DpkgMissing().empty()) return;
    scratch_ = std::make_unique<TempDir>();
    const CommandResult built =
        RunCommand(ShellQuote(QUADRELO_CPACK) + " -G DEB --config " +
                   ShellQuote(QUADRELO_CPACK_CONFIG) + " -B " + ShellQuote(Path("out")));
    buildLog_ = built.output;
    const std::string arch = RunCommand("dpkg --print-architecture").output;
    deb_ = Path("out/quadrelo_" QUADRELO_PACKAGE_VERSION "_" + arch.substr(0, arch.find('\n')) +
                ".deb");
    if (built.exitCode != 0 || !fs::exists(deb_)) return;
    contents_ = RunCommand("dpkg-deb -c " + ShellQuote(deb_)).output;
    unpacked_ = RunCommand("dpkg -x " + ShellQuote(deb_) + " " + ShellQuote(Path("root")));
  }
  static void TearDownTestSuite() { scratch_.reset(); }

  void SetUp() override {
    QUADRELO_SKIP_WHEN(DpkgMissing());
    ASSERT_TRUE(fs::exists(deb_)) << "cpack did not write " << deb_ << ":\n" << buildLog_;
    ASSERT_EQ(unpacked_.exitCode, 0) << unpacked_.output;
  }

  static std::string Path(const std::string& relative) {
    return (scratch_->path() / relative).string();
  }
  static std::string Installed(const std::string& path) { return Path("root/usr/" + path); }
  static std::string Field(const std::string& name) {
    CommandResult field = RunCommand("dpkg-deb -f " + ShellQuote(deb_) + " " + name);
    EXPECT_EQ(field.exitCode, 0) << field.output;
    return field.output;
  }

  static inline std::unique_ptr<TempDir> scratch_;
  static inline std::string buildLog_, deb_, contents_;
  static inline CommandResult unpacked_;
};

TEST_F(DebianPackage, HoldsTheTwoProgramsAndTheirDataOnly) {
  // Regular files only ("-rw..." lines); folders come and go with them.
  std::set<std::string> files;
  std::istringstream lines(contents_);
  for (std::string line; std::getline(lines, line);) {
    if (line.empty() || line[0] != '-') continue;
    files.insert(line.substr(line.find("./usr/") + 6));
  }
  const std::set<std::string> expected = {
      "bin/quadrelo",
      "bin/quadrelo-convert",
      "share/applications/org.example.quadrelo.desktop",
      "share/metainfo/org.example.quadrelo.metainfo.xml",
      "share/icons/hicolor/32x32/apps/quadrelo.png",
      "share/icons/hicolor/64x64/apps/quadrelo.png",
      "share/man/man1/quadrelo-convert.1.gz",
      "share/man/man1/quadrelo.1.gz",
      "share/doc/quadrelo/changelog.gz",
      "share/doc/quadrelo/copyright",
  };
  EXPECT_EQ(files, expected) << contents_;
}

TEST_F(DebianPackage, ControlFieldsAndReleaseTextsMatchTheProject) {
  EXPECT_EQ(Field("Package"), "quadrelo\n");
  EXPECT_EQ(Field("Version"), QUADRELO_PACKAGE_VERSION "\n");
  EXPECT_NE(Field("Maintainer").find('@'), std::string::npos);
  const std::string depends = Field("Depends");
  // Computed from the programs' libraries, plus what the window loads at run time.
  for (const char* package : {"libc6", "libqt6widgets6", "qt6-translations-l10n",
                              "fonts-liberation", "fonts-comic-neue"}) {
    EXPECT_NE(depends.find(package), std::string::npos) << package << " missing in " << depends;
  }
  const std::string description = Field("Description");
  EXPECT_NE(description.find("received transfers"), std::string::npos) << description;
  EXPECT_NE(description.find("transferencias recibidas"), std::string::npos) << description;

  // The texts written by hand for a release name the project's version, not an older one.
  const std::string version = QUADRELO_PACKAGE_VERSION;
  const std::pair<std::string, std::string> releaseTexts[] = {
      {"zcat " + ShellQuote(Installed("share/doc/quadrelo/changelog.gz")),
       "quadrelo (" + version + ")"},
      {"zcat " + ShellQuote(Installed("share/man/man1/quadrelo-convert.1.gz")),
       "\"Quadrelo " + version + "\""},
      {"zcat " + ShellQuote(Installed("share/man/man1/quadrelo.1.gz")),
       "\"Quadrelo " + version + "\""},
      {"cat " + ShellQuote(Installed("share/metainfo/org.example.quadrelo.metainfo.xml")),
       "<release version=\"" + version + "\""},
  };
  for (const auto& [command, text] : releaseTexts) {
    EXPECT_NE(RunCommand(command).output.find(text), std::string::npos)
        << command << ": no " << text;
  }
}

TEST_F(DebianPackage, InstalledConverterWritesAWorkbookThatXlrdReads) {
  const std::string input = Path("remesa.txt");
  fs::copy_file(SourceDir() / "samples" / "remesa-tres-cuentas.txt", input,
                fs::copy_options::overwrite_existing);
  const CommandResult run =
      RunCommand(ShellQuote(Installed("bin/quadrelo-convert")) + " " + ShellQuote(input));
  ASSERT_EQ(run.exitCode, 0) << run.output;
  EXPECT_NE(run.output.find("3 cuentas, 60 transferencias"), std::string::npos) << run.output;

  QUADRELO_SKIP_WITHOUT(Reader::kXlrd);
  const CommandResult sheets =
      RunReader(Reader::kXlrd, {"readers/xls_read.py", "list", Path("remesa.xls"), "-"});
  ASSERT_EQ(sheets.exitCode, 0) << sheets.output;
  EXPECT_EQ(sheets.output,
            "sheet\t1\tCuenta 048736047463458255\t22\n"
            "sheet\t2\tCuenta 004995521703935056\t22\n"
            "sheet\t3\tCuenta 018620701189713580\t22\n");
}

TEST_F(DebianPackage, InstalledWindowConvertsAFileChosenInItsOwnFolder) {
  const CommandResult run =
      RunCommand("bash " + ShellQuote((SourceDir() / "tests/e2e/window_run.sh").string()) + " " +
                 ShellQuote(Installed("bin/quadrelo")) + " " + ShellQuote(SourceDir().string()) +
                 " --program-folder");
  if (run.exitCode == 77) GTEST_SKIP() << run.output;
  EXPECT_EQ(run.exitCode, 0) << run.output;
}

TEST_F(DebianPackage, MenuEntryManualPagesAndMetadataHoldTogether) {
  // The menu entry starts an installed program and shows an installed icon.
  const std::string desktop =
      ReadFile(Installed("share/applications/org.example.quadrelo.desktop"));
  EXPECT_NE(desktop.find("\nExec=quadrelo\n"), std::string::npos) << desktop;
  EXPECT_NE(desktop.find("\nIcon=quadrelo\n"), std::string::npos) << desktop;
  EXPECT_NE(desktop.find("\nCategories=Office;"), std::string::npos) << desktop;
  const std::string metainfo = Installed("share/metainfo/org.example.quadrelo.metainfo.xml");
  EXPECT_NE(ReadFile(metainfo).find(">org.example.quadrelo.desktop</launchable>"),
            std::string::npos);

  QUADRELO_SKIP_WHEN(
      ToolsMissing({"appstreamcli", "lexgrog"},
                   "appstreamcli o lexgrog no está instalado (scripts/deps.sh test los instala)"));
  const CommandResult appstream =
      RunCommand("appstreamcli validate --no-net " + ShellQuote(metainfo));
  EXPECT_EQ(appstream.exitCode, 0) << appstream.output;
  for (const char* page : {"quadrelo-convert.1.gz", "quadrelo.1.gz"}) {
    const std::string path = ShellQuote(Installed(std::string("share/man/man1/") + page));
    const CommandResult whatis = RunCommand("lexgrog " + path);
    EXPECT_EQ(whatis.exitCode, 0) << whatis.output;
    // Only the warnings are kept: the page itself goes to /dev/null.
    const CommandResult warnings =
        RunCommand("LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l " + path + " 2>&1 >/dev/null");
    EXPECT_EQ(warnings.output, "") << page;
  }
}

}  // namespace
}  // namespace quadrelo::package

#include "naming/output_name.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/text.h"
#include "tests/support/test_support.h"

namespace quadrelo::naming {
namespace {

struct NamingCase {
  const char* input;
  const char* workbook;
};

TEST(DeriveWorkbookPath, FollowsTheFileNameRule) {
  const NamingCase cases[] = {
      // The extension is cut at the file name's first dot when the last four characters hold one.
      {"C:\\Datos\\remesa.txt", "C:\\Datos\\remesa.xls"},
      {"C:\\Datos\\REMESA", "C:\\Datos\\REMESA.xls"},
      {"C:\\Datos\\remesa.dat1", "C:\\Datos\\remesa.dat1.xls"},
      {"C:\\Datos\\remesa.junio.txt", "C:\\Datos\\remesa.xls"},
      {"C:\\Datos\\remesa.xls", "C:\\Datos\\remesa.xls"},
      {"C:\\Datos\\remesa.a", "C:\\Datos\\remesa.xls"},
      {"C:\\Datos\\r.txt", "C:\\Datos\\r.xls"},
      // Dotted folders are never cut, whichever separator the path uses.
      {"C:\\Datos.2024\\remesa.txt", "C:\\Datos.2024\\remesa.xls"},
      {"C:\\Datos.2024\\remesa", "C:\\Datos.2024\\remesa.xls"},
      {"/home/ana/datos.2024/remesa.txt", "/home/ana/datos.2024/remesa.xls"},
      {"/home/ana/datos.2024/remesa", "/home/ana/datos.2024/remesa.xls"},
      {"C:/Datos.2024\\sub.v2/remesa.txt", "C:/Datos.2024\\sub.v2/remesa.xls"},
      {"\\\\servidor\\com.partido\\remesa.txt", "\\\\servidor\\com.partido\\remesa.xls"},
      // A hidden file's leading dot is part of its name.
      {"/home/ana/.remesa.txt", "/home/ana/.remesa.xls"},
      {"/home/ana/.remesa", "/home/ana/.remesa.xls"},
      {"/home/ana/.txt", "/home/ana/.txt.xls"},
      {"C:\\Datos\\..remesa.txt", "C:\\Datos\\..remesa.xls"},
      // No folder at all, and names shorter than four characters.
      {"remesa.txt", "remesa.xls"},
      {"a.b", "a.xls"},
      {"ab", "ab.xls"},
      // The last four are characters, not bytes: "ñ" takes two bytes.
      {"/datos/año.dañ1", "/datos/año.dañ1.xls"},
      {"/datos/año.ñ", "/datos/año.xls"},
  };
  for (const NamingCase& c : cases) {
    EXPECT_EQ(DeriveWorkbookPath(c.input), c.workbook) << "input: " << c.input;
  }
}

TEST(WorkbookPathFor, NeverNamesTheInput) {
  const NamingCase cases[] = {
      {"C:\\Datos\\remesa.xls", "C:\\Datos\\remesa1.xls"},
      {"/datos.2024/remesa.xls", "/datos.2024/remesa1.xls"},
      {"/datos/.remesa.xls", "/datos/.remesa1.xls"},
      {"C:\\Datos\\remesa.txt", "C:\\Datos\\remesa.xls"},
      {"C:\\Datos\\REMESA.XLS", "C:\\Datos\\REMESA.xls"},
  };
  for (const NamingCase& c : cases) {
    EXPECT_EQ(WorkbookPathFor(c.input, LetterCase::Significant), c.workbook) << c.input;
  }
}

TEST(WorkbookPathFor, IgnoringCaseKeepsClearOfTheInputInOtherLetters) {
  const NamingCase cases[] = {
      {"C:\\Datos\\REMESA.XLS", "C:\\Datos\\REMESA1.xls"},
      {"C:\\Datos\\remesa.Xls", "C:\\Datos\\remesa1.xls"},
      {"C:\\Datos\\AÑO.XLS", "C:\\Datos\\AÑO1.xls"},
      {"C:\\Datos\\remesa.txt", "C:\\Datos\\remesa.xls"},
  };
  for (const NamingCase& c : cases) {
    const std::string sLibro = WorkbookPathFor(c.input, LetterCase::Ignored);
    EXPECT_EQ(sLibro, c.workbook) << c.input;
    EXPECT_FALSE(SameFile(sLibro, c.input, LetterCase::Ignored)) << c.input;
  }
}

TEST(SameFile, ComparesNamesOfFilesThatDoNotExist) {
  struct Case {
    const char* a;
    const char* b;
    LetterCase letterCase;
    bool same;
  };
  const Case cases[] = {
      {"/nada/remesa.xls", "/nada/remesa.xls", LetterCase::Significant, true},
      {"/nada/./remesa.xls", "/nada/otra/../remesa.xls", LetterCase::Significant, true},
      {"/nada/REMESA.XLS", "/nada/remesa.xls", LetterCase::Significant, false},
      {"/nada/REMESA.XLS", "/nada/remesa.xls", LetterCase::Ignored, true},
      {"/nada/AÑO.xls", "/nada/año.xls", LetterCase::Ignored, true},
      {"/nada/remesa.xls", "/nada/remesa1.xls", LetterCase::Ignored, false},
      {"/nada/a×b.xls", "/nada/a÷b.xls", LetterCase::Ignored, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SameFile(c.a, c.b, c.letterCase), c.same) << c.a << " / " << c.b;
  }
}

class SameFileOnDisk : public ::testing::Test {
 protected:
  std::string file(const std::string& name) const { return PathToUtf8(dir_ / name); }
  TempDir dir_;
};

TEST_F(SameFileOnDisk, OtherSpellingsOfOnePathAreTheSameFile) {
  WriteFile(dir_ / "remesa.xls", "x");
  fs::create_directory(dir_ / "sub");
  EXPECT_TRUE(SameFile(file("remesa.xls"), file("sub/../remesa.xls")));
  EXPECT_TRUE(SameFile(file("remesa.xls"), file("./remesa.xls")));
}

TEST_F(SameFileOnDisk, TwoFilesAreNotTheSame) {
  WriteFile(dir_ / "remesa.txt", "a");
  WriteFile(dir_ / "remesa.xls", "a");
  EXPECT_FALSE(SameFile(file("remesa.txt"), file("remesa.xls")));
  // On a disk that keeps case apart, an existing file and a missing one in other letters are
  // two files even when names are compared ignoring case.
  if (!fs::exists(dir_ / "REMESA.XLS")) {
    EXPECT_FALSE(SameFile(file("remesa.xls"), file("REMESA.XLS"), LetterCase::Ignored));
  }
}

TEST_F(SameFileOnDisk, LinksNameTheirTarget) {
  WriteFile(dir_ / "remesa.txt", "a");
  std::error_code error;
  fs::create_hard_link(dir_ / "remesa.txt", dir_ / "enlace.txt", error);
  if (!error) {
    EXPECT_TRUE(SameFile(file("remesa.txt"), file("enlace.txt")));
  }
  fs::create_symlink(dir_ / "remesa.txt", dir_ / "simbolico.txt", error);
  if (!error) {
    EXPECT_TRUE(SameFile(file("remesa.txt"), file("simbolico.txt")));
  }
}

TEST_F(SameFileOnDisk, WorkbookThatIsALinkToTheInputGetsAnotherName) {
  // remesa.xls and remesa1.xls are both the input under other names.
  WriteFile(dir_ / "remesa.xls", "a");
  std::error_code error;
  fs::create_hard_link(dir_ / "remesa.xls", dir_ / "remesa1.xls", error);
  if (error) GTEST_SKIP() << "no hard links here: " << error.message();
  EXPECT_EQ(WorkbookPathFor(file("remesa.xls")), file("remesa11.xls"));
  WriteFile(dir_ / "datos.txt", "b");
  fs::create_hard_link(dir_ / "datos.txt", dir_ / "datos.xls", error);
  ASSERT_FALSE(error);
  EXPECT_EQ(WorkbookPathFor(file("datos.txt")), file("datos1.xls"));
}

TEST_F(SameFileOnDisk, CaseBlindFileSystemIsAskedOnDisk) {
  // Wherever the disk ignores case, the existing input in other letters is caught by the disk
  // itself, whatever the platform's assumption.
  WriteFile(dir_ / "REMESA.XLS", "a");
  const std::string sLibro = WorkbookPathFor(file("REMESA.XLS"));
  if (fs::exists(dir_ / "REMESA.xls")) {
    EXPECT_EQ(sLibro, file("REMESA1.xls"));
  } else {
    EXPECT_EQ(sLibro, file("REMESA.xls"));
  }
  EXPECT_FALSE(SameFile(sLibro, file("REMESA.XLS")));
}

}  // namespace
}  // namespace quadrelo::naming

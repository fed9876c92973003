// Faults from outside the program: a save that cannot be written, an output path that is no
// file, a disk that fills, an input that changes or vanishes between its check and its use, and
// inputs that are not ordinary files. Whenever a run does not complete, the input and any
// earlier workbook must be exactly as they were, with nothing left beside them.

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "conversion/normalize_line_breaks.h"
#include "platform/replacement_file.h"
#include "tests/hardening/hardening_support.h"
#include "tests/support/test_support.h"
#include "workbook/application.h"
#include "workbook/xls/book.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace quadrelo::hardening {
namespace {

std::string SomeTransfers(int accounts, int transfers) {
  std::vector<std::string> lines;
  for (int a = 0; a < accounts; ++a) {
    lines.push_back(AccountRecord(std::string("ES00").append(std::to_string(a))));
    for (int t = 0; t < transfers; ++t) {
      lines.push_back(TransferRecord(std::string("R").append(std::to_string(t))));
    }
  }
  return CrLf(lines);
}

// A small workbook as the application would save it.
xls::Book SmallBook() {
  workbook::ApplicationObject app = workbook::CreateObject(workbook::kApplicationClass);
  app.workbooks().Add();
  app.worksheets(1).range("A1").Value("Entidad ordenante");
  app.worksheets(1).range("D3").Value(12345.67);
  std::string longText(20000, 'x');
  app.worksheets(1).range("B3").Value(longText);
  xls::Book book = app.workbooks(1).contents();
  app.quit();
  return book;
}

TEST(SaveFaults, AWriterThatFailsAtAnyByteThrowsFailureAndNothingElse) {
  xls::Book book = SmallBook();
  MemorySink whole;
  xls::WriteWorkbook(book, whole);
  const std::size_t size = whole.bytes().size();
  ASSERT_GT(size, 20000u);
  for (std::size_t limit = 0; limit < size; limit += limit < 1100 ? 1 : 509) {
    FailAfterSink sink(limit);
    EXPECT_THROW(xls::WriteWorkbook(book, sink), Failure) << limit;
  }
  FailAfterSink exact(size);
  EXPECT_NO_THROW(xls::WriteWorkbook(book, exact));
}

TEST(SaveFaults, AReplacementAbandonedMidWayLeavesTheEarlierFileAndNoTemporary) {
  TempDir dir;
  const fs::path target = dir / "remesa.xls";
  WriteFile(target, kEarlierWorkbook);
  xls::Book book = SmallBook();
  for (std::size_t limit : {0u, 1u, 511u, 512u, 4096u, 9000u}) {
    {
      ReplacementFile file(target);
      FailAfterSink sink(limit, &file);
      EXPECT_THROW(xls::WriteWorkbook(book, sink), Failure);
    }
    EXPECT_TRUE(ReadFile(target) == kEarlierWorkbook) << limit;
    EXPECT_EQ(Listing(dir.path()), std::vector<std::string>{"remesa.xls"}) << limit;
  }
}

// A save writes ".<name>.<random number>.tmp" beside the workbook and creates it only where no
// file has that name: a file that holds the name already is left exactly as it was.
TEST(SaveFaults, AFileOfTheTemporaryNameIsNeverTouched) {
  for (const char* name : {"remesa.xls", "remesa de año.xls"}) {
    SCOPED_TRACE(name);
    TempDir dir;
    const fs::path target = dir.path() / PathFromUtf8(name);
    const fs::path taken = dir.path() / PathFromUtf8(std::string(".") + name + ".4242.tmp");
    WriteFile(taken, "someone else's file");
    errno = 0;
    std::FILE* opened = CreateNewFile(taken);
    EXPECT_EQ(opened, nullptr);
    EXPECT_EQ(errno, EEXIST);
    if (opened != nullptr) std::fclose(opened);
    EXPECT_EQ(ReadFile(taken), "someone else's file");

    ReplacementFile file(target);
    EXPECT_EQ(file.temporaryPath().parent_path(), dir.path());
    EXPECT_NE(file.temporaryPath(), taken);
    file.write("new", 3);
    file.commit();
    EXPECT_EQ(ReadFile(target), "new");
    EXPECT_EQ(ReadFile(taken), "someone else's file");
    EXPECT_EQ(Listing(dir.path()).size(), 2u);
  }
}

TEST(SaveFaults, AnOutputPathThatIsAFolderIsRefusedAndLeftAlone) {
  TempDir dir;
  WriteFile(dir / "remesa.txt", SomeTransfers(1, 2));
  fs::create_directory(dir / "remesa.xls");
  WriteFile(dir / "remesa.xls" / "inside.txt", "kept");
  Outcome outcome = Convert(dir / "remesa.txt", dir / "remesa.xls");
  EXPECT_EQ(outcome.messages, std::vector<std::string>{std::string(kCannotSave)});
  EXPECT_FALSE(outcome.saved);
  EXPECT_TRUE(fs::is_directory(dir / "remesa.xls"));
  EXPECT_EQ(ReadFile(dir / "remesa.xls" / "inside.txt"), "kept");
  EXPECT_EQ(Listing(dir.path()), (std::vector<std::string>{"remesa.txt", "remesa.xls"}));
}

#ifndef _WIN32
TEST(SaveFaults, AnOutputPathThatIsAPipeIsRefusedAndLeftAPipe) {
  TempDir dir;
  WriteFile(dir / "remesa.txt", SomeTransfers(1, 2));
  ASSERT_EQ(mkfifo((dir / "remesa.xls").c_str(), 0644), 0);
  Outcome outcome = Convert(dir / "remesa.txt", dir / "remesa.xls");
  EXPECT_EQ(outcome.messages, std::vector<std::string>{std::string(kCannotSave)});
  EXPECT_TRUE(fs::is_fifo(dir / "remesa.xls"));
  EXPECT_EQ(Listing(dir.path()), (std::vector<std::string>{"remesa.txt", "remesa.xls"}));
}

// The disk as the writer sees it when it fills: every write past the limit fails. A large
// workbook's sheets are written beside its beginning, each in a part at its own place, and its
// end after them: the disk can fill in any of those.
TEST(SaveFaults, ADiskThatFillsDuringTheSaveKeepsTheEarlierWorkbook) {
  TempDir large;
  WriteFile(large / "remesa.txt", SomeTransfers(3, 30000));
  ASSERT_TRUE(Convert(large / "remesa.txt", large / "remesa.xls").saved);
  const auto largeSize = static_cast<rlim_t>(fs::file_size(large / "remesa.xls"));
  ASSERT_GT(largeSize, rlim_t{6} << 20);
  struct Case {
    int transfers;
    std::vector<rlim_t> limits;
  };
  const Case cases[] = {
      {400, {0, 512, 8192, 40000}},
      {30000, {8192, 1 << 20, 4 << 20, largeSize - 1}},
  };
  for (const Case& c : cases) {
    TempDir dir;
    const std::string input = SomeTransfers(3, c.transfers);
    WriteFile(dir / "remesa.txt", input);
    WriteFile(dir / "remesa.xls", kEarlierWorkbook);
    for (rlim_t limit : c.limits) {
      Outcome outcome;
      {
        FileSizeLimit full(limit);
        outcome = Convert(dir / "remesa.txt", dir / "remesa.xls");
      }
      EXPECT_EQ(outcome.messages, std::vector<std::string>{std::string(kCannotSave)}) << limit;
      EXPECT_TRUE(ReadFile(dir / "remesa.xls") == kEarlierWorkbook) << limit;
      EXPECT_TRUE(ReadFile(dir / "remesa.txt") == input) << limit;
      EXPECT_EQ(Listing(dir.path()), (std::vector<std::string>{"remesa.txt", "remesa.xls"}));
    }
  }
}

std::string LineFeedsOnly(const std::string& crlf) {
  std::string bytes;
  for (char c : crlf) {
    if (c != '\r') bytes += c;
  }
  return bytes;
}

TEST(SaveFaults, ADiskThatFillsDuringTheRepairKeepsTheInput) {
  TempDir dir;
  const std::string input = LineFeedsOnly(SomeTransfers(2, 3000));
  WriteFile(dir / "remesa.txt", input);
  WriteFile(dir / "remesa.xls", kEarlierWorkbook);
  for (rlim_t limit : {rlim_t{0}, rlim_t{4096}, rlim_t{input.size() - 1}}) {
    Outcome outcome;
    {
      FileSizeLimit full(limit);
      outcome = Convert(dir / "remesa.txt", dir / "remesa.xls");
    }
    EXPECT_EQ(outcome.messages, std::vector<std::string>{std::string(kCannotOpen)}) << limit;
    EXPECT_FALSE(outcome.repaired);
    EXPECT_TRUE(ReadFile(dir / "remesa.txt") == input) << limit;
    EXPECT_TRUE(ReadFile(dir / "remesa.xls") == kEarlierWorkbook) << limit;
    EXPECT_EQ(Listing(dir.path()), (std::vector<std::string>{"remesa.txt", "remesa.xls"}));
  }
}
#endif

// The driver checks the input, closes it, creates the application and opens the input again:
// a factory that changes the file before it hands over the application hits that window.
struct WindowCase {
  const char* name;
  void (*change)(const fs::path& input);
  std::string_view message;
};

TEST(InputFaults, AnInputThatChangesAfterItsCheckIsNotConverted) {
  const WindowCase cases[] = {
      {"deleted", [](const fs::path& p) { fs::remove(p); }, kCannotOpen},
      {"emptied", [](const fs::path& p) { fs::resize_file(p, 0); }, kWrongFormat},
      {"cut before its first line ends", [](const fs::path& p) { fs::resize_file(p, 1); },
       kWrongFormat},
      {"replaced by other text", [](const fs::path& p) { WriteFile(p, "%PDF-1.4\r\n"); },
       kWrongFormat},
      {"replaced by a folder",
       [](const fs::path& p) {
         fs::remove(p);
         fs::create_directory(p);
       },
       kCannotOpen},
  };
  for (const WindowCase& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const fs::path input = dir / "remesa.txt";
    WriteFile(input, SomeTransfers(1, 3));
    WriteFile(dir / "remesa.xls", kEarlierWorkbook);
    conversion::RunServices services;
    services.createObject = [&](std::string_view className) {
      c.change(input);
      return workbook::CreateObject(className);
    };
    Outcome outcome = Convert(input, dir / "remesa.xls", services);
    EXPECT_EQ(outcome.messages, std::vector<std::string>{std::string(c.message)});
    EXPECT_FALSE(outcome.saved);
    EXPECT_TRUE(ReadFile(dir / "remesa.xls") == kEarlierWorkbook);
  }
}

TEST(InputFaults, AnInputCutShortAfterItsCheckConvertsWhatIsLeft) {
  TempDir dir;
  const fs::path input = dir / "remesa.txt";
  const std::string whole = SomeTransfers(1, 3);
  WriteFile(input, whole);
  conversion::RunServices services;
  services.createObject = [&](std::string_view className) {
    fs::resize_file(input, 2 * 82);  // the header and the first transfer remain
    return workbook::CreateObject(className);
  };
  Outcome outcome = Convert(input, dir / "remesa.xls", services);
  EXPECT_TRUE(outcome.messages.empty());
  EXPECT_TRUE(outcome.saved);
  EXPECT_EQ(outcome.sheets, 1);
  EXPECT_EQ(outcome.transfers, 1);
  EXPECT_EQ(ReadFile(input), whole.substr(0, 2 * 82));
}

TEST(InputFaults, InputsThatAreNoOrdinaryFileAreRefusedWithoutWaiting) {
  TempDir dir;
  std::vector<std::pair<std::string, fs::path>> inputs = {{"folder", dir / "carpeta"},
                                                          {"missing file", dir / "falta.txt"}};
  fs::create_directory(dir / "carpeta");
#ifndef _WIN32
  ASSERT_EQ(mkfifo((dir / "tuberia").c_str(), 0644), 0);
  fs::create_symlink(dir / "nada.txt", dir / "enlace-roto.txt");
  inputs.push_back({"pipe", dir / "tuberia"});
  inputs.push_back({"dangling link", dir / "enlace-roto.txt"});
  // Endless and empty devices: neither may hang the run or fill memory.
  inputs.push_back({"endless device", "/dev/zero"});
  inputs.push_back({"empty device", "/dev/null"});
#endif
  for (const auto& [name, input] : inputs) {
    SCOPED_TRACE(name);
    Outcome outcome = Convert(input, dir / "salida.xls");
    EXPECT_EQ(outcome.messages, std::vector<std::string>{std::string(kCannotOpen)});
    EXPECT_FALSE(fs::exists(dir / "salida.xls"));
    EXPECT_THROW(conversion::NormalizeLineBreaks(PathToUtf8(input)), Failure);
  }
  EXPECT_TRUE(fs::is_directory(dir / "carpeta"));
#ifndef _WIN32
  EXPECT_TRUE(fs::is_fifo(dir / "tuberia"));
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
#endif
}

}  // namespace
}  // namespace quadrelo::hardening

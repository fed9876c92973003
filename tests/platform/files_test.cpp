#include "platform/files.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "platform/failure.h"
#include "platform/replacement_file.h"
#include "tests/support/test_support.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace quadrelo::files {
namespace {

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override { Reset(); }
  TempDir dir;
};

FailureCode CodeOf(const std::function<void()>& statement) {
  try {
    statement();
  } catch (const Failure& failure) {
    return failure.code();
  }
  return FailureCode::None;
}

std::vector<std::string> ReadLines(const std::filesystem::path& path) {
  int number = FreeFile();
  OpenForInput(number, path);
  std::vector<std::string> lines;
  std::string line;
  while (!Eof(number)) {
    LineInput(number, line);
    lines.push_back(line);
  }
  Close(number);
  return lines;
}

TEST_F(FilesTest, LinesEndAtCarriageReturnsOnly) {
  struct Case {
    std::string bytes;
    std::vector<std::string> lines;
  };
  const std::vector<Case> cases = {
      {"", {}},
      {"abc", {"abc"}},
      {"abc\r\n", {"abc"}},
      {"abc\r", {"abc"}},
      {"a\r\nb\r\n", {"a", "b"}},
      {"a\rb", {"a", "b"}},
      {"a\nb\nc", {"a\nb\nc"}},  // a lone LF is an ordinary byte
      {"a\n\r\nb", {"a\n", "b"}},
      {"\r\n\r\n", {"", ""}},
      {"a\r\r\nb", {"a", "", "b"}},
      {"a\r\n\nb", {"a", "\nb"}},  // only the LF right after the CR is part of the break
      {std::string("x\0y\xff\r\n", 6), {std::string("x\0y\xff", 4)}},
  };
  for (const Case& c : cases) {
    WriteFile(dir / "in.txt", c.bytes);
    EXPECT_EQ(ReadLines(dir / "in.txt"), c.lines) << "bytes: " << c.bytes;
  }
}

TEST_F(FilesTest, LinesAndBreaksAcrossReadBlocks) {
  // Lines longer than any read block, and breaks split between two blocks at every offset near
  // the usual block sizes.
  std::string longLine(700000, 'x');
  WriteFile(dir / "long.txt", longLine + "\r\n" + longLine);
  EXPECT_EQ(ReadLines(dir / "long.txt"), (std::vector<std::string>{longLine, longLine}));
  for (std::size_t block : {65536u, 262144u, 1048576u}) {
    for (std::size_t offset = block - 2; offset <= block + 1; ++offset) {
      std::string first(offset, 'a');
      WriteFile(dir / "split.txt", first + "\r\nb\r\n");
      std::vector<std::string> lines = ReadLines(dir / "split.txt");
      ASSERT_EQ(lines.size(), 2u) << offset;
      EXPECT_EQ(lines[0].size(), offset);
      EXPECT_EQ(lines[1], "b");
    }
  }
}

TEST_F(FilesTest, ALimitedLineKeepsItsFirstBytesAndSkipsTheRest) {
  std::string longLine(600000, 'x');
  longLine[0] = 'a';
  WriteFile(dir / "in.txt", longLine + "\r\nshort\r\n" + longLine);
  int number = FreeFile();
  OpenForInput(number, dir / "in.txt");
  std::string line;
  LineInput(number, line, 81);
  EXPECT_EQ(line, longLine.substr(0, 81));
  LineInput(number, line, 81);
  EXPECT_EQ(line, "short");
  LineInput(number, line, 2);
  EXPECT_EQ(line, "ax");
  EXPECT_TRUE(Eof(number));
}

TEST_F(FilesTest, ReadingPastTheEndFails) {
  WriteFile(dir / "one.txt", "one\r\n");
  int number = FreeFile();
  OpenForInput(number, dir / "one.txt");
  std::string line;
  LineInput(number, line);
  EXPECT_EQ(line, "one");
  EXPECT_TRUE(Eof(number));
  EXPECT_EQ(CodeOf([&] { LineInput(number, line); }), FailureCode::InputPastEnd);
}

// What the conversion and the repair check before their result replaces anything: the input
// was read whole and is still as it was opened. A failed check keeps the earlier file.
TEST_F(FilesTest, AnInputChangedWhileItWasReadFailsItsCheck) {
  namespace fs = std::filesystem;
  const std::string line(1000, 'x');
  std::string bytes;
  for (int n = 0; n < 600; ++n) bytes += line + "\r\n";  // more than one read block
  const struct {
    const char* name;
    int readLines;  // before the change; then to the end when `readOn`
    bool readOn;
    std::function<void(const fs::path&)> change;
    FailureCode expected;
  } cases[] = {
      {"unchanged", 600, false, [](const fs::path&) {}, FailureCode::None},
      {"not read to its end", 599, false, [](const fs::path&) {}, FailureCode::InputChanged},
      {"cut while read", 1, true, [](const fs::path& p) { fs::resize_file(p, 2004); },
       FailureCode::InputChanged},
      {"grown after its end", 600, false,
       [](const fs::path& p) { WriteFile(p, ReadFile(p) + "more\r\n"); },
       FailureCode::InputChanged},
      {"rewritten, same size", 600, false,
       [](const fs::path& p) {
         fs::file_time_type before = fs::last_write_time(p);
         WriteFile(p, std::string(ReadFile(p).size(), 'y'));
         fs::last_write_time(p, before + std::chrono::seconds(1));
       },
       FailureCode::InputChanged},
#ifndef _WIN32  // Windows deletes no file that is open
      {"gone", 600, false, [](const fs::path& p) { fs::remove(p); }, FailureCode::InputChanged},
#endif
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Reset();
    const fs::path input = dir / "in.txt";
    WriteFile(input, bytes);
    WriteFile(dir / "out.txt", "earlier");
    int number = FreeFile();
    OpenForInput(number, input);
    std::string read;
    for (int n = 0; n < c.readLines; ++n) LineInput(number, read);
    c.change(input);
    while (c.readOn && !Eof(number)) LineInput(number, read);
    EXPECT_EQ(CodeOf([&] { CheckUnchanged(number); }), c.expected);

    ReplacementFile replacement(dir / "out.txt");
    replacement.write("new", 3);
    EXPECT_EQ(CodeOf([&] { replacement.commit([&] { CheckUnchanged(number); }); }), c.expected);
    EXPECT_EQ(ReadFile(dir / "out.txt"), c.expected == FailureCode::None ? "new" : "earlier");
    EXPECT_FALSE(fs::exists(replacement.temporaryPath()) && !replacement.temporaryPath().empty());
  }
}

TEST_F(FilesTest, PrintLineEndsEveryLineWithCrLfAndKeepsBytes) {
  std::string bytes;
  for (int b = 0; b < 256; ++b) {
    if (b != '\r') bytes += static_cast<char>(b);
  }
  int number = FreeFile();
  OpenForOutput(number, dir / "out.txt");
  PrintLine(number, "first");
  PrintLine(number, "");
  PrintLine(number, bytes);
  PrintLine(number, std::string(300000, 'z'));  // larger than the write block
  Close(number);
  EXPECT_EQ(ReadFile(dir / "out.txt"),
            "first\r\n\r\n" + bytes + "\r\n" + std::string(300000, 'z') + "\r\n");
}

TEST_F(FilesTest, OutputReplacesAnExistingFile) {
  WriteFile(dir / "out.txt", "old content that is longer");
  int number = FreeFile();
  OpenForOutput(number, dir / "out.txt");
  PrintLine(number, "new");
  Close(number);
  EXPECT_EQ(ReadFile(dir / "out.txt"), "new\r\n");
}

TEST_F(FilesTest, FreeFileGivesTheLowestUnusedNumber) {
  WriteFile(dir / "a.txt", "a");
  EXPECT_EQ(FreeFile(), 1);
  OpenForInput(1, dir / "a.txt");
  EXPECT_EQ(FreeFile(), 2);
  OpenForInput(2, dir / "a.txt");  // one file may be read under several numbers
  OpenForInput(5, dir / "a.txt");
  EXPECT_EQ(FreeFile(), 3);
  Close(1);
  EXPECT_EQ(FreeFile(), 1);
  EXPECT_EQ(OpenCount(), 2);
  Reset();
  EXPECT_EQ(OpenCount(), 0);
  EXPECT_EQ(FreeFile(), 1);
}

TEST_F(FilesTest, OpeningFailuresCarryTheirCodes) {
  WriteFile(dir / "a.txt", "a");
  std::filesystem::create_directory(dir / "folder");
  EXPECT_EQ(CodeOf([&] { OpenForInput(1, dir / "missing.txt"); }), FailureCode::FileNotFound);
  EXPECT_EQ(CodeOf([&] { OpenForInput(1, dir / "no" / "such.txt"); }), FailureCode::PathNotFound);
  EXPECT_EQ(CodeOf([&] { OpenForInput(1, dir / "folder"); }), FailureCode::FileNotFound);
  EXPECT_EQ(CodeOf([&] { OpenForOutput(1, dir / "no" / "such.txt"); }), FailureCode::PathNotFound);
  EXPECT_EQ(CodeOf([&] { OpenForInput(0, dir / "a.txt"); }), FailureCode::BadFileNumber);
  EXPECT_EQ(CodeOf([&] { OpenForInput(512, dir / "a.txt"); }), FailureCode::BadFileNumber);
  EXPECT_EQ(OpenCount(), 0);

  OpenForInput(1, dir / "a.txt");
  EXPECT_EQ(CodeOf([&] { OpenForInput(1, dir / "a.txt"); }), FailureCode::FileAlreadyOpen);
  // Writing a file that is being read would destroy it under the reader.
  EXPECT_EQ(CodeOf([&] { OpenForOutput(2, dir / "a.txt"); }), FailureCode::FileAlreadyOpen);
  EXPECT_EQ(ReadFile(dir / "a.txt"), "a");
  EXPECT_EQ(CodeOf([&] { PrintLine(1, "x"); }), FailureCode::BadFileMode);
  std::string line;
  EXPECT_EQ(CodeOf([&] { LineInput(3, line); }), FailureCode::BadFileNumber);
  EXPECT_EQ(CodeOf([&] { Eof(3); }), FailureCode::BadFileNumber);
  EXPECT_EQ(CodeOf([&] { Close(3); }), FailureCode::None);
  EXPECT_EQ(CodeOf([&] { Close(0); }), FailureCode::None);
}

#ifndef _WIN32
TEST_F(FilesTest, OpeningAPipeFailsWithoutBlocking) {
  ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
  EXPECT_EQ(CodeOf([&] { OpenForInput(1, dir / "pipe"); }), FailureCode::FileNotFound);
}
#endif

TEST_F(FilesTest, NonAsciiPaths) {
  std::filesystem::path path = dir.path() / std::filesystem::path(u8"remesa ñandú €.txt");
  WriteFile(path, "11\r\n");
  EXPECT_EQ(ReadLines(path), std::vector<std::string>{"11"});
}

}  // namespace
}  // namespace quadrelo::files

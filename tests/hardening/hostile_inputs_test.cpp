// Inputs no bank should send but users will pick: a huge file without line breaks, a huge file
// of line-feed records, lines of megabytes, NUL and every other byte value, tens of thousands of
// accounts, names made of the bytes 0x80-0x9F. Each must convert to a workbook that a reader
// opens, with the records it holds, and a repaired input that holds the same bytes.
//
// The large cases are QUADRELO_HOSTILE_MB megabytes (100 unless set); scripts/hostile-inputs.sh
// measures time and memory on 1 GB versions with the command-line tool.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/text.h"
#include "tests/hardening/hardening_support.h"
#include "tests/support/test_support.h"
#include "tools/xls_structure/xls_structure.h"

namespace quadrelo::hardening {
namespace {

std::uint64_t HostileBytes() {
  const char* mb = std::getenv("QUADRELO_HOSTILE_MB");
  std::uint64_t megabytes = mb != nullptr && *mb != '\0' ? std::strtoull(mb, nullptr, 10) : 100;
  return megabytes << 20;
}

// FNV-1a, to compare files of any size without holding them.
class Hash {
 public:
  void add(std::string_view bytes) {
    for (unsigned char c : bytes) value_ = (value_ ^ c) * 0x100000001B3ull;
  }
  std::uint64_t value() const { return value_; }

 private:
  std::uint64_t value_ = 0xCBF29CE484222325ull;
};

std::uint64_t HashOfFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> block(1 << 20);
  Hash hash;
  while (in.read(block.data(), static_cast<std::streamsize>(block.size())) || in.gcount() > 0) {
    hash.add(std::string_view(block.data(), static_cast<std::size_t>(in.gcount())));
  }
  return hash.value();
}

// Lines from `next(i)`, each followed by `end`, until at least `bytes` are produced or `lines`
// are there; every piece goes to `out` in blocks. Returns how many lines there were.
template <class Next, class Out>
long Lines(std::uint64_t bytes, long lines, std::string_view end, Next next, Out out) {
  std::string block;
  std::uint64_t produced = 0;
  long count = 0;
  while (produced < bytes && count != lines) {
    std::string line = next(count++);
    block += line;
    block += end;
    produced += line.size() + end.size();
    if (block.size() >= (1u << 20)) {
      out(block);
      block.clear();
    }
  }
  out(block);
  return count;
}

template <class Next>
long WriteLines(const fs::path& path, std::uint64_t bytes, std::string_view end, Next next) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  long count = Lines(bytes, -1, end, next, [&](const std::string& block) {
    file.write(block.data(), static_cast<std::streamsize>(block.size()));
  });
  file.close();
  EXPECT_TRUE(file) << "cannot write " << PathToUtf8(path);
  return count;
}

// What xlrd makes of the sheets at `positions` (see xls_summary.py), after the structural check.
std::string Summary(const fs::path& workbook, std::vector<std::string> positions) {
  std::string fault = fuzzing::CheckXlsStructure(ReadFile(workbook));
  EXPECT_EQ(fault, "") << PathToUtf8(workbook);
  positions.insert(positions.begin(), {"hardening/xls_summary.py", PathToUtf8(workbook)});
  auto result = RunReader(Reader::kXlrd, positions);
  EXPECT_EQ(result.exitCode, 0) << result.output;
  return result.output;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

std::string Numbered(const char* prefix, long n) {
  char text[32];
  std::snprintf(text, sizeof text, "%s%09ld", prefix, n);
  return text;
}

const std::string kHeaderRow =
    "cell\t1\t1\tA\tEntidad ordenante\ncell\t1\t1\tB\tOficina ordenante\n"
    "cell\t1\t1\tC\tFecha presentación\ncell\t1\t1\tD\tImporte\ncell\t1\t1\tE\tRef. operación\n"
    "cell\t1\t1\tF\tNombre ordenante\ncell\t1\t1\tG\tObservaciones 1\n"
    "cell\t1\t1\tH\tObservaciones 2\n";

TEST(HostileInputs, AHugeFileWithoutLineBreaksIsOneAccountAndGainsOneBreak) {
  TempDir dir;
  const fs::path input = dir / "remesa.txt";
  const std::string head = AccountRecord("ES7620770024003102");
  const std::uint64_t size = HostileBytes();
  {
    std::ofstream file(input, std::ios::binary);
    file << head;
    std::string filler(1 << 20, 'Z');
    for (std::uint64_t written = head.size(); written < size; written += filler.size()) {
      file.write(filler.data(), static_cast<std::streamsize>(filler.size()));
    }
  }
  const std::uint64_t before = fs::file_size(input);
  Outcome outcome = Convert(input, dir / "remesa.xls");
  EXPECT_TRUE(outcome.messages.empty());
  EXPECT_TRUE(outcome.repaired);
  EXPECT_EQ(outcome.sheets, 1);
  EXPECT_EQ(fs::file_size(input), before + 2);
  std::ifstream repaired(input, std::ios::binary);
  std::string start(head.size(), '\0');
  repaired.read(start.data(), static_cast<std::streamsize>(start.size()));
  EXPECT_EQ(start, head);
  repaired.seekg(-3, std::ios::end);
  std::string end(3, '\0');
  repaired.read(end.data(), 3);
  EXPECT_EQ(end, "Z\r\n");
  QUADRELO_SKIP_WITHOUT(Reader::kXlrd);
  EXPECT_EQ(Summary(dir / "remesa.xls", {"1"}),
            "sheets\t1\nsheet\t1\tCuenta ES7620770024003102\t1\n" + kHeaderRow);
}

TEST(HostileInputs, AHugeFileOfLineFeedRecordsIsRepairedAndConverted) {
  TempDir dir;
  const fs::path input = dir / "remesa.txt";
  // Mostly records of a type the conversion skips, a transfer every thousandth line.
  auto line = [](long i) {
    if (i == 0) return AccountRecord("ES7620770024003102");
    if (i % 1000 == 0) return TransferRecord(Numbered("R", i / 1000));
    return Record(Numbered("99", i));
  };
  const long lines = WriteLines(input, HostileBytes(), "\n", line);
  Hash expected;
  Lines(HostileBytes() * 2, lines, "\r\n", line,
        [&](const std::string& block) { expected.add(block); });

  Outcome outcome = Convert(input, dir / "remesa.xls");
  EXPECT_TRUE(outcome.messages.empty());
  EXPECT_TRUE(outcome.repaired);
  const long transfers = (lines - 1) / 1000;
  EXPECT_EQ(outcome.transfers, transfers);
  EXPECT_EQ(HashOfFile(input), expected.value());

  QUADRELO_SKIP_WITHOUT(Reader::kXlrd);
  std::vector<std::string> summary = SplitLines(Summary(dir / "remesa.xls", {"1"}));
  ASSERT_GE(summary.size(), 2u);
  EXPECT_EQ(summary[1], "sheet\t1\tCuenta ES7620770024003102\t" + std::to_string(transfers + 2));
  EXPECT_EQ(summary.back(),
            "cell\t1\t" + std::to_string(transfers + 2) + "\tE\t" + Numbered("R", transfers));
}

TEST(HostileInputs, LinesOfTenMegabytesKeepTheirFields) {
  TempDir dir;
  const std::string tail(10 << 20, 'x');
  std::string bytes = AccountRecord("ES7620770024003102") + "\r\n";
  for (int t = 1; t <= 3; ++t) {
    bytes += TransferRecord(std::string("REF").append(std::to_string(t))) + tail + "\r\n";
    bytes += Record("23NOMBRE " + std::to_string(t)) + tail + "\r\n";
  }
  WriteFile(dir / "remesa.txt", bytes);
  Outcome outcome = Convert(dir / "remesa.txt", dir / "remesa.xls");
  EXPECT_TRUE(outcome.messages.empty());
  EXPECT_FALSE(outcome.repaired);
  EXPECT_EQ(outcome.transfers, 3);
  EXPECT_TRUE(ReadFile(dir / "remesa.txt") == bytes);
  QUADRELO_SKIP_WITHOUT(Reader::kXlrd);
  std::string summary = Summary(dir / "remesa.xls", {"1"});
  for (int t = 1; t <= 3; ++t) {
    std::string row = std::to_string(t + 2);
    EXPECT_NE(summary.find("cell\t1\t" + row + "\tD\t12345.67\n"), std::string::npos) << row;
    EXPECT_NE(summary.find("cell\t1\t" + row + "\tE\tREF" + std::to_string(t) + "\n"),
              std::string::npos);
    EXPECT_NE(summary.find("cell\t1\t" + row + "\tF\tNOMBRE " + std::to_string(t) + "\n"),
              std::string::npos);
  }
}

TEST(HostileInputs, AFirstLineOfTenMegabytesIsRepairedWithoutChange) {
  TempDir dir;
  std::string bytes = AccountRecord("ES7620770024003102") + std::string(10 << 20, ' ') + "\r\n" +
                      TransferRecord("REF1") + "\r\n";
  WriteFile(dir / "remesa.txt", bytes);
  Outcome outcome = Convert(dir / "remesa.txt", dir / "remesa.xls");
  EXPECT_TRUE(outcome.messages.empty());
  EXPECT_TRUE(outcome.repaired);
  EXPECT_EQ(outcome.transfers, 1);
  EXPECT_TRUE(ReadFile(dir / "remesa.txt") == bytes);
}

// Every byte but CR in the name of a remarks record, 30 at a time; the cell holds them decoded
// from Windows-1252 and trimmed of spaces, NULs and control characters included.
TEST(HostileInputs, EveryByteValueReachesItsCellDecoded) {
  TempDir dir;
  std::string all;
  for (int b = 0; b < 256; ++b) {
    if (b != '\r') all += static_cast<char>(b);
  }
  std::vector<std::string> lines{AccountRecord(std::string("\0\0ES76\0", 7))};
  std::vector<std::string> expected;
  for (std::size_t at = 0, row = 3; at < all.size(); at += 30, ++row) {
    std::string name = all.substr(at, 30);
    lines.push_back(TransferRecord(Numbered("R", static_cast<long>(row))));
    lines.push_back(Record("23" + name));
    std::string text;
    AppendWindows1252(name, text);
    std::string shown;
    std::string_view trimmed = text;
    while (!trimmed.empty() && trimmed.front() == ' ') trimmed.remove_prefix(1);
    while (!trimmed.empty() && trimmed.back() == ' ') trimmed.remove_suffix(1);
    for (char c : trimmed) {
      if (static_cast<unsigned char>(c) < 0x20 || c == '\\') {
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02x", static_cast<unsigned char>(c));
        shown += hex;
      } else {
        shown += c;
      }
    }
    expected.push_back("cell\t1\t" + std::to_string(row) + "\tF\t" + shown);
  }
  WriteFile(dir / "remesa.txt", CrLf(lines));
  Outcome outcome = Convert(dir / "remesa.txt", dir / "remesa.xls");
  EXPECT_TRUE(outcome.messages.empty());
  QUADRELO_SKIP_WITHOUT(Reader::kXlrd);
  std::vector<std::string> summary = SplitLines(Summary(dir / "remesa.xls", {"1"}));
  ASSERT_GE(summary.size(), 2u);
  // The NULs of the account are no character of a sheet name; the rest of it stays.
  EXPECT_EQ(summary[1].substr(0, 16), "sheet\t1\tCuenta E");
  for (const std::string& cell : expected) {
    EXPECT_NE(std::find(summary.begin(), summary.end(), cell), summary.end()) << cell;
  }
}

TEST(HostileInputs, SeventyThousandAccountsEachGetASheet) {
  TempDir dir;
  std::string bytes;
  constexpr long kAccounts = 70000;
  for (long a = 0; a < kAccounts; ++a) {
    bytes += AccountRecord(Numbered("ES", a)) + "\r\n";
    if (a % 7 == 0) bytes += TransferRecord(Numbered("R", a)) + "\r\n";
  }
  WriteFile(dir / "remesa.txt", bytes);
  Outcome outcome = Convert(dir / "remesa.txt", dir / "remesa.xls");
  EXPECT_TRUE(outcome.messages.empty());
  EXPECT_EQ(outcome.sheets, kAccounts);
  QUADRELO_SKIP_WITHOUT(Reader::kXlrd);
  std::vector<std::string> summary = SplitLines(Summary(dir / "remesa.xls", {"1", "69994", "-1"}));
  std::vector<std::string> sheets;
  for (const std::string& line : summary) {
    if (line.rfind("sheet", 0) == 0) sheets.push_back(line);
  }
  EXPECT_EQ(sheets, (std::vector<std::string>{"sheets\t70000", "sheet\t1\tCuenta ES000000000\t3",
                                              "sheet\t69994\tCuenta ES000069993\t3",
                                              "sheet\t70000\tCuenta ES000069999\t1"}));
  EXPECT_NE(std::find(summary.begin(), summary.end(), "cell\t69994\t3\tE\tR000069993"),
            summary.end());
}

TEST(HostileInputs, AccountsNamedWithTheBytes0x80To0x9FNameTheirSheets) {
  TempDir dir;
  std::vector<std::string> lines;
  std::vector<std::string> expected{"sheets\t4"};
  for (int k = 0; k < 4; ++k) {
    std::string account;
    for (int i = 0; i < 18; ++i) account += static_cast<char>(0x80 + (k * 7 + i) % 32);
    lines.push_back(AccountRecord(account));
    lines.push_back(TransferRecord(Numbered("R", k)));
    std::string name = "Cuenta ";
    AppendWindows1252(account, name);
    expected.push_back("sheet\t" + std::to_string(k + 1) + "\t" + name + "\t3");
  }
  WriteFile(dir / "remesa.txt", CrLf(lines));
  Outcome outcome = Convert(dir / "remesa.txt", dir / "remesa.xls");
  EXPECT_TRUE(outcome.messages.empty());
  std::vector<std::string> sheets;
  QUADRELO_SKIP_WITHOUT(Reader::kXlrd);
  for (const std::string& line : SplitLines(Summary(dir / "remesa.xls", {"1", "2", "3", "4"}))) {
    if (line.rfind("sheet", 0) == 0) sheets.push_back(line);
  }
  EXPECT_EQ(sheets, expected);
}

}  // namespace
}  // namespace quadrelo::hardening

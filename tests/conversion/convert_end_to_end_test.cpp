// Converts generated transfer files and reads the saved workbooks with xlrd.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/conversion/conversion_fixture.h"
#include "tools/generator/transfer_generator.h"
#include "tools/xls_structure/xls_structure.h"

namespace quadrelo::conversion::testing {
namespace {

struct DumpedCell {
  std::string kind;
  bool bold = false;
  std::string format;
  std::string value;
};

struct DumpedSheet {
  std::string name;
  long rows = 0;
  std::map<std::string, DumpedCell> cells;  // by address, such as "D3"
};

std::string Unescape(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    char c = text[++i];
    out += c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c;
  }
  return out;
}

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (;;) {
    std::size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab - start));
    if (tab == std::string::npos) return fields;
    start = tab + 1;
  }
}

// The workbook as "tests/readers/xls_read.py list" prints it.
std::vector<DumpedSheet> ReadWorkbook(const std::string& path, const std::string& columns = "") {
  std::vector<std::string> arguments = {"readers/xls_read.py", "list", path};
  if (!columns.empty()) arguments.push_back(columns);
  auto result = RunReader(Reader::kXlrd, arguments);
  EXPECT_EQ(result.exitCode, 0) << result.output.substr(0, 2000);
  std::vector<DumpedSheet> sheets;
  std::istringstream lines(result.output);
  std::string line;
  while (std::getline(lines, line)) {
    std::vector<std::string> f = SplitTabs(line);
    if (f[0] == "sheet" && f.size() == 4) {
      sheets.push_back({Unescape(f[2]), std::stol(f[3]), {}});
    } else if (f[0] == "cell" && f.size() == 8 && !sheets.empty()) {
      sheets.back().cells[f[3] + f[2]] = {f[4], f[5] == "1", Unescape(f[6]), Unescape(f[7])};
    }
  }
  return sheets;
}

std::vector<std::string> Lines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = bytes.find_first_of("\r\n", start);
    if (end == std::string::npos) end = bytes.size();
    lines.push_back(bytes.substr(start, end - start));
    start = end + (bytes.compare(end, 2, "\r\n") == 0 ? 2 : 1);
  }
  return lines;
}

std::string Trimmed(const std::string& text) {
  std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

TEST_F(ConversionTest, GeneratedAccountsReadBackWithAnIndependentReader) {
  for (bool lineFeedsOnly : {false, true}) {
    bench::GeneratorOptions options;
    options.transfers = 300;
    options.accounts = 3;
    options.lineFeedsOnly = lineFeedsOnly;
    options.seed = 42;
    std::string bytes = bench::GenerateTransferFile(options);
    writeInput(bytes);
    files::Reset();
    convert();
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(report.repaired, lineFeedsOnly);

    // What the file says, read here with nothing but positions.
    std::vector<std::string> accounts;
    std::vector<std::vector<std::string>> references(3);
    std::vector<std::int64_t> hundredths(3);
    for (const std::string& line : Lines(bytes)) {
      if (line.compare(0, 2, "11") == 0) accounts.push_back(Trimmed(line.substr(2, 18)));
      if (line.compare(0, 2, "22") == 0) {
        references[accounts.size() - 1].push_back(Trimmed(line.substr(41, 11)));
        hundredths[accounts.size() - 1] += std::stoll(line.substr(28, 10));
      }
    }
    ASSERT_EQ(accounts.size(), 3u);

    if (!ReaderMissing(Reader::kXlrd).empty()) continue;  // said at the end
    std::vector<DumpedSheet> sheets = ReadWorkbook(output());
    ASSERT_EQ(sheets.size(), 3u);
    for (std::size_t s = 0; s < 3; ++s) {
      const DumpedSheet& sheet = sheets[s];
      // The saved name loses the colon, which sheet names may not hold.
      EXPECT_EQ(sheet.name, "Cuenta " + accounts[s]);
      EXPECT_EQ(sheet.rows, static_cast<long>(references[s].size()) + 2);
      EXPECT_EQ(sheet.cells.at("A1").value, "Entidad ordenante");
      EXPECT_TRUE(sheet.cells.at("A1").bold);
      EXPECT_EQ(sheet.cells.at("C1").value, "Fecha presentación");
      EXPECT_EQ(sheet.cells.count("A2"), 0u);
      std::int64_t sum = 0;
      for (std::size_t i = 0; i < references[s].size(); ++i) {
        std::string row = std::to_string(i + 3);
        // An empty text leaves its cell out.
        auto reference = sheet.cells.find("E" + row);
        EXPECT_EQ(reference == sheet.cells.end() ? "" : reference->second.value, references[s][i]);
        EXPECT_EQ(sheet.cells.at("A" + row).kind, "text");
        const DumpedCell& date = sheet.cells.at("C" + row);
        EXPECT_EQ(date.kind, "text");
        EXPECT_EQ(date.format, "@");
        const DumpedCell& amount = sheet.cells.at("D" + row);
        ASSERT_EQ(amount.kind, "number") << row;
        EXPECT_EQ(amount.format, "##,##0.00");
        EXPECT_FALSE(amount.bold);
        sum += static_cast<std::int64_t>(std::stod(amount.value) * 100 + 0.5);
      }
      EXPECT_EQ(sum, hundredths[s]);
    }
  }
  QUADRELO_SKIP_WITHOUT(Reader::kXlrd);
}

TEST_F(ConversionTest, SeventyThousandTransfersOfOneAccountAreAllThere) {
  bench::GeneratorOptions options;
  options.transfers = 70000;
  options.accounts = 1;
  options.remarks = false;
  writeInput(bench::GenerateTransferFile(options));
  convert();
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(report.savedTransfers, 70000);
  QUADRELO_SKIP_WITHOUT(Reader::kXlrd);
  std::vector<DumpedSheet> sheets = ReadWorkbook(output(), "A");
  ASSERT_EQ(sheets.size(), 2u);
  EXPECT_EQ(sheets[1].name, sheets[0].name + " (2)");
  EXPECT_EQ(sheets[0].rows, 65536);
  EXPECT_EQ(sheets[1].rows, 70000 - 65534 + 2);
  // Header plus one bank code per transfer, none lost and none doubled.
  EXPECT_EQ(sheets[0].cells.size(), 1u + 65534u);
  EXPECT_EQ(sheets[1].cells.size(), 1u + 70000u - 65534u);
  EXPECT_EQ(sheets[1].cells.count("A2"), 0u);
  EXPECT_EQ(sheets[1].cells.count("A3"), 1u);
}

TEST_F(ConversionTest, TheSamplesConvert) {
  struct Sample {
    const char* file;
    std::size_t sheets;
    long transfers;
    bool repaired;
  };
  for (const Sample& sample : {Sample{"remesa-tres-cuentas.txt", 3, 60, false},
                               Sample{"remesa-saltos-lf.txt", 2, 25, true},
                               Sample{"remesa-lineas-cortas.txt", 1, 12, false}}) {
    writeInput(ReadFile(SourceDir() / "samples" / sample.file));
    report = RecordingReport();
    files::Reset();
    convert();
    EXPECT_TRUE(messages.shown.empty()) << sample.file;
    EXPECT_EQ(report.repaired, sample.repaired) << sample.file;
    EXPECT_EQ(report.savedTransfers, sample.transfers) << sample.file;
    EXPECT_TRUE(report.amounts.empty()) << sample.file;
    EXPECT_TRUE(report.cellsNotWritten.empty()) << sample.file;
    if (ReaderMissing(Reader::kXlrd).empty()) {
      EXPECT_EQ(ReadWorkbook(output(), "A").size(), sample.sheets) << sample.file;
    }
  }
  QUADRELO_SKIP_WITHOUT(Reader::kXlrd);
}

// The saved bytes of fixed inputs, so that work on the writer's speed cannot change a workbook
// unnoticed. The samples' Workbook streams are compared record by record with the dumps kept
// beside this test (regenerate one with quadrelo-xls-dump), so that a changed byte names its
// record; the larger generated inputs by a digest of the whole file. Either changes only on
// purpose, together with what changed the file.
TEST_F(ConversionTest, FixedInputsGiveTheSameWorkbookBytes) {
  // The save time is the one thing that changes between runs.
  app.clock = [] { return std::chrono::system_clock::time_point(std::chrono::hours(497000)); };
  for (const char* sample : {"remesa-tres-cuentas", "remesa-saltos-lf", "remesa-lineas-cortas"}) {
    const std::filesystem::path source = SourceDir();
    writeInput(ReadFile(source / "samples" / (std::string(sample) + ".txt")));
    files::Reset();
    convert();
    EXPECT_TRUE(messages.shown.empty()) << sample;
    const std::string written = ReadFile(output());
    EXPECT_EQ(fuzzing::CheckXlsStructure(written), "") << sample;
    EXPECT_EQ(
        fuzzing::DumpXlsRecords(written),
        ReadFile(source / "tests" / "conversion" / "golden" / (std::string(sample) + ".records")))
        << sample;
  }

  struct Case {
    const char* name;
    bench::GeneratorOptions options;
    const char* digest;
  };
  auto generated = [](long transfers, int accounts, std::uint64_t seed) {
    bench::GeneratorOptions options;
    options.transfers = transfers;
    options.accounts = accounts;
    options.seed = seed;
    return options;
  };
  bench::GeneratorOptions lineFeeds = generated(2000, 4, 5);
  lineFeeds.lineFeedsOnly = true;
  bench::GeneratorOptions shortLines = generated(3000, 3, 6);
  shortLines.remarks = false;
  shortLines.trimTrailingSpaces = true;
  shortLines.finalLineBreak = false;
  const Case cases[] = {
      // Past one sheet's rows, past the object model's first rounds of texts,
      // and a shared-string table that runs over many records.
      {"80,000 transfers of one account", generated(80000, 1, 11), "b94666bac9dd95ea"},
      {"line feeds only", lineFeeds, "4e7b13413d4071a2"},
      {"short lines, no remarks", shortLines, "8b89e65cbcfb6640"},
  };
  for (const Case& c : cases) {
    writeInput(bench::GenerateTransferFile(c.options));
    files::Reset();
    convert();
    EXPECT_TRUE(messages.shown.empty()) << c.name;
    const std::string written = ReadFile(output());
    EXPECT_EQ(fuzzing::CheckXlsStructure(written), "") << c.name;
    EXPECT_EQ(Digest(written), c.digest) << c.name;
  }
}

}  // namespace
}  // namespace quadrelo::conversion::testing

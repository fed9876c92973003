#include "tools/generator/transfer_generator.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace quadrelo::bench {
namespace {

std::vector<std::string> SplitLines(const std::string& text, const std::string& lineBreak) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find(lineBreak, start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + lineBreak.size();
  }
  return lines;
}

bool AllDigits(const std::string& text) {
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  }
  return !text.empty();
}

// Positions are 1-based, as the record layout gives them.
std::string Field(const std::string& line, std::size_t position, std::size_t length) {
  return line.substr(position - 1, length);
}

std::uint64_t Fnv1a(const std::string& bytes) {
  std::uint64_t hash = 0xcbf29ce484222325ull;
  for (unsigned char c : bytes) hash = (hash ^ c) * 0x100000001b3ull;
  return hash;
}

TEST(TransferGenerator, RecordsAreFixedWidthAndInOrder) {
  GeneratorOptions options;
  options.transfers = 10;
  options.accounts = 3;
  const std::string text = GenerateTransferFile(options);
  ASSERT_EQ(text.substr(text.size() - 2), "\r\n");
  const std::vector<std::string> lines = SplitLines(text, "\r\n");
  ASSERT_EQ(lines.size(), 3u + 2u * 10u);

  std::vector<int> transfersPerAccount;
  std::set<std::string> accounts;
  std::string previous;
  for (const std::string& line : lines) {
    ASSERT_EQ(line.size(), 80u) << line;
    ASSERT_EQ(line.find('\n'), std::string::npos);
    const std::string type = Field(line, 1, 2);
    if (type == "11") {
      EXPECT_TRUE(AllDigits(Field(line, 3, 18))) << line;
      EXPECT_TRUE(accounts.insert(Field(line, 3, 18)).second) << "account repeated: " << line;
      transfersPerAccount.push_back(0);
    } else if (type == "22") {
      ASSERT_FALSE(transfersPerAccount.empty());
      ++transfersPerAccount.back();
      EXPECT_TRUE(AllDigits(Field(line, 3, 4))) << line;
      EXPECT_TRUE(AllDigits(Field(line, 7, 4))) << line;
      const std::string date = Field(line, 21, 8);
      ASSERT_TRUE(AllDigits(date)) << line;
      const int month = std::stoi(date.substr(4, 2));
      const int day = std::stoi(date.substr(6, 2));
      EXPECT_TRUE(month >= 1 && month <= 12 && day >= 1 && day <= 31) << date;
      EXPECT_TRUE(AllDigits(Field(line, 29, 10))) << line;
      EXPECT_EQ(Field(line, 53, 28), std::string(28, ' '));
    } else {
      ASSERT_EQ(type, "23") << line;
      EXPECT_EQ(previous, "22") << "a remarks record follows its transfer";
      EXPECT_NE(Field(line, 3, 30), std::string(30, ' '));
      EXPECT_NE(Field(line, 33, 20), std::string(20, ' '));
      EXPECT_EQ(Field(line, 73, 8), std::string(8, ' '));
    }
    previous = type;
  }
  EXPECT_EQ(transfersPerAccount, (std::vector<int>{4, 3, 3}));
}

TEST(TransferGenerator, SameSeedSameBytesEverywhere) {
  GeneratorOptions options;
  options.transfers = 200;
  options.accounts = 4;
  const std::string first = GenerateTransferFile(options);
  EXPECT_EQ(first, GenerateTransferFile(options));
  // A fixed fingerprint: the bytes must not depend on the platform or the standard library.
  EXPECT_EQ(Fnv1a(first), 0x38a5363f991c54e5ull) << std::hex << Fnv1a(first);
  options.seed = 2;
  EXPECT_NE(first, GenerateTransferFile(options));
}

TEST(TransferGenerator, TextIsWindows1252WithSpanishLetters) {
  GeneratorOptions options;
  options.transfers = 2000;
  const std::string text = GenerateTransferFile(options);
  for (char letter : std::string("\xD1\xC1\xC9\xCD\xD3\xDA\xDC\xC7\x80\x93\x94")) {
    EXPECT_NE(text.find(letter), std::string::npos)
        << "missing byte " << static_cast<int>(static_cast<unsigned char>(letter));
  }
  // No UTF-8 lead byte of the tables' letters, and nothing the encoder could not map.
  EXPECT_EQ(text.find('\xC3'), std::string::npos);
  EXPECT_EQ(text.find('?'), std::string::npos);
}

TEST(TransferGenerator, LineBreakOptions) {
  GeneratorOptions options;
  options.transfers = 5;
  const std::string crlf = GenerateTransferFile(options);

  struct Case {
    const char* name;
    bool lineFeedsOnly, trim, finalBreak, remarks;
  };
  for (const Case& c : {Case{"lf", true, false, true, true}, Case{"trim", false, true, true, true},
                        Case{"no final break", false, false, false, true},
                        Case{"no remarks", false, false, true, false}}) {
    SCOPED_TRACE(c.name);
    GeneratorOptions variant = options;
    variant.lineFeedsOnly = c.lineFeedsOnly;
    variant.trimTrailingSpaces = c.trim;
    variant.finalLineBreak = c.finalBreak;
    variant.remarks = c.remarks;
    const std::string text = GenerateTransferFile(variant);
    const std::string lineBreak = c.lineFeedsOnly ? "\n" : "\r\n";
    if (c.lineFeedsOnly) {
      EXPECT_EQ(text.find('\r'), std::string::npos);
    }
    EXPECT_EQ(text.size() >= 2 && text.substr(text.size() - lineBreak.size()) == lineBreak,
              c.finalBreak);
    const std::vector<std::string> lines = SplitLines(text, lineBreak);
    EXPECT_EQ(lines.size(), c.remarks ? 11u : 6u);
    for (const std::string& line : lines) {
      if (c.trim) {
        EXPECT_LE(line.size(), 80u);
        EXPECT_NE(line.back(), ' ');
      } else {
        EXPECT_EQ(line.size(), 80u);
      }
    }
    if (c.remarks) {
      // Only the line breaks (and trailing spaces) differ from the default file.
      std::string joined;
      for (const std::string& line : SplitLines(crlf, "\r\n")) {
        std::string kept = line;
        if (c.trim) kept.erase(kept.find_last_not_of(' ') + 1);
        joined += kept + "|";
      }
      std::string mine;
      for (const std::string& line : lines) mine += line + "|";
      EXPECT_EQ(mine, joined);
    }
  }
}

TEST(TransferGenerator, StreamedEqualsInMemory) {
  GeneratorOptions options;
  options.transfers = 30000;  // more than one write chunk
  options.accounts = 7;
  options.lineFeedsOnly = true;
  std::ostringstream out;
  WriteTransferFile(options, out);
  EXPECT_EQ(out.str(), GenerateTransferFile(options));
}

TEST(TransferGenerator, NoTransfersStillHasTheAccounts) {
  GeneratorOptions options;
  options.transfers = 0;
  options.accounts = 2;
  const std::vector<std::string> lines = SplitLines(GenerateTransferFile(options), "\r\n");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(Field(lines[0], 1, 2), "11");
  EXPECT_EQ(Field(lines[1], 1, 2), "11");
}

}  // namespace
}  // namespace quadrelo::bench

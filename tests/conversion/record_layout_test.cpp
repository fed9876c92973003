#include "conversion/record_layout.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace quadrelo::conversion {
namespace {

const ColumnField& Transfer(char column) {
  for (const ColumnField& field : kTransferColumns) {
    if (field.column == column) return field;
  }
  throw std::logic_error("no such column");
}

std::string Column(std::string_view line, const ColumnField& field) {
  std::string bytes = "left over";
  return std::string(TakeColumn(line, field, bytes));
}

TEST(RecordLayout, PiecesOfShortLinesAreShortenedOrEmpty) {
  EXPECT_EQ(TakePiece("11", kAccountField), "");
  EXPECT_EQ(TakePiece("11ES12", kAccountField), "ES12");
  EXPECT_EQ(TakePiece("11ES1234567890123456 tail", kAccountField), "ES1234567890123456");
  EXPECT_EQ(TakePiece("", kRecordType), "");
  EXPECT_EQ(TakePiece("2", kRecordType), "2");
}

TEST(RecordLayout, RecordTypeIsComparedExactly) {
  for (std::string_view line : {"2 2", " 2", "2", "", "22"}) {
    bool transfer = TakePiece(line, kRecordType) == kTransferRecord;
    EXPECT_EQ(transfer, line == std::string_view("22")) << "'" << line << "'";
  }
  EXPECT_NE(TakePiece("1", kRecordType), kAccountRecord);
}

TEST(RecordLayout, TransferColumnsOfAFullRecord) {
  std::string line =
      "22 049 123XXXXXXXXXX"
      "20261207"
      "0001234567"
      "000"
      "REF 12345 X";
  EXPECT_EQ(Column(line, Transfer('A')), "049");
  EXPECT_EQ(Column(line, Transfer('B')), "123");
  EXPECT_EQ(Column(line, Transfer('C')), "07/12/2026");
  EXPECT_EQ(Column(line, Transfer('D')), "00012345,67");
  EXPECT_EQ(Column(line, Transfer('E')), "REF 12345 X");
}

TEST(RecordLayout, DatePiecesAreTrimmedNotPadded) {
  struct Case {
    std::string datePositions;  // positions 21-28: year, month, day
    std::string text;
  };
  const std::vector<Case> cases = {
      {"20261207", "07/12/2026"}, {"202612 7", "7/12/2026"}, {"2026 1 7", "7/1/2026"},
      {"        ", "//"},         {"2026", "//2026"},        {"20261", "/1/2026"},
      {"99999999", "99/99/9999"},
  };
  for (const Case& c : cases) {
    std::string line = std::string(20, '0') + c.datePositions;
    EXPECT_EQ(Column(line, Transfer('C')), c.text) << c.datePositions;
  }
  EXPECT_EQ(Column("22", Transfer('C')), "//");
}

TEST(RecordLayout, RemarksColumns) {
  std::string line = "23" + std::string("Pérez Gómez, Ana") + std::string(30 - 17, ' ') +
                     std::string(20, ' ') + "  factura 7 ";
  EXPECT_EQ(Column(line, kRemarksColumns[0]), "Pérez Gómez, Ana");
  EXPECT_EQ(Column(line, kRemarksColumns[1]), "");
  EXPECT_EQ(Column(line, kRemarksColumns[2]), "factura 7");
}

TEST(RecordLayout, AmountsOfCutLines) {
  // The joined text for a transfer line of each length around the amount field.
  std::string full = std::string(28, ' ') + "0001234567";
  struct Case {
    std::size_t length;
    std::string joined;
  };
  const std::vector<Case> cases = {
      {20, ","}, {28, ","}, {29, "0,"}, {36, "00012345,"}, {37, "00012345,6"}, {38, "00012345,67"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Column(full.substr(0, c.length), Transfer('D')), c.joined) << c.length;
  }
}

TEST(RecordLayout, ReadAmount) {
  struct Case {
    std::string text;
    std::optional<double> value;
  };
  const std::vector<Case> cases = {
      {"00012345,67", 12345.67},
      {"00000000,00", 0.0},
      {"00000001,05", 1.05},
      {"99999999,99", 99999999.99},
      {"00012345,6", 12345.6},  // a line ending inside the hundredths
      {"   12345,67", 12345.67},
      {"12345,67   ", 12345.67},
      {"  1.234,5 ", 1234.5},
      {"1.234.567,89", 1234567.89},
      {",67", 0.67},
      {"0,001", 0.0},
      {"0,005", 0.01},  // formatting to two decimals rounds half away from zero
      {"0,994", 0.99},
      {"0,995", 1.0},
      {"12", 12.0},
      // Not numbers: the cell stays empty rather than show another amount.
      {",", std::nullopt},
      {"00012345,", std::nullopt},  // a line ending inside the whole units
      {"0,", std::nullopt},
      {"00012345,  ", std::nullopt},
      {"", std::nullopt},
      {"        ,  ", std::nullopt},
      {"-0001234,56", std::nullopt},
      {"+0001234,56", std::nullopt},
      {"0001234-,56", std::nullopt},
      {"00012 45,67", std::nullopt},
      {"1234 ,56", std::nullopt},
      {"12,3 4", std::nullopt},
      {"1..234,5", std::nullopt},
      {".1234,5", std::nullopt},
      {"1234.,5", std::nullopt},
      {"12,34,56", std::nullopt},
      {"0001234A,56", std::nullopt},
      {"0001234/,56", std::nullopt},  // the bytes just below "0" and above "9"
      {"0001234:,56", std::nullopt},
      {"/0012345,67", std::nullopt},
      {"00012345,6:", std::nullopt},
      {"\t123,45", std::nullopt},
      {"1234567890123456,00", std::nullopt},  // more digits than hundredths hold exactly
  };
  for (const Case& c : cases) {
    std::optional<double> value = ReadAmount(c.text);
    ASSERT_EQ(value.has_value(), c.value.has_value()) << "'" << c.text << "'";
    if (value) {
      EXPECT_EQ(*value, *c.value) << "'" << c.text << "'";
    }
  }
}

TEST(RecordLayout, EveryAmountIsTheNearestDoubleToItsHundredths) {
  // The value must equal what a correct decimal reader gives for the same digits.
  for (long hundredths = 0; hundredths < 200000; hundredths += 7) {
    char text[32];
    std::snprintf(text, sizeof text, "%08ld,%02ld", hundredths / 100, hundredths % 100);
    char decimal[32];
    std::snprintf(decimal, sizeof decimal, "%ld.%02ld", hundredths / 100, hundredths % 100);
    std::optional<double> value = ReadAmount(text);
    ASSERT_TRUE(value) << text;
    ASSERT_EQ(*value, std::strtod(decimal, nullptr)) << text;
  }
}

}  // namespace
}  // namespace quadrelo::conversion

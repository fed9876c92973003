// Exact bytes of the records whose splitting and offsets readers are strict about.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "platform/failure.h"
#include "tests/workbook/xls_test_books.h"
#include "workbook/xls/compound_file.h"
#include "workbook/xls/document_properties.h"
#include "workbook/xls/record_writer.h"
#include "workbook/xls/shared_strings.h"
#include "workbook/xls/styles.h"
#include "workbook/xls/text_width.h"
#include "workbook/xls/worksheet_stream.h"

namespace quadrelo::xls {
namespace {

struct Record {
  std::uint16_t id;
  std::string body;
  std::size_t offset;  // of the header
};

std::uint16_t U16(const std::string& bytes, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<std::uint8_t>(bytes[at]) |
                                    static_cast<std::uint8_t>(bytes[at + 1]) << 8);
}
std::uint32_t U32(const std::string& bytes, std::size_t at) {
  return U16(bytes, at) | static_cast<std::uint32_t>(U16(bytes, at + 2)) << 16;
}

std::vector<Record> SplitRecords(const std::string& bytes) {
  std::vector<Record> records;
  for (std::size_t at = 0; at + 4 <= bytes.size();) {
    std::uint16_t size = U16(bytes, at + 2);
    records.push_back({U16(bytes, at), bytes.substr(at + 4, size), at});
    at += 4 + size;
  }
  return records;
}

// The SST and EXTSST of `strings`, as the globals hold them.
struct SharedStrings {
  std::string bytes;
  std::vector<ExtSstBucket> buckets;
};
SharedStrings WriteStrings(const StringTable& strings) {
  MemorySink sink;
  SharedStrings result;
  {
    ByteOutput out(sink);
    RecordWriter w(out, 0);
    WriteSst(w, strings, 0, result.buckets);
    WriteExtSst(w, strings.size(), result.buckets);
    out.flush();
  }
  result.bytes = sink.bytes();
  return result;
}

TEST(XlsRecordWriter, LongBodiesContinueAtTheLimit) {
  for (std::size_t size :
       {std::size_t{0}, std::size_t{8224}, std::size_t{8225}, std::size_t{20000}}) {
    MemorySink sink;
    ByteOutput out(sink);
    RecordWriter w(out, 0);
    std::string body(size, 'x');
    w.record(0x1234, body);
    out.flush();
    std::vector<Record> records = SplitRecords(sink.bytes());
    std::size_t expected = size == 0 ? 1 : (size + 8223) / 8224;
    ASSERT_EQ(records.size(), expected) << size;
    std::string joined;
    for (std::size_t i = 0; i < records.size(); ++i) {
      EXPECT_EQ(records[i].id, i == 0 ? 0x1234 : record::kContinue);
      EXPECT_LE(records[i].body.size(), 8224u);
      joined += records[i].body;
    }
    EXPECT_EQ(joined, body);
  }
}

// A piece that does not fit the record refuses the save instead of losing bytes (a debug build
// stops at the assertion).
TEST(XlsRecordWriter, AppendPastTheRoomIsRefused) {
  ByteOutput counter;
  RecordWriter w(counter, 0);
  w.begin(record::kSst);
  const std::string piece(RecordWriter::kMaxBody + 1, 'x');
#ifdef NDEBUG
  EXPECT_THROW(w.append(piece.data(), piece.size()), Failure);
#else
  EXPECT_DEATH(w.append(piece.data(), piece.size()), "room");
#endif
}

TEST(XlsSharedStrings, LongCompressedStringRepeatsItsFlagInTheContinue) {
  StringTable strings;
  strings.intern(std::string(10000, 'a'));
  std::vector<Record> records = SplitRecords(WriteStrings(strings).bytes);
  ASSERT_EQ(records.size(), 3u);  // SST, CONTINUE, EXTSST
  EXPECT_EQ(records[0].id, record::kSst);
  ASSERT_EQ(records[0].body.size(), 8224u);
  EXPECT_EQ(records[0].body.substr(0, 11), std::string("\0\0\0\0\1\0\0\0\x10\x27\0", 11));
  EXPECT_EQ(records[1].id, record::kContinue);
  ASSERT_EQ(records[1].body.size(), 1u + 10000 - 8213);
  EXPECT_EQ(records[1].body[0], '\0');
  EXPECT_EQ(records[1].body.substr(1), std::string(10000 - 8213, 'a'));
}

TEST(XlsSharedStrings, WideStringIsNeverSplitInsideACharacter) {
  StringTable strings;
  std::string euros;
  for (int i = 0; i < 5000; ++i) euros += "€";
  strings.intern(euros);
  std::vector<Record> records = SplitRecords(WriteStrings(strings).bytes);
  ASSERT_EQ(records.size(), 3u);
  // 8 bytes of counts, 3 of header, then whole characters only: 8212 bytes, one byte unused.
  ASSERT_EQ(records[0].body.size(), 8223u);
  EXPECT_EQ(records[0].body.substr(8, 3), std::string("\x88\x13\x01", 3));
  EXPECT_EQ(records[0].body.substr(11, 2), "\xAC\x20");
  ASSERT_EQ(records[1].body.size(), 1u + 2 * (5000 - 4106));
  EXPECT_EQ(records[1].body[0], '\1');
  EXPECT_EQ(records[1].body.substr(1, 2), "\xAC\x20");
}

// A string whose header and first character do not fit starts the CONTINUE, with no flag byte
// before it; one that fits keeps them and the CONTINUE starts with the repeated flag.
TEST(XlsSharedStrings, StringHeaderAtARecordBoundary) {
  struct Case {
    std::size_t firstLength;
    std::string second;
    std::string sstTail;        // last bytes of the SST record
    std::string continueStart;  // first bytes of the CONTINUE
  };
  const Case cases[] = {
      {8211, "xyz", "aa", std::string("\3\0\0xyz", 6)},
      {8210, "xyz", "aaa", std::string("\3\0\0xyz", 6)},
      {8209, "xyz", std::string("a\3\0\0x", 5), std::string("\0yz", 3)},
      {8209, "€", std::string("aa", 2), std::string("\1\0\1\xAC\x20", 5)},
      {8208, "€", std::string("a\1\0\1\xAC\x20", 6), ""},
  };
  for (const Case& c : cases) {
    StringTable strings;
    strings.intern(std::string(c.firstLength, 'a'));
    strings.intern(c.second);
    std::vector<Record> records = SplitRecords(WriteStrings(strings).bytes);
    const std::string& sst = records[0].body;
    ASSERT_GE(sst.size(), c.sstTail.size());
    EXPECT_EQ(sst.substr(sst.size() - c.sstTail.size()), c.sstTail) << c.firstLength;
    if (c.continueStart.empty()) {
      EXPECT_EQ(records[1].id, record::kExtSst) << c.firstLength;
    } else {
      ASSERT_EQ(records[1].id, record::kContinue) << c.firstLength;
      EXPECT_EQ(records[1].body, c.continueStart) << c.firstLength;
    }
  }
}

// Readers decode a string's part in each record on its own: a surrogate pair is not split.
TEST(XlsSharedStrings, SurrogatePairsStayInOneRecord) {
  StringTable strings;
  std::string pairs = "b";
  for (int i = 0; i < 4200; ++i) pairs += "😀";
  strings.intern(pairs);
  std::vector<Record> records = SplitRecords(WriteStrings(strings).bytes);
  ASSERT_EQ(records[1].id, record::kContinue);
  // 4106 units would fit; the last of them would be a lone high surrogate.
  EXPECT_EQ(records[0].body.size(), 8u + 3 + 2 * 4105);
  EXPECT_EQ(records[1].body.substr(0, 5), std::string("\1\x3D\xD8\x00\xDE", 5));

  // A string starting with a pair needs room for the whole pair next to its header.
  StringTable second;
  second.intern(std::string(8209, 'a'));
  second.intern("😀x");
  records = SplitRecords(WriteStrings(second).bytes);
  EXPECT_EQ(records[0].body.size(), 8u + 3 + 8209);
  ASSERT_EQ(records[1].id, record::kContinue);
  EXPECT_EQ(records[1].body, std::string("\3\0\1\x3D\xD8\x00\xDE\x78\0", 9));
}

// Each string as the SST holds it: header (units, flag) and characters, one byte each when all
// fit in Latin-1; malformed UTF-8 becomes U+FFFD, which does not.
TEST(XlsSharedStrings, StringsAreStoredNarrowOnlyWhenEveryCharacterFits) {
  struct Case {
    std::string utf8, stored;
  };
  const Case cases[] = {
      {"a\xC3\xB1o", std::string("\3\0\0a\xF1o", 6)},
      {"\xC2\x80\xC3\xBF", std::string("\2\0\0\x80\xFF", 5)},
      {"\xC3\xB1\xE2\x82\xAC", std::string("\2\0\1\xF1\0\xAC\x20", 7)},
      {"a\xC3", std::string("\2\0\1a\0\xFD\xFF", 7)},
      {"\xC3(", std::string("\2\0\1\xFD\xFF(\0", 7)},
      {"\xC1\x81", std::string("\2\0\1\xFD\xFF\xFD\xFF", 7)},
      {"\xE2\x82(", std::string("\2\0\1\xFD\xFF(\0", 7)},  // one U+FFFD for a cut "€"
      // Long runs of ASCII around Latin-1 letters.
      {"TRANSFERENCIA N\xC2\xBA 12345678 A\xC3\x91O",
       std::string("\x1D\0\0TRANSFERENCIA N\xBA 12345678 A\xD1O", 32)},
  };
  for (const Case& c : cases) {
    StringTable strings;
    strings.intern(c.utf8);
    std::vector<Record> records = SplitRecords(WriteStrings(strings).bytes);
    ASSERT_EQ(records[0].id, record::kSst);
    EXPECT_EQ(records[0].body.substr(8), c.stored) << c.utf8;
  }
}

TEST(XlsSharedStrings, ExtSstPointsAtEveryBucketsFirstString) {
  StringTable strings;
  for (int i = 0; i < 3000; ++i) {
    strings.intern((i % 3 == 0   ? "ñ"
                    : i % 3 == 1 ? "€"
                                 : "a") +
                   std::string(40, 'a') + std::to_string(i));
  }
  SharedStrings written = WriteStrings(strings);
  std::vector<Record> records = SplitRecords(written.bytes);
  ASSERT_GT(records.size(), 10u);
  const Record& extSst = records.back();
  ASSERT_EQ(extSst.id, record::kExtSst);
  std::uint16_t perBucket = U16(extSst.body, 0);
  EXPECT_EQ(perBucket, 3000 / 128 + 1);
  std::size_t buckets = (extSst.body.size() - 2) / 8;
  EXPECT_EQ(buckets, (3000u + perBucket - 1) / perBucket);
  EXPECT_LE(buckets, 128u);
  for (std::size_t b = 0; b < buckets; ++b) {
    std::uint32_t at = U32(extSst.body, 2 + 8 * b);
    std::uint16_t inRecord = U16(extSst.body, 6 + 8 * b);
    std::string expected = std::string(strings[static_cast<std::uint32_t>(b * perBucket)]);
    std::size_t units = expected.size() - (expected[0] == 'a' ? 0 : expected[0] == '\xC3' ? 1 : 2);
    EXPECT_EQ(U16(written.bytes, at), units) << b;
    std::uint16_t header = U16(written.bytes, at - inRecord);
    EXPECT_TRUE(header == record::kSst || header == record::kContinue) << b;
  }

  // Measured apart, as the globals' plan does.
  EXPECT_EQ(SharedStringsSize(strings), written.bytes.size());
}

TEST(XlsSharedStrings, ExtSstBucketSizeHasAMinimumOfEight) {
  EXPECT_EQ(ExtSstBucketSize(0), 8);
  EXPECT_EQ(ExtSstBucketSize(1023), 8);
  EXPECT_EQ(ExtSstBucketSize(1024), 9);
  EXPECT_EQ(ExtSstBucketSize(6008), 47);
}

TEST(XlsStyles, OneXfPerBoldAndFormatAndNoFontFour) {
  StyleTable styles({"General", "@", "##,##0.00", "@", "0.00"});
  EXPECT_EQ(styles.cellXf(false, 0), 15);
  EXPECT_EQ(styles.cellXf(false, 1), 16);
  EXPECT_EQ(styles.cellXf(false, 3), 16);  // the same format text twice
  EXPECT_EQ(styles.cellXf(true, 2), 17);
  EXPECT_EQ(styles.cellXf(true, 2), 17);
  EXPECT_EQ(styles.cellXf(false, 99), 15);  // unknown format: "General"
  EXPECT_EQ(styles.formatCode(1), 49);
  EXPECT_EQ(styles.formatCode(2), 164);
  EXPECT_EQ(styles.formatCode(4), 2);

  MemorySink sink;
  ByteOutput out(sink);
  RecordWriter w(out, 0);
  styles.writeFonts(w);
  styles.writeFormats(w);
  styles.writeXfs(w);
  out.flush();
  std::vector<Record> records = SplitRecords(sink.bytes());
  // Excel's eight currency and accounting formats come first, then the workbook's own.
  ASSERT_EQ(records.size(), 5u + 8 + 1 + 18);
  EXPECT_EQ(U16(records[4].body, 6), 700);  // the bold font, addressed as index 5
  std::vector<std::uint16_t> codes;
  for (std::size_t i = 5; i < 13; ++i) codes.push_back(U16(records[i].body, 0));
  EXPECT_EQ(codes, (std::vector<std::uint16_t>{5, 6, 7, 8, 42, 41, 44, 43}));
  EXPECT_EQ(records[13].id, record::kFormat);
  EXPECT_EQ(records[13].body, std::string("\xA4\0\x09\0\0##,##0.00", 14));
  const std::string& boldAmount = records[14 + 17].body;
  EXPECT_EQ(boldAmount.size(), 20u);
  EXPECT_EQ(U16(boldAmount, 0), 5);
  EXPECT_EQ(U16(boldAmount, 2), 164);
  EXPECT_EQ(U16(boldAmount, 4), 0x0001);
  EXPECT_EQ(U16(boldAmount, 8), 0x0C00);
  for (std::size_t i = 14; i < records.size(); ++i) EXPECT_NE(U16(records[i].body, 0), 4);
}

// The plan decides the sheet offsets before the cells are written: both must agree for any
// contents, odd ones included.
TEST(XlsWorksheet, WrittenSizeAndDimensionsMatchThePlan) {
  Book book;
  book.formats.push_back("@");
  Sheet& odd = AddSheet(book, "odd");
  odd.columnFormats = {0, 1};
  odd.rows.resize(70000);
  odd.rows[3] = {NumberCell(5, 1.0),   TextCell(book, 2, "b"), NumberCell(5, 2.5),
                 NumberCell(300, 1.0), BlankCell(1, false, 1), BlankCell(0)};
  odd.rows[4] = {NumberCell(0, std::numeric_limits<double>::quiet_NaN()),
                 NumberCell(1, 1e300),
                 NumberCell(2, 0.1),
                 NumberCell(3, -0.0),
                 NumberCell(4, 123456789.0),
                 BlankCell(6, true)};
  Cell badText = TextCell(book, 7, "x");
  badText.text = 999;
  odd.rows[4].push_back(badText);
  odd.rows[69999] = {TextCell(book, 0, "beyond the last row")};
  Sheet& empty = AddSheet(book, "empty");
  empty.rows.resize(10);
  empty.rows[2] = {BlankCell(3)};

  struct Expected {
    std::uint32_t firstRow, rowEnd;
    std::uint16_t firstColumn, columnEnd;
  };
  const Expected expected[] = {{3, 5, 0, 8}, {0, 0, 0, 0}};
  for (std::size_t i = 0; i < book.sheets.size(); ++i) {
    StyleTable styles(book.formats);
    WorksheetPlan plan = PlanWorksheet(*book.sheets[i], book.strings, styles);
    EXPECT_EQ(plan.firstRow, expected[i].firstRow) << i;
    EXPECT_EQ(plan.rowEnd, expected[i].rowEnd) << i;
    EXPECT_EQ(plan.firstColumn, expected[i].firstColumn) << i;
    EXPECT_EQ(plan.columnEnd, expected[i].columnEnd) << i;
    MemorySink sink;
    ByteOutput out(sink);
    RecordWriter w(out, 0);
    WriteWorksheet(*book.sheets[i], plan, false, book.strings, styles, w);
    out.flush();
    EXPECT_EQ(sink.bytes().size(), plan.size) << i;
    for (const Record& r : SplitRecords(sink.bytes())) {
      if (r.id != record::kLabelSst && r.id != record::kNumber && r.id != record::kRk &&
          r.id != record::kBlank) {
        continue;
      }
      EXPECT_GE(U16(r.body, 0), plan.firstRow);
      EXPECT_LT(U16(r.body, 0), plan.rowEnd);
      EXPECT_GE(U16(r.body, 2), plan.firstColumn);
      EXPECT_LT(U16(r.body, 2), plan.columnEnd);
    }
  }
}

TEST(XlsWorksheet, NumbersUseRkOnlyWhenExact) {
  struct Case {
    double value;
    std::uint16_t record;
    std::uint32_t rk;
  };
  const Case cases[] = {
      {0.0, record::kRk, 0x00000002},         {-1.0, record::kRk, 0xFFFFFFFE},
      {536870911.0, record::kRk, 0x7FFFFFFE}, {1.5, record::kRk, 0x3FF80000},
      {-0.0, record::kRk, 0x80000000},        {1234.56, record::kNumber, 0},
      {536870912.0, record::kRk, 0x41C00000}, {0.1, record::kNumber, 0},
  };
  for (const Case& c : cases) {
    Book book;
    Sheet& sheet = AddSheet(book, "n");
    sheet.rows = {{NumberCell(0, c.value)}};
    StyleTable styles(book.formats);
    WorksheetPlan plan = PlanWorksheet(sheet, book.strings, styles);
    MemorySink sink;
    ByteOutput out(sink);
    RecordWriter w(out, 0);
    WriteWorksheet(sheet, plan, false, book.strings, styles, w);
    out.flush();
    bool found = false;
    for (const Record& r : SplitRecords(sink.bytes())) {
      if (r.id != record::kRk && r.id != record::kNumber) continue;
      found = true;
      EXPECT_EQ(r.id, c.record) << c.value;
      if (r.id == record::kRk) {
        EXPECT_EQ(U32(r.body, 6), c.rk) << c.value;
      }
      if (r.id == record::kNumber) {
        double back;
        std::memcpy(&back, r.body.data() + 6, 8);
        EXPECT_EQ(back, c.value);
      }
    }
    EXPECT_TRUE(found) << c.value;
  }
}

// Column widths start from these estimates: eight ASCII bytes at a time take a path of their
// own, so each case is also given past eight bytes.
TEST(XlsColumnWidths, TextWidthInQuarterCharacters) {
  struct Case {
    std::string text;
    unsigned quarters;
  };
  const Case cases[] = {
      {"", 0},
      {"0049", 16},
      {"AZ@[az`{", 4 * 8 + 2},  // only A and Z of these are capitals
      {"MWmw", 24},
      {"MWmwMWmw.", 52},
      {"GARCÍA LÓPEZ, MARÍA", 19 * 4 + 13 + 1 + 3},  // 13 capitals, M once more, 3 accented
      {"Ñandú año", 9 * 4 + 1},                      // one capital: Ñ
      {"漢字漢字漢字漢字", 8 * 8 + 4},  // 字 ends in a byte below 0x9F: a quarter more
      {std::string(63, 'W'), 255},
      {std::string(64, '.'), 255},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TextWidthQuarters(c.text), c.quarters) << c.text;
    std::string longer = c.text + "12345678";
    if (c.quarters + 32 < 255) {
      EXPECT_EQ(TextWidthQuarters("12345678" + c.text), c.quarters + 32) << c.text;
      EXPECT_EQ(TextWidthQuarters(longer), c.quarters + 32) << c.text;
    }
  }
  // The word path against the sum of its bytes, each measured alone: every byte value in every
  // place of texts up to three words, amid capitals, wide letters and others.
  unsigned alone[256];
  for (int b = 0; b < 256; ++b) alone[b] = TextWidthQuarters(std::string(1, static_cast<char>(b)));
  for (std::string filler : {"aMbWcZdA", "mmmmmmmm", "19.,-/ _"}) {
    for (std::size_t length = 8; length <= 24; ++length) {
      for (std::size_t at = 0; at < length; ++at) {
        for (int b = 0; b < 256; ++b) {
          std::string text;
          while (text.size() < length) text += filler;
          text.resize(length);
          text[at] = static_cast<char>(b);
          unsigned plain = 0;
          for (char c : text) plain += alone[static_cast<unsigned char>(c)];
          ASSERT_EQ(TextWidthQuarters(text), std::min(plain, 255u)) << text;
        }
      }
    }
  }
}

// Stream sizes (in sectors) around the 109 FAT sectors the header can list by itself, with and
// without the document properties' mini stream and mini FAT.
TEST(XlsCompoundFile, FatAndDifatAroundTheHeadersLimit) {
  struct Case {
    std::uint32_t streamSectors, fat, difat;
    bool properties;
  };
  const Case cases[] = {
      {9, 1, 0, false},       {126, 1, 0, false},     {127, 2, 0, false},
      {13715, 108, 0, false}, {13716, 109, 0, false}, {13842, 109, 0, false},
      {13843, 110, 1, false}, {29970, 236, 1, false}, {29971, 237, 2, false},
      {9, 1, 0, true},        {124, 1, 0, true},      {125, 2, 0, true},
      {13713, 108, 0, true},  {13714, 109, 0, true},  {13840, 109, 0, true},
      {13841, 110, 1, true},
  };
  const std::vector<SmallStream> properties = DocumentPropertyStreams({});
  for (const Case& c : cases) {
    CompoundFileLayout layout = PlanCompoundFile(
        std::uint64_t{c.streamSectors} * 512,
        c.properties ? std::span<const SmallStream>(properties) : std::span<const SmallStream>());
    EXPECT_EQ(layout.streamSectors, c.streamSectors);
    EXPECT_EQ(layout.fatSectors, c.fat) << c.streamSectors;
    EXPECT_EQ(layout.difatSectors, c.difat) << c.streamSectors;
    EXPECT_EQ(layout.miniFatSectors, c.properties ? 1u : 0u);
    EXPECT_LE(layout.totalSectors(), 128u * layout.fatSectors);
    EXPECT_GT(layout.totalSectors(), 128u * (layout.fatSectors - 1));
  }
  EXPECT_EQ(PlanCompoundFile(10).streamSize, 4097u);
  EXPECT_EQ(PlanCompoundFile(4096).streamSize, 4097u);
  EXPECT_EQ(PlanCompoundFile(4097).streamSectors, 9u);
}

// A whole compound file with a Workbook stream of zeros.
std::string Container(const CompoundFileLayout& layout, std::span<const SmallStream> small) {
  MemorySink sink;
  ByteOutput out(sink);
  WriteCompoundHeader(layout, out);
  out.zeros(layout.contentSize);
  WriteCompoundTail(layout, small, out);
  out.flush();
  return sink.bytes();
}

// Any number of small streams: the root's children form a red-black search tree in the order
// names are compared (length first), and each stream's mini chain holds its bytes, across more
// than one mini FAT sector.
TEST(XlsCompoundFile, DirectoryTreeAndMiniStreamForAnyNumberOfStreams) {
  for (std::size_t n = 0; n <= 9; ++n) {
    std::vector<SmallStream> small;
    for (std::size_t i = 0; i < n; ++i) {
      small.push_back({std::u16string(1 + (i * 7) % 5, char16_t(u'a' + i)),
                       std::string(i * 450, char('0' + i))});
    }
    CompoundFileLayout layout = PlanCompoundFile(5000, small);
    const std::string file = Container(layout, small);
    ASSERT_EQ(file.size(), layout.fileSize());
    auto entry = [&](std::uint32_t id) {
      return file.substr(std::size_t{layout.directorySector() + 1} * 512 + 128 * id, 128);
    };
    auto name = [&](std::uint32_t id) {
      std::string e = entry(id);
      std::string ascii;
      for (std::size_t k = 0; k + 2 < U16(e, 64); k += 2) ascii += e[k];
      return std::pair(ascii.size(), ascii);
    };
    std::vector<std::uint32_t> inOrder;
    std::function<int(std::uint32_t, bool)> walk = [&](std::uint32_t id, bool parentRed) {
      if (id == 0xFFFFFFFF) return 0;
      std::string e = entry(id);
      bool red = e[67] == 0;
      EXPECT_FALSE(red && parentRed) << n;
      int left = walk(U32(e, 68), red);
      inOrder.push_back(id);
      EXPECT_EQ(left, walk(U32(e, 72), red)) << n;
      return left + (red ? 0 : 1);
    };
    walk(U32(entry(0), 76), false);
    ASSERT_EQ(inOrder.size(), n + 1);
    for (std::size_t k = 1; k < inOrder.size(); ++k) {
      EXPECT_LT(name(inOrder[k - 1]), name(inOrder[k])) << n;
    }
    std::size_t ministream = std::size_t{layout.firstMiniStreamSector() + 1} * 512;
    std::size_t miniFat = std::size_t{layout.firstMiniFatSector() + 1} * 512;
    for (std::uint32_t i = 0; i < n; ++i) {
      std::string e = entry(2 + i);
      ASSERT_EQ(U32(e, 120), small[i].bytes.size());
      std::string bytes;
      for (std::uint32_t s = U32(e, 116); s != 0xFFFFFFFE; s = U32(file, miniFat + 4 * s)) {
        bytes += file.substr(ministream + 64 * s, 64);
      }
      EXPECT_EQ(bytes.substr(0, small[i].bytes.size()), small[i].bytes) << n << " " << i;
      EXPECT_EQ((bytes.size() + 63) / 64, (small[i].bytes.size() + 63) / 64);
    }
  }
}

TEST(XlsCompoundFile, HeaderFatAndDifatBytes) {
  for (std::uint32_t sectors : {13713u, 13840u, 13841u}) {
    const std::vector<SmallStream> properties = DocumentPropertyStreams({});
    CompoundFileLayout layout = PlanCompoundFile(std::uint64_t{sectors} * 512 - 100, properties);
    const std::string file = Container(layout, properties);
    ASSERT_EQ(file.size(), layout.fileSize());
    EXPECT_EQ(file.substr(0, 8), "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1");
    EXPECT_EQ(U32(file, 0x2C), layout.fatSectors);
    EXPECT_EQ(U32(file, 0x30), layout.directorySector());
    EXPECT_EQ(U32(file, 0x44), layout.difatSectors ? layout.firstDifatSector() : 0xFFFFFFFEu);
    EXPECT_EQ(U32(file, 0x48), layout.difatSectors);
    EXPECT_EQ(U32(file, 0x3C), layout.firstMiniFatSector());
    EXPECT_EQ(U32(file, 0x40), 1u);
    auto sector = [&](std::uint32_t n) { return std::size_t{n + 1} * 512; };
    // Every FAT sector is listed exactly once: in the header, then in the DIFAT sector.
    std::vector<std::uint32_t> listed;
    for (int i = 0; i < 109; ++i) listed.push_back(U32(file, 0x4C + 4 * i));
    for (std::uint32_t d = 0; d < layout.difatSectors; ++d) {
      for (int i = 0; i < 127; ++i)
        listed.push_back(U32(file, sector(layout.firstDifatSector() + d) + 4 * i));
      EXPECT_EQ(U32(file, sector(layout.firstDifatSector() + d) + 508), 0xFFFFFFFEu);
    }
    for (std::size_t i = 0; i < listed.size(); ++i) {
      EXPECT_EQ(listed[i], i < layout.fatSectors ? layout.firstFatSector() + i : 0xFFFFFFFFu) << i;
    }
    auto fat = [&](std::uint32_t entry) {
      return U32(file, sector(layout.firstFatSector() + entry / 128) + 4 * (entry % 128));
    };
    EXPECT_EQ(fat(0), 1u);
    EXPECT_EQ(fat(layout.streamSectors - 1), 0xFFFFFFFEu);
    EXPECT_EQ(fat(layout.firstMiniStreamSector()), 0xFFFFFFFEu);
    EXPECT_EQ(fat(layout.firstMiniFatSector()), 0xFFFFFFFEu);
    if (layout.difatSectors) {
      EXPECT_EQ(fat(layout.firstDifatSector()), 0xFFFFFFFCu);
    }
    EXPECT_EQ(fat(layout.firstFatSector()), 0xFFFFFFFDu);
    EXPECT_EQ(fat(layout.directorySector() - 1), 0xFFFFFFFDu);
    EXPECT_EQ(fat(layout.directorySector()), 0xFFFFFFFEu);
    if (layout.totalSectors() % 128 != 0) {
      EXPECT_EQ(fat(layout.totalSectors()), 0xFFFFFFFFu);
    }
    std::size_t workbook = sector(layout.directorySector()) + 128;
    EXPECT_EQ(file.substr(workbook, 18), std::string("W\0o\0r\0k\0b\0o\0o\0k\0\0\0", 18));
    EXPECT_EQ(U32(file, workbook + 120), layout.streamSize);
    EXPECT_EQ(U32(file, workbook - 128 + 116), layout.firstMiniStreamSector());  // the root
    EXPECT_EQ(U32(file, workbook - 128 + 120), 64u * layout.miniSectors);
  }
}

}  // namespace
}  // namespace quadrelo::xls

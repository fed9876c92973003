#include "tools/xls_structure/xls_structure.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "tools/xls_structure/xls_grammar.h"

namespace quadrelo::fuzzing {

namespace {

constexpr std::size_t kSector = 512;
constexpr std::uint32_t kDifSect = 0xFFFFFFFC;
constexpr std::uint32_t kFatSect = 0xFFFFFFFD;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kFreeSect = 0xFFFFFFFF;
constexpr std::uint32_t kNoStream = 0xFFFFFFFF;
constexpr std::size_t kMaxBody = 8224;

struct Fault {
  std::string what;
};

[[noreturn]] void Fail(std::string what) { throw Fault{std::move(what)}; }

void Require(bool condition, const char* what) {
  if (!condition) Fail(what);
}

std::uint16_t Get16(std::string_view bytes, std::size_t at) {
  if (at + 2 > bytes.size()) Fail("read past the end of a structure");
  return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                    static_cast<unsigned char>(bytes[at + 1]) << 8);
}

std::uint32_t Get32(std::string_view bytes, std::size_t at) {
  return Get16(bytes, at) | static_cast<std::uint32_t>(Get16(bytes, at + 2)) << 16;
}

// ---- Compound file -----------------------------------------------------------------------

class Container {
 public:
  explicit Container(std::string_view file) : file_(file) {
    Require(file.size() >= 2 * kSector, "file shorter than a header and one sector");
    Require(file.size() % kSector == 0, "file size is not a whole number of sectors");
    static const unsigned char kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    Require(std::memcmp(file.data(), kSignature, 8) == 0, "no compound-file signature");
    Require(Get16(file, 0x1A) == 3, "not a version 3 compound file");
    Require(Get16(file, 0x1C) == 0xFFFE, "byte order mark is wrong");
    Require(Get16(file, 0x1E) == 9, "sector size is not 512");
    Require(Get16(file, 0x20) == 6, "mini sector size is not 64");
    Require(Get32(file, 0x28) == 0, "version 3 file declares directory sectors");
    Require(Get32(file, 0x38) == 4096, "mini stream cutoff is not 4096");
    count_ = static_cast<std::uint32_t>(file.size() / kSector - 1);
    owner_.assign(count_, 0);
    readFat();
  }

  std::uint32_t sectors() const { return count_; }
  std::string_view sector(std::uint32_t n) const {
    return file_.substr(static_cast<std::size_t>(n + 1) * kSector, kSector);
  }
  std::uint32_t next(std::uint32_t n) const { return fat_[n]; }

  // Follows a chain, claiming its sectors for `owner`; fails on loops, crossings and bad links.
  std::vector<std::uint32_t> chain(std::uint32_t start, char owner) {
    std::vector<std::uint32_t> sectors;
    for (std::uint32_t s = start; s != kEndOfChain; s = fat_[s]) {
      if (s >= count_) Fail("a chain leads outside the file");
      if (owner_[s] != 0) Fail("a sector belongs to two chains, or a chain loops");
      owner_[s] = owner;
      sectors.push_back(s);
    }
    return sectors;
  }

  // Every sector belongs to some structure or is marked free.
  void checkAllAccounted() const {
    for (std::uint32_t s = 0; s < count_; ++s) {
      if (owner_[s] == 0 && fat_[s] != kFreeSect) Fail("a sector in use belongs to no chain");
    }
  }

 private:
  void readFat() {
    std::uint32_t fatCount = Get32(file_, 0x2C);
    std::uint32_t difatCount = Get32(file_, 0x48);
    Require(fatCount >= 1, "no FAT sector");
    Require(static_cast<std::uint64_t>(fatCount) * 128 >= count_,
            "the FAT does not cover the file");
    Require(fatCount <= count_, "more FAT sectors than sectors");
    std::vector<std::uint32_t> fatSectors;
    for (std::uint32_t i = 0; i < 109; ++i) {
      std::uint32_t entry = Get32(file_, 0x4C + 4 * i);
      if (i < fatCount)
        fatSectors.push_back(entry);
      else
        Require(entry == kFreeSect, "unused header DIFAT entry is not free");
    }
    std::vector<std::uint32_t> difatSectors;
    std::uint32_t s = Get32(file_, 0x44);
    for (std::uint32_t i = 0; i < difatCount; ++i) {
      Require(s < count_, "a DIFAT sector lies outside the file");
      difatSectors.push_back(s);
      std::string_view bytes = sector(s);
      for (std::uint32_t k = 0; k < 127; ++k) {
        std::uint32_t entry = Get32(bytes, 4 * k);
        if (fatSectors.size() < fatCount)
          fatSectors.push_back(entry);
        else
          Require(entry == kFreeSect, "unused DIFAT entry is not free");
      }
      s = Get32(bytes, 508);
    }
    Require(s == kEndOfChain || s == kFreeSect, "the DIFAT chain does not end");
    Require(fatSectors.size() == fatCount, "the DIFAT lists fewer FAT sectors than declared");

    fat_.reserve(static_cast<std::size_t>(fatCount) * 128);
    for (std::uint32_t f : fatSectors) {
      Require(f < count_, "a FAT sector lies outside the file");
      std::string_view bytes = sector(f);
      for (std::uint32_t k = 0; k < 128; ++k) fat_.push_back(Get32(bytes, 4 * k));
    }
    for (std::uint32_t f : fatSectors) {
      Require(fat_[f] == kFatSect, "a FAT sector is not marked as one");
      Require(owner_[f] == 0, "a FAT sector is listed twice");
      owner_[f] = 'F';
    }
    for (std::uint32_t d : difatSectors) {
      Require(fat_[d] == kDifSect, "a DIFAT sector is not marked as one");
      Require(owner_[d] == 0, "a DIFAT sector is used twice");
      owner_[d] = 'D';
    }
    // Entries past the last sector must be free.
    for (std::size_t k = count_; k < fat_.size(); ++k) {
      Require(fat_[k] == kFreeSect, "the FAT maps a sector beyond the file");
    }
    for (std::uint32_t k = 0; k < count_; ++k) {
      std::uint32_t e = fat_[k];
      Require(e < count_ || e >= kDifSect, "a FAT entry is neither a sector nor a marker");
      if ((e == kFatSect && owner_[k] != 'F') || (e == kDifSect && owner_[k] != 'D'))
        Fail("a sector is marked FAT or DIFAT without being one");
    }
  }

  std::string_view file_;
  std::uint32_t count_ = 0;
  std::vector<std::uint32_t> fat_;
  std::vector<char> owner_;
};

std::u16string EntryName(std::string_view entry) {
  std::uint16_t length = Get16(entry, 0x40);
  std::u16string name;
  for (std::size_t i = 0; i + 2 < length && i < 62; i += 2) name += char16_t(Get16(entry, i));
  return name;
}

char16_t UpperAscii(char16_t c) { return c >= u'a' && c <= u'z' ? char16_t(c - u'a' + u'A') : c; }

// The order of siblings: shorter names first, then unit by unit, upper-cased.
int CompareNames(const std::u16string& a, const std::u16string& b) {
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (UpperAscii(a[i]) != UpperAscii(b[i])) return UpperAscii(a[i]) < UpperAscii(b[i]) ? -1 : 1;
  }
  return 0;
}

bool SameName(const std::u16string& a, std::u16string_view b) {
  return CompareNames(a, std::u16string(b)) == 0;
}

// The siblings under the root form a red-black search tree: names ascend in order, no red node
// has a red child, and every path down holds as many black nodes. Returns the black height.
int WalkSiblings(const std::vector<std::string_view>& entries, std::uint32_t id, bool parentRed,
                 std::vector<std::uint32_t>& inOrder, int depth) {
  if (id == kNoStream) return 0;
  Require(depth < 64 && id < entries.size(), "the directory tree is malformed");
  Require(inOrder.size() < entries.size(), "the directory tree loops");
  bool red = entries[id][0x43] == 0;
  Require(!(red && parentRed), "two red directory entries in a row");
  int left = WalkSiblings(entries, Get32(entries[id], 0x44), red, inOrder, depth + 1);
  inOrder.push_back(id);
  int right = WalkSiblings(entries, Get32(entries[id], 0x48), red, inOrder, depth + 1);
  Require(left == right, "the directory tree is not balanced in black entries");
  return left + (red ? 0 : 1);
}

// A property set stream: its header, its first set's format identifier, and every property
// inside the set, the code page among them.
void CheckPropertySet(std::string_view stream, const unsigned char (&fmtid)[16]) {
  Require(stream.size() >= 48, "a property set stream is too short");
  Require(Get16(stream, 0) == 0xFFFE, "a property set has a bad byte order");
  Require(Get32(stream, 24) >= 1, "a property set stream holds no set");
  Require(std::memcmp(stream.data() + 28, fmtid, 16) == 0, "a property set of the wrong kind");
  std::size_t at = Get32(stream, 44);
  Require(at <= stream.size() && stream.size() - at >= 8, "a property set lies outside its stream");
  std::size_t size = Get32(stream, at);
  std::size_t count = Get32(stream, at + 4);
  Require(size <= stream.size() - at && count <= size / 8 && 8 + 8 * count <= size,
          "a property set's size is wrong");
  bool codePage = false;
  for (std::size_t i = 0; i < count; ++i) {
    std::size_t offset = Get32(stream, at + 8 + 8 * i + 4);
    Require(offset >= 8 + 8 * count && offset + 4 <= size, "a property lies outside its set");
    codePage = codePage || Get32(stream, at + 8 + 8 * i) == 1;
  }
  Require(codePage, "a property set without its code page");
}

constexpr unsigned char kSummaryFmtid[16] = {0xE0, 0x85, 0x9F, 0xF2, 0xF9, 0x4F, 0x68, 0x10,
                                             0xAB, 0x91, 0x08, 0x00, 0x2B, 0x27, 0xB3, 0xD9};
constexpr unsigned char kDocSummaryFmtid[16] = {0x02, 0xD5, 0xCD, 0xD5, 0x9C, 0x2E, 0x1B, 0x10,
                                                0x93, 0x97, 0x08, 0x00, 0x2B, 0x2C, 0xF9, 0xAE};

// A small stream's bytes, followed through the mini FAT inside the mini stream.
std::string ReadMiniStream(std::string_view ministream, const std::vector<std::uint32_t>& miniFat,
                           std::vector<char>& miniOwner, std::uint32_t start, std::uint32_t size) {
  std::string bytes;
  std::uint32_t s = start;
  for (; s != kEndOfChain && bytes.size() < size; s = miniFat[s]) {
    Require(s < miniFat.size() && std::size_t{s} * 64 + 64 <= ministream.size(),
            "a mini chain leads outside the mini stream");
    Require(miniOwner[s] == 0, "a mini sector belongs to two chains, or a chain loops");
    miniOwner[s] = 1;
    bytes.append(ministream.substr(std::size_t{s} * 64, 64));
  }
  Require(s == kEndOfChain && bytes.size() >= size && bytes.size() - size < 64,
          "a small stream's mini chain does not match its size");
  bytes.resize(size);
  return bytes;
}

std::string ReadWorkbookStream(std::string_view file, XlsSummary& summary) {
  Container cfb(file);
  std::vector<std::uint32_t> dir = cfb.chain(Get32(file, 0x30), 'd');
  Require(!dir.empty(), "no directory");
  std::vector<std::string_view> entries;
  for (std::uint32_t s : dir) {
    for (std::size_t k = 0; k < 4; ++k) entries.push_back(cfb.sector(s).substr(128 * k, 128));
  }
  Require(static_cast<unsigned char>(entries[0][0x42]) == 5, "the first entry is not the root");

  // The mini FAT and the mini stream (the root's own stream), where small streams live.
  std::vector<std::uint32_t> miniFat;
  std::vector<std::uint32_t> miniFatSectors = cfb.chain(Get32(file, 0x3C), 'm');
  Require(miniFatSectors.size() == Get32(file, 0x40), "the mini FAT chain differs from its count");
  for (std::uint32_t s : miniFatSectors) {
    for (std::size_t k = 0; k < 128; ++k) miniFat.push_back(Get32(cfb.sector(s), 4 * k));
  }
  std::uint32_t rootSize = Get32(entries[0], 0x78);
  std::vector<std::uint32_t> rootSectors =
      rootSize > 0 ? cfb.chain(Get32(entries[0], 0x74), 'r') : std::vector<std::uint32_t>{};
  Require(rootSectors.size() == (std::uint64_t{rootSize} + kSector - 1) / kSector,
          "the mini stream's chain does not match its size");
  std::string ministream;
  for (std::uint32_t s : rootSectors) ministream.append(cfb.sector(s));
  ministream.resize(rootSize);
  std::vector<char> miniOwner(miniFat.size(), 0);

  std::string_view workbook;
  std::size_t streams = 0;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    std::string_view e = entries[i];
    auto type = static_cast<unsigned char>(e[0x42]);
    if (type == 0) continue;
    Require(type == 1 || type == 2 || type == 5, "a directory entry of unknown type");
    std::uint16_t nameLength = Get16(e, 0x40);
    Require(nameLength >= 2 && nameLength <= 64 && nameLength % 2 == 0, "bad entry name length");
    Require(Get16(e, nameLength - 2) == 0, "entry name is not terminated");
    for (std::size_t link : {0x44u, 0x48u, 0x4Cu}) {
      std::uint32_t id = Get32(e, link);
      Require(id == kNoStream || (id < entries.size() && id != i), "a directory link is bad");
    }
    Require(Get32(e, 0x7C) == 0, "a stream larger than 4 GiB in a version 3 file");
    std::u16string name = EntryName(e);
    if (type == 5) {
      Require(i == 0, "a second root entry");
      continue;
    }
    Require(type == 2, "a storage inside the workbook file");
    ++streams;
    if (SameName(name, u"Workbook")) {
      Require(workbook.empty(), "two Workbook streams");
      workbook = e;
      continue;
    }
    bool summaryInfo = SameName(name, u"\u0005SummaryInformation");
    bool documentInfo = SameName(name, u"\u0005DocumentSummaryInformation");
    if (!summaryInfo && !documentInfo) Fail("an unexpected stream beside Workbook");
    std::uint32_t size = Get32(e, 0x78);
    Require(size < 4096, "a property set stream outside the mini stream");
    std::string bytes = ReadMiniStream(ministream, miniFat, miniOwner, Get32(e, 0x74), size);
    CheckPropertySet(bytes, summaryInfo ? kSummaryFmtid : kDocSummaryFmtid);
    ++summary.propertySets;
  }
  Require(!workbook.empty(), "no Workbook stream");
  std::vector<std::uint32_t> inOrder;
  WalkSiblings(entries, Get32(entries[0], 0x4C), false, inOrder, 0);
  Require(inOrder.size() == streams, "a stream is not reachable from the root");
  for (std::size_t k = 1; k < inOrder.size(); ++k) {
    Require(CompareNames(EntryName(entries[inOrder[k - 1]]), EntryName(entries[inOrder[k]])) < 0,
            "directory entries out of order");
  }

  std::uint32_t size = Get32(workbook, 0x78);
  Require(size >= 4096, "the Workbook stream is below the mini-stream cutoff");
  std::vector<std::uint32_t> sectors = cfb.chain(Get32(workbook, 0x74), 'w');
  Require(sectors.size() == (static_cast<std::uint64_t>(size) + kSector - 1) / kSector,
          "the Workbook chain does not match its size");
  cfb.checkAllAccounted();

  summary.streamSize = size;
  std::string stream;
  stream.reserve(size);
  for (std::uint32_t s : sectors) stream.append(cfb.sector(s));
  stream.resize(size);
  return stream;
}

// ---- Workbook stream -------------------------------------------------------------------------

using Record = BiffRecord;

// The stream's records, up to the zeros that may pad it after the last EOF.
std::vector<Record> SplitRecords(std::string_view stream) {
  std::vector<Record> records;
  std::size_t pos = 0;
  bool open = false;  // between a BOF and its EOF, for finding where the padding starts
  while (pos < stream.size()) {
    if (!open && !records.empty()) {
      bool zeros = true;
      for (std::size_t k = pos; k < stream.size() && zeros; ++k) zeros = stream[k] == 0;
      if (zeros) break;
    }
    Require(pos + 4 <= stream.size(), "a record header runs past the stream");
    std::uint16_t rid = Get16(stream, pos);
    std::uint16_t length = Get16(stream, pos + 2);
    Require(length <= kMaxBody, "a record body exceeds 8224 bytes");
    Require(pos + 4 + length <= stream.size(), "a record runs past the stream");
    records.push_back({rid, pos, stream.substr(pos + 4, length)});
    if (rid == 0x0809) open = true;
    if (rid == 0x000A) open = false;
    pos += 4u + length;
  }
  return records;
}

// Every substream, BOF to EOF, against the grammar of its kind (the first is the globals).
void CheckGrammar(const std::vector<Record>& records) {
  std::size_t start = 0;
  bool first = true;
  for (std::size_t r = 0; r < records.size(); ++r) {
    if (records[r].id != 0x000A) continue;
    std::string fault = CheckSubstreamGrammar(
        std::span<const Record>(records.data() + start, r + 1 - start), first);
    if (!fault.empty()) Fail(fault);
    first = false;
    start = r + 1;
  }
}

namespace id {
constexpr std::uint16_t kBof = 0x0809, kEof = 0x000A, kBoundSheet = 0x0085, kSst = 0x00FC,
                        kContinue = 0x003C, kExtSst = 0x00FF, kXf = 0x00E0, kDimensions = 0x0200,
                        kLabelSst = 0x00FD, kNumber = 0x0203, kRk = 0x027E, kBlank = 0x0201,
                        kMulRk = 0x00BD, kMulBlank = 0x00BE, kLabel = 0x0204, kBoolErr = 0x0205,
                        kFormula = 0x0006;
}

struct SstInfo {
  std::uint32_t total = 0;
  std::uint32_t unique = 0;
  std::vector<std::size_t> starts;  // stream offset of each string's character count
  bool seen = false;
};

// The strings of SST and its CONTINUE records, `segments` being their bodies in order (the SST
// body without its two counts) and `bodyOffsets` where each body starts in the stream.
void ParseStrings(const std::vector<std::string_view>& segments,
                  const std::vector<std::size_t>& bodyOffsets, SstInfo& sst) {
  std::size_t s = 0, o = 0;
  auto advance = [&]() {
    ++s;
    o = 0;
    if (s >= segments.size()) Fail("the SST ends inside a string");
  };
  for (std::uint32_t i = 0; i < sst.unique; ++i) {
    if (o == segments[s].size()) advance();
    std::string_view seg = segments[s];
    Require(o + 3 <= seg.size(), "a string's header is split across records");
    std::uint32_t left = Get16(seg, o);
    auto flags = static_cast<unsigned char>(seg[o + 2]);
    Require((flags & 0xF2) == 0, "a string has unknown flags");
    sst.starts.push_back(bodyOffsets[s] + o);
    o += 3;
    std::size_t extra = 0;
    if (flags & 0x08) {
      Require(o + 2 <= seg.size(), "a string's run count is split across records");
      extra += 4u * Get16(seg, o);
      o += 2;
    }
    if (flags & 0x04) {
      Require(o + 4 <= seg.size(), "a string's extension size is split across records");
      extra += Get32(seg, o);
      o += 4;
    }
    if (left > 0) Require(o < seg.size(), "a string's first character is not beside its header");
    std::size_t width = (flags & 0x01) ? 2 : 1;
    while (left > 0) {
      if (o == segments[s].size()) {
        advance();
        auto high = static_cast<unsigned char>(segments[s][0]);
        Require(high <= 1, "a continued string has a bad option byte");
        width = high ? 2 : 1;
        o = 1;
      }
      std::size_t room = segments[s].size() - o;
      std::size_t take = std::min<std::size_t>(left, room / width);
      Require(take > 0, "a two-byte character is split across records");
      o += take * width;
      left -= static_cast<std::uint32_t>(take);
    }
    while (extra > 0) {
      if (o == segments[s].size()) advance();
      std::size_t take = std::min(extra, segments[s].size() - o);
      o += take;
      extra -= take;
    }
  }
  Require(s + 1 == segments.size() && o == segments[s].size(),
          "the SST holds more bytes than its strings");
}

void CheckExtSst(std::string_view body, std::size_t sstOffset, const SstInfo& sst,
                 const std::vector<std::size_t>& recordOffsets) {
  std::uint16_t dsst = Get16(body, 0);
  Require(dsst >= 8, "EXTSST bucket size below 8");
  std::size_t buckets = (sst.unique + dsst - 1u) / dsst;
  // At most 128 buckets, unless even buckets of the largest size cannot hold the strings so.
  Require(buckets <= 128 || dsst == 0xFFFF, "EXTSST has more than 128 buckets");
  Require(buckets <= 128 || buckets == (sst.unique + 0xFFFEu) / 0xFFFF,
          "EXTSST has more than 128 buckets");
  Require(body.size() == 2 + 8 * buckets, "EXTSST size does not match its bucket count");
  for (std::size_t k = 0; k < buckets; ++k) {
    std::size_t ib = Get32(body, 2 + 8 * k);
    std::uint16_t cb = Get16(body, 6 + 8 * k);
    Require(ib == sst.starts[k * dsst], "an EXTSST bucket does not point at its string");
    // The record holding the string: the last one that starts before it.
    std::size_t holder = sstOffset;
    for (std::size_t r : recordOffsets) {
      if (r < ib) holder = r;
    }
    Require(ib - holder == cb, "an EXTSST bucket's offset within its record is wrong");
  }
}

struct SheetState {
  bool dimensions = false;
  std::uint32_t rowMin = 0, rowEnd = 0;
  std::uint16_t colMin = 0, colEnd = 0;
  std::uint32_t lowRow = 0xFFFFFFFF, highRow = 0;
  std::uint16_t lowCol = 0xFFFF, highCol = 0;
  std::uint64_t lastCell = 0;
  bool anyCell = false;
};

void CheckStream(std::string_view stream, XlsSummary& summary) {
  int substreams = 0;
  bool inside = false;
  bool inGlobals = false;
  std::vector<std::uint32_t> boundSheets;
  std::vector<std::size_t> sheetBofs;
  std::vector<bool> styleXf;
  SstInfo sst;
  SheetState sheet;
  std::size_t end = 0;  // after the last EOF

  std::vector<Record> records = SplitRecords(stream);

  for (std::size_t r = 0; r < records.size(); ++r) {
    const Record& rec = records[r];
    std::string_view b = rec.body;
    if (!inside) {
      Require(rec.id == id::kBof, "a record outside a BOF/EOF pair");
      Require(b.size() == 16 && Get16(b, 0) == 0x0600, "a BOF that is not BIFF8");
      std::uint16_t kind = Get16(b, 2);
      if (substreams == 0) {
        Require(kind == 0x0005, "the stream does not start with the globals");
        inGlobals = true;
      } else {
        Require(kind == 0x0010, "a substream after the globals is not a worksheet");
        sheetBofs.push_back(rec.offset);
        inGlobals = false;
        sheet = SheetState{};
      }
      inside = true;
      ++substreams;
      continue;
    }
    switch (rec.id) {
      case id::kBof:
        Fail("a BOF inside a substream");
      case id::kEof:
        Require(b.empty(), "an EOF with a body");
        if (!inGlobals && sheet.anyCell) {
          Require(sheet.lowRow == sheet.rowMin && sheet.highRow + 1 == sheet.rowEnd &&
                      sheet.lowCol == sheet.colMin && sheet.highCol + 1u == sheet.colEnd,
                  "DIMENSIONS does not fit the cells tightly");
        }
        if (!inGlobals && !sheet.anyCell && sheet.dimensions) {
          Require(sheet.rowEnd == sheet.rowMin && sheet.colEnd == sheet.colMin,
                  "DIMENSIONS of an empty sheet covers cells");
        }
        inside = false;
        end = rec.offset + 4;
        break;
      case id::kXf:
        Require(inGlobals, "an XF outside the globals");
        Require(b.size() == 20, "an XF is not 20 bytes");
        styleXf.push_back((Get16(b, 4) & 0x0004) != 0);
        break;
      case id::kBoundSheet: {
        Require(inGlobals, "a BOUNDSHEET outside the globals");
        Require(b.size() >= 8, "a BOUNDSHEET too short");
        std::uint8_t chars = static_cast<unsigned char>(b[6]);
        std::uint8_t flags = static_cast<unsigned char>(b[7]);
        Require(chars >= 1 && chars <= 31, "a sheet name of bad length");
        Require(flags <= 1, "a sheet name with bad flags");
        Require(b.size() == 8u + chars * (flags ? 2u : 1u), "a BOUNDSHEET of wrong size");
        Require(b[5] == 0, "a sheet that is not a worksheet");
        boundSheets.push_back(Get32(b, 0));
        break;
      }
      case id::kSst: {
        Require(inGlobals, "an SST outside the globals");
        Require(!sst.seen, "two SST records");
        sst.seen = true;
        Require(b.size() >= 8, "an SST too short");
        sst.total = Get32(b, 0);
        sst.unique = Get32(b, 4);
        // No rule ties the two counts: strings no cell uses any more may stay in the table.
        std::vector<std::string_view> segments{b.substr(8)};
        std::vector<std::size_t> offsets{rec.offset + 12};
        std::vector<std::size_t> recordOffsets{rec.offset};
        while (r + 1 < records.size() && records[r + 1].id == id::kContinue) {
          ++r;
          Require(!records[r].body.empty(), "an empty CONTINUE");
          segments.push_back(records[r].body);
          offsets.push_back(records[r].offset + 4);
          recordOffsets.push_back(records[r].offset);
        }
        ParseStrings(segments, offsets, sst);
        if (r + 1 < records.size() && records[r + 1].id == id::kExtSst) {
          ++r;
          CheckExtSst(records[r].body, rec.offset, sst, recordOffsets);
        }
        break;
      }
      case 0x013D:  // RRTABID: two bytes a sheet, continued past 4,112 sheets
        while (r + 1 < records.size() && records[r + 1].id == id::kContinue) ++r;
        break;
      case id::kContinue:
        Fail("a CONTINUE that continues nothing");
      case id::kExtSst:
        Fail("an EXTSST that does not follow the SST");
      case id::kDimensions:
        Require(!inGlobals, "DIMENSIONS in the globals");
        Require(!sheet.dimensions, "two DIMENSIONS in one sheet");
        Require(b.size() == 14, "DIMENSIONS is not 14 bytes");
        sheet.dimensions = true;
        sheet.rowMin = Get32(b, 0);
        sheet.rowEnd = Get32(b, 4);
        sheet.colMin = Get16(b, 8);
        sheet.colEnd = Get16(b, 10);
        Require(sheet.rowMin <= sheet.rowEnd && sheet.rowEnd <= 65536, "DIMENSIONS rows are bad");
        Require(sheet.colMin <= sheet.colEnd && sheet.colEnd <= 256, "DIMENSIONS columns are bad");
        break;
      case id::kLabelSst:
      case id::kNumber:
      case id::kRk:
      case id::kBlank:
      case id::kMulRk:
      case id::kMulBlank:
      case id::kLabel:
      case id::kBoolErr:
      case id::kFormula: {
        Require(!inGlobals, "a cell in the globals");
        Require(sheet.dimensions, "a cell before DIMENSIONS");
        Require(b.size() >= 6, "a cell record too short");
        std::uint32_t row = Get16(b, 0);
        std::uint16_t first = Get16(b, 2);
        std::uint16_t last = first;
        std::vector<std::size_t> xfAt;
        if (rec.id == id::kMulRk || rec.id == id::kMulBlank) {
          std::size_t each = rec.id == id::kMulRk ? 6 : 2;
          Require(b.size() >= 6 + each && (b.size() - 6) % each == 0, "a MUL record of bad size");
          last = Get16(b, b.size() - 2);
          Require(last >= first && (last - first + 1u) == (b.size() - 6) / each,
                  "a MUL record's columns do not match its size");
          for (std::size_t k = 4; k + 2 < b.size(); k += each) xfAt.push_back(k);
        } else {
          xfAt.push_back(4);
        }
        if (rec.id == id::kLabelSst) {
          Require(b.size() == 10, "LABELSST is not 10 bytes");
          Require(sst.seen, "a LABELSST without an SST");
          Require(Get32(b, 6) < sst.unique, "a LABELSST index beyond the SST");
          ++summary.labelCells;
        } else {
          if (rec.id == id::kNumber) Require(b.size() == 14, "NUMBER is not 14 bytes");
          if (rec.id == id::kRk) Require(b.size() == 10, "RK is not 10 bytes");
          if (rec.id == id::kBlank) Require(b.size() == 6, "BLANK is not 6 bytes");
          summary.otherCells += last - first + 1u;
        }
        for (std::size_t at : xfAt) {
          std::uint16_t xf = Get16(b, at);
          Require(xf < styleXf.size(), "a cell refers to an XF that does not exist");
          Require(!styleXf[xf], "a cell refers to a style XF");
        }
        Require(row >= sheet.rowMin && row < sheet.rowEnd && first >= sheet.colMin &&
                    last < sheet.colEnd,
                "a cell outside DIMENSIONS");
        std::uint64_t key = static_cast<std::uint64_t>(row) << 16 | first;
        Require(!sheet.anyCell || key > sheet.lastCell, "cells out of order, or one cell twice");
        sheet.lastCell = static_cast<std::uint64_t>(row) << 16 | last;
        sheet.anyCell = true;
        sheet.lowRow = std::min(sheet.lowRow, row);
        sheet.highRow = std::max(sheet.highRow, row);
        sheet.lowCol = std::min(sheet.lowCol, first);
        sheet.highCol = std::max(sheet.highCol, last);
        break;
      }
      default:
        break;
    }
  }
  Require(!inside, "the stream ends inside a substream");
  Require(substreams >= 2, "a workbook without a worksheet");
  for (std::size_t k = end; k < stream.size(); ++k) {
    Require(stream[k] == 0, "bytes after the last EOF that are not padding");
  }
  Require(boundSheets.size() == sheetBofs.size(), "BOUNDSHEET count differs from the sheets");
  for (std::size_t k = 0; k < sheetBofs.size(); ++k) {
    Require(boundSheets[k] == sheetBofs[k], "a BOUNDSHEET offset does not land on its BOF");
  }
  Require(sst.seen, "no SST");
  Require(sst.total == summary.labelCells, "the SST's total differs from the LABELSST count");
  CheckGrammar(records);
  summary.sheets = static_cast<std::uint32_t>(sheetBofs.size());
  summary.uniqueStrings = sst.unique;
}

// The Workbook stream of any compound file, Excel's own included: only what it takes to find
// the stream and follow its chain is checked.
std::string ReadAnyWorkbookStream(std::string_view file) {
  Container cfb(file);
  std::vector<std::uint32_t> dir = cfb.chain(Get32(file, 0x30), 'd');
  std::vector<std::string_view> entries;
  for (std::uint32_t s : dir) {
    for (std::size_t k = 0; k < 4; ++k) entries.push_back(cfb.sector(s).substr(128 * k, 128));
  }
  Require(!entries.empty(), "no directory");
  for (std::string_view e : entries) {
    if (static_cast<unsigned char>(e[0x42]) != 2 || !SameName(EntryName(e), u"Workbook")) continue;
    std::uint32_t size = Get32(e, 0x78);
    std::string stream;
    if (size >= 4096) {
      for (std::uint32_t s : cfb.chain(Get32(e, 0x74), 'w')) stream.append(cfb.sector(s));
    } else {
      std::vector<std::uint32_t> miniFat;
      for (std::uint32_t s : cfb.chain(Get32(file, 0x3C), 'm')) {
        for (std::size_t k = 0; k < 128; ++k) miniFat.push_back(Get32(cfb.sector(s), 4 * k));
      }
      std::string ministream;
      for (std::uint32_t s : cfb.chain(Get32(entries[0], 0x74), 'r')) {
        ministream.append(cfb.sector(s));
      }
      std::vector<char> owner(miniFat.size(), 0);
      stream = ReadMiniStream(ministream, miniFat, owner, Get32(e, 0x74), size);
    }
    Require(stream.size() >= size, "the Workbook chain is shorter than its size");
    stream.resize(size);
    return stream;
  }
  Fail("no Workbook stream");
}

std::string HexBytes(std::string_view bytes) {
  static const char* const kDigits = "0123456789abcdef";
  std::string out;
  for (char c : bytes) {
    out += kDigits[static_cast<unsigned char>(c) >> 4];
    out += kDigits[static_cast<unsigned char>(c) & 0xF];
  }
  return out;
}

// FNV-1a: a short fingerprint of a long body, so that a change anywhere in it shows.
std::string Fingerprint(std::string_view bytes) {
  std::uint32_t h = 2166136261u;
  for (char c : bytes) h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
  char out[9];
  std::snprintf(out, sizeof out, "%08x", h);
  return out;
}

// The fields that tell one record from another of its kind.
std::string KeyFields(const Record& r) {
  std::string_view b = r.body;
  char out[160];
  auto u16 = [&](std::size_t at) { return static_cast<unsigned>(Get16(b, at)); };
  auto u32 = [&](std::size_t at) { return static_cast<unsigned long>(Get32(b, at)); };
  switch (r.id) {
    case 0x00FD:  // LABELSST
      if (b.size() == 10) {
        std::snprintf(out, sizeof out, "r=%u c=%u xf=%u sst=%lu", u16(0), u16(2), u16(4), u32(6));
        return out;
      }
      break;
    case 0x027E:  // RK
      if (b.size() == 10) {
        std::snprintf(out, sizeof out, "r=%u c=%u xf=%u rk=%08lx", u16(0), u16(2), u16(4), u32(6));
        return out;
      }
      break;
    case 0x0203: {  // NUMBER
      if (b.size() == 14) {
        std::uint64_t bits = Get32(b, 6) | static_cast<std::uint64_t>(Get32(b, 10)) << 32;
        double value;
        std::memcpy(&value, &bits, sizeof value);
        std::snprintf(out, sizeof out, "r=%u c=%u xf=%u value=%.17g", u16(0), u16(2), u16(4),
                      value);
        return out;
      }
      break;
    }
    case 0x0201:  // BLANK
      if (b.size() == 6) {
        std::snprintf(out, sizeof out, "r=%u c=%u xf=%u", u16(0), u16(2), u16(4));
        return out;
      }
      break;
    case 0x0208:  // ROW
      if (b.size() == 16) {
        std::snprintf(out, sizeof out, "r=%u cols=%u-%u height=%u flags=%04x xf=%u", u16(0), u16(2),
                      u16(4), u16(6), u16(12), u16(14));
        return out;
      }
      break;
    default:
      break;
  }
  if (b.size() <= 40) return b.empty() ? "" : HexBytes(b);
  return HexBytes(b.substr(0, 16)) + "... fnv=" + Fingerprint(b);
}

}  // namespace

std::string DumpXlsRecords(std::string_view file) {
  try {
    std::string stream = ReadAnyWorkbookStream(file);
    std::string out;
    for (const Record& r : SplitRecords(stream)) {
      std::string name(BiffRecordName(r.id));
      char head[96];
      if (name.empty()) {
        std::snprintf(head, sizeof head, "0x%04X", static_cast<unsigned>(r.id));
        name = head;
      }
      std::snprintf(head, sizeof head, "%8zu %-20s %5zu ", r.offset, name.c_str(), r.body.size());
      out += head;
      out += KeyFields(r);
      while (!out.empty() && out.back() == ' ') out.pop_back();
      out += '\n';
    }
    return out;
  } catch (const Fault& fault) {
    return "unreadable: " + fault.what + "\n";
  }
}

std::string CheckXlsGrammar(std::string_view file) {
  try {
    std::string stream = ReadAnyWorkbookStream(file);
    CheckGrammar(SplitRecords(stream));
  } catch (const Fault& fault) {
    return fault.what;
  }
  return {};
}

std::string CheckXlsStructure(std::string_view file, XlsSummary* summary) {
  XlsSummary local;
  XlsSummary& out = summary != nullptr ? *summary : local;
  out = XlsSummary{};
  try {
    std::string stream = ReadWorkbookStream(file, out);
    CheckStream(stream, out);
  } catch (const Fault& fault) {
    return fault.what;
  }
  return {};
}

}  // namespace quadrelo::fuzzing

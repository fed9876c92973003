#pragma once

#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <string>

#include "workbook/xls/byte_output.h"

namespace quadrelo::xls {

// Record identifiers, in the order they appear in a file.
namespace record {
inline constexpr std::uint16_t kBof = 0x0809;
// The globals.
inline constexpr std::uint16_t kInterfaceHdr = 0x00E1;
inline constexpr std::uint16_t kMms = 0x00C1;
inline constexpr std::uint16_t kInterfaceEnd = 0x00E2;
inline constexpr std::uint16_t kWriteAccess = 0x005C;
inline constexpr std::uint16_t kCodePage = 0x0042;
inline constexpr std::uint16_t kDsf = 0x0161;
inline constexpr std::uint16_t kRrTabId = 0x013D;
inline constexpr std::uint16_t kWinProtect = 0x0019;
inline constexpr std::uint16_t kProtect = 0x0012;
inline constexpr std::uint16_t kPassword = 0x0013;
inline constexpr std::uint16_t kProt4Rev = 0x01AF;
inline constexpr std::uint16_t kProt4RevPass = 0x01BC;
inline constexpr std::uint16_t kWindow1 = 0x003D;
inline constexpr std::uint16_t kBackup = 0x0040;
inline constexpr std::uint16_t kHideObj = 0x008D;
inline constexpr std::uint16_t kDateMode = 0x0022;
inline constexpr std::uint16_t kCalcPrecision = 0x000E;
inline constexpr std::uint16_t kRefreshAll = 0x01B7;
inline constexpr std::uint16_t kBookBool = 0x00DA;
inline constexpr std::uint16_t kFont = 0x0031;
inline constexpr std::uint16_t kFormat = 0x041E;
inline constexpr std::uint16_t kXf = 0x00E0;
inline constexpr std::uint16_t kStyle = 0x0293;
inline constexpr std::uint16_t kUsesElfs = 0x0160;
inline constexpr std::uint16_t kBoundSheet = 0x0085;
inline constexpr std::uint16_t kCountry = 0x008C;
inline constexpr std::uint16_t kRecalcId = 0x01C1;
inline constexpr std::uint16_t kSst = 0x00FC;
inline constexpr std::uint16_t kContinue = 0x003C;
inline constexpr std::uint16_t kExtSst = 0x00FF;
inline constexpr std::uint16_t kEof = 0x000A;
// A worksheet.
inline constexpr std::uint16_t kIndex = 0x020B;
inline constexpr std::uint16_t kCalcMode = 0x000D;
inline constexpr std::uint16_t kCalcCount = 0x000C;
inline constexpr std::uint16_t kCalcRefMode = 0x000F;
inline constexpr std::uint16_t kCalcIter = 0x0011;
inline constexpr std::uint16_t kCalcDelta = 0x0010;
inline constexpr std::uint16_t kCalcSaveRecalc = 0x005F;
inline constexpr std::uint16_t kPrintRowCol = 0x002A;
inline constexpr std::uint16_t kPrintGrid = 0x002B;
inline constexpr std::uint16_t kGridSet = 0x0082;
inline constexpr std::uint16_t kGuts = 0x0080;
inline constexpr std::uint16_t kDefaultRowHeight = 0x0225;
inline constexpr std::uint16_t kWsBool = 0x0081;
inline constexpr std::uint16_t kHeader = 0x0014;
inline constexpr std::uint16_t kFooter = 0x0015;
inline constexpr std::uint16_t kHCenter = 0x0083;
inline constexpr std::uint16_t kVCenter = 0x0084;
inline constexpr std::uint16_t kSetup = 0x00A1;
inline constexpr std::uint16_t kDefColWidth = 0x0055;
inline constexpr std::uint16_t kColInfo = 0x007D;
inline constexpr std::uint16_t kDimensions = 0x0200;
inline constexpr std::uint16_t kRow = 0x0208;
inline constexpr std::uint16_t kLabelSst = 0x00FD;
inline constexpr std::uint16_t kNumber = 0x0203;
inline constexpr std::uint16_t kRk = 0x027E;
inline constexpr std::uint16_t kBlank = 0x0201;
inline constexpr std::uint16_t kDbCell = 0x00D7;
inline constexpr std::uint16_t kWindow2 = 0x023E;
}  // namespace record

// Emits BIFF records (u16 id, u16 body length, body) into a ByteOutput. A body never exceeds
// kMaxBody bytes: longer data continues in CONTINUE records, and this is the only place that
// splits. Positions are offsets from the start of the Workbook stream.
class RecordWriter {
 public:
  static constexpr std::size_t kMaxBody = 8224;

  // `streamStart` is the output position where the Workbook stream begins.
  RecordWriter(ByteOutput& out, std::uint64_t streamStart)
      : out_(out), start_(streamStart), counting_(out.counting()) {}

  // A whole record. A longer body is cut into CONTINUE records at arbitrary bytes, which is
  // right for records whose parts carry no structure of their own.
  void record(std::uint16_t id, const void* body, std::size_t size);
  void record(std::uint16_t id, const std::string& body) { record(id, body.data(), body.size()); }
  // Fixed-size records (cells): header and body leave in one write.
  template <std::size_t N>
  void record(std::uint16_t id, const std::array<std::uint8_t, N>& body) {
    static_assert(N <= kMaxBody);
    std::array<std::uint8_t, N + 4> bytes;
    Put16(bytes.data(), id);
    Put16(bytes.data() + 2, static_cast<std::uint16_t>(N));
    std::memcpy(bytes.data() + 4, body.data(), N);
    out_.write(bytes.data(), bytes.size());
  }

  // A record assembled piece by piece, for data whose splitting must respect its structure:
  // the caller asks room() and calls startContinue() where a piece would not fit.
  void begin(std::uint16_t id);
  std::size_t room() const { return kMaxBody - used_; }
  // Requires size <= room(): a caller that breaks it has mis-split its data, and the save is
  // refused rather than written with bytes missing.
  void append(const void* data, std::size_t size) {
    assert(size <= room());
    if (size > room()) RefuseOverfullRecord();
    if (!counting_) std::memcpy(body_.data() + used_, data, size);
    used_ += size;
  }
  void startContinue();
  void end();

  // Stream offset of the next byte written.
  std::uint64_t position() const;
  // Stream offset of the header of the record being assembled.
  std::uint64_t recordStart() const { return out_.position() - start_; }

 private:
  [[noreturn]] static void RefuseOverfullRecord();
  void emitOpen();

  ByteOutput& out_;
  std::uint64_t start_;
  const bool counting_;  // only measuring: the bodies' bytes go nowhere, so are not kept
  bool open_ = false;
  std::uint16_t id_ = 0;
  std::size_t used_ = 0;
  std::array<std::uint8_t, kMaxBody> body_{};
};

// The records that open and close every substream.
enum class SubstreamKind : std::uint16_t { Globals = 0x0005, Worksheet = 0x0010 };
void WriteBof(RecordWriter& w, SubstreamKind kind);
void WriteEof(RecordWriter& w);

// A record whose body is one 16-bit value (a flag, a count or a code).
void WriteU16Record(RecordWriter& w, std::uint16_t id, std::uint16_t value);

}  // namespace quadrelo::xls

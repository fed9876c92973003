#include "workbook/xls/document_properties.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/text.h"
#include "workbook/xls/unicode.h"

namespace quadrelo::xls {

namespace {

using Fmtid = std::array<std::uint8_t, 16>;

// Format identifiers of the two property sets, in their stored (little-endian GUID) byte order:
// F29F85E0-4FF9-1068-AB91-08002B27B3D9 and D5CDD502-2E9C-101B-9397-08002B2CF9AE.
constexpr Fmtid kSummaryInformation = {0xE0, 0x85, 0x9F, 0xF2, 0xF9, 0x4F, 0x68, 0x10,
                                       0xAB, 0x91, 0x08, 0x00, 0x2B, 0x27, 0xB3, 0xD9};
constexpr Fmtid kDocSummaryInformation = {0x02, 0xD5, 0xCD, 0xD5, 0x9C, 0x2E, 0x1B, 0x10,
                                          0x93, 0x97, 0x08, 0x00, 0x2B, 0x2C, 0xF9, 0xAE};

// Property identifiers and value types.
constexpr std::uint32_t kPidCodePage = 0x01;
constexpr std::uint32_t kPidsiTitle = 0x02;
constexpr std::uint32_t kPidsiCreateDtm = 0x0C;
constexpr std::uint32_t kPidsiLastSaveDtm = 0x0D;
constexpr std::uint32_t kPidsiAppName = 0x12;
constexpr std::uint16_t kVtI2 = 0x0002;
constexpr std::uint16_t kVtLpstr = 0x001E;
constexpr std::uint16_t kVtLpwstr = 0x001F;
constexpr std::uint16_t kVtFiletime = 0x0040;

// The sets' 8-bit strings are Windows-1252, as Excel writes them on a Western system.
constexpr std::uint16_t kCodePageWindows1252 = 1252;
// Windows (OS type 2), version 6.0, as the stream header's SystemIdentifier.
constexpr std::uint32_t kSystemIdentifier = 0x00020006;
constexpr std::size_t kMaxTitleUnits = 255;
// 100-nanosecond intervals between 1601-01-01 and 1970-01-01, both UTC.
constexpr std::int64_t kFiletimeOfUnixEpoch = 116444736000000000;

void Append16(std::string& out, std::uint16_t v) {
  std::uint8_t b[2];
  Put16(b, v);
  out.append(reinterpret_cast<const char*>(b), 2);
}
void Append32(std::string& out, std::uint32_t v) {
  std::uint8_t b[4];
  Put32(b, v);
  out.append(reinterpret_cast<const char*>(b), 4);
}

// One property set, its properties added in ascending identifier order.
class PropertySet {
 public:
  void add16(std::uint32_t pid, std::uint16_t value) {
    start(pid, kVtI2);
    Append16(values_, value);
    Append16(values_, 0);
  }
  // A string in the set's code page when it has every character of `text`, else in UTF-16:
  // readers that know only one of the two kinds meet the wide one only for such a text.
  void addText(std::uint32_t pid, std::u16string_view text) {
    std::string bytes;
    if (EncodeWindows1252(text, bytes)) {
      // Null-terminated, counted in bytes with the terminator.
      start(pid, kVtLpstr);
      Append32(values_, static_cast<std::uint32_t>(bytes.size() + 1));
      values_ += bytes;
      values_ += '\0';
      values_.resize((values_.size() + 3) / 4 * 4, '\0');
      return;
    }
    // Null-terminated UTF-16, counted in characters with the terminator.
    start(pid, kVtLpwstr);
    Append32(values_, static_cast<std::uint32_t>(text.size() + 1));
    for (char16_t c : text) Append16(values_, c);
    Append16(values_, 0);
    values_.resize((values_.size() + 3) / 4 * 4, '\0');
  }
  void addFiletime(std::uint32_t pid, std::uint64_t ticks) {
    start(pid, kVtFiletime);
    Append32(values_, static_cast<std::uint32_t>(ticks));
    Append32(values_, static_cast<std::uint32_t>(ticks >> 32));
  }

  // A whole stream holding this one set.
  std::string stream(const Fmtid& fmtid) const {
    constexpr std::uint32_t kSetOffset = 28 + 20;  // after the header and the one FMTID/offset
    std::string out;
    Append16(out, 0xFFFE);  // byte order
    Append16(out, 0);       // version
    Append32(out, kSystemIdentifier);
    out.append(16, '\0');  // CLSID
    Append32(out, 1);      // property sets
    out.append(reinterpret_cast<const char*>(fmtid.data()), fmtid.size());
    Append32(out, kSetOffset);
    const auto directory = static_cast<std::uint32_t>(8 + 8 * pids_.size());
    Append32(out, static_cast<std::uint32_t>(directory + values_.size()));
    Append32(out, static_cast<std::uint32_t>(pids_.size()));
    for (std::size_t i = 0; i < pids_.size(); ++i) {
      Append32(out, pids_[i]);
      Append32(out, directory + offsets_[i]);
    }
    out += values_;
    return out;
  }

 private:
  void start(std::uint32_t pid, std::uint16_t type) {
    pids_.push_back(pid);
    offsets_.push_back(static_cast<std::uint32_t>(values_.size()));
    Append16(values_, type);
    Append16(values_, 0);
  }

  std::vector<std::uint32_t> pids_;
  std::vector<std::uint32_t> offsets_;  // from the start of values_
  std::string values_;
};

std::uint64_t Filetime(std::chrono::system_clock::time_point time) {
  using Ticks = std::chrono::duration<std::int64_t, std::ratio<1, 10000000>>;
  std::int64_t ticks =
      std::chrono::duration_cast<Ticks>(time.time_since_epoch()).count() + kFiletimeOfUnixEpoch;
  return ticks < 0 ? 0 : static_cast<std::uint64_t>(ticks);
}

}  // namespace

std::vector<SmallStream> DocumentPropertyStreams(const DocumentProperties& properties) {
  std::u16string title =
      ToUtf16(std::string_view(properties.title).substr(0, properties.title.find('\0')));
  title.resize(CutUnits(title, kMaxTitleUnits));

  PropertySet summary;
  summary.add16(kPidCodePage, kCodePageWindows1252);
  if (!title.empty()) summary.addText(kPidsiTitle, title);
  if (properties.savedAt) {
    std::uint64_t saved = Filetime(*properties.savedAt);
    summary.addFiletime(kPidsiCreateDtm, saved);
    summary.addFiletime(kPidsiLastSaveDtm, saved);
  }
  summary.addText(kPidsiAppName, kApplicationName);

  PropertySet document;
  document.add16(kPidCodePage, kCodePageWindows1252);

  std::vector<SmallStream> streams(2);
  streams[0].name = u"\u0005SummaryInformation";
  streams[0].bytes = summary.stream(kSummaryInformation);
  streams[1].name = u"\u0005DocumentSummaryInformation";
  streams[1].bytes = document.stream(kDocSummaryInformation);
  return streams;
}

}  // namespace quadrelo::xls

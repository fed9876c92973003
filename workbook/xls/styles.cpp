#include "workbook/xls/styles.h"

#include <array>

#include "workbook/xls/unicode.h"

namespace quadrelo::xls {

namespace {

// Format codes every reader knows by number; these get no FORMAT record.
struct BuiltInFormat {
  std::uint16_t code;
  const char* text;
};
constexpr BuiltInFormat kBuiltInFormats[] = {
    {0, "General"}, {1, "0"},         {2, "0.00"},   {3, "#,##0"},     {4, "#,##0.00"}, {9, "0%"},
    {10, "0.00%"},  {11, "0.00E+00"}, {12, "# ?/?"}, {13, "# ?\?/??"}, {49, "@"},
};

// The currency and accounting formats Excel writes into every workbook, in its order, as a
// Spanish Excel words them; the file format asks for at least eight FORMAT records. No cell
// uses them.
constexpr BuiltInFormat kWrittenBuiltInFormats[] = {
    {5, "#,##0\\ \"€\";\\-#,##0\\ \"€\""},
    {6, "#,##0\\ \"€\";[Red]\\-#,##0\\ \"€\""},
    {7, "#,##0.00\\ \"€\";\\-#,##0.00\\ \"€\""},
    {8, "#,##0.00\\ \"€\";[Red]\\-#,##0.00\\ \"€\""},
    {42, "_-* #,##0\\ \"€\"_-;\\-* #,##0\\ \"€\"_-;_-* \"-\"\\ \"€\"_-;_-@_-"},
    {41, "_-* #,##0_-;\\-* #,##0_-;_-* \"-\"_-;_-@_-"},
    {44, "_-* #,##0.00\\ \"€\"_-;\\-* #,##0.00\\ \"€\"_-;_-* \"-\"??\\ \"€\"_-;_-@_-"},
    {43, "_-* #,##0.00_-;\\-* #,##0.00_-;_-* \"-\"??_-;_-@_-"},
};

// Custom formats are numbered 164..382; past that a format falls back to "General".
constexpr std::uint16_t kFirstCustomFormat = 164;
constexpr std::uint16_t kLastCustomFormat = 382;
// Excel keeps format codes to 255 characters.
constexpr std::size_t kMaxFormatUnits = 255;

constexpr std::uint16_t kBoldFont = 5;  // font index 4 does not exist in BIFF8
// The XF parent field has 12 bits and 0xFFF is its "no parent" value.
constexpr std::size_t kMaxXfs = 4095;

void WriteFont(RecordWriter& w, std::uint16_t weight) {
  std::string body(14, '\0');
  auto* p = reinterpret_cast<std::uint8_t*>(body.data());
  Put16(p, 200);         // 10 pt, in twips
  Put16(p + 2, 0);       // not italic, not struck out
  Put16(p + 4, 0x7FFF);  // automatic colour
  Put16(p + 6, weight);
  // Escapement, underline, family, character set and a reserved byte stay 0.
  body += '\5';
  AppendBiffChars(u"Arial", body);
  w.record(record::kFont, body);
}

void WriteXf(RecordWriter& w, std::uint16_t font, std::uint16_t format, std::uint16_t kindAndParent,
             std::uint16_t usedAttributes) {
  std::array<std::uint8_t, 20> body{};
  Put16(body.data(), font);
  Put16(body.data() + 2, format);
  Put16(body.data() + 4, kindAndParent);
  body[6] = 0x20;  // general horizontal alignment, bottom vertical alignment
  Put16(body.data() + 8, usedAttributes);
  Put16(body.data() + 18, 0x20C0);  // automatic pattern colours
  w.record(record::kXf, body);
}

}  // namespace

StyleTable::StyleTable(const std::vector<std::string>& formats) {
  codeOf_.reserve(formats.size());
  std::map<std::u16string, std::uint16_t> known;
  for (const BuiltInFormat& builtIn : kBuiltInFormats) known[ToUtf16(builtIn.text)] = builtIn.code;
  std::uint16_t next = kFirstCustomFormat;
  for (const std::string& text : formats) {
    std::u16string units = ToUtf16(text);
    units.resize(CutUnits(units, kMaxFormatUnits));
    if (units.empty()) {
      codeOf_.push_back(0);
      continue;
    }
    auto found = known.find(units);
    if (found != known.end()) {
      codeOf_.push_back(found->second);
    } else if (next <= kLastCustomFormat) {
      known.emplace(units, next);
      custom_.emplace_back(next, ToUtf8(units));
      codeOf_.push_back(next++);
    } else {
      codeOf_.push_back(0);
    }
  }
  if (codeOf_.empty()) codeOf_.push_back(0);
  byFormat_.assign(codeOf_.size() * 2, 0);
  addCellXf(false, 0);  // XF 15
}

std::uint16_t StyleTable::plannedCellXf(bool bold, std::uint16_t format) const {
  std::uint32_t slot = Style(bold, format);
  if (slot < byFormat_.size() && byFormat_[slot] != 0) return byFormat_[slot];
  auto found = byKey_.find(Style(bold, formatCode(format)));
  return found != byKey_.end() ? found->second : kDefaultCellXf;
}

std::uint16_t StyleTable::addCellXf(bool bold, std::uint16_t format) {
  std::uint32_t key = Style(bold, formatCode(format));
  auto found = byKey_.find(key);
  std::uint16_t xf;
  if (found != byKey_.end()) {
    xf = found->second;
  } else if (kDefaultCellXf + cellXfs_.size() < kMaxXfs) {
    xf = static_cast<std::uint16_t>(kDefaultCellXf + cellXfs_.size());
    cellXfs_.push_back(key);
    byKey_.emplace(key, xf);
  } else {
    xf = kDefaultCellXf;  // cannot happen with 219 formats, but stay within the field
  }
  std::uint32_t slot = Style(bold, format);
  if (slot < byFormat_.size()) byFormat_[slot] = xf;
  return xf;
}

std::string StyleTable::formatText(std::uint16_t code) const {
  for (const BuiltInFormat& builtIn : kBuiltInFormats) {
    if (builtIn.code == code) return builtIn.text;
  }
  for (const auto& [customCode, text] : custom_) {
    if (customCode == code) return text;
  }
  return "";
}

void StyleTable::writeFonts(RecordWriter& w) const {
  for (int i = 0; i < 4; ++i) WriteFont(w, 400);  // indices 0-3, the defaults
  WriteFont(w, 700);                              // index 5
}

namespace {

void WriteFormat(RecordWriter& w, std::uint16_t code, std::string_view text) {
  std::u16string units = ToUtf16(text);
  std::string body(4, '\0');
  auto* p = reinterpret_cast<std::uint8_t*>(body.data());
  Put16(p, code);
  Put16(p + 2, static_cast<std::uint16_t>(units.size()));
  AppendBiffChars(units, body);
  w.record(record::kFormat, body);
}

}  // namespace

void StyleTable::writeFormats(RecordWriter& w) const {
  for (const BuiltInFormat& format : kWrittenBuiltInFormats) {
    WriteFormat(w, format.code, format.text);
  }
  for (const auto& [code, text] : custom_) WriteFormat(w, code, text);
}

void StyleTable::writeXfs(RecordWriter& w) const {
  WriteXf(w, 0, 0, 0xFFF5, 0x0000);  // the "Normal" style
  for (int i = 1; i < kDefaultCellXf; ++i) WriteXf(w, 0, 0, 0xFFF5, 0xF400);
  for (std::uint32_t key : cellXfs_) {
    auto format = static_cast<std::uint16_t>(key / 2);
    bool bold = (key & 1) != 0;
    auto used = static_cast<std::uint16_t>((format != 0 ? 0x0400 : 0) | (bold ? 0x0800 : 0));
    WriteXf(w, bold ? kBoldFont : 0, format, 0x0001, used);
  }
}

void StyleTable::writeStyles(RecordWriter& w) const {
  const std::array<std::uint8_t, 4> normal = {0x00, 0x80, 0x00, 0xFF};  // built-in "Normal", XF 0
  w.record(record::kStyle, normal);
}

}  // namespace quadrelo::xls

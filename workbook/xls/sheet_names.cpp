// The names sheets are saved under: a sheet name in the file must be 1-31 UTF-16 units without
// : \ / ? * [ ] (nor U+0000, U+0003), must not start or end with an apostrophe and must differ
// from every other one ignoring case; Excel also keeps "History" for itself.
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "platform/text.h"
#include "workbook/xls/book.h"
#include "workbook/xls/unicode.h"

namespace quadrelo::xls {

namespace {

constexpr std::size_t kMaxNameUnits = 31;

bool IsForbidden(char16_t c) {
  switch (c) {
    case 0x0000:
    case 0x0003:
    case u':':
    case u'\\':
    case u'/':
    case u'?':
    case u'*':
    case u'[':
    case u']':
    // The full-width look-alikes, which East Asian versions of Excel refuse as well.
    case 0xFF1A:
    case 0xFF3C:
    case 0xFF0F:
    case 0xFF1F:
    case 0xFF0A:
    case 0xFF3B:
    case 0xFF3D:
      return true;
    default:
      return false;
  }
}

// Lower case for the letters a Spanish (or any Western European) name can hold, plus basic
// Greek and Cyrillic; enough to find names that Excel would take for the same one.
char16_t FoldCase(char16_t c) {
  auto shifted = [c](int by) { return static_cast<char16_t>(c + by); };
  if (c < 0xC0) return LowerAscii(c);
  if (c <= 0xDE) return c == 0xD7 ? c : shifted(0x20);
  if (c >= 0x100 && c <= 0x137) return c == 0x130 ? c : static_cast<char16_t>(c | 1);
  if (c >= 0x139 && c <= 0x148) return (c & 1) ? shifted(1) : c;
  if (c >= 0x14A && c <= 0x177) return static_cast<char16_t>(c | 1);
  if (c == 0x178) return 0xFF;
  if (c >= 0x179 && c <= 0x17E) return (c & 1) ? shifted(1) : c;
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return shifted(0x20);
  if (c >= 0x400 && c <= 0x40F) return shifted(0x50);
  if (c >= 0x410 && c <= 0x42F) return shifted(0x20);
  return c;
}

std::u16string Folded(std::u16string_view name) {
  std::u16string key(name);
  for (char16_t& c : key) c = FoldCase(c);
  return key;
}

void StripApostrophes(std::u16string& name) {
  std::size_t first = name.find_first_not_of(u'\'');
  if (first == std::u16string::npos) {
    name.clear();
    return;
  }
  name.erase(0, first);
  name.erase(name.find_last_not_of(u'\'') + 1);
}

// The name with what the format forbids taken out, or "" when nothing is left.
std::u16string CleanName(std::string_view given) {
  std::u16string name;
  bool removed = false;
  for (char16_t c : ToUtf16(given)) {
    if (IsForbidden(c)) {
      removed = true;
      continue;
    }
    // "a : b" would become "a  b": the removal does not leave a double space behind.
    if (c == u' ' && removed && !name.empty() && name.back() == u' ') continue;
    removed = false;
    name += c;
  }
  StripApostrophes(name);
  name.resize(CutUnits(name, kMaxNameUnits));
  StripApostrophes(name);
  return name;
}

std::u16string NumberedName(const std::u16string& base, int number) {
  std::u16string suffix = ToUtf16(" (" + std::to_string(number) + ")");
  std::u16string name = base.substr(0, CutUnits(base, kMaxNameUnits - suffix.size()));
  return name + suffix;
}

}  // namespace

std::string DefaultSheetName(std::size_t number) { return "Hoja" + std::to_string(number); }

std::vector<std::string> SavedSheetNames(const Book& book) {
  const std::u16string reserved = u"history";
  std::vector<std::string> names;
  names.reserve(book.sheets.size());
  std::unordered_set<std::u16string> taken;
  std::unordered_map<std::u16string, int> nextNumber;  // by folded base name
  for (std::size_t i = 0; i < book.sheets.size(); ++i) {
    const Sheet* sheet = book.sheets[i].get();
    std::u16string name = CleanName(sheet != nullptr ? sheet->name : std::string());
    if (name.empty()) name = ToUtf16(DefaultSheetName(i + 1));
    std::u16string key = Folded(name);
    if (taken.count(key) != 0 || key == reserved) {
      int& number = nextNumber.try_emplace(key, 2).first->second;
      std::u16string candidate;
      do {
        candidate = NumberedName(name, number++);
        key = Folded(candidate);
      } while (taken.count(key) != 0 || key == reserved);
      name = candidate;
    }
    taken.insert(key);
    names.push_back(ToUtf8(name));
  }
  return names;
}

}  // namespace quadrelo::xls

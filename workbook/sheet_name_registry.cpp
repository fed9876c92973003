#include "workbook/sheet_name_registry.h"

#include "platform/text.h"
#include "workbook/xls/book.h"

namespace quadrelo::workbook {

void SheetNameRegistry::use(std::string_view name) { ++sheetsByName_[LowerAsciiKey(name)]; }

void SheetNameRegistry::drop(std::string_view name) {
  auto it = sheetsByName_.find(LowerAsciiKey(name));
  if (it != sheetsByName_.end() && --it->second == 0) sheetsByName_.erase(it);
}

std::string SheetNameRegistry::useNextDefault() {
  std::string name;
  do {
    name = xls::DefaultSheetName(nextNumber_++);
  } while (sheetsByName_.count(LowerAsciiKey(name)) != 0);
  use(name);
  return name;
}

}  // namespace quadrelo::workbook

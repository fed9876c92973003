#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>

namespace quadrelo::workbook {

// The names the sheets of one workbook bear, counted ignoring ASCII case, so that the next
// unused default name is found without comparing it with every sheet: workbooks may hold tens
// of thousands.
class SheetNameRegistry {
 public:
  void use(std::string_view name);
  void drop(std::string_view name);
  // The next default name ("Hoja1", "Hoja2", ...) that no sheet bears, now in use.
  std::string useNextDefault();

 private:
  std::size_t nextNumber_ = 1;
  std::unordered_map<std::string, int> sheetsByName_;  // ASCII letters lowered
};

}  // namespace quadrelo::workbook

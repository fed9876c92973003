#include "workbook/xls/byte_output.h"

#include <algorithm>

namespace quadrelo::xls {

void ByteOutput::zeros(std::uint64_t count) {
  static const char kZeros[4096] = {};
  while (count > 0) {
    std::size_t piece = static_cast<std::size_t>(std::min<std::uint64_t>(count, sizeof kZeros));
    write(kZeros, piece);
    count -= piece;
  }
}

}  // namespace quadrelo::xls

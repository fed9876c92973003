#include "workbook/xls/byte_output.h"

#include <algorithm>

namespace quadrelo::xls {

ByteOutput::ByteOutput(ByteSink& sink) : sink_(&sink), buffer_(new char[kChunk]) {}

void ByteOutput::writeSlow(const void* data, std::size_t size) {
  flush();
  if (size >= kChunk) {
    sink_->write(static_cast<const char*>(data), size);
    return;
  }
  std::memcpy(buffer_.get(), data, size);
  used_ = size;
}

void ByteOutput::zeros(std::uint64_t count) {
  static const char kZeros[4096] = {};
  while (count > 0) {
    std::size_t piece = static_cast<std::size_t>(std::min<std::uint64_t>(count, sizeof kZeros));
    write(kZeros, piece);
    count -= piece;
  }
}

void ByteOutput::flush() {
  if (sink_ == nullptr || used_ == 0) return;
  std::size_t size = used_;
  used_ = 0;
  sink_->write(buffer_.get(), size);
}

}  // namespace quadrelo::xls

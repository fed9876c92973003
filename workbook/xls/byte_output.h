#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

#include "platform/buffered_output.h"

namespace quadrelo::xls {

// Little-endian field stores.
inline void Put16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void Put32(std::uint8_t* p, std::uint32_t v) {
  Put16(p, static_cast<std::uint16_t>(v));
  Put16(p + 2, static_cast<std::uint16_t>(v >> 16));
}
inline void Put64(std::uint8_t* p, std::uint64_t v) {
  Put32(p, static_cast<std::uint32_t>(v));
  Put32(p + 4, static_cast<std::uint32_t>(v >> 32));
}
// An IEEE 754 double, as NUMBER cells and the sheet's settings hold it.
inline void PutDouble(std::uint8_t* p, double v) { Put64(p, std::bit_cast<std::uint64_t>(v)); }

// Collects bytes into large chunks for a ByteSink, or, without a sink, only counts them: the
// same writing code then measures a stream before it is written for real.
class ByteOutput {
 public:
  // Counting only; positions start at `start`.
  explicit ByteOutput(std::uint64_t start = 0) : position_(start) {}
  // Into `sink`, whose first byte is at position `start`, in blocks of `blockSize` bytes.
  explicit ByteOutput(ByteSink& sink, std::uint64_t start = 0,
                      std::size_t blockSize = BufferedOutput::kDefaultBlockSize)
      : output_(std::in_place, sink, blockSize), sink_(&sink), position_(start) {}
  ByteOutput(const ByteOutput&) = delete;
  ByteOutput& operator=(const ByteOutput&) = delete;

  void write(const void* data, std::size_t size) {
    position_ += size;
    if (output_) output_->write(static_cast<const char*>(data), size);
  }
  void zeros(std::uint64_t count);
  bool counting() const { return !output_; }
  // Bytes written so far, buffered ones included.
  std::uint64_t position() const { return position_; }
  // Hands the buffered bytes to the sink (throws what the sink throws).
  void flush() {
    if (output_) output_->flush();
  }
  // A sink for the bytes from `position` on, written beside this output (ByteSink::partAt);
  // nothing when counting or when the sink takes its bytes only in order.
  std::unique_ptr<ByteSink> partAt(std::uint64_t position) {
    return sink_ != nullptr ? sink_->partAt(position) : nullptr;
  }

 private:
  std::optional<BufferedOutput> output_;  // none when only counting
  ByteSink* sink_ = nullptr;
  std::uint64_t position_ = 0;
};

}  // namespace quadrelo::xls

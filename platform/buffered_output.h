#pragma once

#include <cstddef>
#include <cstring>
#include <memory>

#include "platform/byte_sink.h"

namespace quadrelo {

// Collects bytes into one block so that the sink sees few large writes; a write of a block or
// more goes straight through. Whatever the sink throws passes out of write() and flush(), and
// the bytes that were buffered are dropped.
class BufferedOutput {
 public:
  static constexpr std::size_t kDefaultBlockSize = std::size_t{1} << 20;

  explicit BufferedOutput(ByteSink& sink, std::size_t blockSize = kDefaultBlockSize)
      : sink_(sink), blockSize_(blockSize), block_(new char[blockSize]) {}
  BufferedOutput(const BufferedOutput&) = delete;
  BufferedOutput& operator=(const BufferedOutput&) = delete;

  void write(const char* data, std::size_t size) {
    if (size == 0) return;
    if (used_ + size > blockSize_) {
      writeSlow(data, size);
      return;
    }
    std::memcpy(block_.get() + used_, data, size);
    used_ += size;
  }
  // Hands the buffered bytes to the sink.
  void flush() {
    std::size_t size = used_;
    used_ = 0;
    if (size != 0) sink_.write(block_.get(), size);
  }

 private:
  void writeSlow(const char* data, std::size_t size) {
    flush();
    if (size >= blockSize_) {
      sink_.write(data, size);
      return;
    }
    std::memcpy(block_.get(), data, size);
    used_ = size;
  }

  ByteSink& sink_;
  std::size_t blockSize_;
  std::unique_ptr<char[]> block_;
  std::size_t used_ = 0;
};

}  // namespace quadrelo

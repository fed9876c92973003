#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace quadrelo {

// Where a writer puts its bytes. write() throws Failure when the bytes cannot be stored.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual void write(const char* data, std::size_t size) = 0;
  void write(const std::string& bytes) { write(bytes.data(), bytes.size()); }

  // A second sink whose bytes land from `offset` on (counted from this sink's first byte), so
  // that another thread can write a later part of the content while this sink takes the part
  // before it. Nothing (the default) where the bytes can only arrive in order. The parts must
  // not overlap, and each must be finished before this sink's content is complete.
  virtual std::unique_ptr<ByteSink> partAt(std::uint64_t offset) {
    (void)offset;
    return nullptr;
  }
  // Stores what reached a part; throws Failure when it cannot.
  virtual void finish() {}
};

// Keeps everything in memory; for tests and small outputs.
class MemorySink : public ByteSink {
 public:
  void write(const char* data, std::size_t size) override { bytes_.append(data, size); }
  const std::string& bytes() const { return bytes_; }

 private:
  std::string bytes_;
};

}  // namespace quadrelo

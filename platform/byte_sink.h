#pragma once

#include <cstddef>
#include <string>

namespace quadrelo {

// Where a writer puts its bytes. write() throws Failure when the bytes cannot be stored.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual void write(const char* data, std::size_t size) = 0;
  void write(const std::string& bytes) { write(bytes.data(), bytes.size()); }
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

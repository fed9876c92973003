#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include "platform/byte_sink.h"

namespace quadrelo {

// Writes a new content for `target` into a temporary file in the target's folder, and only
// commit() puts it in place (one rename). Until then the old file, if any, is untouched; a
// ReplacementFile destroyed without commit() removes its temporary file. Failures throw Failure.
class ReplacementFile : public ByteSink {
 public:
  // `permissionsFrom`: an existing file whose permissions the new file takes (the file being
  // rewritten); empty for the default permissions of a new file.
  explicit ReplacementFile(std::filesystem::path target,
                           std::filesystem::path permissionsFrom = {});
  ~ReplacementFile() override;
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  void write(const char* data, std::size_t size) override;
  // A part writes at its offset without moving the position of the sequential writes (pwrite,
  // or a second handle to the file on Windows); where that cannot be had, there are no parts
  // and the content arrives in order.
  std::unique_ptr<ByteSink> partAt(std::uint64_t offset) override;
  // `lastCheck`, when given, runs once the new content is on the disk and just before it
  // replaces the target; a failure it throws discards the new content instead.
  void commit(const std::function<void()>& lastCheck = {});

  // Where the new content is being written until commit(); the tests check its place.
  const std::filesystem::path& temporaryPath() const { return temporary_; }

 private:
  void discard() noexcept;

  std::filesystem::path target_;
  std::filesystem::path permissionsFrom_;
  std::filesystem::path temporary_;
  std::FILE* file_ = nullptr;
  std::uint64_t written_ = 0;        // bytes given to write()
  std::uint64_t writeBackFrom_ = 0;  // where the next early write-back starts
};

// Creates `path` and opens it for writing, but only when nothing of that name exists: otherwise
// returns nullptr (errno EEXIST) and leaves what is there untouched. ReplacementFile makes its
// temporary files this way.
std::FILE* CreateNewFile(const std::filesystem::path& path);

}  // namespace quadrelo

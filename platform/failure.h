#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quadrelo {

// Why a guarded statement failed; the values are those of the classic runtime's error numbers.
enum class FailureCode : int {
  None = 0,
  // Files by number.
  BadFileNumber = 52,
  FileNotFound = 53,
  BadFileMode = 54,
  FileAlreadyOpen = 55,
  InputPastEnd = 62,
  ReadFailed = 57,
  WriteFailed = 61,
  PathNotFound = 76,
  // "Path/file access error": the input changed while it was read.
  InputChanged = 75,
  // The workbook engine.
  ClassNotAvailable = 429,
  NoObject = 91,
  ApplicationGone = 462,
  IndexOutOfRange = 9,
  InvalidArgument = 5,
  CannotDelete = 1004,
  SaveFailed = 1005,
  // Anything else.
  OutOfMemory = 7,
  Unexpected = 51,
};

// The one exception type that guarded statements throw; ContinueOnError records its code.
class Failure : public std::runtime_error {
 public:
  Failure(FailureCode code, const std::string& what) : std::runtime_error(what), code_(code) {}
  FailureCode code() const noexcept { return code_; }

 private:
  FailureCode code_;
};

// The one way to raise a Failure: `what` says what failed; the path it concerns, when there is
// one, follows after ": ".
[[noreturn]] void Fail(FailureCode code, std::string_view what);
[[noreturn]] void Fail(FailureCode code, std::string_view what, const std::filesystem::path& path);

}  // namespace quadrelo

#pragma once

#include <exception>
#include <new>
#include <string>
#include <utility>

#include "platform/failure.h"

namespace quadrelo {

// The mode in which a failing statement is abandoned without a message and the run goes on
// with the next one. The failure stays pending until clear() is called, so later checks can
// tell that something failed since then.
class ContinueOnError {
 public:
  // Runs one statement. Returns true when it completed; false when it failed, in which case
  // its code becomes the pending failure.
  template <class Statement>
  bool operator()(Statement&& statement) noexcept {
    try {
      std::forward<Statement>(statement)();
      return true;
    } catch (const Failure& failure) {
      record(failure.code(), failure.what());
    } catch (const std::bad_alloc&) {
      record(FailureCode::OutOfMemory, "out of memory");
    } catch (const std::exception& e) {
      record(FailureCode::Unexpected, e.what());
    } catch (...) {
      record(FailureCode::Unexpected, "unknown failure");
    }
    return false;
  }

  bool pending() const noexcept { return pending_ != FailureCode::None; }
  FailureCode code() const noexcept { return pending_; }
  // The message of the most recent failure (kept for reports, not shown to the user).
  const std::string& lastMessage() const noexcept { return lastMessage_; }
  void clear() noexcept { pending_ = FailureCode::None; }

 private:
  void record(FailureCode code, const char* what) noexcept {
    pending_ = code;
    try {
      lastMessage_ = what;
    } catch (...) {
      lastMessage_.clear();
    }
  }

  FailureCode pending_ = FailureCode::None;
  std::string lastMessage_;
};

}  // namespace quadrelo

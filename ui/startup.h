#pragma once

#include <string>

namespace quadrelo::ui {

// Why the window cannot open on this machine, in Spanish, or empty text when a display seems to
// be there. Reads the environment only; Qt is not started.
std::string MissingDisplayReason();

// Qt ends the process with an abort when it cannot reach the display. While this guard lives,
// such a failure prints a Spanish message (with Qt's own words as the detail) and exits with
// status 1 instead; Qt's other messages of the start are held back and passed on afterwards.
class PlatformStartGuard {
 public:
  PlatformStartGuard();
  ~PlatformStartGuard();
  PlatformStartGuard(const PlatformStartGuard&) = delete;
  PlatformStartGuard& operator=(const PlatformStartGuard&) = delete;
};

inline constexpr int kNoDisplayExitCode = 1;

}  // namespace quadrelo::ui

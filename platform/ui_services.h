#pragma once

#include <string_view>

namespace quadrelo {

// The application title that every message box carries.
inline constexpr std::string_view kApplicationTitle = "Quadrelo";

enum class MessageIcon { None, Error, Information };

// Modal message boxes with a single OK button and the application title. The window shows real
// ones; tests and the command-line tool record or print the texts.
class MessageSink {
 public:
  virtual ~MessageSink() = default;
  virtual void show(std::string_view text, MessageIcon icon) = 0;
};

// Handing control to the window system between two records.
class EventPump {
 public:
  virtual ~EventPump() = default;
  // Called once per record; may process pending events (the window does so about once a frame).
  // Returns false when the user asked the run to stop.
  virtual bool yield() = 0;
};

}  // namespace quadrelo

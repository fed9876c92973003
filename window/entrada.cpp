#include "window/entrada.h"

#include <filesystem>
#include <system_error>

#include "naming/output_name.h"
#include "platform/continue_on_error.h"
#include "platform/files.h"
#include "platform/text.h"

namespace quadrelo::window {

namespace {

// An ordinary file, hidden or not; a folder under that name does not count.
bool IsRegularFile(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(PathFromUtf8(path), error);
}

}  // namespace

bool Services::RemoveFile(const std::string& path) {
  std::error_code error;
  return std::filesystem::remove(PathFromUtf8(path), error) && !error;
}

// The window served between two records. Handing events to the toolkit costs more than
// converting a record does, so it happens once per kEventInterval, not per record; a request to
// stop (by "&Cerrar" or the close command) is looked at on every call and ends the run after the
// record in hand.
class Entrada::RunEvents : public EventPump {
 public:
  explicit RunEvents(const Entrada& window)
      : window_(window), lastHandOver_(window.services_.now()) {}
  bool yield() override {
    if (window_.services_.now() - lastHandOver_ >= kEventInterval) {
      window_.face_.handOverEvents();
      // Measured from the end, so a slow repaint still leaves the run a full interval.
      lastHandOver_ = window_.services_.now();
    }
    return !window_.stopRequested_;
  }

 private:
  const Entrada& window_;
  std::chrono::steady_clock::time_point lastHandOver_;
};

class Entrada::RunMessages : public MessageSink {
 public:
  explicit RunMessages(Entrada& window) : window_(window) {}
  void show(std::string_view text, MessageIcon icon) override {
    window_.face_.message(text, icon, true);
  }

 private:
  Entrada& window_;
};

void Entrada::chooseInput() {
  // The paths of a run in progress stay as they are.
  if (running_) return;
  takeInput(face_.chooseFile());
}

bool Entrada::acceptsDrop(const std::string& path) const {
  // The file dialog admits only an existing file; a drop admits no more.
  return !running_ && IsRegularFile(path);
}

void Entrada::drop(const std::string& path) {
  if (acceptsDrop(path)) takeInput(path);
}

void Entrada::takeInput(const std::string& path) {
  sFileIn = path;
  face_.showInput(sFileIn);
  if (sFileIn.empty()) return;

  const std::string workbook = naming::WorkbookPathFor(sFileIn);
  if (IsRegularFile(workbook)) {
    if (!face_.askYesNo(kOverwriteQuestion)) {
      setWorkbookPath({});
      return;
    }
    if (!services_.deleteFile(workbook)) {
      face_.message(kCannotDeleteWorkbook, MessageIcon::Error, false);
      setWorkbookPath({});
      return;
    }
  }
  setWorkbookPath(workbook);
}

void Entrada::setWorkbookPath(const std::string& path) {
  sLibro = path;
  face_.showWorkbook(sLibro);
  face_.enableGenerate(!sLibro.empty());
}

void Entrada::generate() {
  // One run at a time: a second press between two records is ignored.
  if (running_) return;
  running_ = true;
  stopRequested_ = false;

  // Whatever the conversion does, the busy indication comes down and the dialog is shown.
  ContinueOnError guarded;
  face_.setBusyPointer(true);
  noticeShown_ = true;
  face_.showNotice(true);
  face_.setBlinking(true);
  RunEvents events(*this);
  RunMessages messages(*this);
  conversion::RunServices run;
  run.events = &events;
  run.messages = &messages;
  guarded([&] { services_.convert(sFileIn, sLibro, run); });
  face_.setBusyPointer(false);
  face_.setBlinking(false);
  noticeShown_ = false;
  face_.showNotice(false);
  running_ = false;

  if (stopRequested_) {
    leaveNow();
    return;
  }
  guarded([&] { face_.showCompletion(); });
  // However the completion dialog went away, no file of the run stays open.
  files::Reset();
}

void Entrada::blink() {
  noticeShown_ = !noticeShown_;
  face_.showNotice(noticeShown_);
}

void Entrada::endProgram() {
  if (running_) {
    // The run ends after the record in hand; leaveNow() follows when it has unwound.
    stopRequested_ = true;
    return;
  }
  leaveNow();
}

bool Entrada::closeRequested() {
  if (!running_) return true;
  // Closing now would leave the run going without a window; stop it and leave when it has
  // unwound, with nothing saved and no dialog.
  stopRequested_ = true;
  return false;
}

void Entrada::leaveNow() {
  files::Reset();
  face_.quit();
}

}  // namespace quadrelo::window

#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

#include "conversion/convert_transfer_file.h"
#include "platform/ui_services.h"

namespace quadrelo::window {

// What a toolkit must do for the main window. The behaviour (Entrada) decides; a face only shows.
class Face {
 public:
  virtual ~Face() = default;
  // The file-open dialog, opened in the program's own folder and listing every file. Returns the
  // chosen file's full path (UTF-8), or empty text when the user cancelled.
  virtual std::string chooseFile() = 0;
  virtual void showInput(const std::string& path) = 0;     // tbEntrada
  virtual void showWorkbook(const std::string& path) = 0;  // tbSalida
  virtual void enableGenerate(bool enabled) = 0;           // "&Generar"
  // A question with Yes (the default) and No, no icon; true for Yes.
  virtual bool askYesNo(std::string_view question) = 0;
  // A message with one OK button; `running` tells whether a run is waiting behind it.
  virtual void message(std::string_view text, MessageIcon icon, bool running) = 0;
  // The completion dialog, modal; returns when it has gone.
  virtual void showCompletion() = 0;
  virtual void setBusyPointer(bool busy) = 0;
  // Starts or stops the timer whose ticks call Entrada::blink().
  virtual void setBlinking(bool on) = 0;
  // Shows or hides the busy notice, painted at once: a run holds the thread between hand-overs.
  virtual void showNotice(bool shown) = 0;
  // Lets the toolkit handle the events that are waiting (input, timers, repaints).
  virtual void handOverEvents() = 0;
  // The window goes away and the program ends.
  virtual void quit() = 0;
};

// What the behaviour needs from outside the window; tests replace any of them.
struct Services {
  // One conversion run.
  std::function<void(const std::string& sFileIn, const std::string& sLibro,
                     const conversion::RunServices& services)>
      convert =
          [](const std::string& in, const std::string& out, const conversion::RunServices& run) {
            conversion::ConvertTransferFile(in, out, run);
          };
  // Deletes an existing workbook; false when it cannot be deleted.
  std::function<bool(const std::string& path)> deleteFile = RemoveFile;
  // Paces how often a run hands pending events to the toolkit.
  std::function<std::chrono::steady_clock::time_point()> now = std::chrono::steady_clock::now;

  static bool RemoveFile(const std::string& path);
};

// How long a run keeps the thread between two hand-overs of pending events: about a frame, short
// enough for the blinking notice, repaints and "&Cerrar" to feel immediate.
inline constexpr std::chrono::milliseconds kEventInterval{16};
inline constexpr std::chrono::milliseconds kBlinkInterval{500};

// The texts of the window's own question and message.
inline constexpr std::string_view kOverwriteQuestion =
    "El fichero de salida ya existe ¿Desea sobreescribirlo?";
inline constexpr std::string_view kCannotDeleteWorkbook = "No se puede borrar el fichero de salida";

// The main window's behaviour: choose a transfer file, convert it with "&Generar", leave with
// "&Cerrar". Everything runs on the one thread of the face's event loop.
class Entrada {
 public:
  Entrada(Face& face, Services services) : face_(face), services_(std::move(services)) {}

  // The two paths of a run; only choosing the input sets them.
  const std::string& inputPath() const { return sFileIn; }
  const std::string& workbookPath() const { return sLibro; }
  bool running() const { return running_; }

  void chooseInput();  // a click on the picture beside "Fichero Origen"
  // A file dropped on the window, taken as if chosen in the file dialog. Drops that would not
  // be taken (not one existing file, or a run in progress) are refused by acceptsDrop().
  bool acceptsDrop(const std::string& path) const;
  void drop(const std::string& path);
  void generate();    // "&Generar"
  void endProgram();  // "&Cerrar"
  void blink();       // a tick of the notice's timer
  // The window system's close command: true when the window may go now. During a run it stops
  // the run instead, and the program ends once the run has unwound.
  bool closeRequested();

 private:
  class RunEvents;
  class RunMessages;

  void takeInput(const std::string& path);
  void setWorkbookPath(const std::string& path);
  void leaveNow();

  Face& face_;
  Services services_;
  std::string sFileIn;
  std::string sLibro;
  bool running_ = false;
  bool stopRequested_ = false;
  bool noticeShown_ = false;
};

}  // namespace quadrelo::window

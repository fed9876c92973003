#pragma once

#include <QWidget>
#include <chrono>
#include <functional>
#include <string>

#include "conversion/convert_transfer_file.h"
#include "platform/ui_services.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace quadrelo::ui {

class Dialogs;

// What the window needs from outside; tests replace any of them.
struct WindowServices {
  // The modals the window shows (required).
  Dialogs* dialogs = nullptr;
  // One conversion run.
  std::function<void(const std::string& sFileIn, const std::string& sLibro,
                     const conversion::RunServices& services)>
      convert =
          [](const std::string& in, const std::string& out, const conversion::RunServices& run) {
            conversion::ConvertTransferFile(in, out, run);
          };
  // Deletes an existing workbook; false when it cannot be deleted.
  std::function<bool(const std::string& path)> deleteFile = RemoveFile;
  // The folder the file dialog opens in, asked afresh at each click.
  std::function<QString()> initialFolder = ExecutableFolder;
  // Ends the process with status 0 once the window has gone.
  std::function<void()> endProgram = ExitEventLoop;
  // Paces how often a run hands pending events to Qt.
  std::function<std::chrono::steady_clock::time_point()> now = std::chrono::steady_clock::now;

  static bool RemoveFile(const std::string& path);
  static QString ExecutableFolder();
  static void ExitEventLoop();
};

// How long a run keeps the thread between two hand-overs of pending events to Qt: about a frame,
// short enough for the blinking notice, repaints and "&Cerrar" to feel immediate.
inline constexpr std::chrono::milliseconds kEventInterval{16};

// The main window: choose a transfer file, convert it with "&Generar", leave with "&Cerrar".
class FrmEntrada : public QWidget {
  Q_OBJECT

 public:
  explicit FrmEntrada(WindowServices services, QWidget* parent = nullptr);
  ~FrmEntrada() override;

  // The two paths of a run; only choosing the input sets them.
  const std::string& inputPath() const { return sFileIn; }
  const std::string& workbookPath() const { return sLibro; }
  bool running() const { return running_; }

  // What the controls do, callable directly by tests.
  void chooseInput();  // click on the picture in "Fichero Origen"
  void generate();     // "&Generar"
  void endProgram();   // "&Cerrar"
  void blink();        // a tick of the notice's timer

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  class RunEvents;
  class RunMessages;

  void setWorkbookPath(const std::string& path);
  void leaveNow();

  WindowServices services_;
  std::string sFileIn;
  std::string sLibro;
  bool running_ = false;
  bool stopRequested_ = false;

  // The controls, with their object names.
  QLineEdit* inputBox_;          // tbEntrada
  QLineEdit* workbookBox_;       // tbSalida
  QLabel* busyNotice_;           // Label1
  QPushButton* generateButton_;  // cmdProcesar, "&Generar"
  QPushButton* closeButton_;     // Command2, "&Cerrar"
  QTimer* blinkTimer_;           // Timer1
};

// The texts of the window's own questions and messages.
inline constexpr const char* kOverwriteQuestion =
    "El fichero de salida ya existe ¿Desea sobreescribirlo?";
inline constexpr const char* kCannotDeleteWorkbook = "No se puede borrar el fichero de salida";

}  // namespace quadrelo::ui

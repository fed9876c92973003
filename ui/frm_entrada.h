#pragma once

#include <QWidget>
#include <functional>
#include <string>

#include "platform/ui_services.h"
#include "window/entrada.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace quadrelo::ui {

class Dialogs;

// What the window needs from outside, the behaviour's services and Qt's own; tests replace any
// of them.
struct WindowServices : window::Services {
  // The modals the window shows (required).
  Dialogs* dialogs = nullptr;
  // The folder the file dialog opens in, asked afresh at each click.
  std::function<QString()> initialFolder = ExecutableFolder;
  // Ends the process with status 0 once the window has gone.
  std::function<void()> endProgram = ExitEventLoop;

  static QString ExecutableFolder();
  static void ExitEventLoop();
};

using window::kCannotDeleteWorkbook;
using window::kEventInterval;
using window::kOverwriteQuestion;

// The main window in Qt: choose a transfer file, convert it with "&Generar", leave with
// "&Cerrar". What it does is window::Entrada's; this class is its face.
class FrmEntrada : public QWidget, private window::Face {
  Q_OBJECT

 public:
  explicit FrmEntrada(WindowServices services, QWidget* parent = nullptr);
  ~FrmEntrada() override;

  // The two paths of a run; only choosing the input sets them.
  const std::string& inputPath() const { return behaviour_.inputPath(); }
  const std::string& workbookPath() const { return behaviour_.workbookPath(); }
  bool running() const { return behaviour_.running(); }

  // What the controls do, callable directly by tests.
  void chooseInput() { behaviour_.chooseInput(); }  // click on the picture in "Fichero Origen"
  void generate() { behaviour_.generate(); }        // "&Generar"
  void endProgram() { behaviour_.endProgram(); }    // "&Cerrar"
  void blink() { behaviour_.blink(); }              // a tick of the notice's timer

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // window::Face
  std::string chooseFile() override;
  void showInput(const std::string& path) override;
  void showWorkbook(const std::string& path) override;
  void enableGenerate(bool enabled) override;
  bool askYesNo(std::string_view question) override;
  void message(std::string_view text, MessageIcon icon, bool running) override;
  void showCompletion() override;
  void setBusyPointer(bool busy) override;
  void setBlinking(bool on) override;
  void showNotice(bool shown) override;
  void handOverEvents() override;
  void quit() override;

  WindowServices services_;
  window::Entrada behaviour_;

  // The controls, with their object names.
  QLineEdit* inputBox_;          // tbEntrada
  QLineEdit* workbookBox_;       // tbSalida
  QLabel* busyNotice_;           // Label1
  QPushButton* generateButton_;  // cmdProcesar, "&Generar"
  QPushButton* closeButton_;     // Command2, "&Cerrar"
  QTimer* blinkTimer_;           // Timer1
};

}  // namespace quadrelo::ui

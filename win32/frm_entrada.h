#pragma once

#include <windows.h>

#include <shellapi.h>

#include <string>

#include "window/entrada.h"

namespace quadrelo::win32 {

// The main window with the Windows API: a dialog from the IDD_FRMENTRADA template, shown
// without a modal loop of its own. What it does is window::Entrada's; this class is its face.
class FrmEntrada : private window::Face {
 public:
  explicit FrmEntrada(HINSTANCE instance);
  ~FrmEntrada() override;
  FrmEntrada(const FrmEntrada&) = delete;
  FrmEntrada& operator=(const FrmEntrada&) = delete;

  // Creates and shows the window; false when it cannot be created.
  bool show();
  HWND handle() const { return window_; }

 private:
  static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam);
  void setUp();
  void applyFonts();
  void dropped(HDROP drop);

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

  HINSTANCE instance_;
  HWND window_ = nullptr;
  window::Entrada behaviour_;
  bool busy_ = false;
  HFONT frameFont_ = nullptr;   // frames and buttons
  HFONT boxFont_ = nullptr;     // the two path boxes
  HFONT noticeFont_ = nullptr;  // "Procesando, espere por favor"
  HICON bigIcon_ = nullptr;
  HICON smallIcon_ = nullptr;
  HICON folderIcon_ = nullptr;
};

}  // namespace quadrelo::win32

#pragma once

#include <QString>
#include <string>

#include "platform/ui_services.h"

class QWidget;

namespace quadrelo::ui {

// Every modal the window shows goes through here, so tests can answer them.
class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // The file-open dialog: one existing file, starting in `initialFolder`. Returns its full path
  // (UTF-8, the platform's separators), or empty text when the user cancelled.
  virtual std::string chooseTransferFile(QWidget* parent, const QString& initialFolder) = 0;
  // A question with Yes (the default) and No, no icon. True for Yes.
  virtual bool askYesNo(QWidget* parent, const QString& text) = 0;
  // A message with one OK button.
  virtual void message(QWidget* parent, const QString& text, MessageIcon icon) = 0;
  // The completion dialog; returns when it has gone (which closes every open file).
  virtual void showCompletion() = 0;
};

// The real Qt dialogs.
class QtDialogs : public Dialogs {
 public:
  std::string chooseTransferFile(QWidget* parent, const QString& initialFolder) override;
  bool askYesNo(QWidget* parent, const QString& text) override;
  void message(QWidget* parent, const QString& text, MessageIcon icon) override;
  void showCompletion() override;
};

// The title of the file dialog, and its one filter as the user reads it.
inline constexpr const char* kFileDialogTitle = "Abrir fichero a filtrar";
inline constexpr const char* kFileDialogFilter = "Todos los ficheros (*.*)";

}  // namespace quadrelo::ui

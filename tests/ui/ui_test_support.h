#pragma once

#include <QApplication>
#include <QRect>
#include <QString>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "ui/dialogs.h"

namespace quadrelo::ui::testing {

// The one QApplication of a test process, set up as the program sets it up (Spanish texts,
// font fallbacks, window icon). Created on first use and kept to the end of the process.
QApplication& App();

// Answers the window's modals from scripts and records what was asked.
class ScriptedDialogs : public Dialogs {
 public:
  std::string chooseTransferFile(QWidget* parent, const QString& initialFolder) override;
  bool askYesNo(QWidget* parent, const QString& text) override;
  void message(QWidget* parent, const QString& text, MessageIcon icon) override;
  void showCompletion() override;

  std::deque<std::string> chosenFiles;  // what the file dialog returns, one per click
  std::deque<bool> answers;             // Yes (true) or No, one per question
  std::function<void()> onCompletion;   // runs while the completion dialog would be open
  std::function<void()> onMessage;      // runs while a message would be open

  std::vector<QString> folders;  // the initial folder of each file dialog
  std::vector<QString> questions;
  struct Message {
    QString text;
    MessageIcon icon;
  };
  std::vector<Message> messages;
  int completions = 0;
};

// One control of a window's layout as the tables give it.
struct ControlLayout {
  const char* name;
  const char* className;
  const char* container;  // the parent's object name
  QRect pixels;           // at 96 DPI
  const char* text;
  const char* family;  // nullptr: no font of its own
  double points;
  bool bold;
  bool blue;  // its text drawn in pure blue
};
void ExpectLayout(QWidget& window, const ControlLayout& control);

// Calls `step` from a 10 ms timer until it returns true, so that a modal dialog opened by the
// next blocking call can be driven from inside its own event loop. After `limit` polls the test
// fails and every modal still open is closed, so a test never hangs. Qt does not fire a timer
// again while its slot runs: whatever opens a further modal must be queued, not called.
void PollUntil(std::function<bool()> step, int limit = 3000);

// The innermost modal widget of type T, or nullptr.
template <class T>
T* ModalOf() {
  return qobject_cast<T*>(QApplication::activeModalWidget());
}

}  // namespace quadrelo::ui::testing

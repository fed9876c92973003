#include "tests/ui/ui_test_support.h"

#include <QTimer>

#include "ui/appearance.h"

namespace quadrelo::ui::testing {

QApplication& App() {
  static int argc = 1;
  static char name[] = "quadrelo-test";
  static char* argv[] = {name, nullptr};
  // Never destroyed: Qt objects of the tests may outlive any static order we could pick.
  static QApplication* app = [] {
    // Headless unless the caller chose a platform (ctest's environment may not carry it).
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    auto* created = new QApplication(argc, argv);
    SetUpApplication(*created);
    return created;
  }();
  return *app;
}

std::string ScriptedDialogs::chooseTransferFile(QWidget*, const QString& initialFolder) {
  folders.push_back(initialFolder);
  if (chosenFiles.empty()) return {};
  std::string chosen = chosenFiles.front();
  chosenFiles.pop_front();
  return chosen;
}

bool ScriptedDialogs::askYesNo(QWidget*, const QString& text) {
  questions.push_back(text);
  if (answers.empty()) return false;
  const bool yes = answers.front();
  answers.pop_front();
  return yes;
}

void ScriptedDialogs::message(QWidget*, const QString& text, MessageIcon icon) {
  messages.push_back({text, icon});
}

void ScriptedDialogs::showCompletion() {
  ++completions;
  if (onCompletion) onCompletion();
}

void PollUntil(std::function<bool()> step) {
  auto* timer = new QTimer(&App());
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, timer, [timer, step = std::move(step)] {
    if (step()) {
      timer->stop();
      timer->deleteLater();
    }
  });
  timer->start();
}

}  // namespace quadrelo::ui::testing

#include "tests/ui/ui_test_support.h"

#include <gtest/gtest.h>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <memory>

#include "ui/appearance.h"

namespace quadrelo::ui::testing {

namespace {

bool IsBlue(const QColor& colour) { return colour == QColor(0, 0, 255); }

}  // namespace

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
  if (onMessage) onMessage();
}

void ScriptedDialogs::showCompletion() {
  ++completions;
  if (onCompletion) onCompletion();
}

void ExpectLayout(QWidget& window, const ControlLayout& c) {
  SCOPED_TRACE(c.name);
  QWidget* widget = window.findChild<QWidget*>(c.name);
  ASSERT_NE(widget, nullptr);
  EXPECT_STREQ(widget->metaObject()->className(), c.className);
  EXPECT_EQ(widget->parentWidget()->objectName().toStdString(), c.container);
  EXPECT_EQ(widget->geometry(), c.pixels);
  QString text;
  if (auto* group = qobject_cast<QGroupBox*>(widget)) text = group->title();
  if (auto* label = qobject_cast<QLabel*>(widget)) text = label->text();
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) text = edit->text();
  if (auto* button = qobject_cast<QPushButton*>(widget)) text = button->text();
  EXPECT_EQ(text.toStdString(), c.text);
  if (c.family != nullptr) {
    EXPECT_EQ(widget->font().family().toStdString(), c.family);
    EXPECT_DOUBLE_EQ(widget->font().pointSizeF(), c.points);
    EXPECT_EQ(widget->font().bold(), c.bold);
  }
  // The colour of the role each kind draws its text with.
  QPalette::ColorRole role = QPalette::WindowText;
  if (qobject_cast<QLineEdit*>(widget) != nullptr) role = QPalette::Text;
  if (qobject_cast<QPushButton*>(widget) != nullptr) role = QPalette::ButtonText;
  EXPECT_EQ(IsBlue(widget->palette().color(role)), c.blue);
}

void PollUntil(std::function<bool()> step, int limit) {
  auto* timer = new QTimer(&App());
  timer->setInterval(10);
  auto polls = std::make_shared<int>(0);
  QObject::connect(timer, &QTimer::timeout, timer, [timer, polls, limit, step = std::move(step)] {
    if (++*polls <= limit) {
      if (!step()) return;
    } else if (QWidget* modal = QApplication::activeModalWidget()) {
      // Something never came or never went: close what is open rather than hang the test.
      if (*polls == limit + 1) ADD_FAILURE() << "a dialog did not go as expected";
      modal->close();
      return;
    }
    timer->stop();
    timer->deleteLater();
  });
  timer->start();
}

}  // namespace quadrelo::ui::testing

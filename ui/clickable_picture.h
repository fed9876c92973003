#pragma once

#include <QLabel>
#include <QMouseEvent>
#include <functional>

namespace quadrelo::ui {

// A picture that acts on a click, like a button without a frame: a left press released over it.
class ClickablePicture : public QLabel {
 public:
  explicit ClickablePicture(QWidget* parent) : QLabel(parent) {}
  std::function<void()> onClick;

 protected:
  void mousePressEvent(QMouseEvent* event) override {
    pressed_ = event->button() == Qt::LeftButton;
    event->accept();
  }
  void mouseReleaseEvent(QMouseEvent* event) override {
    const bool click = pressed_ && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    pressed_ = false;
    event->accept();
    if (click && onClick) onClick();
  }

 private:
  bool pressed_ = false;
};

}  // namespace quadrelo::ui

#pragma once

#include <QDialog>

namespace quadrelo::ui {

// The dialog shown at the end of every run, whatever its outcome. However it goes away, every
// file the program still holds open is closed, which tidies up after a run that stopped
// part-way.
class FrmMsg : public QDialog {
  Q_OBJECT

 public:
  explicit FrmMsg(QWidget* parent = nullptr);

  void done(int result) override;
};

}  // namespace quadrelo::ui

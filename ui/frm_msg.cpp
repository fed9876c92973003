#include "ui/frm_msg.h"

#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include "platform/files.h"
#include "ui/appearance.h"

namespace quadrelo::ui {

FrmMsg::FrmMsg(QWidget* parent) : QDialog(parent) {
  setObjectName("frmMsg");
  setWindowTitle("Conversor Transferencias recibidas a EXCEL");
  setWindowIcon(WindowIcon());
  setModal(true);
  setFixedSize(TwipsSize(5880, 1275));

  auto* frame = new QGroupBox(this);
  frame->setObjectName("Frame1");
  frame->setGeometry(TwipsRect(120, 0, 5625, 735));

  auto* notice = new QLabel("Proceso terminado", frame);
  notice->setObjectName("labProcTerminado");
  notice->setGeometry(TwipsRect(225, 120, 4950, 405));
  notice->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  notice->setFont(LayoutFont(kComic, 14.25, true));
  SetTextColour(notice, Blue());

  auto* accept = new QPushButton("&Aceptar", this);
  accept->setObjectName("cmdAceptar");
  accept->setGeometry(TwipsRect(3360, 840, 1815, 375));
  accept->setFont(LayoutFont(kSansSerif, 8.25, true));
  accept->setDefault(true);
  accept->setFocus();
  connect(accept, &QPushButton::clicked, this, &QDialog::accept);

  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
}

void FrmMsg::done(int result) {
  QDialog::done(result);
  files::Reset();
}

}  // namespace quadrelo::ui

#include "ui/dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

#include "ui/frm_msg.h"

namespace quadrelo::ui {

namespace {

QString Title() { return QString::fromUtf8(kApplicationTitle.data(), kApplicationTitle.size()); }

}  // namespace

std::string QtDialogs::chooseTransferFile(QWidget* parent, const QString& initialFolder) {
  // "*.*" would hide names without a dot; the last parenthesised group is the pattern Qt uses,
  // and HideNameFilterDetails keeps it out of sight.
  QFileDialog dialog(parent, QString::fromUtf8(kFileDialogTitle), initialFolder,
                     QString::fromUtf8(kFileDialogFilter) + " (*)");
  dialog.setObjectName("CajaComun");
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  if (dialog.exec() != QDialog::Accepted) return {};
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return {};
  return QDir::toNativeSeparators(chosen.first()).toStdString();
}

bool QtDialogs::askYesNo(QWidget* parent, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, Title(), text, QMessageBox::Yes | QMessageBox::No, parent);
  box.setDefaultButton(QMessageBox::Yes);
  box.setEscapeButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

void QtDialogs::message(QWidget* parent, const QString& text, MessageIcon icon) {
  QMessageBox::Icon shown = QMessageBox::NoIcon;
  if (icon == MessageIcon::Error) shown = QMessageBox::Critical;
  if (icon == MessageIcon::Information) shown = QMessageBox::Information;
  QMessageBox box(shown, Title(), text, QMessageBox::Ok, parent);
  box.exec();
}

void QtDialogs::showCompletion() {
  FrmMsg dialog;
  dialog.exec();
}

}  // namespace quadrelo::ui

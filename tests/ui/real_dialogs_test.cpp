// The window's modals as Qt really shows them, driven from a polling timer.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <filesystem>

#include "platform/files.h"
#include "platform/text.h"
#include "tests/support/test_support.h"
#include "tests/ui/ui_test_support.h"
#include "ui/dialogs.h"
#include "ui/frm_entrada.h"
#include "ui/frm_msg.h"

namespace quadrelo::ui {
namespace {

using testing::App;
using testing::ModalOf;
using testing::PollUntil;

// Enough polls (10 ms each) for any dialog to appear and load; only a hang reaches it.
constexpr int kPatience = 2000;

QString Folder(const TempDir& dir) { return QString::fromStdString(PathToUtf8(dir.path())); }

// Types `name` into the file dialog's name box and presses Return, from the dialog's own event
// loop: a refused name opens a message box, which the polling timer must still be free to see.
void TypeFileName(QFileDialog* dialog, const QString& name) {
  auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit");
  ASSERT_NE(edit, nullptr);
  edit->setText(name);
  QMetaObject::invokeMethod(
      edit, [edit] { QTest::keyClick(edit, Qt::Key_Return); }, Qt::QueuedConnection);
}

bool Lists(QFileDialog* dialog, const QString& name) {
  auto* view = dialog->findChild<QAbstractItemView*>("listView");
  if (view == nullptr || view->model() == nullptr) return false;
  const QAbstractItemModel* model = view->model();
  const QModelIndex root = view->rootIndex();
  for (int row = 0; row < model->rowCount(root); ++row) {
    if (model->index(row, 0, root).data().toString() == name) return true;
  }
  return false;
}

class RealDialogsTest : public ::testing::Test {
 protected:
  RealDialogsTest() { App(); }
  ~RealDialogsTest() override { files::Reset(); }
  QtDialogs dialogs_;
  TempDir dir_;
};

TEST_F(RealDialogsTest, FileDialogIsOursInSpanishAndListsEveryFile) {
  WriteFile(dir_ / "LEEME", "sin punto");
  WriteFile(dir_ / "remesa.txt", "11");
  int polls = 0;
  bool listed = false;
  PollUntil([&] {
    auto* dialog = ModalOf<QFileDialog>();
    if (dialog == nullptr) return false;
    // The folder's listing arrives from a background thread.
    if (!(listed = Lists(dialog, "LEEME") && Lists(dialog, "remesa.txt")) && ++polls < kPatience) {
      return false;
    }
    EXPECT_EQ(dialog->objectName(), "CajaComun");
    EXPECT_EQ(dialog->windowTitle(), "Abrir fichero a filtrar");
    EXPECT_TRUE(dialog->testOption(QFileDialog::DontUseNativeDialog));
    EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
    EXPECT_EQ(QDir(dialog->directory()).canonicalPath(), QDir(Folder(dir_)).canonicalPath());
    auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
    EXPECT_TRUE(types != nullptr && types->count() == 1 &&
                types->currentText() == "Todos los ficheros (*.*)");
    auto* buttons = dialog->findChild<QDialogButtonBox*>("buttonBox");
    EXPECT_TRUE(buttons != nullptr &&
                buttons->button(QDialogButtonBox::Open)->text().contains("Abrir"));
    EXPECT_TRUE(buttons != nullptr &&
                buttons->button(QDialogButtonBox::Cancel)->text() == "Cancelar");
    TypeFileName(dialog, "LEEME");
    return true;
  });
  const std::string chosen = dialogs_.chooseTransferFile(nullptr, Folder(dir_));
  EXPECT_TRUE(listed);
  EXPECT_EQ(chosen, PathToUtf8(fs::path(PathToUtf8(dir_.path())) / "LEEME"));
}

TEST_F(RealDialogsTest, FileDialogAdmitsOnlyExistingFilesAndCancelGivesNoName) {
  int phase = 0;
  QString refusal;
  PollUntil([&] {
    if (auto* box = ModalOf<QMessageBox>()) {
      refusal = box->text();
      box->button(QMessageBox::Ok) != nullptr ? box->button(QMessageBox::Ok)->click()
                                              : box->reject();
      return false;
    }
    auto* dialog = ModalOf<QFileDialog>();
    if (dialog == nullptr) return false;
    if (phase++ == 0) {
      TypeFileName(dialog, "no-existe.txt");
      return false;
    }
    EXPECT_TRUE(dialog->isVisible());  // still open after the refused name
    dialog->reject();
    return true;
  });
  EXPECT_EQ(dialogs_.chooseTransferFile(nullptr, Folder(dir_)), "");
  EXPECT_TRUE(refusal.contains("no encontrado")) << refusal.toStdString();
}

TEST_F(RealDialogsTest, OverwriteQuestionIsYesNoWithYesAsDefault) {
  for (bool yes : {false, true}) {
    PollUntil([&] {
      auto* box = ModalOf<QMessageBox>();
      if (box == nullptr) return false;
      EXPECT_EQ(box->windowTitle(), "Quadrelo");
      EXPECT_EQ(box->text().toStdString(), kOverwriteQuestion);
      EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
      EXPECT_EQ(box->buttons().size(), 2);
      EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::Yes));
      EXPECT_EQ(box->button(QMessageBox::Yes)->text(), "&Sí");
      EXPECT_EQ(box->button(QMessageBox::No)->text(), "&No");
      box->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
      return true;
    });
    EXPECT_EQ(dialogs_.askYesNo(nullptr, QString::fromUtf8(kOverwriteQuestion)), yes);
  }
}

TEST_F(RealDialogsTest, MessagesHaveTheirIconAndOneAceptarButton) {
  const std::pair<MessageIcon, QMessageBox::Icon> icons[] = {
      {MessageIcon::Error, QMessageBox::Critical},
      {MessageIcon::Information, QMessageBox::Information}};
  for (const auto& [ours, qts] : icons) {
    bool seen = false;
    PollUntil([&] {
      auto* box = ModalOf<QMessageBox>();
      if (box == nullptr) return false;
      seen = true;
      EXPECT_EQ(box->windowTitle(), "Quadrelo");
      EXPECT_EQ(box->text(), "No se puede abrir el fichero de entrada");
      EXPECT_EQ(box->icon(), qts);
      EXPECT_EQ(box->buttons().size(), 1);
      EXPECT_EQ(box->buttons().value(0)->text(), "Aceptar");
      box->buttons().value(0)->click();
      return true;
    });
    dialogs_.message(nullptr, "No se puede abrir el fichero de entrada", ours);
    EXPECT_TRUE(seen);
  }
}

TEST_F(RealDialogsTest, CompletionDialogLayout) {
  FrmMsg dialog;
  const testing::ControlLayout controls[] = {
      {"Frame1", "QGroupBox", "frmMsg", {8, 0, 375, 49}, "", nullptr, 0, false, false},
      {"labProcTerminado",
       "QLabel",
       "Frame1",
       {15, 8, 330, 27},
       "Proceso terminado",
       "Comic Sans MS",
       14.25,
       true,
       true},
      {"cmdAceptar",
       "QPushButton",
       "frmMsg",
       {224, 56, 121, 25},
       "&Aceptar",
       "MS Sans Serif",
       8.25,
       true,
       false},
  };
  for (const auto& c : controls) testing::ExpectLayout(dialog, c);
  EXPECT_EQ(dialog.windowTitle(), "Conversor Transferencias recibidas a EXCEL");
  EXPECT_EQ(dialog.size(), QSize(392, 85));
  EXPECT_TRUE(dialog.windowIcon().availableSizes().contains(QSize(32, 32)));
  EXPECT_TRUE(dialog.findChild<QLabel*>("labProcTerminado")->alignment() & Qt::AlignHCenter);
}

TEST_F(RealDialogsTest, CompletionDialogClosesEveryOpenFileHoweverItGoes) {
  WriteFile(dir_ / "entrada.txt", "11");
  enum class Way { Aceptar, AccessKey, CloseCommand };
  for (Way way : {Way::Aceptar, Way::AccessKey, Way::CloseCommand}) {
    files::OpenForInput(files::FreeFile(), dir_ / "entrada.txt");
    files::OpenForInput(files::FreeFile(), dir_ / "entrada.txt");
    ASSERT_EQ(files::OpenCount(), 2);
    int openWhileShown = -1;
    PollUntil([&] {
      auto* dialog = ModalOf<FrmMsg>();
      if (dialog == nullptr) return false;
      openWhileShown = files::OpenCount();
      if (way == Way::Aceptar) dialog->findChild<QPushButton*>("cmdAceptar")->click();
      if (way == Way::AccessKey) {
        QTest::keyClick(dialog, Qt::Key_A, Qt::AltModifier);
        if (dialog->isVisible()) return false;  // the shortcut clicks after a short animation
      }
      if (way == Way::CloseCommand) dialog->close();
      return true;
    });
    dialogs_.showCompletion();
    EXPECT_EQ(openWhileShown, 2);
    EXPECT_EQ(files::OpenCount(), 0);
  }
}

// The sample of one account with one transfer and its remarks, in 80-character CR LF lines.
std::string SampleTransferFile() {
  auto line = [](std::string text) {
    text.resize(80, ' ');
    return text + "\r\n";
  };
  return line("11001234567890123456") +
         line("2200491234000000000020261207000123456700 REF00000001") +
         line("23GARCIA LOPEZ, ANA             FACTURA 12          JUNIO");
}

TEST_F(RealDialogsTest, WholeChoiceAndRunThroughTheRealDialogs) {
  WriteFile(dir_ / "remesa.txt", SampleTransferFile());
  WriteFile(dir_ / "remesa.xls", "viejo");
  WindowServices services;
  services.dialogs = &dialogs_;
  services.initialFolder = [this] { return Folder(dir_); };
  FrmEntrada window(services);
  window.show();

  bool asked = false;
  PollUntil([&] {
    if (auto* box = ModalOf<QMessageBox>()) {
      asked = box->text().toStdString() == kOverwriteQuestion;
      box->button(QMessageBox::Yes)->click();
      return true;
    }
    if (auto* dialog = ModalOf<QFileDialog>()) TypeFileName(dialog, "remesa.txt");
    return false;
  });
  QTest::mouseClick(window.findChild<QLabel*>("Image1"), Qt::LeftButton);
  EXPECT_TRUE(asked);
  EXPECT_FALSE(fs::exists(dir_ / "remesa.xls"));
  ASSERT_EQ(window.workbookPath(), PathToUtf8(dir_ / "remesa.xls"));

  int openWhileShown = -1;
  QString notice;
  PollUntil([&] {
    auto* dialog = ModalOf<FrmMsg>();
    if (dialog == nullptr) return false;
    openWhileShown = files::OpenCount();
    notice = dialog->findChild<QLabel*>("labProcTerminado")->text();
    dialog->findChild<QPushButton*>("cmdAceptar")->click();
    return true;
  });
  QTest::mouseClick(window.findChild<QPushButton*>("cmdProcesar"), Qt::LeftButton);
  EXPECT_EQ(notice, "Proceso terminado");
  EXPECT_EQ(openWhileShown, 1);  // a complete run leaves its input open until the dialog goes
  EXPECT_EQ(files::OpenCount(), 0);

  QUADRELO_SKIP_WITHOUT(Reader::kXlrd);
  const auto dump =
      RunReader(Reader::kXlrd, {"readers/xls_read.py", "list", PathToUtf8(dir_ / "remesa.xls")});
  ASSERT_EQ(dump.exitCode, 0) << dump.output;
  // The sheet is named after the account (the workbook layer settles the characters it allows).
  EXPECT_NE(dump.output.find("sheet\t1\tCuenta"), std::string::npos) << dump.output;
  EXPECT_NE(dump.output.find("001234567890123456\t3\n"), std::string::npos) << dump.output;
  EXPECT_NE(dump.output.find("\t3\tD\tnumber\t"), std::string::npos) << dump.output;
  EXPECT_NE(dump.output.find("12345.67"), std::string::npos) << dump.output;
  EXPECT_NE(dump.output.find("\t3\tF\ttext\t0\tGeneral\tGARCIA LOPEZ, ANA"), std::string::npos)
      << dump.output;
}

TEST_F(RealDialogsTest, DriverMessageIsARealMessageBoxAndTheDialogStillFollows) {
  WriteFile(dir_ / "mala.txt", "22 esto no es una cabecera\r\n");
  WindowServices services;
  services.dialogs = &dialogs_;
  services.initialFolder = [this] { return Folder(dir_); };
  FrmEntrada window(services);
  window.show();
  PollUntil([&] {
    auto* dialog = ModalOf<QFileDialog>();
    if (dialog == nullptr) return false;
    TypeFileName(dialog, "mala.txt");
    return true;
  });
  window.chooseInput();
  ASSERT_FALSE(window.workbookPath().empty());

  QString shown;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  bool completion = false;
  PollUntil([&] {
    if (auto* box = ModalOf<QMessageBox>()) {
      shown = box->text();
      icon = box->icon();
      box->buttons().value(0)->click();
      return false;
    }
    if (auto* dialog = ModalOf<FrmMsg>()) {
      completion = true;
      dialog->findChild<QPushButton*>("cmdAceptar")->click();
      return true;
    }
    return false;
  });
  window.generate();
  EXPECT_EQ(shown, "El fichero no tiene el formato correcto");
  EXPECT_EQ(icon, QMessageBox::Information);
  EXPECT_TRUE(completion);
  EXPECT_FALSE(fs::exists(dir_ / "mala.xls"));
}

}  // namespace
}  // namespace quadrelo::ui

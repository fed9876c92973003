#include "ui/frm_entrada.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <filesystem>
#include <system_error>

#include "naming/output_name.h"
#include "platform/continue_on_error.h"
#include "platform/files.h"
#include "platform/text.h"
#include "ui/appearance.h"
#include "ui/clickable_picture.h"
#include "ui/dialogs.h"

namespace quadrelo::ui {

namespace {

constexpr int kBlinkIntervalMs = 500;

QGroupBox* MakeFrame(QWidget* parent, const char* name, const char* caption, QRect geometry) {
  auto* frame = new QGroupBox(QString::fromUtf8(caption), parent);
  frame->setObjectName(name);
  frame->setGeometry(geometry);
  frame->setFont(LayoutFont(kSansSerif, 9.75));
  SetTextColour(frame, Blue());
  return frame;
}

QLineEdit* MakePathBox(QWidget* parent, const char* name, QRect geometry) {
  auto* box = new QLineEdit(parent);
  box->setObjectName(name);
  box->setGeometry(geometry);
  box->setFont(LayoutFont(kSansSerif, 8.25));
  // Only the chosen paths are used, never text typed here, so typing is not offered.
  box->setReadOnly(true);
  return box;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption, QRect geometry) {
  auto* button = new QPushButton(QString::fromUtf8(caption), parent);
  button->setObjectName(name);
  button->setGeometry(geometry);
  button->setFont(LayoutFont(kSansSerif, 9.75));
  button->setAutoDefault(false);
  return button;
}

// An ordinary file, hidden or not; a folder under that name does not count.
bool WorkbookExists(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(PathFromUtf8(path), error);
}

}  // namespace

bool WindowServices::RemoveFile(const std::string& path) {
  std::error_code error;
  return std::filesystem::remove(PathFromUtf8(path), error) && !error;
}

QString WindowServices::ExecutableFolder() { return QCoreApplication::applicationDirPath(); }

void WindowServices::ExitEventLoop() { QCoreApplication::exit(0); }

// The window served between two records. Handing events to Qt costs more than converting a
// record does, so it happens once per kEventInterval, not per record; a request to stop (by
// "&Cerrar" or the window's close command) is looked at on every call and ends the run after the
// record in hand.
class FrmEntrada::RunEvents : public EventPump {
 public:
  explicit RunEvents(const FrmEntrada& window)
      : window_(window), lastHandOver_(window.services_.now()) {}
  bool yield() override {
    if (window_.services_.now() - lastHandOver_ >= kEventInterval) {
      QCoreApplication::processEvents();
      // Measured from the end, so a slow repaint still leaves the run a full interval.
      lastHandOver_ = window_.services_.now();
    }
    return !window_.stopRequested_;
  }

 private:
  const FrmEntrada& window_;
  std::chrono::steady_clock::time_point lastHandOver_;
};

class FrmEntrada::RunMessages : public MessageSink {
 public:
  explicit RunMessages(FrmEntrada& window) : window_(window) {}
  void show(std::string_view text, MessageIcon icon) override {
    // The message waits for the user, not the run: the ordinary pointer while it is up.
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    window_.services_.dialogs->message(
        &window_, QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())), icon);
    QApplication::restoreOverrideCursor();
  }

 private:
  FrmEntrada& window_;
};

FrmEntrada::FrmEntrada(WindowServices services, QWidget* parent)
    : QWidget(parent), services_(std::move(services)) {
  setObjectName("frmEntrada");
  setWindowTitle("Conversor Transferencias recibidas a EXCEL - Ver 1.0 Tesvaro");
  setWindowIcon(WindowIcon());
  setFixedSize(TwipsSize(6000, 3360));

  QGroupBox* inputFrame =
      MakeFrame(this, "Frame1", "Fichero Origen", TwipsRect(120, 120, 5775, 975));
  inputBox_ = MakePathBox(inputFrame, "tbEntrada", TwipsRect(120, 360, 4815, 405));

  auto* picture = new ClickablePicture(inputFrame);
  picture->setObjectName("Image1");
  picture->setGeometry(TwipsRect(5160, 360, 480, 360));
  picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  picture->setPixmap(OpenFilePicture());
  picture->onClick = [this] { chooseInput(); };

  QGroupBox* workbookFrame =
      MakeFrame(this, "Frame2", "Fichero Destino", TwipsRect(120, 1080, 5775, 975));
  workbookBox_ = MakePathBox(workbookFrame, "tbSalida", TwipsRect(120, 360, 5415, 405));
  workbookBox_->setEnabled(false);
  QPalette buttonFace = workbookBox_->palette();
  for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    buttonFace.setColor(group, QPalette::Base,
                        buttonFace.color(QPalette::Active, QPalette::Button));
  }
  workbookBox_->setPalette(buttonFace);

  busyNotice_ = new QLabel("Procesando, espere por favor", this);
  busyNotice_->setObjectName("Label1");
  busyNotice_->setGeometry(TwipsRect(893, 2160, 4215, 495));
  busyNotice_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  busyNotice_->setFont(LayoutFont(kComic, 14.25));
  SetTextColour(busyNotice_, Blue());
  busyNotice_->hide();

  generateButton_ = MakeButton(this, "cmdProcesar", "&Generar", TwipsRect(3000, 2880, 1455, 375));
  generateButton_->setEnabled(false);
  connect(generateButton_, &QPushButton::clicked, this, &FrmEntrada::generate);

  closeButton_ = MakeButton(this, "Command2", "&Cerrar", TwipsRect(4560, 2880, 1335, 375));
  connect(closeButton_, &QPushButton::clicked, this, &FrmEntrada::endProgram);

  blinkTimer_ = new QTimer(this);
  blinkTimer_->setObjectName("Timer1");
  blinkTimer_->setInterval(kBlinkIntervalMs);
  connect(blinkTimer_, &QTimer::timeout, this, &FrmEntrada::blink);

  setTabOrder(generateButton_, closeButton_);
  setTabOrder(closeButton_, workbookBox_);
  setTabOrder(workbookBox_, inputBox_);
  closeButton_->setFocus();

  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
}

FrmEntrada::~FrmEntrada() = default;

void FrmEntrada::chooseInput() {
  // The paths of a run in progress stay as they are.
  if (running_) return;
  sFileIn = services_.dialogs->chooseTransferFile(this, services_.initialFolder());
  inputBox_->setText(QString::fromStdString(sFileIn));
  if (inputBox_->text().isEmpty()) return;

  const std::string workbook = naming::WorkbookPathFor(sFileIn);
  if (WorkbookExists(workbook)) {
    if (!services_.dialogs->askYesNo(this, QString::fromUtf8(kOverwriteQuestion))) {
      setWorkbookPath({});
      return;
    }
    if (!services_.deleteFile(workbook)) {
      services_.dialogs->message(this, QString::fromUtf8(kCannotDeleteWorkbook),
                                 MessageIcon::Error);
      setWorkbookPath({});
      return;
    }
  }
  setWorkbookPath(workbook);
}

void FrmEntrada::setWorkbookPath(const std::string& path) {
  sLibro = path;
  workbookBox_->setText(QString::fromStdString(sLibro));
  generateButton_->setEnabled(!sLibro.empty());
}

void FrmEntrada::generate() {
  // One run at a time: a second press between two records is ignored.
  if (running_) return;
  running_ = true;
  stopRequested_ = false;

  // Whatever the conversion does, the busy indication comes down and the dialog is shown.
  ContinueOnError guarded;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  busyNotice_->show();
  blinkTimer_->start();
  RunEvents events(*this);
  RunMessages messages(*this);
  conversion::RunServices run;
  run.events = &events;
  run.messages = &messages;
  guarded([&] { services_.convert(sFileIn, sLibro, run); });
  QApplication::restoreOverrideCursor();
  blinkTimer_->stop();
  busyNotice_->hide();
  running_ = false;

  if (stopRequested_) {
    leaveNow();
    return;
  }
  guarded([&] { services_.dialogs->showCompletion(); });
}

void FrmEntrada::blink() {
  busyNotice_->setVisible(busyNotice_->isHidden());
  // Painted at once: the run holds the thread between its yields.
  repaint();
}

void FrmEntrada::endProgram() {
  if (running_) {
    // The run ends after the record in hand; leaveNow() follows when it has unwound.
    stopRequested_ = true;
    return;
  }
  leaveNow();
}

void FrmEntrada::leaveNow() {
  files::Reset();
  close();
  services_.endProgram();
}

void FrmEntrada::closeEvent(QCloseEvent* event) {
  if (running_) {
    // Closing now would leave the run going without a window; stop it and leave when it has
    // unwound, with nothing saved and no dialog.
    stopRequested_ = true;
    event->ignore();
    return;
  }
  event->accept();
}

}  // namespace quadrelo::ui

#include "ui/frm_entrada.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPalette>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QUrl>

#include "platform/files.h"
#include "ui/appearance.h"
#include "ui/clickable_picture.h"
#include "ui/dialogs.h"

namespace quadrelo::ui {

namespace {

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

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

QString WindowServices::ExecutableFolder() { return QCoreApplication::applicationDirPath(); }

void WindowServices::ExitEventLoop() { QCoreApplication::exit(0); }

FrmEntrada::FrmEntrada(WindowServices services, QWidget* parent)
    : QWidget(parent),
      services_(std::move(services)),
      behaviour_(*this, static_cast<const window::Services&>(services_)) {
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
  picture->onClick = [this] { behaviour_.chooseInput(); };

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
  connect(generateButton_, &QPushButton::clicked, this, [this] { behaviour_.generate(); });

  closeButton_ = MakeButton(this, "Command2", "&Cerrar", TwipsRect(4560, 2880, 1335, 375));
  connect(closeButton_, &QPushButton::clicked, this, [this] { behaviour_.endProgram(); });

  blinkTimer_ = new QTimer(this);
  blinkTimer_->setObjectName("Timer1");
  blinkTimer_->setInterval(static_cast<int>(window::kBlinkInterval.count()));
  connect(blinkTimer_, &QTimer::timeout, this, [this] { behaviour_.blink(); });

  setTabOrder(generateButton_, closeButton_);
  setTabOrder(closeButton_, workbookBox_);
  setTabOrder(workbookBox_, inputBox_);
  closeButton_->setFocus();
  setAcceptDrops(true);

  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
}

FrmEntrada::~FrmEntrada() = default;

std::string FrmEntrada::chooseFile() {
  return services_.dialogs->chooseTransferFile(this, services_.initialFolder());
}

void FrmEntrada::showInput(const std::string& path) {
  inputBox_->setText(QString::fromStdString(path));
}

void FrmEntrada::showWorkbook(const std::string& path) {
  workbookBox_->setText(QString::fromStdString(path));
}

void FrmEntrada::enableGenerate(bool enabled) { generateButton_->setEnabled(enabled); }

bool FrmEntrada::askYesNo(std::string_view question) {
  return services_.dialogs->askYesNo(this, FromUtf8(question));
}

void FrmEntrada::message(std::string_view text, MessageIcon icon, bool running) {
  // A message during a run waits for the user, not the run: the ordinary pointer while it is up.
  if (running) QApplication::setOverrideCursor(Qt::ArrowCursor);
  services_.dialogs->message(this, FromUtf8(text), icon);
  if (running) QApplication::restoreOverrideCursor();
}

void FrmEntrada::showCompletion() { services_.dialogs->showCompletion(); }

void FrmEntrada::setBusyPointer(bool busy) {
  if (busy) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    QApplication::restoreOverrideCursor();
  }
}

void FrmEntrada::setBlinking(bool on) {
  if (on) {
    blinkTimer_->start();
  } else {
    blinkTimer_->stop();
  }
}

void FrmEntrada::showNotice(bool shown) {
  busyNotice_->setVisible(shown);
  // Painted at once: a run holds the thread between its hand-overs.
  repaint();
}

void FrmEntrada::handOverEvents() { QCoreApplication::processEvents(); }

void FrmEntrada::quit() {
  close();
  services_.endProgram();
}

void FrmEntrada::closeEvent(QCloseEvent* event) {
  if (behaviour_.closeRequested()) {
    event->accept();
  } else {
    event->ignore();
  }
}

namespace {

// The one local file that a drag carries, or empty text.
std::string DraggedFile(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls()) return {};
  const QList<QUrl> urls = data->urls();
  if (urls.size() != 1 || !urls.first().isLocalFile()) return {};
  return QDir::toNativeSeparators(urls.first().toLocalFile()).toStdString();
}

}  // namespace

void FrmEntrada::dragEnterEvent(QDragEnterEvent* event) {
  if (behaviour_.acceptsDrop(DraggedFile(event->mimeData()))) event->acceptProposedAction();
}

void FrmEntrada::dropEvent(QDropEvent* event) {
  const std::string path = DraggedFile(event->mimeData());
  if (!behaviour_.acceptsDrop(path)) return;
  event->acceptProposedAction();
  behaviour_.drop(path);
}

}  // namespace quadrelo::ui

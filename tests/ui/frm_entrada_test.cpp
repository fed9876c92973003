#include "ui/frm_entrada.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QFontInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <chrono>
#include <filesystem>
#include <memory>
#include <stdexcept>

#include "platform/files.h"
#include "platform/text.h"
#include "tests/support/test_support.h"
#include "tests/ui/ui_test_support.h"

namespace quadrelo::ui {
namespace {

using testing::App;
using testing::ControlLayout;
using testing::ExpectLayout;
using testing::ScriptedDialogs;

class WindowTest : public ::testing::Test {
 protected:
  WindowTest() {
    App();
    services_.dialogs = &dialogs_;
    services_.convert = [this](const std::string& in, const std::string& out,
                               const conversion::RunServices& run) {
      ++runs_;
      runInput_ = in;
      runWorkbook_ = out;
      if (duringRun_) duringRun_(run);
    };
    services_.initialFolder = [this] { return QString::fromStdString(PathToUtf8(dir_.path())); };
    services_.endProgram = [this] { ++ended_; };
    // Stands still unless a test moves it: a run hands events to Qt only when told to.
    services_.now = [this] { return now_; };
  }
  ~WindowTest() override { files::Reset(); }

  FrmEntrada& window() {
    if (!window_) window_ = std::make_unique<FrmEntrada>(services_);
    return *window_;
  }
  template <class T>
  T* child(const char* name) {
    T* found = window().findChild<T*>(name);
    EXPECT_NE(found, nullptr) << name;
    return found;
  }
  QPushButton* generar() { return child<QPushButton>("cmdProcesar"); }
  QLabel* notice() { return child<QLabel>("Label1"); }
  QTimer* timer() { return child<QTimer>("Timer1"); }
  QString tbEntrada() { return child<QLineEdit>("tbEntrada")->text(); }
  QString tbSalida() { return child<QLineEdit>("tbSalida")->text(); }

  std::string file(const std::string& name) const { return PathToUtf8(dir_.path() / name); }
  // Chooses `name` (created first) through the picture; the answers script any question.
  void choose(const std::string& name, std::deque<bool> answers = {}) {
    if (!fs::exists(dir_.path() / name)) WriteFile(dir_.path() / name, "11");
    dialogs_.chosenFiles.push_back(file(name));
    dialogs_.answers = std::move(answers);
    window().chooseInput();
  }

  TempDir dir_;
  ScriptedDialogs dialogs_;
  WindowServices services_;
  std::unique_ptr<FrmEntrada> window_;
  std::function<void(const conversion::RunServices&)> duringRun_;
  std::chrono::steady_clock::time_point now_;
  int runs_ = 0;
  int ended_ = 0;
  std::string runInput_;
  std::string runWorkbook_;
};

// ---- Layout ----

TEST_F(WindowTest, ControlsHaveTheirNamesPlacesTextsAndFonts) {
  const ControlLayout controls[] = {
      {"Frame1",
       "QGroupBox",
       "frmEntrada",
       {8, 8, 385, 65},
       "Fichero Origen",
       "MS Sans Serif",
       9.75,
       false,
       true},
      {"tbEntrada",
       "QLineEdit",
       "Frame1",
       {8, 24, 321, 27},
       "",
       "MS Sans Serif",
       8.25,
       false,
       false},
      {"Image1", "QLabel", "Frame1", {344, 24, 32, 24}, "", nullptr, 0, false, true},
      {"Frame2",
       "QGroupBox",
       "frmEntrada",
       {8, 72, 385, 65},
       "Fichero Destino",
       "MS Sans Serif",
       9.75,
       false,
       true},
      {"tbSalida",
       "QLineEdit",
       "Frame2",
       {8, 24, 361, 27},
       "",
       "MS Sans Serif",
       8.25,
       false,
       false},
      {"Label1",
       "QLabel",
       "frmEntrada",
       {60, 144, 281, 33},
       "Procesando, espere por favor",
       "Comic Sans MS",
       14.25,
       false,
       true},
      {"cmdProcesar",
       "QPushButton",
       "frmEntrada",
       {200, 192, 97, 25},
       "&Generar",
       "MS Sans Serif",
       9.75,
       false,
       false},
      {"Command2",
       "QPushButton",
       "frmEntrada",
       {304, 192, 89, 25},
       "&Cerrar",
       "MS Sans Serif",
       9.75,
       false,
       false},
  };
  ASSERT_EQ(QGuiApplication::primaryScreen()->logicalDotsPerInchX(), 96.0);
  for (const ControlLayout& c : controls) ExpectLayout(window(), c);

  EXPECT_EQ(window().windowTitle(), "Conversor Transferencias recibidas a EXCEL - Ver 1.0 Tesvaro");
  EXPECT_EQ(window().size(), QSize(400, 224));
  EXPECT_EQ(window().minimumSize(), window().maximumSize());
  EXPECT_TRUE(window().windowIcon().availableSizes().contains(QSize(32, 32)));
  EXPECT_EQ(child<QLabel>("Image1")->pixmap().size(), QSize(16, 16));
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_LE((window().geometry().center() - screen.center()).manhattanLength(), 2);
}

TEST_F(WindowTest, FontsResolveToANamedFallback) {
  const QStringList sans = {"MS Sans Serif", "Microsoft Sans Serif", "Liberation Sans",
                            "DejaVu Sans"};
  EXPECT_TRUE(sans.contains(QFontInfo(generar()->font()).family()))
      << QFontInfo(generar()->font()).family().toStdString();
  const QString comic = QFontInfo(notice()->font()).family();
  EXPECT_TRUE(comic == "Comic Sans MS" || comic == "Comic Neue") << comic.toStdString();
  EXPECT_DOUBLE_EQ(QFontInfo(notice()->font()).pointSizeF(), 14.25);
}

TEST_F(WindowTest, FrameCaptionsAreDrawnInBlue) {
  window().show();
  const QImage picture = child<QGroupBox>("Frame1")->grab().toImage();
  int bluePixels = 0;
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < picture.width(); ++x) {
      const QColor c = picture.pixelColor(x, y);
      if (c.red() < 60 && c.green() < 60 && c.blue() > 200) ++bluePixels;
    }
  }
  EXPECT_GT(bluePixels, 20);
}

TEST_F(WindowTest, OpensIdleWithNothingChosen) {
  EXPECT_TRUE(tbEntrada().isEmpty());
  EXPECT_TRUE(child<QLineEdit>("tbEntrada")->isEnabled());
  EXPECT_TRUE(tbSalida().isEmpty());
  QLineEdit* salida = child<QLineEdit>("tbSalida");
  EXPECT_FALSE(salida->isEnabled());
  EXPECT_EQ(salida->palette().color(QPalette::Disabled, QPalette::Base),
            salida->palette().color(QPalette::Active, QPalette::Button));
  EXPECT_TRUE(notice()->isHidden());
  EXPECT_FALSE(generar()->isEnabled());
  EXPECT_TRUE(child<QPushButton>("Command2")->isEnabled());
  EXPECT_FALSE(timer()->isActive());
  EXPECT_EQ(timer()->interval(), 500);
  EXPECT_TRUE(window().inputPath().empty());
  EXPECT_TRUE(window().workbookPath().empty());
}

TEST_F(WindowTest, TabOrderRunsFromGenerarToTheInputBox) {
  window().show();
  QStringList order;
  QWidget* w = generar();
  for (int i = 0; i < 40 && order.size() < 4; ++i, w = w->nextInFocusChain()) {
    if ((w->focusPolicy() & Qt::TabFocus) != 0 && w->window() == &window())
      order << w->objectName();
  }
  EXPECT_EQ(order, QStringList({"cmdProcesar", "Command2", "tbSalida", "tbEntrada"}));
  EXPECT_EQ(child<QLabel>("Image1")->focusPolicy(), Qt::NoFocus);
}

// ---- Choosing the input ----

TEST_F(WindowTest, ChoosingAFileShowsBothPathsAndEnablesGenerar) {
  choose("remesa.txt");
  EXPECT_EQ(tbEntrada().toStdString(), file("remesa.txt"));
  EXPECT_EQ(tbSalida().toStdString(), file("remesa.xls"));
  EXPECT_EQ(window().inputPath(), file("remesa.txt"));
  EXPECT_EQ(window().workbookPath(), file("remesa.xls"));
  EXPECT_TRUE(generar()->isEnabled());
  EXPECT_TRUE(dialogs_.questions.empty());
}

TEST_F(WindowTest, DroppingAFileChoosesItAsTheDialogWould) {
  WriteFile(dir_ / "remesa.txt", "11");
  WriteFile(dir_ / "remesa.xls", "old");
  fs::create_directory(dir_ / "carpeta");
  dialogs_.answers.push_back(true);
  auto drag = [&](const fs::path& path) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(PathToUtf8(path)))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window(), &enter);
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window(), &drop);
    return enter.isAccepted();
  };
  EXPECT_FALSE(drag(dir_ / "carpeta"));  // only a file is taken
  EXPECT_TRUE(window().inputPath().empty());
  EXPECT_TRUE(drag(dir_ / "remesa.txt"));
  EXPECT_EQ(tbEntrada().toStdString(), file("remesa.txt"));
  EXPECT_EQ(dialogs_.questions.size(), 1u);
  EXPECT_FALSE(fs::exists(dir_ / "remesa.xls"));
  EXPECT_EQ(tbSalida().toStdString(), file("remesa.xls"));
  EXPECT_TRUE(generar()->isEnabled());
  EXPECT_TRUE(dialogs_.folders.empty());  // no file dialog was opened
}

TEST_F(WindowTest, FileDialogStartsInTheFolderAskedAtEachClick) {
  int asked = 0;
  services_.initialFolder = [&] { return QString("carpeta-%1").arg(++asked); };
  window().chooseInput();
  window().chooseInput();
  EXPECT_EQ(dialogs_.folders, std::vector<QString>({"carpeta-1", "carpeta-2"}));
  EXPECT_EQ(WindowServices::ExecutableFolder(), QCoreApplication::applicationDirPath());
}

TEST_F(WindowTest, YesDeletesTheExistingWorkbookAtOnce) {
  WriteFile(dir_ / "remesa.xls", "old");
  choose("remesa.txt", {true});
  ASSERT_EQ(dialogs_.questions.size(), 1u);
  EXPECT_EQ(dialogs_.questions[0].toStdString(), kOverwriteQuestion);
  EXPECT_FALSE(fs::exists(dir_ / "remesa.xls"));
  EXPECT_EQ(runs_, 0);
  EXPECT_EQ(tbSalida().toStdString(), file("remesa.xls"));
  EXPECT_TRUE(generar()->isEnabled());
}

TEST_F(WindowTest, NoEmptiesTheWorkbookPathAndDisablesGenerar) {
  choose("primera.txt");
  ASSERT_TRUE(generar()->isEnabled());
  WriteFile(dir_ / "remesa.xls", "old");
  choose("remesa.txt", {false});
  EXPECT_EQ(dialogs_.questions.size(), 1u);
  EXPECT_TRUE(fs::exists(dir_ / "remesa.xls"));
  EXPECT_EQ(tbEntrada().toStdString(), file("remesa.txt"));
  EXPECT_EQ(window().inputPath(), file("remesa.txt"));
  EXPECT_TRUE(tbSalida().isEmpty());
  EXPECT_TRUE(window().workbookPath().empty());
  EXPECT_FALSE(generar()->isEnabled());
}

TEST_F(WindowTest, WorkbookThatCannotBeDeletedIsReportedAndTreatedAsNo) {
  WriteFile(dir_ / "remesa.xls", "old");
  services_.deleteFile = [](const std::string&) { return false; };
  choose("remesa.txt", {true});
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0].text.toStdString(), kCannotDeleteWorkbook);
  EXPECT_EQ(dialogs_.messages[0].icon, MessageIcon::Error);
  EXPECT_EQ(tbEntrada().toStdString(), file("remesa.txt"));
  EXPECT_TRUE(tbSalida().isEmpty());
  EXPECT_TRUE(window().workbookPath().empty());
  EXPECT_FALSE(generar()->isEnabled());
}

TEST_F(WindowTest, CancelledDialogEmptiesOnlyTheInput) {
  choose("remesa.txt");
  window().chooseInput();  // the dialog returns no name
  EXPECT_TRUE(tbEntrada().isEmpty());
  EXPECT_TRUE(window().inputPath().empty());
  EXPECT_EQ(window().workbookPath(), file("remesa.xls"));
  EXPECT_EQ(tbSalida().toStdString(), file("remesa.xls"));
  EXPECT_TRUE(generar()->isEnabled());
}

TEST_F(WindowTest, WhichExistingPathsCountAsAWorkbookToOverwrite) {
  struct Case {
    const char* input;
    const char* existing;  // created before the choice; a trailing "/" makes a folder
    bool asked;
    const char* workbook;
  };
  const Case cases[] = {
      {"remesa.txt", nullptr, false, "remesa.xls"},
      {"remesa.txt", "remesa.xls", true, "remesa.xls"},
      {".oculta.txt", ".oculta.xls", true, ".oculta.xls"},    // hidden files count
      {"carpeta.txt", "carpeta.xls/", false, "carpeta.xls"},  // a folder does not
      {"libro.xls", nullptr, false, "libro1.xls"},            // the input itself is never offered
      {"otro.xls", "otro1.xls", true, "otro1.xls"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input);
    TempDir folder;
    if (c.existing != nullptr) {
      std::string name = c.existing;
      if (name.back() == '/') {
        fs::create_directory(folder / name.substr(0, name.size() - 1));
      } else {
        WriteFile(folder / name, "old");
      }
    }
    WriteFile(folder / c.input, "11");
    ScriptedDialogs dialogs;
    dialogs.chosenFiles.push_back(PathToUtf8(folder / c.input));
    dialogs.answers.push_back(true);
    WindowServices services = services_;
    services.dialogs = &dialogs;
    FrmEntrada window(services);
    window.chooseInput();
    EXPECT_EQ(dialogs.questions.size(), c.asked ? 1u : 0u);
    EXPECT_EQ(window.workbookPath(), PathToUtf8(folder / c.workbook));
    EXPECT_TRUE(fs::exists(folder / c.input));
  }
}

// ---- Running ----

TEST_F(WindowTest, RunShowsTheHourglassAndTheBlinkingNotice) {
  choose("remesa.txt");
  window().show();
  duringRun_ = [&](const conversion::RunServices& run) {
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    EXPECT_TRUE(notice()->isVisible());
    EXPECT_TRUE(timer()->isActive());
    EXPECT_TRUE(generar()->isEnabled());
    window().blink();
    EXPECT_FALSE(notice()->isVisible());
    ASSERT_NE(run.events, nullptr);
    EXPECT_TRUE(run.events->yield());
    window().blink();
    EXPECT_TRUE(notice()->isVisible());
    EXPECT_EQ(dialogs_.completions, 0);
  };
  bool idleUnderTheDialog = false;
  dialogs_.onCompletion = [&] {
    idleUnderTheDialog = QApplication::overrideCursor() == nullptr && notice()->isHidden() &&
                         !timer()->isActive() && generar()->isEnabled();
  };
  window().generate();
  EXPECT_TRUE(idleUnderTheDialog);
  EXPECT_EQ(runs_, 1);
  EXPECT_EQ(runInput_, file("remesa.txt"));
  EXPECT_EQ(runWorkbook_, file("remesa.xls"));
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_TRUE(notice()->isHidden());
  EXPECT_FALSE(timer()->isActive());
  EXPECT_EQ(dialogs_.completions, 1);
  EXPECT_TRUE(generar()->isEnabled());
  EXPECT_EQ(window().workbookPath(), file("remesa.xls"));
}

TEST_F(WindowTest, BusyIndicationComesDownHoweverTheRunEnds) {
  struct Ending {
    const char* what;
    int blinks;  // ticks during the run: the notice is hidden after an odd number
    bool throws;
  };
  const Ending endings[] = {{"hidden phase", 1, false},
                            {"shown phase", 2, false},
                            {"failure", 1, true},
                            {"failure, shown", 0, true}};
  choose("remesa.txt");
  window().show();
  int expectedCompletions = 0;
  for (const Ending& e : endings) {
    SCOPED_TRACE(e.what);
    duringRun_ = [&](const conversion::RunServices&) {
      for (int i = 0; i < e.blinks; ++i) window().blink();
      if (e.throws) throw std::runtime_error("part-way");
    };
    window().generate();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(notice()->isHidden());
    EXPECT_FALSE(timer()->isActive());
    EXPECT_FALSE(window().running());
    EXPECT_EQ(dialogs_.completions, ++expectedCompletions);
  }
}

TEST_F(WindowTest, DriverMessagesAreShownThroughTheDialogs) {
  choose("remesa.txt");
  duringRun_ = [&](const conversion::RunServices& run) {
    ASSERT_NE(run.messages, nullptr);
    run.messages->show("No se puede abrir el fichero de entrada", MessageIcon::Error);
    run.messages->show("El fichero no tiene el formato correcto", MessageIcon::Information);
    // The hourglass is back once the message has gone.
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  };
  std::vector<Qt::CursorShape> pointers;
  dialogs_.onMessage = [&] { pointers.push_back(QApplication::overrideCursor()->shape()); };
  window().generate();
  ASSERT_EQ(dialogs_.messages.size(), 2u);
  EXPECT_EQ(dialogs_.messages[0].text, "No se puede abrir el fichero de entrada");
  EXPECT_EQ(dialogs_.messages[0].icon, MessageIcon::Error);
  EXPECT_EQ(dialogs_.messages[1].icon, MessageIcon::Information);
  EXPECT_EQ(pointers, std::vector<Qt::CursorShape>({Qt::ArrowCursor, Qt::ArrowCursor}));
  EXPECT_EQ(dialogs_.completions, 1);
}

TEST_F(WindowTest, GenerarAgainConvertsAgainWithoutAsking) {
  choose("remesa.txt");
  duringRun_ = [&](const conversion::RunServices&) { WriteFile(dir_ / "remesa.xls", "libro"); };
  window().generate();
  window().generate();
  EXPECT_EQ(runs_, 2);
  EXPECT_TRUE(dialogs_.questions.empty());
  EXPECT_EQ(runWorkbook_, file("remesa.xls"));
  EXPECT_EQ(dialogs_.completions, 2);
}

TEST_F(WindowTest, GenerarAndThePictureAreIgnoredDuringARun) {
  choose("remesa.txt");
  window().show();
  dialogs_.chosenFiles.push_back(file("otra.txt"));
  duringRun_ = [&](const conversion::RunServices& run) {
    QTest::mouseClick(generar(), Qt::LeftButton);
    QTest::mouseClick(child<QLabel>("Image1"), Qt::LeftButton);
    window().generate();
    window().chooseInput();
    EXPECT_TRUE(run.events->yield());
  };
  window().generate();
  EXPECT_EQ(runs_, 1);
  EXPECT_EQ(dialogs_.folders.size(), 1u);  // only the first choice opened the dialog
  EXPECT_EQ(window().inputPath(), file("remesa.txt"));
  EXPECT_EQ(dialogs_.completions, 1);
  // Once the run is over the picture works again.
  QTest::mouseClick(child<QLabel>("Image1"), Qt::LeftButton);
  EXPECT_EQ(dialogs_.folders.size(), 2u);
}

TEST_F(WindowTest, RunHandsEventsToQtOncePerIntervalAndSeesStopOnEveryCall) {
  using std::chrono::milliseconds;
  struct Step {
    milliseconds advance;  // clock movement before this record's yield
    bool handedOver;       // an event posted before it has been handled after it
  };
  const Step steps[] = {
      {milliseconds(0), false},                   // the run has just begun
      {kEventInterval - milliseconds(1), false},  // not yet an interval
      {milliseconds(1), true},                    // a full interval since the run began
      {milliseconds(0), false},                   // just handed over
      {kEventInterval - milliseconds(1), false},  // not yet an interval
      {milliseconds(1), true},                    // a full interval since the last hand-over
      {3 * kEventInterval, true},                 // several intervals: still one hand-over
  };
  choose("remesa.txt");
  window().show();
  duringRun_ = [&](const conversion::RunServices& run) {
    for (const Step& step : steps) {
      SCOPED_TRACE(&step - steps);
      bool handled = false;
      QMetaObject::invokeMethod(
          &window(), [&] { handled = true; }, Qt::QueuedConnection);
      now_ += step.advance;
      EXPECT_TRUE(run.events->yield());
      EXPECT_EQ(handled, step.handedOver);
      QCoreApplication::processEvents();  // nothing left over for the next step
    }
    // A stop request counts at the next record, interval or not.
    QTest::mouseClick(child<QPushButton>("Command2"), Qt::LeftButton);
    EXPECT_FALSE(run.events->yield());
  };
  window().generate();
  EXPECT_EQ(ended_, 1);
}

TEST_F(WindowTest, AccessKeysPressTheirButtons) {
  choose("remesa.txt");
  window().show();
  QApplication::setActiveWindow(&window());
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window()));
  QTest::keyClick(&window(), Qt::Key_G, Qt::AltModifier);
  EXPECT_TRUE(QTest::qWaitFor([&] { return runs_ == 1; }));
  QTest::keyClick(&window(), Qt::Key_C, Qt::AltModifier);
  EXPECT_TRUE(QTest::qWaitFor([&] { return ended_ == 1; }));
}

// ---- Leaving ----

TEST_F(WindowTest, CerrarWhenIdleClosesFilesAndEndsTheProgram) {
  window().show();
  WriteFile(dir_ / "abierto.txt", "x");
  files::OpenForInput(files::FreeFile(), dir_ / "abierto.txt");
  QTest::mouseClick(child<QPushButton>("Command2"), Qt::LeftButton);
  EXPECT_EQ(ended_, 1);
  EXPECT_EQ(files::OpenCount(), 0);
  EXPECT_FALSE(window().isVisible());
}

TEST_F(WindowTest, CerrarDuringARunStopsItWithoutTheDialog) {
  choose("remesa.txt");
  window().show();
  WriteFile(dir_ / "abierto.txt", "x");
  duringRun_ = [&](const conversion::RunServices& run) {
    files::OpenForInput(files::FreeFile(), dir_ / "abierto.txt");
    QTest::mouseClick(child<QPushButton>("Command2"), Qt::LeftButton);
    EXPECT_EQ(ended_, 0);  // not while the run still holds the thread
    EXPECT_FALSE(run.events->yield());
  };
  window().generate();
  EXPECT_EQ(ended_, 1);
  EXPECT_EQ(dialogs_.completions, 0);
  EXPECT_EQ(files::OpenCount(), 0);
  EXPECT_FALSE(window().isVisible());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(WindowTest, CloseCommandDuringARunStopsItAndThenCloses) {
  choose("remesa.txt");
  window().show();
  duringRun_ = [&](const conversion::RunServices& run) {
    EXPECT_FALSE(window().close());  // refused while the run is on
    EXPECT_TRUE(window().isVisible());
    EXPECT_FALSE(run.events->yield());
  };
  window().generate();
  EXPECT_EQ(ended_, 1);
  EXPECT_EQ(dialogs_.completions, 0);
  EXPECT_FALSE(window().isVisible());
}

TEST_F(WindowTest, CloseCommandWhenIdleJustClosesTheWindow) {
  window().show();
  EXPECT_TRUE(window().close());
  EXPECT_EQ(ended_, 0);
  EXPECT_EQ(runs_, 0);
}

}  // namespace
}  // namespace quadrelo::ui

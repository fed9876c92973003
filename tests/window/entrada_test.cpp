#include "window/entrada.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/text.h"
#include "tests/support/test_support.h"

namespace quadrelo::window {
namespace {

using Log = std::vector<std::string>;

// A face that writes down what it is told, one line per call, and answers from scripts.
class FakeFace : public Face {
 public:
  std::string chooseFile() override {
    note("dialog");
    return chosen;
  }
  void showInput(const std::string& path) override { note("input " + path); }
  void showWorkbook(const std::string& path) override { note("workbook " + path); }
  void enableGenerate(bool on) override { note(on ? "generar on" : "generar off"); }
  bool askYesNo(std::string_view question) override {
    note("ask " + std::string(question));
    return yes;
  }
  void message(std::string_view text, MessageIcon icon, bool running) override {
    note(std::string(icon == MessageIcon::Error ? "error " : "info ") + (running ? "(run) " : "") +
         std::string(text));
  }
  void showCompletion() override {
    note("completion");
    if (onCompletion) onCompletion();
  }
  void setBusyPointer(bool busy) override { note(busy ? "hourglass" : "arrow"); }
  void setBlinking(bool on) override { note(on ? "timer on" : "timer off"); }
  void showNotice(bool shown) override { note(shown ? "notice" : "no notice"); }
  void handOverEvents() override { note("events"); }
  void quit() override { note("quit"); }

  void note(const std::string& line) { log.push_back(line); }

  std::string chosen;
  bool yes = true;
  std::function<void()> onCompletion;
  Log log;
};

class EntradaTest : public ::testing::Test {
 protected:
  EntradaTest() {
    services_.convert = [this](const std::string& in, const std::string& out,
                               const conversion::RunServices& run) {
      face_.note("convert " + in + " -> " + out);
      if (duringRun_) duringRun_(run);
    };
    services_.now = [this] { return now_; };
  }
  ~EntradaTest() override { files::Reset(); }

  std::string file(const std::string& name) const { return PathToUtf8(dir_ / name); }
  // The input chosen in the dialog, with the log cleared afterwards.
  void choose(Entrada& window, const std::string& name) {
    WriteFile(dir_ / name, "11");
    face_.chosen = file(name);
    window.chooseInput();
    face_.log.clear();
  }

  TempDir dir_;
  FakeFace face_;
  Services services_;
  std::function<void(const conversion::RunServices&)> duringRun_;
  std::chrono::steady_clock::time_point now_;
};

// Picking in the dialog and dropping on the window take a file the same way.
TEST_F(EntradaTest, ChoosingOrDroppingNamesTheWorkbookAndAsksAboutAnExistingOne) {
  struct Case {
    const char* what;
    bool drop;
    const char* input;    // created unless it ends in "/" (a folder) or is "-" (nothing chosen)
    bool workbookExists;  // remesa.xls is there before the choice
    bool yes;             // the answer to the question
    bool deletable;       // the existing workbook can be deleted
    Log log;              // "$" stands for the test's folder and separator
    bool workbookLeft;    // remesa.xls still exists afterwards
  };
  const std::string q = "ask " + std::string(kOverwriteQuestion);
  const Case cases[] = {
      {"new workbook",
       false,
       "remesa.txt",
       false,
       true,
       true,
       {"dialog", "input $remesa.txt", "workbook $remesa.xls", "generar on"},
       false},
      {"dropped",
       true,
       "remesa.txt",
       false,
       true,
       true,
       {"input $remesa.txt", "workbook $remesa.xls", "generar on"},
       false},
      {"Yes deletes at once",
       false,
       "remesa.txt",
       true,
       true,
       true,
       {"dialog", "input $remesa.txt", q, "workbook $remesa.xls", "generar on"},
       false},
      {"dropped, No",
       true,
       "remesa.txt",
       true,
       false,
       true,
       {"input $remesa.txt", q, "workbook ", "generar off"},
       true},
      {"cannot delete",
       false,
       "remesa.txt",
       true,
       true,
       false,
       {"dialog", "input $remesa.txt", q, "error " + std::string(kCannotDeleteWorkbook),
        "workbook ", "generar off"},
       true},
      {"cancelled", false, "-", false, true, true, {"dialog", "input "}, false},
      {"folder dropped", true, "carpeta/", false, true, true, {}, false},
      {"missing file dropped", true, "-", false, true, true, {}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir folder;
    auto path = [&](const std::string& name) { return PathToUtf8(folder / name); };
    std::string input = c.input;
    if (input.back() == '/') {
      input.pop_back();
      fs::create_directory(folder / input);
    } else if (input != "-") {
      WriteFile(folder / input, "11");
    }
    if (c.workbookExists) WriteFile(folder / "remesa.xls", "old");
    Services services = services_;
    if (!c.deletable) services.deleteFile = [](const std::string&) { return false; };
    FakeFace face;
    face.yes = c.yes;
    Entrada window(face, services);
    const std::string chosen = input == "-" ? (c.drop ? path("nada.txt") : "") : path(input);
    if (c.drop) {
      EXPECT_EQ(window.acceptsDrop(chosen), !c.log.empty());
      window.drop(chosen);
    } else {
      face.chosen = chosen;
      window.chooseInput();
    }
    Log expected = c.log;
    for (std::string& line : expected) {
      if (const auto at = line.find('$'); at != std::string::npos) {
        line = line.substr(0, at) + path(line.substr(at + 1));
      }
    }
    EXPECT_EQ(face.log, expected);
    EXPECT_EQ(fs::exists(folder / "remesa.xls"), c.workbookLeft);
  }
}

TEST_F(EntradaTest, ARunTakesItsStepsInOrderHoweverItEnds) {
  struct Case {
    const char* what;
    std::function<void(Entrada&, const conversion::RunServices&)> during;
    Log log;  // after "convert"
  };
  const Log end = {"arrow", "timer off", "no notice", "completion"};
  const Case cases[] = {
      {"complete", nullptr, end},
      {"failed part-way",
       [](Entrada&, const conversion::RunServices&) { throw std::runtime_error("part-way"); }, end},
      {"a message and two blinks",
       [](Entrada& window, const conversion::RunServices& run) {
         run.messages->show("Fichero incorrecto", MessageIcon::Information);
         window.blink();
         window.blink();
       },
       {"info (run) Fichero incorrecto", "no notice", "notice", "arrow", "timer off", "no notice",
        "completion"}},
      {"clicks on the picture and Generar are ignored",
       [](Entrada& window, const conversion::RunServices&) {
         window.chooseInput();
         window.generate();
       },
       end},
      {"Cerrar",
       [](Entrada& window, const conversion::RunServices& run) {
         window.endProgram();
         EXPECT_FALSE(run.events->yield());
       },
       {"arrow", "timer off", "no notice", "quit"}},
      {"close command",
       [](Entrada& window, const conversion::RunServices& run) {
         EXPECT_FALSE(window.closeRequested());
         EXPECT_FALSE(run.events->yield());
       },
       {"arrow", "timer off", "no notice", "quit"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    face_.log.clear();
    Entrada window(face_, services_);
    choose(window, "remesa.txt");
    duringRun_ = [&](const conversion::RunServices& run) {
      EXPECT_TRUE(window.running());
      if (c.during) c.during(window, run);
    };
    window.generate();
    Log expected = {"hourglass", "notice", "timer on",
                    "convert " + file("remesa.txt") + " -> " + file("remesa.xls")};
    expected.insert(expected.end(), c.log.begin(), c.log.end());
    EXPECT_EQ(face_.log, expected);
    EXPECT_FALSE(window.running());
    EXPECT_EQ(window.workbookPath(), file("remesa.xls"));
  }
}

TEST_F(EntradaTest, FilesLeftOpenAreClosedWhenTheRunOrTheProgramEnds) {
  WriteFile(dir_ / "abierto.txt", "x");
  Entrada window(face_, services_);
  choose(window, "remesa.txt");
  duringRun_ = [&](const conversion::RunServices&) {
    files::OpenForInput(files::FreeFile(), dir_ / "abierto.txt");
  };
  face_.onCompletion = [] { EXPECT_EQ(files::OpenCount(), 1); };
  window.generate();
  EXPECT_EQ(files::OpenCount(), 0);
  files::OpenForInput(files::FreeFile(), dir_ / "abierto.txt");
  window.endProgram();
  EXPECT_EQ(files::OpenCount(), 0);
  EXPECT_EQ(face_.log.back(), "quit");
  EXPECT_TRUE(window.closeRequested());  // idle: the window just goes
}

TEST_F(EntradaTest, ARunHandsEventsOverOncePerInterval) {
  using std::chrono::milliseconds;
  const std::pair<milliseconds, bool> steps[] = {
      {milliseconds(0), false},                   // the run has just begun
      {kEventInterval - milliseconds(1), false},  // not yet an interval
      {milliseconds(1), true},                    // a full interval since the run began
      {kEventInterval - milliseconds(1), false},  // measured from the last hand-over
      {3 * kEventInterval, true},                 // several intervals: still one hand-over
  };
  Entrada window(face_, services_);
  choose(window, "remesa.txt");
  duringRun_ = [&](const conversion::RunServices& run) {
    for (const auto& [advance, handedOver] : steps) {
      face_.log.clear();
      now_ += advance;
      EXPECT_TRUE(run.events->yield());
      EXPECT_EQ(face_.log, handedOver ? Log{"events"} : Log{}) << advance.count();
    }
  };
  window.generate();
}

}  // namespace
}  // namespace quadrelo::window

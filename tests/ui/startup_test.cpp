// The program started where no display can be reached: a Spanish message and status 1, never
// an abort.
#include "ui/startup.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QtGlobal>
#include <string>

#include "tests/support/test_support.h"

namespace quadrelo::ui {
namespace {

TEST(MissingDisplayReason, NamesTheMissingDisplayOnlyWhenThereIsNone) {
  const char* names[] = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
  QByteArray saved[3];
  for (int i = 0; i < 3; ++i) {
    saved[i] = qgetenv(names[i]);
    qunsetenv(names[i]);
  }
#if defined(_WIN32) || defined(__APPLE__)
  EXPECT_EQ(MissingDisplayReason(), "");
#else
  EXPECT_NE(MissingDisplayReason().find("No hay pantalla"), std::string::npos);
  qputenv("DISPLAY", ":0");
  EXPECT_EQ(MissingDisplayReason(), "");
#endif
  for (int i = 0; i < 3; ++i) {
    if (saved[i].isEmpty()) {
      qunsetenv(names[i]);
    } else {
      qputenv(names[i], saved[i]);
    }
  }
}

#if !defined(_WIN32) && !defined(__APPLE__)
TEST(ProgramWithoutDisplay, SaysSoInSpanishAndExitsWithStatusOne) {
  struct Case {
    const char* environment;
    const char* says;
  };
  const Case cases[] = {
      {"env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM", "No hay pantalla"},
      // A display named but not there: Qt's own start fails, and is caught.
      {"env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY=:59999", "No se puede abrir la ventana"},
  };
  for (const Case& c : cases) {
    const auto result = RunCommand(std::string(c.environment) + " " + ShellQuote(QUADRELO_PROGRAM));
    EXPECT_EQ(result.exitCode, kNoDisplayExitCode) << result.output;
    EXPECT_NE(result.output.find(c.says), std::string::npos) << result.output;
  }
}
#endif

}  // namespace
}  // namespace quadrelo::ui

#include "ui/startup.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace quadrelo::ui {

namespace {

QtMessageHandler previousHandler = nullptr;
QStringList heldBack;

void OnStartMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (type != QtFatalMsg) {
    heldBack.append(text);
    return;
  }
  std::fprintf(stderr, "No se puede abrir la ventana: no hay conexión con la pantalla.\n");
  for (const QString& line : heldBack) std::fprintf(stderr, "  %s\n", qPrintable(line));
  std::fprintf(stderr, "  %s\n", qPrintable(text));
  (void)context;
  std::fflush(stderr);
  std::_Exit(kNoDisplayExitCode);
}

bool Set(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

}  // namespace

std::string MissingDisplayReason() {
#if defined(_WIN32) || defined(__APPLE__)
  return {};
#else
  if (Set("QT_QPA_PLATFORM") || Set("DISPLAY") || Set("WAYLAND_DISPLAY")) return {};
  return "No hay pantalla: la ventana de Quadrelo necesita un entorno gráfico "
         "(no está definida la variable DISPLAY ni WAYLAND_DISPLAY).";
#endif
}

PlatformStartGuard::PlatformStartGuard() {
  previousHandler = qInstallMessageHandler(OnStartMessage);
}

PlatformStartGuard::~PlatformStartGuard() {
  qInstallMessageHandler(previousHandler);
  const QStringList held = std::exchange(heldBack, {});
  for (const QString& line : held) qWarning("%s", qPrintable(line));
}

}  // namespace quadrelo::ui

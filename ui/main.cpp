#include <QApplication>
#include <cstdio>
#include <optional>

#include "platform/files.h"
#include "ui/appearance.h"
#include "ui/dialogs.h"
#include "ui/frm_entrada.h"
#include "ui/startup.h"

int main(int argc, char** argv) {
  const std::string missing = quadrelo::ui::MissingDisplayReason();
  if (!missing.empty()) {
    std::fprintf(stderr, "%s\n", missing.c_str());
    return quadrelo::ui::kNoDisplayExitCode;
  }
  std::optional<quadrelo::ui::PlatformStartGuard> guard(std::in_place);
  QApplication app(argc, argv);
  guard.reset();

  quadrelo::ui::SetUpApplication(app);
  quadrelo::ui::QtDialogs dialogs;
  quadrelo::ui::WindowServices services;
  services.dialogs = &dialogs;
  quadrelo::ui::FrmEntrada window(std::move(services));
  window.show();
  const int status = QApplication::exec();
  quadrelo::files::Reset();
  return status;
}

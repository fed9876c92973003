#include <windows.h>

#include <commctrl.h>

#include "platform/files.h"
#include "win32/frm_entrada.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);

  quadrelo::win32::FrmEntrada window(instance);
  if (!window.show()) {
    MessageBoxW(nullptr, L"No se puede abrir la ventana de Quadrelo.", L"Quadrelo",
                MB_OK | MB_ICONERROR);
    return 1;
  }
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    // Tab, Alt+G and Alt+C work as in any dialog.
    if (!IsDialogMessageW(window.handle(), &message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  quadrelo::files::Reset();
  return 0;
}

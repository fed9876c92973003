#include "win32/frm_entrada.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#include <cmath>
#include <filesystem>
#include <vector>

#include "platform/text.h"
#include "win32/resource.h"

namespace quadrelo::win32 {

namespace {

constexpr UINT_PTR kBlinkTimer = 1;
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr wchar_t kTitle[] = L"Quadrelo";

std::wstring Wide(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int size =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), size);
  return wide;
}

std::string Utf8(const std::wstring& wide) { return PathToUtf8(std::filesystem::path(wide)); }

// The window's dots per inch: its monitor's where Windows tells (10 and later), else the
// system's.
UINT DpiOf(HWND window) {
  using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
  static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFunction>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  if (getDpiForWindow != nullptr) return getDpiForWindow(window);
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return static_cast<UINT>(dpi);
}

HFONT MakeFont(const wchar_t* family, double points, bool bold, UINT dpi) {
  const int height = -static_cast<int>(std::lround(points * dpi / 72.0));
  return CreateFontW(height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                     DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                     DEFAULT_PITCH | FF_DONTCARE, family);
}

void SetFont(HWND dialog, int control, HFONT font) {
  SendDlgItemMessageW(dialog, control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void DeleteFont(HFONT& font) {
  if (font != nullptr) DeleteObject(font);
  font = nullptr;
}

// The folder of the program's own executable.
std::wstring ProgramFolder() {
  std::vector<wchar_t> name(MAX_PATH);
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
    if (length == 0) return {};
    if (length < name.size()) {
      return std::filesystem::path(std::wstring(name.data(), length)).parent_path().wstring();
    }
    name.resize(name.size() * 2);
  }
}

// Frames and notices in blue on the dialog's own background.
INT_PTR BlueText(HDC dc) {
  SetTextColor(dc, kBlue);
  SetBkMode(dc, TRANSPARENT);
  return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
}

// A frame drawn here rather than by the system: neither themed frames nor Wine's classic ones
// take the blue asked for their caption. An etched rectangle, the caption over its top line.
LRESULT CALLBACK FramePaint(HWND frame, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                            DWORD_PTR) {
  if (message != WM_PAINT) return DefSubclassProc(frame, message, wParam, lParam);
  PAINTSTRUCT paint;
  const HDC dc = BeginPaint(frame, &paint);
  RECT box;
  GetClientRect(frame, &box);
  const auto font = reinterpret_cast<HFONT>(SendMessageW(frame, WM_GETFONT, 0, 0));
  const HGDIOBJ previous = SelectObject(dc, font);
  wchar_t caption[64] = {};
  GetWindowTextW(frame, caption, 64);
  SIZE text{};
  GetTextExtentPoint32W(dc, caption, lstrlenW(caption), &text);
  RECT edge = box;
  edge.top += text.cy / 2;
  DrawEdge(dc, &edge, EDGE_ETCHED, BF_RECT);
  if (caption[0] != L'\0') {
    const int left = MulDiv(8, static_cast<int>(DpiOf(frame)), 96);
    RECT behind{left - 2, 0, left + text.cx + 2, text.cy};
    FillRect(dc, &behind, GetSysColorBrush(COLOR_BTNFACE));
    SetTextColor(dc, kBlue);
    SetBkMode(dc, TRANSPARENT);
    TextOutW(dc, left, 0, caption, lstrlenW(caption));
  }
  SelectObject(dc, previous);
  EndPaint(frame, &paint);
  return 0;
}

// frmMsg, the completion dialog.
struct MsgFonts {
  HFONT notice = nullptr;
  HFONT button = nullptr;
};

INT_PTR CALLBACK MsgProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* fonts = reinterpret_cast<MsgFonts*>(GetWindowLongPtrW(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: {
      fonts = reinterpret_cast<MsgFonts*>(lParam);
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      const UINT dpi = DpiOf(dialog);
      fonts->notice = MakeFont(L"Comic Sans MS", 14.25, true, dpi);
      fonts->button = MakeFont(L"MS Sans Serif", 8.25, true, dpi);
      SetFont(dialog, IDC_LABPROCTERMINADO, fonts->notice);
      SetFont(dialog, IDC_CMDACEPTAR, fonts->button);
      const HWND owner = GetWindow(dialog, GW_OWNER);
      SendMessageW(dialog, WM_SETICON, ICON_BIG, SendMessageW(owner, WM_GETICON, ICON_BIG, 0));
      SendMessageW(dialog, WM_SETICON, ICON_SMALL, SendMessageW(owner, WM_GETICON, ICON_SMALL, 0));
      SetFocus(GetDlgItem(dialog, IDC_CMDACEPTAR));
      return FALSE;
    }
    case WM_CTLCOLORSTATIC:
      if (GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) == IDC_LABPROCTERMINADO) {
        return BlueText(reinterpret_cast<HDC>(wParam));
      }
      return FALSE;
    case WM_COMMAND:
      // "&Aceptar", Return, Esc and the close command all end it alike.
      if (LOWORD(wParam) == IDC_CMDACEPTAR || LOWORD(wParam) == IDOK ||
          LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, IDOK);
        return TRUE;
      }
      return FALSE;
    case WM_DESTROY:
      if (fonts != nullptr) {
        DeleteFont(fonts->notice);
        DeleteFont(fonts->button);
      }
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

FrmEntrada::FrmEntrada(HINSTANCE instance) : instance_(instance), behaviour_(*this, {}) {}

FrmEntrada::~FrmEntrada() {
  if (window_ != nullptr) DestroyWindow(window_);
  DeleteFont(frameFont_);
  DeleteFont(boxFont_);
  DeleteFont(noticeFont_);
  for (HICON icon : {bigIcon_, smallIcon_, folderIcon_}) {
    if (icon != nullptr) DestroyIcon(icon);
  }
}

bool FrmEntrada::show() {
  window_ = CreateDialogParamW(instance_, MAKEINTRESOURCEW(IDD_FRMENTRADA), nullptr, Procedure,
                               reinterpret_cast<LPARAM>(this));
  if (window_ == nullptr) return false;
  ShowWindow(window_, SW_SHOW);
  UpdateWindow(window_);
  return true;
}

INT_PTR CALLBACK FrmEntrada::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    reinterpret_cast<FrmEntrada*>(lParam)->window_ = window;
  }
  auto* self = reinterpret_cast<FrmEntrada*>(GetWindowLongPtrW(window, DWLP_USER));
  return self != nullptr ? self->handle(message, wParam, lParam) : FALSE;
}

void FrmEntrada::setUp() {
  const UINT dpi = DpiOf(window_);
  const int big = GetSystemMetrics(SM_CXICON);
  const int small = GetSystemMetrics(SM_CXSMICON);
  bigIcon_ = static_cast<HICON>(
      LoadImageW(instance_, MAKEINTRESOURCEW(IDI_QUADRELO), IMAGE_ICON, big, big, 0));
  smallIcon_ = static_cast<HICON>(
      LoadImageW(instance_, MAKEINTRESOURCEW(IDI_QUADRELO), IMAGE_ICON, small, small, 0));
  SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_));
  SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));

  // The picture at its own 16 x 16 (scaled with the monitor) in the corner of its place, which
  // stays clickable as a whole.
  const HWND picture = GetDlgItem(window_, IDC_IMAGE1);
  RECT place;
  GetWindowRect(picture, &place);
  MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&place), 2);
  const int side = MulDiv(16, static_cast<int>(dpi), 96);
  folderIcon_ = static_cast<HICON>(
      LoadImageW(instance_, MAKEINTRESOURCEW(IDI_FOLDER_OPEN), IMAGE_ICON, side, side, 0));
  SendMessageW(picture, STM_SETICON, reinterpret_cast<WPARAM>(folderIcon_), 0);
  SetWindowPos(picture, nullptr, place.left, place.top, place.right - place.left,
               place.bottom - place.top, SWP_NOZORDER | SWP_NOACTIVATE);

  SetWindowSubclass(GetDlgItem(window_, IDC_FRAME1), FramePaint, 0, 0);
  SetWindowSubclass(GetDlgItem(window_, IDC_FRAME2), FramePaint, 0, 0);
  applyFonts();
  DragAcceptFiles(window_, TRUE);
}

void FrmEntrada::applyFonts() {
  const UINT dpi = DpiOf(window_);
  HFONT frame = MakeFont(L"MS Sans Serif", 9.75, false, dpi);
  HFONT box = MakeFont(L"MS Sans Serif", 8.25, false, dpi);
  HFONT notice = MakeFont(L"Comic Sans MS", 14.25, false, dpi);
  for (int control : {IDC_FRAME1, IDC_FRAME2, IDC_CMDPROCESAR, IDC_COMMAND2}) {
    SetFont(window_, control, frame);
  }
  SetFont(window_, IDC_TBENTRADA, box);
  SetFont(window_, IDC_TBSALIDA, box);
  SetFont(window_, IDC_LABEL1, notice);
  DeleteFont(frameFont_);
  DeleteFont(boxFont_);
  DeleteFont(noticeFont_);
  frameFont_ = frame;
  boxFont_ = box;
  noticeFont_ = notice;
}

INT_PTR FrmEntrada::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      setUp();
      SetFocus(GetDlgItem(window_, IDC_COMMAND2));
      return FALSE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_IMAGE1:
          if (HIWORD(wParam) == STN_CLICKED) behaviour_.chooseInput();
          return TRUE;
        case IDC_CMDPROCESAR:
          if (HIWORD(wParam) == BN_CLICKED) behaviour_.generate();
          return TRUE;
        case IDC_COMMAND2:
          if (HIWORD(wParam) == BN_CLICKED) behaviour_.endProgram();
          return TRUE;
        default:
          // Return and Esc have no button of their own here, as in the Qt window.
          return TRUE;
      }
    case WM_TIMER:
      if (wParam == kBlinkTimer) behaviour_.blink();
      return TRUE;
    case WM_SETCURSOR:
      if (!busy_) return FALSE;
      SetCursor(LoadCursorW(nullptr, IDC_WAIT));
      SetWindowLongPtrW(window_, DWLP_MSGRESULT, TRUE);
      return TRUE;
    case WM_CTLCOLORSTATIC: {
      const HDC dc = reinterpret_cast<HDC>(wParam);
      switch (GetDlgCtrlID(reinterpret_cast<HWND>(lParam))) {
        case IDC_LABEL1:
          return BlueText(dc);
        case IDC_TBENTRADA:
          // Read-only, yet drawn as a box to be filled, as in the Qt window.
          SetBkColor(dc, GetSysColor(COLOR_WINDOW));
          SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
          return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_WINDOW));
        default:
          return FALSE;
      }
    }
    case WM_DROPFILES:
      dropped(reinterpret_cast<HDROP>(wParam));
      return TRUE;
    case WM_DPICHANGED: {
      const auto* suggested = reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(window_, nullptr, suggested->left, suggested->top,
                   suggested->right - suggested->left, suggested->bottom - suggested->top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      applyFonts();
      return TRUE;
    }
    case WM_CLOSE:
      if (behaviour_.closeRequested()) DestroyWindow(window_);
      return TRUE;
    case WM_DESTROY:
      window_ = nullptr;
      PostQuitMessage(0);
      return TRUE;
    default:
      return FALSE;
  }
}

void FrmEntrada::dropped(HDROP drop) {
  std::wstring path;
  if (DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) == 1) {
    path.resize(DragQueryFileW(drop, 0, nullptr, 0) + 1);
    path.resize(DragQueryFileW(drop, 0, path.data(), static_cast<UINT>(path.size())));
  }
  DragFinish(drop);
  if (!path.empty()) behaviour_.drop(Utf8(path));
}

std::string FrmEntrada::chooseFile() {
  // Long paths fit: the name buffer holds the longest path Windows allows.
  std::vector<wchar_t> name(32768, L'\0');
  const std::wstring folder = ProgramFolder();
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = window_;
  // One entry; "*.*" lists every file, with or without a dot in its name.
  dialog.lpstrFilter = L"Todos los ficheros (*.*)\0*.*\0";
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = name.data();
  dialog.nMaxFile = static_cast<DWORD>(name.size());
  dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  dialog.lpstrTitle = L"Abrir fichero a filtrar";
  dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_EXPLORER;
  if (!GetOpenFileNameW(&dialog)) return {};
  return Utf8(name.data());
}

void FrmEntrada::showInput(const std::string& path) {
  SetDlgItemTextW(window_, IDC_TBENTRADA, Wide(path).c_str());
}

void FrmEntrada::showWorkbook(const std::string& path) {
  SetDlgItemTextW(window_, IDC_TBSALIDA, Wide(path).c_str());
}

void FrmEntrada::enableGenerate(bool enabled) {
  EnableWindow(GetDlgItem(window_, IDC_CMDPROCESAR), enabled ? TRUE : FALSE);
}

bool FrmEntrada::askYesNo(std::string_view question) {
  return MessageBoxW(window_, Wide(question).c_str(), kTitle, MB_YESNO | MB_DEFBUTTON1) == IDYES;
}

void FrmEntrada::message(std::string_view text, MessageIcon icon, bool) {
  // A message box has its own ordinary pointer while the run waits behind it.
  UINT kind = MB_OK;
  if (icon == MessageIcon::Error) kind |= MB_ICONERROR;
  if (icon == MessageIcon::Information) kind |= MB_ICONINFORMATION;
  MessageBoxW(window_, Wide(text).c_str(), kTitle, kind);
}

void FrmEntrada::showCompletion() {
  MsgFonts fonts;
  DialogBoxParamW(instance_, MAKEINTRESOURCEW(IDD_FRMMSG), window_, MsgProcedure,
                  reinterpret_cast<LPARAM>(&fonts));
}

void FrmEntrada::setBusyPointer(bool busy) {
  busy_ = busy;
  // The pointer changes at once, without waiting for the mouse to move.
  if (busy) {
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  } else {
    POINT at;
    GetCursorPos(&at);
    SetCursorPos(at.x, at.y);
  }
}

void FrmEntrada::setBlinking(bool on) {
  if (on) {
    SetTimer(window_, kBlinkTimer, static_cast<UINT>(window::kBlinkInterval.count()), nullptr);
  } else {
    KillTimer(window_, kBlinkTimer);
  }
}

void FrmEntrada::showNotice(bool shown) {
  ShowWindow(GetDlgItem(window_, IDC_LABEL1), shown ? SW_SHOW : SW_HIDE);
  // Painted at once: a run holds the thread between its hand-overs.
  RedrawWindow(window_, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void FrmEntrada::handOverEvents() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // Kept for the program's own loop, which ends on it.
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    if (window_ == nullptr || !IsDialogMessageW(window_, &message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
}

void FrmEntrada::quit() {
  if (window_ != nullptr) DestroyWindow(window_);
}

}  // namespace quadrelo::win32

// Checks the update program's progress dialog while the installer runs:
//
//   dialog_check [--timeout MS] [--close]
//
// Finds the top-level window "KORU Update Program" on the test desktop
// (MOLT_UI_DESKTOP) and checks, printing one line per check ("ok: ..." or
// "FAIL: ..."):
//   - it is a dialog with a caption and no system menu, and has a taskbar
//     button;
//   - its one control is the static text "Updating...";
//   - its size is 214 x 30 dialog units with the text at 7,7 (below);
//   - Enter, Escape and the commands IDOK and IDCANCEL leave it open.
// With --close it checks nothing of that: it sends the dialog a close request
// (WM_CLOSE), as a tool that ends a program politely does, and checks that
// the dialog is gone within kCloseLimitMs.
// Exit code 0 when every check passed, 1 when one failed, 2 when no such
// window came, 3 for a wrong command line.
//
// Dialog units are measured on the dialog itself: the text is 200 x 16
// units, so its size in pixels gives the dialog's base units, from which the
// client area must come out 214 x 30 units. The dialog's font belongs to
// the program under test, so asking the system to map units from here
// (MapDialogRect) is not possible.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "test_desktop.h"

namespace {

constexpr const wchar_t* kCaption = L"KORU Update Program";
constexpr const wchar_t* kText = L"Updating...";
constexpr int kDialogWidth = 214;
constexpr int kDialogHeight = 30;
constexpr int kTextX = 7;
constexpr int kTextY = 7;
constexpr int kTextWidth = 200;
constexpr int kTextHeight = 16;
// Rounding of units to pixels: the system rounds each edge on its own.
constexpr double kPixelTolerance = 2.0;
// Time for a key or command to take effect before the dialog is looked at.
constexpr DWORD kSettleMs = 300;
// Time for the dialog to go after a close request.
constexpr DWORD kCloseLimitMs = 10000;

int failures = 0;

void Check(bool passed, const char* what) {
  std::printf("%s: %s\n", passed ? "ok" : "FAIL", what);
  if (!passed) ++failures;
}

std::wstring TextOf(HWND window) {
  wchar_t text[256] = {};
  GetWindowTextW(window, text, 256);
  return text;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

BOOL CALLBACK MatchDialog(HWND window, LPARAM data) {
  // The dialog class, so that a message box with the same caption is not taken.
  if (IsWindowVisible(window) && TextOf(window) == kCaption && ClassOf(window) == L"#32770") {
    *reinterpret_cast<HWND*>(data) = window;
    return FALSE;
  }
  return TRUE;
}

HWND WaitForDialog(DWORD timeout) {
  const ULONGLONG deadline = GetTickCount64() + timeout;
  for (;;) {
    HWND found = nullptr;
    EnumWindows(MatchDialog, reinterpret_cast<LPARAM>(&found));
    if (found != nullptr) return found;
    if (GetTickCount64() >= deadline) return nullptr;
    Sleep(50);
  }
}

BOOL CALLBACK CollectChild(HWND window, LPARAM data) {
  reinterpret_cast<std::vector<HWND>*>(data)->push_back(window);
  return TRUE;
}

void CheckFrame(HWND dialog) {
  const LONG_PTR style = GetWindowLongPtrW(dialog, GWL_STYLE);
  const LONG_PTR exStyle = GetWindowLongPtrW(dialog, GWL_EXSTYLE);
  Check((style & WS_CAPTION) == WS_CAPTION, "the dialog has a caption");
  Check((style & (WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX)) == 0,
        "no system menu, minimise or maximise box");
  Check((exStyle & WS_EX_APPWINDOW) != 0, "the dialog has a taskbar button");
}

// Returns the one control, or null after reporting what was found instead.
HWND CheckControls(HWND dialog) {
  std::vector<HWND> controls;
  EnumChildWindows(dialog, CollectChild, reinterpret_cast<LPARAM>(&controls));
  Check(controls.size() == 1, "the dialog holds one control");
  if (controls.empty()) return nullptr;
  const HWND text = controls.front();
  Check(_wcsicmp(ClassOf(text).c_str(), L"Static") == 0 && TextOf(text) == kText,
        "the control is the static text \"Updating...\"");
  return text;
}

bool Near(double pixels, double expected) {
  return pixels >= expected - kPixelTolerance && pixels <= expected + kPixelTolerance;
}

void CheckSize(HWND dialog, HWND text) {
  RECT client{};
  GetClientRect(dialog, &client);
  RECT window{};
  GetWindowRect(dialog, &window);
  RECT control{};
  GetWindowRect(text, &control);
  MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&control), 2);

  const int controlWidth = control.right - control.left;
  const int controlHeight = control.bottom - control.top;
  std::printf("size: client %ldx%ld px, window %ldx%ld px, text %dx%d px at %ld,%ld\n",
              client.right, client.bottom, window.right - window.left,
              window.bottom - window.top, controlWidth, controlHeight, control.left, control.top);
  if (controlWidth <= 0 || controlHeight <= 0) {
    Check(false, "the text has a size");
    return;
  }
  // Pixels per dialog unit, horizontally and vertically.
  const double unitX = static_cast<double>(controlWidth) / kTextWidth;
  const double unitY = static_cast<double>(controlHeight) / kTextHeight;
  std::printf("size: %.0fx%.0f px expected for %dx%d dialog units\n", kDialogWidth * unitX,
              kDialogHeight * unitY, kDialogWidth, kDialogHeight);
  Check(Near(client.right, kDialogWidth * unitX) && Near(client.bottom, kDialogHeight * unitY),
        "the client area is 214 x 30 dialog units");
  Check(Near(control.left, kTextX * unitX) && Near(control.top, kTextY * unitY),
        "the text is at 7,7 dialog units");
  Check(window.right - window.left >= client.right && window.bottom - window.top > client.bottom,
        "the window's frame and caption lie outside the client area");
}

bool StillOpen(HWND dialog) {
  Sleep(kSettleMs);
  return IsWindow(dialog) && IsWindowVisible(dialog) && TextOf(dialog) == kCaption;
}

void PressKey(HWND dialog, WORD key) {
  // Through the input queue, as from the keyboard, when the dialog can be
  // made the foreground window; and posted to it directly in any case.
  SetForegroundWindow(dialog);
  INPUT input[2] = {};
  input[0].type = INPUT_KEYBOARD;
  input[0].ki.wVk = key;
  input[1] = input[0];
  input[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, input, sizeof(INPUT));
  PostMessageW(dialog, WM_KEYDOWN, key, 1);
  PostMessageW(dialog, WM_KEYUP, key, 0xC0000001);
}

void SendCommand(HWND dialog, WORD command) {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(dialog, WM_COMMAND, MAKEWPARAM(command, BN_CLICKED), 0, SMTO_NORMAL, 5000,
                      &result);
}

void CheckStaysOpen(HWND dialog) {
  PressKey(dialog, VK_RETURN);
  Check(StillOpen(dialog), "Enter leaves the dialog open");
  PressKey(dialog, VK_ESCAPE);
  Check(StillOpen(dialog), "Escape leaves the dialog open");
  SendCommand(dialog, IDOK);
  Check(StillOpen(dialog), "the command IDOK leaves the dialog open");
  SendCommand(dialog, IDCANCEL);
  Check(StillOpen(dialog), "the command IDCANCEL leaves the dialog open");
}

void CheckClosesOnRequest(HWND dialog) {
  DWORD_PTR result = 0;
  const bool handled =
      SendMessageTimeoutW(dialog, WM_CLOSE, 0, 0, SMTO_NORMAL, kCloseLimitMs, &result) != 0;
  Check(handled, "the dialog took the close request");
  const ULONGLONG deadline = GetTickCount64() + kCloseLimitMs;
  while (IsWindow(dialog) && GetTickCount64() < deadline) Sleep(50);
  Check(!IsWindow(dialog), "a close request closes the dialog");
}

}  // namespace

int main(int argc, char** argv) {
  DWORD timeout = 20000;
  bool close = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--timeout") == 0 && i + 1 < argc) {
      timeout = static_cast<DWORD>(std::strtoul(argv[++i], nullptr, 10));
    } else if (std::strcmp(argv[i], "--close") == 0) {
      close = true;
    } else {
      std::fprintf(stderr, "usage: dialog_check [--timeout MS] [--close]\n");
      return 3;
    }
  }
  if (!JoinTestDesktop()) {
    std::printf("cannot join the test desktop (%lu)\n", GetLastError());
    return 3;
  }
  const HWND dialog = WaitForDialog(timeout);
  if (dialog == nullptr) {
    std::printf("no window: KORU Update Program\n");
    return 2;
  }
  if (close) {
    CheckClosesOnRequest(dialog);
  } else {
    CheckFrame(dialog);
    const HWND text = CheckControls(dialog);
    if (text != nullptr) CheckSize(dialog, text);
    CheckStaysOpen(dialog);
  }
  std::fflush(stdout);
  return failures == 0 ? 0 : 1;
}

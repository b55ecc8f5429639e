// A small probe of another program's window, for tests of message boxes.
//
//   ui_probe CAPTION [--timeout MS] [--press BUTTON]
//
// Waits up to the timeout (default 20000 ms) for a top-level window whose
// caption is CAPTION, prints what it holds, one item a line in UTF-8:
//
//   window: <caption>
//   icon                  (a static control that shows an icon)
//   static: <text>        (line feeds as \n, carriage returns as \r)
//   button: <text>
//
// and, with --press, presses the button with that text and prints
// "pressed: <text>". Exit code 0; 1 when no such window came; 2 when the
// button is missing; 3 for a wrong command line. Looks on the desktop that
// MOLT_UI_DESKTOP names, if set.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "test_desktop.h"
#include "win32_text.h"

namespace {

std::wstring TextOf(HWND window) {
  const int length = GetWindowTextLengthW(window);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const int got = GetWindowTextW(window, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(got > 0 ? got : 0));
  return text;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

// Control characters shown so that each item stays on one line.
std::string Visible(const std::wstring& text) {
  std::string shown;
  for (const char c : ToUtf8(text)) {
    if (c == '\n') {
      shown += "\\n";
    } else if (c == '\r') {
      shown += "\\r";
    } else {
      shown += c;
    }
  }
  return shown;
}

struct Search {
  std::wstring caption;
  HWND found = nullptr;
};

BOOL CALLBACK MatchTopLevel(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<Search*>(data);
  if (IsWindowVisible(window) && TextOf(window) == search->caption) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

HWND WaitForWindow(const std::wstring& caption, DWORD timeout) {
  const ULONGLONG deadline = GetTickCount64() + timeout;
  for (;;) {
    Search search{caption};
    EnumWindows(MatchTopLevel, reinterpret_cast<LPARAM>(&search));
    if (search.found != nullptr) return search.found;
    if (GetTickCount64() >= deadline) return nullptr;
    Sleep(50);
  }
}

BOOL CALLBACK CollectChild(HWND window, LPARAM data) {
  reinterpret_cast<std::vector<HWND>*>(data)->push_back(window);
  return TRUE;
}

bool IsButton(HWND control) { return _wcsicmp(ClassOf(control).c_str(), L"Button") == 0; }

void PrintControl(HWND control) {
  const std::wstring kind = ClassOf(control);
  if (IsButton(control)) {
    std::printf("button: %s\n", Visible(TextOf(control)).c_str());
  } else if (_wcsicmp(kind.c_str(), L"Static") == 0) {
    const LONG_PTR style = GetWindowLongPtrW(control, GWL_STYLE);
    if ((style & SS_TYPEMASK) == SS_ICON) {
      // An icon control without an icon shows nothing.
      if (SendMessageW(control, STM_GETICON, 0, 0) != 0) std::printf("icon\n");
    } else if (IsWindowVisible(control) && GetWindowTextLengthW(control) > 0) {
      std::printf("static: %s\n", Visible(TextOf(control)).c_str());
    }
  }
}

// The button's own click, as the dialog receives it from a mouse click.
void Press(HWND window, HWND button) {
  PostMessageW(window, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
               reinterpret_cast<LPARAM>(button));
}

int Usage() {
  std::fprintf(stderr, "usage: ui_probe CAPTION [--timeout MS] [--press BUTTON]\n");
  return 3;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  // The command line arrives in the ANSI code page; captions are compared
  // as UTF-16, so take them from the wide command line.
  int wideCount = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &wideCount);
  if (wide == nullptr || wideCount != argc) return Usage();
  const std::wstring caption = wide[1];
  DWORD timeout = 20000;
  std::wstring press;
  for (int i = 2; i < argc; i += 2) {
    if (i + 1 >= argc) return Usage();
    if (std::strcmp(argv[i], "--timeout") == 0) {
      timeout = static_cast<DWORD>(std::strtoul(argv[i + 1], nullptr, 10));
    } else if (std::strcmp(argv[i], "--press") == 0) {
      press = wide[i + 1];
    } else {
      return Usage();
    }
  }

  if (!JoinTestDesktop()) {
    std::printf("cannot join the test desktop (%lu)\n", GetLastError());
    return 3;
  }
  const HWND window = WaitForWindow(caption, timeout);
  if (window == nullptr) {
    std::printf("no window: %s\n", Visible(caption).c_str());
    return 1;
  }
  std::printf("window: %s\n", Visible(TextOf(window)).c_str());
  std::vector<HWND> controls;
  EnumChildWindows(window, CollectChild, reinterpret_cast<LPARAM>(&controls));
  HWND target = nullptr;
  for (const HWND control : controls) {
    PrintControl(control);
    if (!press.empty() && IsButton(control) && TextOf(control) == press) target = control;
  }
  if (press.empty()) return 0;
  if (target == nullptr) {
    std::printf("no button: %s\n", Visible(press).c_str());
    return 2;
  }
  Press(window, target);
  std::printf("pressed: %s\n", Visible(press).c_str());
  std::fflush(stdout);
  return 0;
}

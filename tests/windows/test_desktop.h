// The desktop that the UI tests run on. Wine draws all windows of a desktop
// through the display its first program found; the ordinary test runs start
// the default desktop without any display. A UI test therefore names a
// desktop of its own in MOLT_UI_DESKTOP, and both the program under test and
// the probe join it before they create or look for any window.
#pragma once

#include <windows.h>

inline bool JoinTestDesktop() {
  wchar_t name[128];
  const DWORD length = GetEnvironmentVariableW(L"MOLT_UI_DESKTOP", name, 128);
  if (length == 0) return true;
  if (length >= 128) return false;
  const HDESK desktop = CreateDesktopW(name, nullptr, nullptr, 0, GENERIC_ALL, nullptr);
  return desktop != nullptr && SetThreadDesktop(desktop);
}

// The names of the window system that the framework and the program use, for
// the headless backend: windows are objects with handles, each thread has its
// own message queue, and message boxes go to standard error.
#pragma once

#include <climits>
#include <cstdint>

using BOOL = int;
using UINT = unsigned int;
using DWORD = std::uint32_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using LPVOID = void*;

struct HWND__;
using HWND = HWND__*;
struct HICON__;
using HICON = HICON__*;
using HCURSOR = HICON;
struct HDC__;
using HDC = HDC__*;

inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;
inline constexpr int MAX_PATH = 260;

struct RECT {
  long left;
  long top;
  long right;
  long bottom;
};

struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

// Window messages, in the Windows numbering.
inline constexpr UINT WM_NULL = 0x0000;
inline constexpr UINT WM_DESTROY = 0x0002;
inline constexpr UINT WM_PAINT = 0x000F;
inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_QUIT = 0x0012;
inline constexpr UINT WM_ICONERASEBKGND = 0x0027;
inline constexpr UINT WM_QUERYDRAGICON = 0x0037;
inline constexpr UINT WM_SETICON = 0x0080;
inline constexpr UINT WM_NCDESTROY = 0x0082;
inline constexpr UINT WM_INITDIALOG = 0x0110;
inline constexpr UINT WM_COMMAND = 0x0111;
inline constexpr UINT WM_APP = 0x8000;

inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

inline constexpr WPARAM ICON_SMALL = 0;
inline constexpr WPARAM ICON_BIG = 1;

inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_SHOWMINIMIZED = 2;
inline constexpr int SW_MINIMIZE = 6;
inline constexpr int SW_SHOWMINNOACTIVE = 7;
inline constexpr int SW_RESTORE = 9;
inline constexpr int SW_SHOWDEFAULT = 10;

inline constexpr UINT MB_OK = 0x00000000;
inline constexpr UINT MB_ICONHAND = 0x00000010;

inline constexpr int SM_CXICON = 11;
inline constexpr int SM_CYICON = 12;

inline constexpr int THREAD_PRIORITY_NORMAL = 0;

struct SECURITY_ATTRIBUTES;
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

inline constexpr UINT LOWORD(WPARAM value) { return static_cast<UINT>(value & 0xFFFF); }

// The icon size of the headless screen.
int GetSystemMetrics(int index);

// What a paint context holds while it is open.
struct PAINTSTRUCT {
  HDC hdc;
  RECT rcPaint;
};

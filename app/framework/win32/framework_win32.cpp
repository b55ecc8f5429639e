// The Win32 backend: real dialog windows made from the program's template,
// the thread's real message queue, real message boxes and threads.
#include <process.h>

#include "dialog.h"
#include "thread_state.h"
#include "win_app.h"
#include "wnd.h"

namespace {

// Set by DefWindowProc while a message is routed: the dialog procedure then
// returns FALSE, which hands the message on to the dialog manager's default
// processing once the handler is done.
thread_local bool t_defaultRequested = false;

// Messages whose result a dialog procedure returns itself rather than
// through DWLP_MSGRESULT.
bool ReturnsResultDirectly(UINT message) {
  switch (message) {
    case WM_INITDIALOG:
    case WM_QUERYDRAGICON:
    case WM_CHARTOITEM:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
      return true;
    default:
      return false;
  }
}

// Routes every message of a dialog made by CDialog::Create to its object.
INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  CDialog* dialog = nullptr;
  if (message == WM_INITDIALOG) {
    dialog = reinterpret_cast<CDialog*>(lParam);
    SetWindowLongPtrA(window, DWLP_USER, lParam);
    dialog->m_hWnd = window;
  } else {
    dialog = reinterpret_cast<CDialog*>(GetWindowLongPtrA(window, DWLP_USER));
  }
  // Messages that come before WM_INITDIALOG (WM_SETFONT) take the default.
  if (dialog == nullptr) return FALSE;

  const bool outerRequest = t_defaultRequested;
  t_defaultRequested = false;
  const LRESULT result = dialog->WindowProc(message, wParam, lParam);
  const bool useDefault = t_defaultRequested;
  t_defaultRequested = outerRequest;

  if (message == WM_NCDESTROY) {
    SetWindowLongPtrA(window, DWLP_USER, 0);
    dialog->OnNcDestroy();
    return FALSE;
  }
  if (useDefault) return FALSE;
  if (ReturnsResultDirectly(message)) return static_cast<INT_PTR>(result);
  SetWindowLongPtrA(window, DWLP_MSGRESULT, result);
  return TRUE;
}

bool IsKeyboardMessage(UINT message) { return message >= WM_KEYFIRST && message <= WM_KEYLAST; }

unsigned __stdcall ThreadStart(void* thread) {
  return afx_internal::RunWorkerThread(static_cast<CWinThread*>(thread));
}

}  // namespace

namespace afx_internal {

void PostQuit(int exitCode) { PostQuitMessage(exitCode); }

bool StartSystemThread(CWinThread* thread, int priority, UINT stackSize, DWORD createFlags) {
  const uintptr_t handle =
      _beginthreadex(nullptr, stackSize, &ThreadStart, thread, CREATE_SUSPENDED, nullptr);
  if (handle == 0) return false;
  const HANDLE system = reinterpret_cast<HANDLE>(handle);
  SetThreadPriority(system, priority);
  if ((createFlags & CREATE_SUSPENDED) == 0) ResumeThread(system);
  CloseHandle(system);
  return true;
}

}  // namespace afx_internal

BOOL CWinThread::PumpMessage() {
  const BOOL got = GetMessageA(&m_msgCur, nullptr, 0, 0);
  if (got == 0 || got == -1) return FALSE;
  // Keyboard input to a dialog goes through the dialog manager, which turns
  // Enter and Escape into the commands IDOK and IDCANCEL.
  const CWnd* main = m_pMainWnd;
  if (IsKeyboardMessage(m_msgCur.message) && main != nullptr && main->m_hWnd != nullptr &&
      IsDialogMessageA(main->m_hWnd, &m_msgCur)) {
    return TRUE;
  }
  TranslateMessage(&m_msgCur);
  DispatchMessageA(&m_msgCur);
  return TRUE;
}

BOOL CDialog::Create(UINT templateId, CWnd* parent) {
  m_templateId = templateId;
  m_parent = parent;
  const HWND window = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(templateId),
                                         parent != nullptr ? parent->m_hWnd : nullptr,
                                         &DialogProc, reinterpret_cast<LPARAM>(this));
  if (window == nullptr) return FALSE;
  m_hWnd = window;
  m_ownsWindow = true;
  return TRUE;
}

BOOL CWnd::DestroyWindow() {
  if (m_hWnd == nullptr) return FALSE;
  return ::DestroyWindow(m_hWnd);
}

BOOL CWnd::ShowWindow(int command) { return ::ShowWindow(m_hWnd, command); }

BOOL CWnd::IsIconic() const { return ::IsIconic(m_hWnd); }

void CWnd::GetClientRect(RECT* rect) const { ::GetClientRect(m_hWnd, rect); }

void CWnd::SetWindowText(const char* text) { ::SetWindowTextA(m_hWnd, text); }

int CWnd::MessageBox(const char* text, const char* caption, UINT type) {
  return ::MessageBoxA(m_hWnd, text, caption, type);
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  return ::PostMessageA(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  return ::SendMessageA(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::DefWindowProc(UINT, WPARAM, LPARAM) {
  t_defaultRequested = true;
  return 0;
}

CPaintDC::CPaintDC(CWnd* window) : m_window(window) {
  m_hDC = BeginPaint(window->m_hWnd, &m_paint);
}

CPaintDC::~CPaintDC() { EndPaint(m_window->m_hWnd, &m_paint); }

BOOL CPaintDC::DrawIcon(int x, int y, HICON icon) { return ::DrawIcon(m_hDC, x, y, icon); }

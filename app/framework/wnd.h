// CWnd: a window of the system, known by its handle, with its messages routed
// through the class's message map.
#pragma once

#include "afx_platform.h"
#include "message_map.h"

// RunModalLoop flag: send no idle message to the window while the queue is empty.
inline constexpr DWORD MLF_NOKICKIDLE = 0x0002;

class CWinThread;

class CWnd : public CCmdTarget {
 public:
  CWnd() = default;
  ~CWnd() override;

  HWND m_hWnd = nullptr;

  BOOL ShowWindow(int command);
  // Destroys the window and its controls. When it is a thread's main window,
  // that thread's main-window pointer is cleared and a quit message posted.
  virtual BOOL DestroyWindow();
  BOOL IsIconic() const;
  void GetClientRect(RECT* rect) const;
  void SetWindowText(const char* text);
  // A modal message box owned by this window; returns the button pressed.
  int MessageBox(const char* text, const char* caption = nullptr, UINT type = MB_OK);

  BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

  // Retrieves and dispatches the thread's messages until EndModalLoop is
  // called, and returns the result given to it after the message whose handler
  // called it. Returns -1 when a quit message is retrieved first. The loop
  // never sends idle messages, so MLF_NOKICKIDLE is the only behaviour there is.
  int RunModalLoop(DWORD flags = 0);
  // Records the result, marks the loop to stop and posts WM_NULL so that a
  // loop waiting for a message wakes up.
  virtual void EndModalLoop(int result);
  BOOL ContinueModal() const { return m_continueModal ? TRUE : FALSE; }

  // Entry of every message the system delivers to this window: the message
  // maps first, then the default processing.
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);

  // The backend calls this once the window is gone (WM_NCDESTROY).
  void OnNcDestroy();

 protected:
  // The default processing of the message being handled.
  LRESULT Default();
  // What the window system does with a message that no handler took.
  LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);

  void OnPaint() { Default(); }

 protected:
  // Set by Create for a window this object made; only such a window is
  // destroyed with its object.
  bool m_ownsWindow = false;

 private:
  MSG m_currentMessage{};
  bool m_continueModal = false;
  int m_modalResult = 0;
};

// The paint context of a window between BeginPaint and EndPaint.
class CPaintDC {
 public:
  explicit CPaintDC(CWnd* window);
  ~CPaintDC();
  CPaintDC(const CPaintDC&) = delete;
  CPaintDC& operator=(const CPaintDC&) = delete;

  BOOL DrawIcon(int x, int y, HICON icon);

  HDC m_hDC = nullptr;

 private:
  // The window whose painting ends with this object; the headless backend
  // paints nothing and has no use for it.
  [[maybe_unused]] CWnd* m_window;
  PAINTSTRUCT m_paint{};
};

// CWinThread and CWinApp: a thread with its message pump, and the one
// application object whose InitInstance the program's entry runs.
#pragma once

#include <string>

#include "afx_platform.h"
#include "message_map.h"
#include "wnd.h"

using AFX_THREADPROC = UINT (*)(LPVOID);

class CWinThread : public CCmdTarget {
 public:
  CWinThread() = default;
  ~CWinThread() override = default;

  // The window that stands for this thread: its destruction ends the thread's
  // message loop, and worker threads post to it.
  CWnd* m_pMainWnd = nullptr;
  // The last message that this thread's pump retrieved.
  MSG m_msgCur{};

  virtual BOOL InitInstance();
  // The WPARAM of the last message the pump retrieved.
  virtual int ExitInstance();
  // Pumps messages until a quit message, then ExitInstance.
  virtual int Run();
  // Retrieves one message into m_msgCur and dispatches it; FALSE for a quit
  // message.
  BOOL PumpMessage();

  // A worker thread's procedure and its argument.
  AFX_THREADPROC m_pfnThreadProc = nullptr;
  LPVOID m_pThreadParams = nullptr;

 private:
  friend CWinThread* AfxBeginThread(AFX_THREADPROC, LPVOID, int, UINT, DWORD,
                                    LPSECURITY_ATTRIBUTES);
  // A worker's view of the application's main window: the same window, known
  // by its handle alone, so the worker never touches the GUI thread's object.
  CWnd m_mainWindowView;
};

class CWinApp : public CWinThread {
 public:
  CWinApp();
  ~CWinApp() override;

  BOOL InitInstance() override;
  // Records the registry key under which the framework keeps the
  // application's per-user settings.
  void SetRegistryKey(const char* key);
  const char* RegistryKey() const { return m_registryKey.c_str(); }

 protected:
  // The framework's help command, for an application's message map to route
  // ID_HELP to. The program ships no help file, so there is nothing to open.
  void OnHelp() {}

 private:
  std::string m_registryKey;
};

// The framework's help command identifier.
inline constexpr UINT ID_HELP = 0xE146;

CWinApp* AfxGetApp();
// The calling thread's thread object; the application object on the GUI thread.
CWinThread* AfxGetThread();
// The calling thread's main window.
CWnd* AfxGetMainWnd();

// Starts `procedure(parameter)` on a new worker thread whose main window is the
// application's main window. The thread object deletes itself when the
// procedure returns. Null when the thread cannot be created.
CWinThread* AfxBeginThread(AFX_THREADPROC procedure, LPVOID parameter,
                           int priority = THREAD_PRIORITY_NORMAL, UINT stackSize = 0,
                           DWORD createFlags = 0, LPSECURITY_ATTRIBUTES security = nullptr);

// The program's entry: InitInstance; when it returns FALSE, destroys the main
// window if one is still set and ends with ExitInstance's result; otherwise
// runs the application's message loop.
int AfxWinMain();

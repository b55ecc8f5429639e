// The application and thread objects, shared by every backend.
#include "win_app.h"

#include "thread_state.h"

namespace {

CWinApp* g_application = nullptr;
thread_local CWinThread* t_currentThread = nullptr;

}  // namespace

namespace afx_internal {

void SetCurrentThread(CWinThread* thread) { t_currentThread = thread; }

unsigned RunWorkerThread(CWinThread* thread) {
  t_currentThread = thread;
  const unsigned result = thread->m_pfnThreadProc(thread->m_pThreadParams);
  t_currentThread = nullptr;
  delete thread;
  return result;
}

}  // namespace afx_internal

BOOL CWinThread::InitInstance() { return FALSE; }

int CWinThread::ExitInstance() { return static_cast<int>(m_msgCur.wParam); }

int CWinThread::Run() {
  while (PumpMessage()) {
  }
  return ExitInstance();
}

CWinApp::CWinApp() { g_application = this; }

CWinApp::~CWinApp() {
  if (g_application == this) g_application = nullptr;
  if (t_currentThread == this) t_currentThread = nullptr;
}

BOOL CWinApp::InitInstance() { return TRUE; }

void CWinApp::SetRegistryKey(const char* key) { m_registryKey = key; }

CWinApp* AfxGetApp() { return g_application; }

CWinThread* AfxGetThread() { return t_currentThread; }

CWnd* AfxGetMainWnd() {
  CWinThread* thread = AfxGetThread();
  return thread != nullptr ? thread->m_pMainWnd : nullptr;
}

CWinThread* AfxBeginThread(AFX_THREADPROC procedure, LPVOID parameter, int priority,
                           UINT stackSize, DWORD createFlags, LPSECURITY_ATTRIBUTES) {
  auto* thread = new CWinThread;
  thread->m_pfnThreadProc = procedure;
  thread->m_pThreadParams = parameter;
  CWinApp* app = AfxGetApp();
  if (app != nullptr && app->m_pMainWnd != nullptr) {
    thread->m_mainWindowView.m_hWnd = app->m_pMainWnd->m_hWnd;
    thread->m_pMainWnd = &thread->m_mainWindowView;
  }
  if (!afx_internal::StartSystemThread(thread, priority, stackSize, createFlags)) {
    delete thread;
    return nullptr;
  }
  return thread;
}

int AfxWinMain() {
  CWinApp* app = AfxGetApp();
  if (app == nullptr) return -1;
  afx_internal::SetCurrentThread(app);
  if (!app->InitInstance()) {
    if (app->m_pMainWnd != nullptr) app->m_pMainWnd->DestroyWindow();
    return app->ExitInstance();
  }
  return app->Run();
}

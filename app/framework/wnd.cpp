// The window behaviour shared by every backend: routing through the message
// maps, the modal loop, and the end of a main window.
#include "wnd.h"

#include "thread_state.h"
#include "win_app.h"

CWnd::~CWnd() {
  if (m_hWnd != nullptr && m_ownsWindow) DestroyWindow();
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  // Default() works on the message being handled; handlers may send messages
  // of their own, so the outer one is restored afterwards.
  const MSG outer = m_currentMessage;
  m_currentMessage = MSG{m_hWnd, message, wParam, lParam};
  LRESULT result = 0;
  if (!OnCmdMsg(message, wParam, lParam, &result)) {
    // A command that no window handles goes on to the application.
    CWinApp* app = AfxGetApp();
    const bool appHandled =
        message == WM_COMMAND && app != nullptr && app->OnCmdMsg(message, wParam, lParam, &result);
    if (!appHandled) result = DefWindowProc(message, wParam, lParam);
  }
  m_currentMessage = outer;
  return result;
}

LRESULT CWnd::Default() {
  return DefWindowProc(m_currentMessage.message, m_currentMessage.wParam,
                       m_currentMessage.lParam);
}

int CWnd::RunModalLoop(DWORD) {
  m_continueModal = true;
  CWinThread* thread = AfxGetThread();
  if (thread == nullptr) return -1;
  while (m_continueModal) {
    if (!thread->PumpMessage()) {
      // The quit message belongs to the thread's outer loop: put it back.
      afx_internal::PostQuit(static_cast<int>(thread->m_msgCur.wParam));
      m_continueModal = false;
      return -1;
    }
  }
  return m_modalResult;
}

void CWnd::EndModalLoop(int result) {
  m_modalResult = result;
  if (m_continueModal) {
    m_continueModal = false;
    PostMessage(WM_NULL);
  }
}

void CWnd::OnNcDestroy() {
  CWinThread* thread = AfxGetThread();
  if (thread != nullptr && thread->m_pMainWnd == this) {
    if (thread == AfxGetApp()) afx_internal::PostQuit(0);
    thread->m_pMainWnd = nullptr;
  }
  m_hWnd = nullptr;
  m_ownsWindow = false;
}

#include "update_app.h"

#include "system/program_system.h"
#include "update_dlg.h"

CUpdateApp::CUpdateApp() = default;

CUpdateApp::~CUpdateApp() = default;

const MessageMap* CUpdateApp::GetMessageMap() const {
  static const MessageMapEntry entries[] = {
      {WM_COMMAND, ID_HELP,
       [](CCmdTarget& target, WPARAM, LPARAM) -> LRESULT {
         static_cast<CUpdateApp&>(target).OnHelp();
         return 0;
       }},
  };
  static const MessageMap map{CWinApp::GetMessageMap(), entries};
  return &map;
}

BOOL CUpdateApp::InitInstance() {
  CWinApp::InitInstance();
  kup::SystemServices().RestrictLibrarySearch();
  SetRegistryKey("Orvl");
  m_exitCode.reset();

  CUpdateDlg dialog;
  m_pMainWnd = &dialog;
  if (!dialog.Create(CUpdateDlg::IDD)) {
    // No window, so no loop to wait in; the pointer must not outlive the
    // object it names.
    m_pMainWnd = nullptr;
    m_exitCode = 1;
    return FALSE;
  }
  dialog.ShowWindow(SW_SHOWDEFAULT);
  // A failed update sequence and a close request end the loop with the
  // program's own exit code; the installer's completion ends it with 0.
  const int loopResult = dialog.RunModalLoop(MLF_NOKICKIDLE);
  if (loopResult > 0) m_exitCode = loopResult;
  dialog.DestroyWindow();
  return FALSE;
}

int CUpdateApp::ExitInstance() {
  const int frameworkCode = CWinApp::ExitInstance();
  return m_exitCode.value_or(frameworkCode);
}

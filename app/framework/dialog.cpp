#include "dialog.h"

CDialog::CDialog(UINT templateId, CWnd* parent) : m_templateId(templateId), m_parent(parent) {}

// The window goes while this class's part of the object still routes its
// messages.
CDialog::~CDialog() {
  if (m_hWnd != nullptr && m_ownsWindow) DestroyWindow();
}

BOOL CDialog::OnInitDialog() { return TRUE; }

void CDialog::OnOK() { EndDialog(IDOK); }

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::EndDialog(int result) {
  if (ContinueModal()) EndModalLoop(result);
}

const MessageMapEntry CDialog::messageEntries[] = {
    {WM_INITDIALOG, 0,
     [](CCmdTarget& target, WPARAM, LPARAM) -> LRESULT {
       return static_cast<CDialog&>(target).OnInitDialog();
     }},
    {WM_COMMAND, IDOK,
     [](CCmdTarget& target, WPARAM, LPARAM) -> LRESULT {
       static_cast<CDialog&>(target).OnOK();
       return 0;
     }},
    {WM_COMMAND, IDCANCEL,
     [](CCmdTarget& target, WPARAM, LPARAM) -> LRESULT {
       static_cast<CDialog&>(target).OnCancel();
       return 0;
     }},
};

const MessageMap* CDialog::GetMessageMap() const {
  static const MessageMap map{CWnd::GetMessageMap(), messageEntries};
  return &map;
}

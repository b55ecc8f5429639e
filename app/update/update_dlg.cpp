#include "update_dlg.h"

#include "messages.h"
#include "update_codes.h"

CUpdateDlg::CUpdateDlg(CWnd* parent) : CDialog(IDD, parent), m_hIcon(nullptr), m_messages(10) {}

CUpdateDlg::~CUpdateDlg() = default;

const MessageMapEntry CUpdateDlg::messageEntries[] = {
    {WM_PAINT, 0,
     [](CCmdTarget& target, WPARAM, LPARAM) -> LRESULT {
       static_cast<CUpdateDlg&>(target).OnPaint();
       return 0;
     }},
    {WM_QUERYDRAGICON, 0,
     [](CCmdTarget& target, WPARAM, LPARAM) -> LRESULT {
       return reinterpret_cast<LRESULT>(static_cast<CUpdateDlg&>(target).OnQueryDragIcon());
     }},
    {WM_START_UPDATE, 0,
     [](CCmdTarget& target, WPARAM wParam, LPARAM lParam) -> LRESULT {
       return static_cast<CUpdateDlg&>(target).OnStartUpdate(wParam, lParam);
     }},
    {WM_INSTALLER_DONE, 0,
     [](CCmdTarget& target, WPARAM wParam, LPARAM lParam) -> LRESULT {
       return static_cast<CUpdateDlg&>(target).OnInstallerDone(wParam, lParam);
     }},
    {WM_CLOSE, 0,
     [](CCmdTarget& target, WPARAM, LPARAM) -> LRESULT {
       static_cast<CUpdateDlg&>(target).OnClose();
       return 0;
     }},
};

const MessageMap* CUpdateDlg::GetMessageMap() const {
  static const MessageMap map{CDialog::GetMessageMap(), messageEntries};
  return &map;
}

BOOL CUpdateDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
  SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
  SetWindowText(kUpdateCaption);
  // The work starts once the modal loop runs, after the dialog is shown.
  PostMessage(WM_START_UPDATE, 0, 0);
  return TRUE;
}

void CUpdateDlg::OnOK() {}

void CUpdateDlg::OnCancel() {}

void CUpdateDlg::OnPaint() {
  if (!IsIconic()) {
    CDialog::OnPaint();
    return;
  }
  CPaintDC dc(this);
  SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.m_hDC), 0);
  const int iconWidth = GetSystemMetrics(SM_CXICON);
  const int iconHeight = GetSystemMetrics(SM_CYICON);
  RECT client;
  GetClientRect(&client);
  const int x = (static_cast<int>(client.right - client.left) - iconWidth + 1) / 2;
  const int y = (static_cast<int>(client.bottom - client.top) - iconHeight + 1) / 2;
  dc.DrawIcon(x, y, m_hIcon);
}

HCURSOR CUpdateDlg::OnQueryDragIcon() { return static_cast<HCURSOR>(m_hIcon); }

LRESULT CUpdateDlg::OnStartUpdate(WPARAM, LPARAM) {
  LoadMessages();
  const int result = RunUpdateSequence();
  // A failed sequence ends the program with its own result as exit code.
  if (result != UPDATE_OK) EndModalLoop(result);
  return 0;
}

void CUpdateDlg::OnClose() {
  // The installer, if it was started, goes on by itself; the run did not
  // complete, and its exit code must say so.
  EndModalLoop(EXIT_CANCELLED);
  Default();
}

void CUpdateDlg::ShowMessage(int number) {
  MessageBox(m_messages[kup::MessageKey(number).c_str()].c_str(), kUpdateCaption,
             MB_OK | MB_ICONHAND);
}

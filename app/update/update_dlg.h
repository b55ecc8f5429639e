// CUpdateDlg: the progress dialog, "Updating...". It starts the work by
// posting itself WM_START_UPDATE, and ends its modal loop when the work has
// failed or the installer worker has reported back.
#pragma once

#include "dialog.h"
#include "resources/resource.h"
#include "string_map.h"

class CUpdateDlg : public CDialog {
 public:
  enum { IDD = IDD_KUP_DIALOG };

  explicit CUpdateDlg(CWnd* parent = nullptr);
  ~CUpdateDlg() override;

  // Fills the message table: the built-in texts, then "config.ini", then
  // '@' turned into line feeds. Always true.
  bool LoadMessages();
  // Finds and unpacks the package and starts the installer worker. Returns
  // UPDATE_OK, or the failure's result after its message has been shown.
  int RunUpdateSequence();

 protected:
  BOOL OnInitDialog() override;
  // Enter and Escape never close the progress dialog.
  void OnOK() override;
  void OnCancel() override;

  void OnPaint();
  HCURSOR OnQueryDragIcon();
  LRESULT OnStartUpdate(WPARAM wParam, LPARAM lParam);
  LRESULT OnInstallerDone(WPARAM code, LPARAM lParam);
  void OnClose();

  const MessageMap* GetMessageMap() const override;
  static const MessageMapEntry messageEntries[];

  // The program carries no icon, so this stays null.
  HICON m_hIcon;
  CMapStringToString m_messages;

 private:
  // A modal box owned by the dialog with the text of MSGn, an OK button and
  // the stop icon.
  void ShowMessage(int number);
};

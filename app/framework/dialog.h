// CDialog: a dialog window made from a dialog template resource.
#pragma once

#include "wnd.h"

class CDialog : public CWnd {
 public:
  explicit CDialog(UINT templateId, CWnd* parent = nullptr);
  ~CDialog() override;

  // Creates the dialog window, modeless, from the template. The window gets
  // WM_INITDIALOG, which reaches OnInitDialog, before this returns. False when
  // the window cannot be created.
  BOOL Create(UINT templateId, CWnd* parent = nullptr);

  virtual BOOL OnInitDialog();
  // Enter and Escape (the commands IDOK and IDCANCEL) end the dialog's loop
  // unless a derived class says otherwise.
  virtual void OnOK();
  virtual void OnCancel();
  void EndDialog(int result);

 protected:
  const MessageMap* GetMessageMap() const override;
  static const MessageMapEntry messageEntries[];

 private:
  UINT m_templateId;
  CWnd* m_parent;
};

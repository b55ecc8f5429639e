// CUpdateApp: the application object. Its InitInstance is the whole life of
// the program: it shows the progress dialog, runs its modal loop and returns
// FALSE, so the framework ends the process.
#pragma once

#include <optional>

#include "win_app.h"

class CUpdateApp : public CWinApp {
 public:
  CUpdateApp();
  ~CUpdateApp() override;

  BOOL InitInstance() override;
  // The framework's exit code (the WPARAM of the message that ended the
  // dialog's loop), unless the program decided its own: 1 when the dialog
  // cannot be created, the update sequence's result when it failed,
  // EXIT_CANCELLED when a close request ended the run.
  int ExitInstance() override;

 protected:
  const MessageMap* GetMessageMap() const override;

 private:
  std::optional<int> m_exitCode;
};

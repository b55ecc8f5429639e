// What the headless backend lets a test see and steer: the message boxes
// shown, the windows made, and the two failures a real system can produce
// (a dialog that cannot be created, a thread that cannot be started).
#pragma once

#include <string>
#include <vector>

#include "afx_platform.h"

namespace afx_headless {

struct RecordedMessageBox {
  HWND owner;
  std::string text;
  std::string caption;
  UINT type;
};

// The message boxes shown since the last call, oldest first.
std::vector<RecordedMessageBox> TakeMessageBoxes();

// Empties the calling thread's message queue, as a new process starts with
// none.
void ResetThreadMessages();

// The handle of the window created last, null before the first.
HWND LastCreatedWindow();
bool IsWindow(HWND window);
std::string WindowTitle(HWND window);

// While set, CDialog::Create fails / AfxBeginThread cannot start a thread.
void SetWindowCreationFails(bool fails);
void SetThreadStartFails(bool fails);

// Returns once every worker thread started so far has ended.
void WaitForWorkerThreads();

}  // namespace afx_headless

// The framework's own links between its shared code and the backend that the
// build picked (win32 or headless). Nothing outside the framework uses these.
#pragma once

#include "afx_platform.h"

class CWinThread;

namespace afx_internal {

// The thread object of the calling thread.
void SetCurrentThread(CWinThread* thread);

// Starts a system thread that runs RunWorkerThread(thread). False when the
// system cannot create it.
bool StartSystemThread(CWinThread* thread, int priority, UINT stackSize, DWORD createFlags);

// The body of every worker thread: runs the thread's procedure, then deletes
// the thread object.
unsigned RunWorkerThread(CWinThread* thread);

// Posts the quit message to the calling thread's queue.
void PostQuit(int exitCode);

}  // namespace afx_internal

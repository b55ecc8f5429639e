// The installer worker: runs the installer on the unpacked update package in
// a thread of its own and reports back to the progress dialog.
#pragma once

#include <cstddef>

namespace kup {

// "/norestart /quiet" and the quoted package path. False, with nothing cut,
// when the string does not fit `size` bytes.
bool BuildInstallerParameters(char* out, std::size_t size, const char* packagePath);

// Starts InstallerThreadProc on a new worker thread; false when the thread
// cannot be created.
bool StartInstallerThread();

// The worker's body. Runs the installer, waits for its process to end and
// posts WM_INSTALLER_DONE with the completion code to the main window. The
// parameter is ignored; always returns 0.
unsigned InstallerThreadProc(void* parameter);

}  // namespace kup

// The update program's private window messages and result codes.
#pragma once

#include "afx_platform.h"

// Posted by the progress dialog to itself when it has been created; the work
// starts when its modal loop retrieves it. WPARAM 0, LPARAM 0.
inline constexpr UINT WM_START_UPDATE = WM_APP + 1;
// Posted by the installer worker to the application's main window once the
// installer has ended or could not be run. WPARAM: an InstallerCompletion
// code; LPARAM 0.
inline constexpr UINT WM_INSTALLER_DONE = WM_APP + 2;

// Results of the update sequence.
enum UpdateResult : int {
  UPDATE_OK = 0,               // the installer thread is running
  UPDATE_NO_PACKAGE = 103,     // "package.dat" is not beside the executable
  UPDATE_NO_FOLDER = 104,      // the program folder cannot be determined
  UPDATE_UNPACK_FAILED = 105,  // the extractor cannot be bound or failed
  UPDATE_THREAD_FAILED = 108,  // the installer thread cannot be started
};

// The installer worker's completion codes, the WPARAM of WM_INSTALLER_DONE.
enum InstallerCompletion : WPARAM {
  INSTALLER_FINISHED = 0,         // the installer ran and its process has ended
  INSTALLER_NOT_STARTED = 1,      // the installer could not be started
  INSTALLER_PACKAGE_MISSING = 2,  // the update package is not in the program folder
};

// The exit code of a run that a close request ended before the installer had
// finished: the update did not complete, and deployment tools read 1602 as
// "cancelled by the user".
inline constexpr int EXIT_CANCELLED = 1602;

inline constexpr const char* kUpdateCaption = "KORU Update Program";

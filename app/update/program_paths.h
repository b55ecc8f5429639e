// Paths of the files beside the executable. Every path buffer holds
// kPathBufferSize bytes.
#pragma once

#include "system/program_system.h"

namespace kup {

inline constexpr const char* kPackageName = "package.dat";
inline constexpr const char* kConfigName = "config.ini";
inline constexpr const char* kUpdatePackageName = "windows6.0-kb937287-x86.msu";

// The full path of `name` in the program folder; an empty name gives the
// folder itself. False, `out` unchanged, when the executable's path cannot be
// obtained or the result would not fit.
bool BuildProgramPath(char* out, const char* name);
// "package.dat"'s full path, when it exists.
bool FindPackageFile(char* out);
// The program folder's path, when it exists.
bool FindProgramFolder(char* out);
// Deletes the unpacked update package if it is there. Always true: a failed
// deletion is not reported.
bool DeleteInstallerPackage();

}  // namespace kup

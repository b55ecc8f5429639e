#include "program_paths.h"

#include <cstring>

namespace kup {

bool BuildProgramPath(char* out, const char* name) {
  ProgramSystem& system = SystemServices();
  char path[kPathBufferSize];
  if (!system.ModuleFileName(path, sizeof path)) return false;
  system.RemoveFileSpec(path);
  // A name that does not fit must not leave the folder standing in for the
  // file.
  if (!system.AppendPath(path, name)) return false;
  std::memcpy(out, path, std::strlen(path) + 1);
  return true;
}

bool FindPackageFile(char* out) {
  return BuildProgramPath(out, kPackageName) && SystemServices().FileExists(out);
}

bool FindProgramFolder(char* out) {
  return BuildProgramPath(out, "") && SystemServices().FileExists(out);
}

bool DeleteInstallerPackage() {
  char path[kPathBufferSize];
  if (BuildProgramPath(path, kUpdatePackageName) && SystemServices().FileExists(path)) {
    SystemServices().RemoveFile(path);
  }
  return true;
}

}  // namespace kup

#include "installer.h"

#include <cstring>

#include "program_paths.h"
#include "update_codes.h"
#include "win_app.h"

namespace kup {
namespace {

constexpr const char* kInstallerSwitches = "/norestart /quiet";

// The worker's one hand-over to the GUI thread.
void PostInstallerDone(InstallerCompletion code) {
  CWnd* mainWindow = AfxGetMainWnd();
  if (mainWindow != nullptr) mainWindow->PostMessage(WM_INSTALLER_DONE, code, 0);
}

}  // namespace

bool BuildInstallerParameters(char* out, std::size_t size, const char* packagePath) {
  const std::size_t switches = std::strlen(kInstallerSwitches);
  const std::size_t path = std::strlen(packagePath);
  // switches, blank, quote, path, quote, terminator
  if (switches + 2 + path + 1 + 1 > size) return false;
  char* p = out;
  std::memcpy(p, kInstallerSwitches, switches);
  p += switches;
  *p++ = ' ';
  *p++ = '"';
  std::memcpy(p, packagePath, path);
  p += path;
  *p++ = '"';
  *p = '\0';
  return true;
}

bool StartInstallerThread() { return AfxBeginThread(&InstallerThreadProc, nullptr) != nullptr; }

unsigned InstallerThreadProc(void*) {
  ProgramSystem& system = SystemServices();
  char packagePath[kPathBufferSize];
  if (!BuildProgramPath(packagePath, kUpdatePackageName) || !system.FileExists(packagePath)) {
    PostInstallerDone(INSTALLER_PACKAGE_MISSING);
    return 0;
  }
  // A path too long for the parameter string is an installer that cannot be
  // started: the string is never cut.
  char parameters[kPathBufferSize];
  InstallerProcess process = 0;
  if (!BuildInstallerParameters(parameters, sizeof parameters, packagePath) ||
      !system.StartInstaller(parameters, &process)) {
    PostInstallerDone(INSTALLER_NOT_STARTED);
    return 0;
  }
  system.WaitForInstaller(process);
  PostInstallerDone(INSTALLER_FINISHED);
  return 0;
}

}  // namespace kup

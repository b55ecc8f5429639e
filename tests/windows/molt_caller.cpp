// Calls MOLT.DLL the way the update program does: loaded by its path, the
// export looked up by name, one call, the library unloaded again.
//
//   molt_caller DLL PACK DESTINATION SHOW_ERRORS COMMAND
//
// Exits with Molt's result; 100 when the DLL or its export is missing.
// Runs on the desktop that MOLT_UI_DESKTOP names, if set.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "molt.h"
#include "test_desktop.h"

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fprintf(stderr, "usage: molt_caller DLL PACK DESTINATION SHOW_ERRORS COMMAND\n");
    return 100;
  }
  if (!JoinTestDesktop()) {
    std::fprintf(stderr, "cannot join the test desktop (%lu)\n", GetLastError());
    return 100;
  }
  const HMODULE library = LoadLibraryA(argv[1]);
  if (library == nullptr) {
    std::fprintf(stderr, "cannot load %s (%lu)\n", argv[1], GetLastError());
    return 100;
  }
  // Through void*: FARPROC and the export's type differ in their arguments.
  const auto molt =
      reinterpret_cast<MoltFunction>(reinterpret_cast<void*>(GetProcAddress(library, "Molt")));
  if (molt == nullptr) {
    std::fprintf(stderr, "no export Molt in %s\n", argv[1]);
    FreeLibrary(library);
    return 100;
  }
  const int result = molt(argv[2], argv[3], nullptr, std::atoi(argv[4]), argv[5]);
  FreeLibrary(library);
  std::printf("Molt returned %d\n", result);
  return result;
}

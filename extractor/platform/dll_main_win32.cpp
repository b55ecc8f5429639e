// The process-attach notification of MOLT.DLL: the library notes its own
// module so that its error texts are found in its string table.
#include <windows.h>

#include "module_instance_win32.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) molt::platform::ModuleInstance = instance;
  return TRUE;
}

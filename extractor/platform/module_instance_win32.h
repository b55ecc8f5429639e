// The extractor's own module on Windows: its error texts are loaded from
// this module's string table.
#pragma once

#include <windows.h>

namespace molt::platform {

// Recorded by DllMain when MOLT.DLL is attached. Where the core is linked
// statically into a program it stays null, which names the program's own
// module; such programs link the same string table.
extern HINSTANCE ModuleInstance;

}  // namespace molt::platform

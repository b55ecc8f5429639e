// The library's one export. One process-wide extractor serves it; no
// exception ever crosses this boundary.
#include "molt.h"

#include <new>

#include "context.h"
#include "errors.h"
#include "extract.h"

extern "C" MOLT_EXPORT int MOLT_CALL Molt(const char* packPath, const char* destination,
                                          const char* filter, int showErrors,
                                          const char* command) {
  try {
    static molt::Context context(molt::platform::SystemPlatform());
    return molt::Molt(context, packPath, destination, filter, showErrors, command);
  } catch (...) {
    return molt::ERR_MEMORY;
  }
}

// The compiled-in texts of the error codes. A library of its own, so that
// the platform backend can show them without depending on the core.
#include "errors.h"

namespace molt {

const char* ErrorText(int code) {
  switch (code) {
#define MOLT_ERROR(number, name, text) \
  case number:                         \
    return text;
#include "error_texts.def"
#undef MOLT_ERROR
    default:
      return nullptr;
  }
}

}  // namespace molt

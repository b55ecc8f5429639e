#include "errors.h"

#include <cstdio>

#include "context.h"

namespace molt {

void RaiseError(int code) { throw ErrorUnwind{code}; }

int ReportError(Context& context, int code) {
  if (code == 0 || !context.ShowErrors) return code;
  char text[256];
  context.sys.LoadErrorText(code, text, sizeof text);
  char message[256];
  // A text that does not fit is cut; the texts of the table all fit.
  if (std::snprintf(message, sizeof message, "%s (Error: %d)\n", text, code) < 0) message[0] = '\0';
  context.sys.ShowMessageBox(message, "Molt Error", platform::BoxIcon::None);
  return code;
}

}  // namespace molt

// The extractor's one vocabulary of failures and its two ways of delivering
// them: returned (and shown with ReportError) before the tree walk starts,
// raised as ErrorUnwind once it runs.
#pragma once

namespace molt {

struct Context;

enum ErrorCode : int {
#define MOLT_ERROR(code, name, text) name = code,
#include "error_texts.def"
#undef MOLT_ERROR
};

// The compiled-in text of a code (UTF-8), or null for a code without one.
const char* ErrorText(int code);

// Raised anywhere inside the walk; only the export boundary catches it.
// Whatever the abandoned levels held is released by their destructors;
// nothing already written is undone.
struct ErrorUnwind {
  int code;
};

[[noreturn]] void RaiseError(int code);

// Shows the error box for a nonzero code when the caller asked for boxes,
// and returns the code unchanged.
int ReportError(Context& context, int code);

}  // namespace molt

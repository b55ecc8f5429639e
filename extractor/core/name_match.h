// One component of a path filter matched against one entry name, in the
// characters of a code page. The walk matches the caller's filter with it,
// and molt-pack the patterns of its --mask and --store options, so that a
// pattern selects in the pack what it selects on the user's machine.
#pragma once

#include "platform/codepage.h"

namespace molt {

// A component ends at the NUL or at a backslash.
inline bool IsComponentEnd(const char* p) { return *p == '\0' || *p == '\\'; }

// '*' matches any run of characters, also none; '?' exactly one; letters of
// single-byte characters compare without regard to case, a double-byte
// character matches only itself. Neither side is read past its end.
bool MatchNameComponent(const platform::CodePage& characters, const char* component, const char* name);

}  // namespace molt

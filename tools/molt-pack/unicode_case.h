// Names compared without case as Windows' file systems compare them: each
// character upper-cased on its own (no ß to SS, no context), by a table of
// the letters that names are made of in practice: ASCII, Latin-1, Latin
// Extended-A, Greek, Cyrillic and the full-width ASCII letters.
#pragma once

#include <optional>
#include <string>

namespace moltpack {

// One character upper-cased; characters without an upper case in the
// table, and letters whose upper case would be ASCII (dotless i, long s),
// stay as they are.
char32_t UpperCaseLetter(char32_t character);

// `name`, UTF-8, with every character upper-cased; nothing when it is not
// well-formed UTF-8.
std::optional<std::string> UpperCaseUtf8(const std::string& name);

}  // namespace moltpack

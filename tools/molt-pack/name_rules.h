// What an entry's name may be: the rules of the systems the extractor
// writes on, applied to the name's bytes in the target code page, character
// by character, so that a double-byte character's trail byte is never taken
// for a '\', a '|' or a letter.
#pragma once

#include <optional>
#include <string>

#include "platform/codepage.h"

namespace moltpack {

// Why `name` cannot be an output name, or nothing when it can: '.', '..',
// over 255 bytes, a control character or one of \ / : * ? " < > |, a blank or
// a dot at the end, a Windows device name (CON, NUL.txt, com1 ...).
std::optional<std::string> NameRefusal(const std::string& name, const molt::platform::CodePage& characters);

// `name` as a system that does not tell case apart sees it: the letters of
// single-byte characters upper-cased, double-byte characters as they are.
std::string FoldCase(const std::string& name, const molt::platform::CodePage& characters);

}  // namespace moltpack

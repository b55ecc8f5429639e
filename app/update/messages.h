// The message table's keys, defaults and line-break marks.
#pragma once

#include <string>

namespace kup {

inline constexpr int kMessageCount = 10;

// "MSG1" to "MSG10".
std::string MessageKey(int number);
// The built-in text of MSGn, n from 1 to 10.
const char* DefaultMessage(int number);

// Replaces every '@' by a line feed, stepping by characters of the ANSI code
// page so that the trail byte of a double-byte character is left alone.
void ReplaceLineBreakMarks(std::string& text);

}  // namespace kup

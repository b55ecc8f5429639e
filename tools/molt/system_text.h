// The system's words: the code page that a pack's names are read in and
// their conversion to UTF-8 for the listings, and the system's own reason
// for a failed call. One file per system, picked by the build:
// system_text_posix.cpp, system_text_win32.cpp.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace moltcli {

// Applies --codepage before the extractor first looks at a name. False,
// with the reason, for a code page that this build cannot read names in.
bool SelectCodePage(const std::string& codePage, std::string* problem);

// The code page that names are read in, as the JSON listing states it:
// "utf-8" (POSIX without code page 932: names are bytes, taken as UTF-8),
// "932", or "ansi-NNNN" (Windows: the system's ANSI code page NNNN).
std::string NameCodePage();

struct Utf8Text {
  std::string text;  // valid UTF-8; what could not be read is U+FFFD
  bool exact = true; // the text converts back to the very same bytes
};

// A name from the pack, in the code page that names are read in.
Utf8Text NameToUtf8(std::string_view bytes);
// Text from the command line (the PACK argument), in the system's own
// encoding: UTF-8 on POSIX, the ANSI code page on Windows.
Utf8Text ArgumentToUtf8(std::string_view bytes);

// Shared by both systems: UTF-8 taken as it is, each byte that starts no
// valid sequence replaced by U+FFFD (and the text then not exact).
Utf8Text Utf8OrReplacement(std::string_view bytes);

// The reason the system keeps for the last failed call (errno,
// GetLastError()). The extractor runs in the same thread and leaves it as
// its failing call set it, so it is cleared right before a call into the
// extractor and read right after: 0 when no system call failed.
void ClearSystemError();
std::uint32_t LastSystemError();
// The system's text for such a reason, on one line without a final period:
// "No such file or directory".
std::string SystemErrorText(std::uint32_t error);

}  // namespace moltcli

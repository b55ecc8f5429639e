// Splitting a parameter string into arguments by the rules of the Windows
// command line, so that the installer gets the arguments it would get there.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kup {

// Blanks (space, tab) separate arguments outside double quotes; a double
// quote opens or closes a quoted part and is not kept; 2n backslashes before
// a quote give n backslashes and the quote acts, 2n+1 give n backslashes and
// a literal quote; other backslashes are kept as they are.
std::vector<std::string> SplitCommandLine(std::string_view parameters);

}  // namespace kup

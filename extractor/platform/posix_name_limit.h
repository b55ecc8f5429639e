// How the POSIX backend reads pathconf's answer for the longest file-name
// component, kept apart from the call so that answers no local file system
// gives can be tested.
#pragma once

#include <cstdint>
#include <optional>

namespace molt::platform {

// The component length for pathconf's `answer` and the errno it left behind
// (cleared before the call). -1 with errno untouched means the file system
// sets no limit, the longest length there is; -1 with errno set is a failure
// (nothing). A limit beyond 32 bits is the longest length too.
std::optional<std::uint32_t> ComponentLengthFromPathconf(long answer, int error);

}  // namespace molt::platform

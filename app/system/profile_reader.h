// The private-profile (INI) read where the system has none: what the update
// program relies on of GetPrivateProfileString.
//   - section and key are matched without regard to ASCII case;
//   - the value is what follows the first '=', blanks (space, tab) around it
//     removed;
//   - the first matching key of the first section that has it wins;
//   - an absent section or key, or a file that cannot be read, yields the
//     fallback;
//   - a value that does not fit is cut to size - 1 bytes, and size - 1 is
//     returned.
#pragma once

#include <cstdint>
#include <string_view>

namespace kup {

// `contents` is the whole settings file.
std::uint32_t ReadProfileValue(std::string_view contents, std::string_view section,
                               std::string_view key, const char* fallback, char* buffer,
                               std::uint32_t size);

}  // namespace kup

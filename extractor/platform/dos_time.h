// MS-DOS date and time words: date = day (bits 0-4), month (5-8), years since
// 1980 (9-15); time = seconds / 2 (0-4), minutes (5-10), hours (11-15).
#pragma once

#include <cstdint>

namespace molt::platform {

// Seconds since 1970-01-01 00:00:00 UTC of a DOS date and time taken as UTC;
// false when a field is out of range (month 0, day 31 of April, second 60...).
bool DosDateTimeToUnixSeconds(std::uint16_t dosDate, std::uint16_t dosTime,
                              std::int64_t* seconds);

}  // namespace molt::platform

// Names of a pack's volumes: the pack path doubles as a format for the
// volume number ('data%d.bin', 'data%03d.bin'; '%%' for a percent sign).
#pragma once

#include <cstddef>
#include <cstdint>

namespace molt {

// Formats `format` with the volume number into `name` (capacity bytes).
// Accepted: '%%' and at most one conversion '%' [flags '-+ 0#'] [width]
// one of 'd i u x X o'. Anything else, or a name that does not fit, is
// refused (false) so that the format never takes more than its one number
// nor writes past the buffer.
bool FormatVolumeName(const char* format, std::uint16_t number, char* name, std::size_t capacity);

}  // namespace molt

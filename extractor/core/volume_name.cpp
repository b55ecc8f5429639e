#include "volume_name.h"

#include <cstdio>
#include <cstring>

namespace molt {
namespace {

bool IsFlag(char c) { return c != '\0' && std::strchr("-+ 0#", c) != nullptr; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsConversion(char c) { return c != '\0' && std::strchr("diuxXo", c) != nullptr; }

// True when the format holds only '%%' and at most one integer conversion.
bool IsVolumeFormat(const char* format) {
  int conversions = 0;
  for (const char* p = format; *p != '\0'; ++p) {
    if (*p != '%') continue;
    ++p;
    if (*p == '%') continue;
    while (IsFlag(*p)) ++p;
    while (IsDigit(*p)) ++p;
    if (!IsConversion(*p)) return false;
    if (++conversions > 1) return false;
  }
  return true;
}

}  // namespace

bool FormatVolumeName(const char* format, std::uint16_t number, char* name, std::size_t capacity) {
  if (format == nullptr || capacity == 0 || !IsVolumeFormat(format)) return false;
  // The format has been checked to take exactly one unsigned number or none.
  const int length = std::snprintf(name, capacity, format, static_cast<unsigned>(number));
  return length >= 0 && static_cast<std::size_t>(length) < capacity;
}

}  // namespace molt

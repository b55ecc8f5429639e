#include "reserved_names.h"

#include <cstddef>
#include <cstring>

namespace molt::platform {
namespace {

bool EqualsIgnoringAsciiCase(const char* text, std::size_t length, const char* upper) {
  if (std::strlen(upper) != length) return false;
  for (std::size_t i = 0; i < length; ++i) {
    char c = text[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != upper[i]) return false;
  }
  return true;
}

}  // namespace

bool IsDeviceName(const char* name) {
  std::size_t length = std::strcspn(name, ".:");
  while (length > 0 && name[length - 1] == ' ') --length;
  static constexpr const char* kDevices[] = {"CON", "PRN", "AUX", "NUL"};
  for (const char* device : kDevices) {
    if (EqualsIgnoringAsciiCase(name, length, device)) return true;
  }
  if (length != 4 || name[3] < '1' || name[3] > '9') return false;
  return EqualsIgnoringAsciiCase(name, 3, "COM") || EqualsIgnoringAsciiCase(name, 3, "LPT");
}

bool EndsInDotOrBlank(const char* name) {
  const std::size_t length = std::strlen(name);
  return length > 0 && (name[length - 1] == '.' || name[length - 1] == ' ');
}

}  // namespace molt::platform

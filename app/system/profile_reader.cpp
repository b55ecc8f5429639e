#include "profile_reader.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace kup {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

// The value of `key` in `section`, or none.
std::optional<std::string_view> FindValue(std::string_view contents, std::string_view section,
                                          std::string_view key) {
  bool inSection = false;
  while (!contents.empty()) {
    const std::size_t end = contents.find('\n');
    const std::string_view line = Trim(contents.substr(0, end));
    contents.remove_prefix(end == std::string_view::npos ? contents.size() : end + 1);

    if (!line.empty() && line.front() == '[') {
      const std::size_t close = line.find(']');
      const std::string_view name =
          Trim(line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
      inSection = SameIgnoringCase(name, section);
      continue;
    }
    if (!inSection) continue;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    if (SameIgnoringCase(Trim(line.substr(0, equals)), key)) {
      return Trim(line.substr(equals + 1));
    }
  }
  return std::nullopt;
}

std::uint32_t CopyCut(std::string_view value, char* buffer, std::uint32_t size) {
  if (size == 0) return 0;
  const std::size_t count = std::min<std::size_t>(value.size(), size - 1);
  std::memcpy(buffer, value.data(), count);
  buffer[count] = '\0';
  return static_cast<std::uint32_t>(count);
}

}  // namespace

std::uint32_t ReadProfileValue(std::string_view contents, std::string_view section,
                               std::string_view key, const char* fallback, char* buffer,
                               std::uint32_t size) {
  const std::optional<std::string_view> value = FindValue(contents, section, key);
  return CopyCut(value ? *value : std::string_view(fallback != nullptr ? fallback : ""), buffer,
                 size);
}

}  // namespace kup

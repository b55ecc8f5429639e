#include "name_rules.h"

#include <cstring>

#include "platform/reserved_names.h"

namespace moltpack {
namespace {

constexpr std::size_t kNameMax = 255;

std::string Shown(char c) {
  const auto byte = static_cast<unsigned char>(c);
  if (byte >= 0x20 && byte < 0x7F) return std::string("'") + c + "'";
  static const char kHex[] = "0123456789ABCDEF";
  return std::string("byte 0x") + kHex[byte >> 4] + kHex[byte & 0xF];
}

}  // namespace

std::optional<std::string> NameRefusal(const std::string& name, const molt::platform::CodePage& characters) {
  if (name.empty() || name == "." || name == "..") return "'" + name + "' cannot name an entry";
  if (name.size() > kNameMax) return "its name is longer than 255 bytes";
  // By whole characters: the trail byte of a double-byte character is
  // never looked at on its own.
  const char* const end = name.c_str() + name.size();
  for (const char* p = name.c_str(); p < end; p = characters.NextChar(p)) {
    const auto byte = static_cast<unsigned char>(*p);
    if (byte < 0x20 || std::strchr("\\/:*?\"<>|", *p) != nullptr) {
      return "its name holds " + Shown(*p) + ", which Windows names cannot hold";
    }
  }
  if (molt::platform::EndsInDotOrBlank(name.c_str())) return "its name ends in a blank or a dot, which Windows drops";
  if (molt::platform::IsDeviceName(name.c_str())) return "its name is a Windows device name";
  return std::nullopt;
}

std::string FoldCase(const std::string& name, const molt::platform::CodePage& characters) {
  std::string folded;
  const char* const end = name.c_str() + name.size();
  for (const char* p = name.c_str(); p < end;) {
    const char* next = characters.NextChar(p);
    if (next - p == 1) {
      folded.push_back(static_cast<char>(characters.ToUpper(static_cast<std::uint8_t>(*p))));
    } else {
      folded.append(p, next);
    }
    p = next;
  }
  return folded;
}

}  // namespace moltpack

#include "short_names.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "name_rules.h"

namespace moltpack {
namespace {

constexpr std::size_t kBaseMax = 8;
constexpr std::size_t kExtensionMax = 3;
constexpr std::size_t kGeneratedStem = 6;

bool IsShortNameChar(char c) {
  if (c >= 'A' && c <= 'Z') return true;
  if (c >= '0' && c <= '9') return true;
  return c != '\0' && std::strchr("!#$%&'()-@^_`{}~", c) != nullptr;
}

bool IsValidPart(const std::string& part, std::size_t maxLength) {
  if (part.empty() || part.size() > maxLength) return false;
  for (char c : part) {
    if (!IsShortNameChar(c)) return false;
  }
  return true;
}

// Upper-cased, with characters a short name cannot hold left out (spaces,
// dots, double-byte characters whole...), cut to `maxLength`.
std::string Squeeze(const std::string& text, const molt::platform::CodePage& characters, std::size_t maxLength) {
  std::string out;
  const char* const end = text.c_str() + text.size();
  // By whole characters: a double-byte character's bytes are no letters.
  for (const char* p = text.c_str(); p < end && out.size() < maxLength; p = characters.NextChar(p)) {
    const char upper = (*p >= 'a' && *p <= 'z') ? static_cast<char>(*p - 'a' + 'A') : *p;
    if (IsShortNameChar(upper)) out.push_back(upper);
  }
  return out;
}

}  // namespace

bool IsValidShortName(const std::string& name) {
  const std::size_t dot = name.find('.');
  if (dot == std::string::npos) return IsValidPart(name, kBaseMax);
  return IsValidPart(name.substr(0, dot), kBaseMax) &&
         IsValidPart(name.substr(dot + 1), kExtensionMax);
}

std::string GenerateShortName(const std::string& name, const molt::platform::CodePage& characters,
                              std::set<std::string>& taken) {
  return ShortNamePicker(taken).Pick(name, characters);
}

std::string ShortNamePicker::Pick(const std::string& name, const molt::platform::CodePage& characters) {
  // The extension is what follows the last dot, unless the name starts with it.
  const char* lastDot = characters.FindLast(name.c_str(), '.');
  const std::size_t dot = lastDot == nullptr ? std::string::npos : static_cast<std::size_t>(lastDot - name.c_str());
  const bool hasExtension = dot != std::string::npos && dot != 0;
  std::string stem = Squeeze(hasExtension ? name.substr(0, dot) : name, characters, kGeneratedStem);
  if (stem.empty()) stem.push_back('_');
  const std::string extension = hasExtension ? Squeeze(name.substr(dot + 1), characters, kExtensionMax) : "";
  const std::string suffix = extension.empty() ? std::string() : std::string(1, '.').append(extension);
  unsigned& next = nextNumber_.try_emplace(stem + '\0' + suffix, 1).first->second;
  for (unsigned n = next; n < 10'000'000; ++n) {
    const std::string tail = std::string(1, '~').append(std::to_string(n));
    // The base stays within 8 characters as the number grows.
    const std::string base = stem.substr(0, std::min(stem.size(), kBaseMax - tail.size())) + tail;
    const std::string candidate = base + suffix;
    if (taken_.insert(candidate).second) {
      next = n + 1;
      return candidate;
    }
  }
  throw std::runtime_error("no free short name for '" + name + "'");
}

std::vector<EntryNames> NameSiblings(const std::vector<std::string>& names,
                                     const molt::platform::CodePage& characters) {
  // Every sibling's name, as the filter compares it, is taken before any
  // short name is made up.
  std::set<std::string> taken;
  std::vector<std::string> folded;
  for (const std::string& name : names) {
    folded.push_back(FoldCase(name, characters));
    taken.insert(folded.back());
  }
  ShortNamePicker picker(taken);
  std::vector<EntryNames> result(names.size());
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (IsValidShortName(folded[i])) {
      result[i].shortName = folded[i];
      if (folded[i] != names[i]) result[i].longName = names[i];
    } else {
      result[i].shortName = picker.Pick(names[i], characters);
      result[i].longName = names[i];
    }
  }
  return result;
}

}  // namespace moltpack

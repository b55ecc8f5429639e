#include "entry_patterns.h"

#include <stdexcept>

#include "name_match.h"

namespace moltpack {
namespace {

bool MatchesEither(const molt::platform::CodePage& characters, const std::string& component,
                   const SourceEntry& entry) {
  return molt::MatchNameComponent(characters, component.c_str(), entry.shortName.c_str()) ||
         (entry.longName && molt::MatchNameComponent(characters, component.c_str(), entry.longName->c_str()));
}

}  // namespace

EntryPatterns::EntryPatterns(const ScanOptions& options, const TargetCodePage& codePage) : codePage_(codePage) {
  for (const auto& [text, value] : options.masks) masks_.emplace_back(Parse(text), value);
  for (const std::string& text : options.storePatterns) store_.push_back(Parse(text));
}

EntryPatterns::Pattern EntryPatterns::Parse(const std::string& text) const {
  const std::optional<std::string> converted = codePage_.FromArgument(text);
  if (!converted) {
    throw std::runtime_error("pattern '" + text + "' cannot be written in code page " +
                             std::to_string(codePage_.number()));
  }
  // '/' never trails a double-byte character, so it can be swapped byte by
  // byte; '\' can, so the components are cut by whole characters.
  std::string unified = *converted;
  for (char& c : unified) {
    if (c == '/') c = '\\';
  }
  const molt::platform::CodePage& characters = codePage_.Characters();
  Pattern pattern;
  bool separated = false;
  std::string component;
  const char* const end = unified.c_str() + unified.size();
  for (const char* p = unified.c_str(); p < end;) {
    const char* next = characters.NextChar(p);
    if (next - p == 1 && *p == '\\') {
      separated = true;
      pattern.components.push_back(component);
      component.clear();
    } else {
      component.append(p, next);
    }
    p = next;
  }
  pattern.components.push_back(component);
  if (pattern.components.size() > 1 && pattern.components.front().empty()) {
    pattern.components.erase(pattern.components.begin());
  }
  if (pattern.components.size() > 1 && pattern.components.back().empty()) pattern.components.pop_back();
  for (const std::string& each : pattern.components) {
    if (each.empty()) throw std::runtime_error("pattern '" + text + "' is empty or has an empty component");
  }
  pattern.anyDepth = !separated;
  return pattern;
}

bool EntryPatterns::Matches(const Pattern& pattern, const std::vector<const SourceEntry*>& path) const {
  const molt::platform::CodePage& characters = codePage_.Characters();
  if (pattern.anyDepth) return MatchesEither(characters, pattern.components.front(), *path.back());
  if (pattern.components.size() != path.size()) return false;
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (!MatchesEither(characters, pattern.components[i], *path[i])) return false;
  }
  return true;
}

std::optional<std::uint32_t> EntryPatterns::MaskFor(const std::vector<const SourceEntry*>& path) const {
  std::optional<std::uint32_t> mask;
  for (const auto& [pattern, value] : masks_) {
    if (Matches(pattern, path)) mask = value;
  }
  return mask;
}

bool EntryPatterns::IsStored(const std::vector<const SourceEntry*>& path) const {
  for (const Pattern& pattern : store_) {
    if (Matches(pattern, path)) return true;
  }
  return false;
}

}  // namespace moltpack

// Short names: the upper-case 8.3 name that every entry carries beside its
// long name. The extractor's filter matches a component against either, so a
// short name must never be another sibling's short or long name, compared
// without case: README~1.TXT made for 'readme first.txt' would otherwise let
// the filter 'readme~1.txt' pick the wrong file.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/codepage.h"

namespace moltpack {

// Upper-case 8.3: a base of 1 to 8 characters, optionally a dot and 1 to 3
// more, all of them letters, digits or one of ! # $ % & ' ( ) - @ ^ _ ` { } ~.
bool IsValidShortName(const std::string& name);

// A "~N" short name for `name` (STEM~N.EXT, from its ASCII letters, digits
// and the signs above) that is not in `taken`, which holds upper-case names.
// Adds the result to `taken`.
std::string GenerateShortName(const std::string& name, const molt::platform::CodePage& characters,
                              std::set<std::string>& taken);

// GenerateShortName for many siblings: it remembers, per stem and extension,
// where the search for a free N stopped, so that thousands of names alike
// do not search from ~1 each. The names are those GenerateShortName gives:
// every N below the remembered one is taken, and `taken` only grows.
class ShortNamePicker {
 public:
  explicit ShortNamePicker(std::set<std::string>& taken) : taken_(taken) {}
  std::string Pick(const std::string& name, const molt::platform::CodePage& characters);

 private:
  std::set<std::string>& taken_;
  std::map<std::string, unsigned> nextNumber_;  // by stem and extension
};

struct EntryNames {
  std::string shortName;
  std::optional<std::string> longName;  // set where the short name is not the name
};

// The names of siblings whose output names are `names` (no two alike without
// case). A name that is an 8.3 name once upper-cased is its own short name
// (readme.txt gets README.TXT and keeps its long name); the others get a
// generated one that is none of the siblings' names without case.
std::vector<EntryNames> NameSiblings(const std::vector<std::string>& names,
                                     const molt::platform::CodePage& characters);

}  // namespace moltpack

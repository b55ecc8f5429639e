// Short names for entries whose own name cannot serve as one: an upper-case
// 8.3 name of the characters a short name may hold, made unique among its
// siblings with a "~N" tail (READ ME FIRST.TXT becomes README~1.TXT).
#pragma once

#include <set>
#include <string>

namespace moltpack {

// Upper-case 8.3: a base of 1 to 8 characters, optionally a dot and 1 to 3
// more, all of them letters, digits or one of ! # $ % & ' ( ) - @ ^ _ ` { } ~.
bool IsValidShortName(const std::string& name);

// A short name for `name` that is not in `taken` (compared as given: all
// short names are upper case). Adds the result to `taken`.
std::string GenerateShortName(const std::string& name, std::set<std::string>& taken);

}  // namespace moltpack

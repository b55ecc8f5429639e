#include "name_match.h"

namespace molt {
namespace {

// Matches one pattern character that is not a wildcard against one name
// character; on a match both move past them.
bool MatchCharacter(const platform::CodePage& characters, const char*& p, const char*& q) {
  const auto patternByte = static_cast<std::uint8_t>(p[0]);
  if (characters.IsLeadByte(patternByte)) {
    // A double-byte character matches only itself, case and all; a lead byte
    // without a trail byte matches nothing.
    if (!characters.IsDoubleByte(p) || q[0] != p[0] || q[1] != p[1]) return false;
    p += 2;
    q += 2;
    return true;
  }
  if (characters.ToUpper(patternByte) != characters.ToUpper(static_cast<std::uint8_t>(q[0]))) {
    return false;
  }
  ++p;
  ++q;
  return true;
}

}  // namespace

// '*' matches any run of characters, also none; '?' exactly one; letters
// compare without regard to case. Matched greedily with one point to go back
// to (the last '*'), which gives the same answers as trying every split
// while taking time proportional to pattern times name at worst.
bool MatchNameComponent(const platform::CodePage& characters, const char* component, const char* name) {
  const char* p = component;
  const char* q = name;
  const char* starPattern = nullptr;  // just past the last '*' run
  const char* starName = nullptr;     // where that '*' run's match now ends
  for (;;) {
    if (IsComponentEnd(p)) {
      if (IsComponentEnd(q)) return true;
    } else if (*p == '*') {
      while (*p == '*') ++p;
      starPattern = p;
      starName = q;
      continue;
    } else if (!IsComponentEnd(q)) {
      if (*p == '?') {
        ++p;
        q = characters.NextChar(q);
        continue;
      }
      if (MatchCharacter(characters, p, q)) continue;
    }
    // A mismatch: let the last '*' take one more character, if there is one.
    if (starPattern == nullptr || IsComponentEnd(starName)) return false;
    starName = characters.NextChar(starName);
    p = starPattern;
    q = starName;
  }
}

}  // namespace molt

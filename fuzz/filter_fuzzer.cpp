// libFuzzer target: the path filter's component matching and its step from
// one path level to the next, held against a plain recursive matcher written
// here from the filter's rules:
//   - a component of the pattern ends at a backslash or the NUL, and so
//     does a name;
//   - '*' matches any run of characters, none included; '?' exactly one;
//   - under code page 932 a lead byte (0x81-0x9F, 0xE0-0xFC) and a trail
//     byte after it (0x40-0x7E, 0x80-0xFC) are one character, whose two
//     bytes must be the same on both sides; a lead byte without a trail byte
//     is an incomplete character that only '?' or '*' match, and the byte
//     after it stands for itself;
//   - other bytes compare with ASCII letters upper-cased.
// Input: the first byte picks the code page (bit 0: 932); the rest is the
// pattern, a NUL, then names separated by NULs. Each string is copied into a
// buffer of its exact size, so that a read past its terminator is caught.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "context.h"
#include "fuzz_support.h"
#include "platform/codepage.h"
#include "reader.h"
#include "support/fault_platform.h"
#include "walk.h"

namespace {

using fuzz_support::Fail;

// Longer inputs tell the matcher nothing new and make the reference's
// pattern-by-name table large.
constexpr std::size_t kMaxInput = 1024;
constexpr std::size_t kMaxNames = 8;

bool IsLeadByte932(char c) {
  const auto byte = static_cast<std::uint8_t>(c);
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

bool IsTrailByte932(char c) {
  const auto byte = static_cast<std::uint8_t>(c);
  return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFC);
}

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// The characters of a pattern component or a name, up to its end.
std::vector<std::string_view> Characters(const char* text, bool shiftJis) {
  std::vector<std::string_view> characters;
  for (const char* p = text; *p != '\0' && *p != '\\';) {
    const bool pair = shiftJis && IsLeadByte932(p[0]) && IsTrailByte932(p[1]);
    const std::size_t length = pair ? 2 : 1;
    characters.emplace_back(p, length);
    p += length;
  }
  return characters;
}

class ReferenceMatch {
 public:
  ReferenceMatch(const char* component, const char* name, bool shiftJis)
      : shiftJis_(shiftJis),
        pattern_(Characters(component, shiftJis)),
        name_(Characters(name, shiftJis)),
        known_((pattern_.size() + 1) * (name_.size() + 1), kUnknown) {}

  bool Matches() { return Matches(0, 0); }

 private:
  enum Answer : std::uint8_t { kUnknown, kNo, kYes };

  bool Incomplete(std::string_view c) const {
    return shiftJis_ && c.size() == 1 && IsLeadByte932(c[0]);
  }

  bool Same(std::string_view p, std::string_view q) const {
    if (Incomplete(p) || Incomplete(q)) return false;
    if (p.size() == 2 || q.size() == 2) return p == q;
    return Upper(p[0]) == Upper(q[0]);
  }

  // Whether pattern characters from `i` on match name characters from `j` on.
  bool Matches(std::size_t i, std::size_t j) {
    Answer& known = known_[i * (name_.size() + 1) + j];
    if (known != kUnknown) return known == kYes;
    bool result = false;
    if (i == pattern_.size()) {
      result = j == name_.size();
    } else if (pattern_[i] == "*") {
      result = Matches(i + 1, j) || (j < name_.size() && Matches(i, j + 1));
    } else if (j < name_.size()) {
      result = (pattern_[i] == "?" || Same(pattern_[i], name_[j])) && Matches(i + 1, j + 1);
    }
    known = result ? kYes : kNo;
    return result;
  }

  bool shiftJis_;
  std::vector<std::string_view> pattern_;
  std::vector<std::string_view> name_;
  std::vector<Answer> known_;
};

bool Reference(const char* component, const char* name, bool shiftJis) {
  return ReferenceMatch(component, name, shiftJis).Matches();
}

std::unique_ptr<char[]> ExactCopy(std::string_view text) {
  auto copy = std::make_unique<char[]>(text.size() + 1);
  std::memcpy(copy.get(), text.data(), text.size());
  copy[text.size()] = '\0';
  return copy;
}

// Where the filter goes on after a component matched: past its characters
// and the one backslash that ends it.
const char* AfterComponent(const char* component, bool shiftJis) {
  const char* p = component;
  for (std::string_view c : Characters(component, shiftJis)) p += c.size();
  return *p == '\\' ? p + 1 : p;
}

std::string Show(const char* text) { return fuzz_support::Hex(text); }

struct Harness {
  testing_support::FaultPlatform platform;
  molt::Context context{platform};
};

Harness& TheHarness() {
  static Harness harness;
  return harness;
}

void CheckComponent(molt::Context& context, const char* pattern, const char* name, bool shiftJis) {
  const bool ours = molt::MatchComponent(context, pattern, name);
  if (ours != Reference(pattern, name, shiftJis)) {
    Fail(std::string("MatchComponent says ") + (ours ? "match" : "no match") + " for pattern " +
         Show(pattern) + " and name " + Show(name) + (shiftJis ? " (932)" : " (single-byte)"));
  }
}

// The walk's filter steps down the levels of `names`, one entry a level: the
// short name is the name's first 15 bytes, and a longer name is the long name.
void CheckSteps(molt::Context& context, const char* pattern,
                const std::vector<std::unique_ptr<char[]>>& names, bool shiftJis) {
  molt::WalkState& walk = context.walk;
  walk.FilterPattern = pattern;
  walk.FilterCursor = nullptr;
  walk.FilterMatched = false;
  const char* cursor = pattern;
  bool matched = false;
  for (const auto& name : names) {
    molt::EntryRecord entry;
    const std::size_t length = std::strlen(name.get());
    std::memcpy(entry.shortName, name.get(), std::min<std::size_t>(length, 15));
    if (length > 15) entry.longName = ExactCopy(name.get());

    molt::FilterStep expected = molt::FILTER_DONE;
    if (*cursor != '\0') {
      if (Reference(cursor, entry.shortName, shiftJis) ||
          (entry.longName && Reference(cursor, entry.longName.get(), shiftJis))) {
        cursor = AfterComponent(cursor, shiftJis);
        expected = *cursor != '\0' ? molt::FILTER_DESCEND : molt::FILTER_DONE;
        matched = matched || expected == molt::FILTER_DONE;
      } else {
        expected = molt::FILTER_MISS;
      }
    }
    const molt::FilterStep step = molt::MatchFilterStep(context, entry);
    if (step != expected || walk.FilterCursor != cursor || walk.FilterMatched != matched) {
      Fail("filter step for pattern " + Show(pattern) + " at offset " +
           std::to_string(cursor - pattern) + ", entry " + Show(entry.shortName) + " / " +
           Show(entry.longName ? entry.longName.get() : "") + ": step " + std::to_string(step) +
           " (expected " + std::to_string(expected) + "), cursor at " +
           std::to_string(walk.FilterCursor - pattern) + ", matched " +
           std::to_string(walk.FilterMatched) + (shiftJis ? " (932)" : " (single-byte)"));
    }
    if (step != molt::FILTER_DESCEND) return;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0 || size > kMaxInput) return 0;
  const bool shiftJis = (data[0] & 1) != 0;
  std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  std::vector<std::unique_ptr<char[]>> fields;
  while (fields.size() < kMaxNames + 1) {
    const std::size_t end = rest.find('\0');
    fields.push_back(ExactCopy(rest.substr(0, end)));
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
  const std::unique_ptr<char[]> pattern = std::move(fields.front());
  fields.erase(fields.begin());

  Harness& harness = TheHarness();
  harness.platform.codePage = shiftJis ? &molt::platform::ShiftJisCodePage()
                                       : &molt::platform::SingleByteCodePage();
  for (const auto& name : fields) CheckComponent(harness.context, pattern.get(), name.get(), shiftJis);
  CheckSteps(harness.context, pattern.get(), fields, shiftJis);
  return 0;
}

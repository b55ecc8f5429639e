// What molt-pack lets an entry be called: the names the extractor's systems
// refuse or change, checked in the target code page's characters.
#include <gtest/gtest.h>

#include <string>

#include "name_rules.h"
#include "platform/codepage.h"

namespace {

using molt::platform::CodePage;
using molt::platform::ShiftJisCodePage;
using molt::platform::SingleByteCodePage;

struct NameCase {
  std::string name;
  const char* refusal;  // a word of the reason, or null where the name is fine
  const CodePage* characters = &SingleByteCodePage();
};

TEST(NameRules, RefusesWhatWindowsRefusesOrChanges) {
  const NameCase cases[] = {
      // Devices, in any case, with any extension, with blanks before a dot.
      {"aux.c", "device"}, {"con.txt", "device"}, {"NUL", "device"}, {"COM1.log", "device"},
      {"lpt9", "device"}, {"Prn.tar.gz", "device"}, {"CON .txt", "device"}, {"nul .x", "device"},
      {"com9", "device"},
      // Blanks and dots at the end are dropped by the system.
      {"NUL ", "blank or a dot"}, {"aux.", "blank or a dot"}, {"a.", "blank or a dot"}, {"b ", "blank or a dot"},
      {"x. ", "blank or a dot"},
      {".", "cannot name"}, {"..", "cannot name"},
      {"a\\b", "'\\'"}, {"a/b", "'/'"}, {"c:d", "':'"}, {"a*", "'*'"}, {"a?", "'?'"}, {"say \"hi\"", "'\"'"},
      {"<a>", "'<'"}, {"a|b", "'|'"}, {"tab\there", "0x09"}, {std::string("nul\0byte", 8), "0x00"},
      {"\x1F", "0x1F"}, {std::string(256, 'n'), "255"},
      // Fine names, also near the device names.
      {"CONS", nullptr}, {"a.con", nullptr}, {"COM0", nullptr}, {"COM10", nullptr}, {"LPT", nullptr},
      {".profile", nullptr}, {"readme first.txt", nullptr}, {std::string(255, 'n'), nullptr}, {"a\x7F", nullptr},
      // Code page 932: a trail byte 0x5C or 0x7C is part of its character.
      {"\x83\x5C.txt", nullptr, &ShiftJisCodePage()}, {"\x95\x5C", nullptr, &ShiftJisCodePage()},
      {"\x83\x7C", nullptr, &ShiftJisCodePage()},
      {"\x83\x5C.txt", "'\\'"}, {"\x83\x7C", "'|'"},
      // A lead byte before a byte that cannot trail stands alone.
      {"\x83/", "'/'", &ShiftJisCodePage()}, {"\x83:", "':'", &ShiftJisCodePage()},
  };
  for (const NameCase& c : cases) {
    const std::optional<std::string> refusal = moltpack::NameRefusal(c.name, *c.characters);
    if (c.refusal == nullptr) {
      EXPECT_FALSE(refusal) << c.name << ": " << refusal.value_or("");
    } else {
      ASSERT_TRUE(refusal) << c.name;
      EXPECT_NE(refusal->find(c.refusal), std::string::npos) << c.name << ": " << *refusal;
    }
  }
}

struct FoldingCase {
  std::string a;
  std::string b;
  bool same;
  const CodePage* characters = &SingleByteCodePage();
};

TEST(NameRules, CaseFoldsOnlySingleByteLetters) {
  const FoldingCase cases[] = {
      {"readme.txt", "README.TXT", true},
      {"Read Me", "rEAD mE", true},
      {"a", "b", false},
      {"\xE9", "\xC9", false},  // no letters beyond ASCII
      // Two katakana whose trail bytes are 'A' and 'a'.
      {"\x83\x41", "\x83\x61", false, &ShiftJisCodePage()},
      {"\x83\x41", "\x83\x61", true},
      {"\x83\x41x", "\x83\x41X", true, &ShiftJisCodePage()},
  };
  for (const FoldingCase& c : cases) {
    EXPECT_EQ(moltpack::FoldCase(c.a, *c.characters) == moltpack::FoldCase(c.b, *c.characters), c.same)
        << c.a << " / " << c.b;
  }
}

}  // namespace

// Characters of the code pages: what makes a double-byte character, and how
// scans step over names.
#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>

#include "platform/codepage.h"

namespace {

using molt::platform::CodePage;

TEST(CodePageTest, ShiftJisTrailBytesAre40To7EAnd80ToFC) {
  const CodePage& page = molt::platform::ShiftJisCodePage();
  struct Case {
    std::uint8_t byte;
    bool trails;
  };
  for (const Case& test : std::initializer_list<Case>{
           {0x00, false}, {0x2F, false}, {0x3A, false}, {0x3F, false}, {0x40, true},
           {0x5C, true},  {0x7E, true},  {0x7F, false}, {0x80, true},  {0xFC, true},
           {0xFD, false}, {0xFF, false}}) {
    EXPECT_EQ(page.IsTrailByte(test.byte), test.trails) << std::hex << int{test.byte};
  }
}

// A lead byte and the byte after it are one character only when that byte
// can trail; otherwise the lead byte stands alone and the scan sees the next.
TEST(CodePageTest, NextCharTakesALeadByteAloneBeforeAByteThatCannotTrail) {
  const CodePage& page = molt::platform::ShiftJisCodePage();
  struct Case {
    const char* text;
    std::ptrdiff_t length;
  };
  for (const Case& test : std::initializer_list<Case>{
           {"\x81\x40", 2},
           {"\x95\\", 2},  // a backslash trail byte belongs to its character
           {"\xFC\xFC", 2},
           {"\x81/", 1},
           {"\x81:", 1},
           {"\x81?", 1},
           {"\x81\x7F", 1},
           {"\x81", 1},  // the terminator is never taken
           {"a", 1},
       }) {
    EXPECT_EQ(page.NextChar(test.text) - test.text, test.length) << test.text;
  }
  const char* pair = "\x81\x40";
  EXPECT_EQ(molt::platform::SingleByteCodePage().NextChar(pair), pair + 1);
}

TEST(CodePageTest, FindLastSeesASeparatorAfterALoneLeadByte) {
  const CodePage& page = molt::platform::ShiftJisCodePage();
  const char* text = "a\x81/b";
  EXPECT_EQ(page.FindLast(text, '/'), text + 2);
  EXPECT_EQ(page.FindLast("a\x95\\b", '\\'), nullptr);
}

}  // namespace

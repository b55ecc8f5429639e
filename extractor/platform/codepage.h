// Characters of a multibyte ANSI code page: which bytes lead a double-byte
// character, and the upper-case mapping of single-byte characters. Path and
// name scans step by whole characters, so the trail byte of a double-byte
// character is never taken for a separator, a wildcard or a '@'.
#pragma once

#include <cstdint>

namespace molt::platform {

class CodePage {
 public:
  virtual ~CodePage() = default;
  virtual bool IsLeadByte(std::uint8_t byte) const = 0;
  // Upper case of a single-byte character; other bytes come back unchanged.
  virtual std::uint8_t ToUpper(std::uint8_t byte) const = 0;

  // The character after the one at `text`. A lead byte followed by the
  // terminator counts as one byte, so a scan never passes the NUL.
  const char* NextChar(const char* text) const {
    if (IsLeadByte(static_cast<std::uint8_t>(*text)) && text[1] != '\0') return text + 2;
    return text + 1;
  }
  // The last occurrence of the single-byte character `c` in `text`, or null.
  const char* FindLast(const char* text, char c) const {
    const char* found = nullptr;
    for (; *text != '\0'; text = NextChar(text)) {
      if (*text == c) found = text;
    }
    return found;
  }
};

// No lead bytes; ASCII letters upper-cased. The default where the system has
// no ANSI code page.
const CodePage& SingleByteCodePage();
// Code page 932: lead bytes 0x81-0x9F and 0xE0-0xFC; ASCII letters upper-cased.
const CodePage& ShiftJisCodePage();

}  // namespace molt::platform

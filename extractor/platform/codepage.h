// Characters of a multibyte ANSI code page: which bytes lead and which may
// trail a double-byte character, and the upper-case mapping of single-byte
// characters. Path and name scans step by whole characters, so the trail byte
// of a double-byte character is never taken for a separator, a wildcard or a
// '@'; a lead byte without a valid trail byte is one character on its own, so
// the byte after it is seen as what it is.
#pragma once

#include <cstdint>

namespace molt::platform {

class CodePage {
 public:
  virtual ~CodePage() = default;
  virtual bool IsLeadByte(std::uint8_t byte) const = 0;
  // Whether the byte may stand second in a double-byte character. No byte
  // below 0x40 ever does: NUL, the separators, '.', ':' and the wildcards
  // always stand for themselves.
  virtual bool IsTrailByte(std::uint8_t byte) const = 0;
  // Upper case of a single-byte character; other bytes come back unchanged.
  virtual std::uint8_t ToUpper(std::uint8_t byte) const = 0;

  // Whether a double-byte character starts at `text`: a lead byte and a
  // valid trail byte. The terminator is no trail byte, so a scan never
  // passes the NUL.
  bool IsDoubleByte(const char* text) const {
    return IsLeadByte(static_cast<std::uint8_t>(text[0])) &&
           IsTrailByte(static_cast<std::uint8_t>(text[1]));
  }
  // The character after the one at `text`.
  const char* NextChar(const char* text) const { return text + (IsDoubleByte(text) ? 2 : 1); }
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
// Code page 932: lead bytes 0x81-0x9F and 0xE0-0xFC, trail bytes 0x40-0x7E
// and 0x80-0xFC; ASCII letters upper-cased.
const CodePage& ShiftJisCodePage();

}  // namespace molt::platform

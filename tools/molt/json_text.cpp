#include "json_text.h"

#include "system_text.h"

namespace moltcli {
namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

// The length of the valid UTF-8 sequence at the start of `text`, or 0 when
// its first byte starts none: no overlong forms, no surrogates, nothing
// above U+10FFFF.
std::size_t Utf8SequenceLength(std::string_view text) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char first = byte(0);
  if (first < 0x80) return 1;
  std::size_t length;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;  // the range of the second byte
  if (first >= 0xC2 && first <= 0xDF) {
    length = 2;
  } else if (first >= 0xE0 && first <= 0xEF) {
    length = 3;
    if (first == 0xE0) low = 0xA0;   // no overlong forms
    if (first == 0xED) high = 0x9F;  // no surrogates
  } else if (first >= 0xF0 && first <= 0xF4) {
    length = 4;
    if (first == 0xF0) low = 0x90;   // no overlong forms
    if (first == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  if (byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  }
  return length;
}

}  // namespace

Utf8Text Utf8OrReplacement(std::string_view bytes) {
  Utf8Text result;
  while (!bytes.empty()) {
    const std::size_t length = Utf8SequenceLength(bytes);
    if (length == 0) {
      result.text += "\xEF\xBF\xBD";  // U+FFFD
      result.exact = false;
      bytes.remove_prefix(1);
    } else {
      result.text.append(bytes.substr(0, length));
      bytes.remove_prefix(length);
    }
  }
  return result;
}

std::string JsonString(std::string_view utf8) {
  std::string json = "\"";
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto byte = static_cast<unsigned char>(utf8[i]);
    switch (byte) {
      case '"': json += "\\\""; continue;
      case '\\': json += "\\\\"; continue;
      case '\b': json += "\\b"; continue;
      case '\f': json += "\\f"; continue;
      case '\n': json += "\\n"; continue;
      case '\r': json += "\\r"; continue;
      case '\t': json += "\\t"; continue;
      default: break;
    }
    if (byte < 0x20 || byte == 0x7F) {
      json += "\\u00";
      json += kHexDigits[byte >> 4];
      json += kHexDigits[byte & 0x0F];
    } else if (byte == 0xE2 && utf8.substr(i + 1, 1) == "\x80" &&
               (utf8.substr(i + 2, 1) == "\xA8" || utf8.substr(i + 2, 1) == "\xA9")) {
      json += utf8[i + 2] == '\xA8' ? "\\u2028" : "\\u2029";
      i += 2;
    } else {
      json += static_cast<char>(byte);
    }
  }
  return json + "\"";
}

std::string HexBytes(std::string_view bytes) {
  std::string hex;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    hex += kHexDigits[byte >> 4];
    hex += kHexDigits[byte & 0x0F];
  }
  return hex;
}

}  // namespace moltcli

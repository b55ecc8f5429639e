// Pieces of the JSON listing: strings that are always valid JSON, whatever
// bytes a pack's names hold.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace moltcli {

// A JSON string literal, quotes included, of valid UTF-8 text: '"', '\' and
// control characters escaped (\n, \t..., else \u00XX), and U+2028 and
// U+2029 as \u2028 and \u2029 so that the document is also valid JavaScript.
std::string JsonString(std::string_view utf8);

// Lower-case hex digits of every byte.
std::string HexBytes(std::string_view bytes);

}  // namespace moltcli

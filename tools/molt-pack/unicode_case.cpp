#include "unicode_case.h"

#include <cstddef>

namespace moltpack {
namespace {

// Lower-case letters from `first` to `last` (every other one where
// `alternating`: the pairs of Latin Extended-A and Cyrillic), each `shift`
// from its upper case.
struct LowerCaseRun {
  char32_t first;
  char32_t last;
  int shift;
  bool alternating;
};

constexpr LowerCaseRun kLowerCaseRuns[] = {
    {0x0061, 0x007A, -32, false},   // a-z
    {0x00B5, 0x00B5, 743, false},   // micro sign: Greek capital mu
    {0x00E0, 0x00F6, -32, false},   // à-ö
    {0x00F8, 0x00FE, -32, false},   // ø-þ
    {0x00FF, 0x00FF, 121, false},   // ÿ: Ÿ
    {0x0101, 0x012F, -1, true},     // ā-į
    {0x0133, 0x0137, -1, true},     // ĳ-ķ
    {0x013A, 0x0148, -1, true},     // ĺ-ň
    {0x014B, 0x0177, -1, true},     // ŋ-ŷ
    {0x017A, 0x017E, -1, true},     // ź-ž
    {0x03AC, 0x03AC, -38, false},   // ά
    {0x03AD, 0x03AF, -37, false},   // έ-ί
    {0x03B1, 0x03C1, -32, false},   // α-ρ
    {0x03C2, 0x03C2, -31, false},   // final sigma: Σ
    {0x03C3, 0x03CB, -32, false},   // σ-ϋ
    {0x03CC, 0x03CC, -64, false},   // ό
    {0x03CD, 0x03CE, -63, false},   // ύ-ώ
    {0x03E3, 0x03EF, -1, true},     // Coptic letters of the Greek block
    {0x0430, 0x044F, -32, false},   // а-я
    {0x0450, 0x045F, -80, false},   // ѐ-џ
    {0x0461, 0x0481, -1, true},     // ѡ-ҁ
    {0x048B, 0x04BF, -1, true},     // ҋ-ҿ
    {0x04C2, 0x04CE, -1, true},     // ӂ-ӎ
    {0x04CF, 0x04CF, -15, false},   // palochka: Ӏ
    {0x04D1, 0x052F, -1, true},     // ӑ-ԯ
    {0xFF41, 0xFF5A, -32, false},   // full-width ａ-ｚ
};

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The character at `at`, moving `at` past it; nothing for a malformed,
// overlong or surrogate sequence, or one past U+10FFFF.
std::optional<char32_t> DecodeOne(const std::string& text, std::size_t& at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  std::size_t length = 0;
  char32_t character = 0;
  if (lead < 0x80) {
    length = 1;
    character = lead;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    character = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    character = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    character = lead & 0x07;
  } else {
    return std::nullopt;
  }
  if (text.size() - at < length) return std::nullopt;
  for (std::size_t i = 1; i < length; ++i) {
    const auto byte = static_cast<unsigned char>(text[at + i]);
    if (!IsContinuation(byte)) return std::nullopt;
    character = (character << 6) | (byte & 0x3F);
  }
  static constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
  if (character < kLeast[length] || character > 0x10FFFF) return std::nullopt;
  if (character >= 0xD800 && character <= 0xDFFF) return std::nullopt;
  at += length;
  return character;
}

void EncodeOne(char32_t character, std::string& out) {
  if (character < 0x80) {
    out.push_back(static_cast<char>(character));
  } else if (character < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (character >> 6)));
    out.push_back(static_cast<char>(0x80 | (character & 0x3F)));
  } else if (character < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (character >> 12)));
    out.push_back(static_cast<char>(0x80 | ((character >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (character & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (character >> 18)));
    out.push_back(static_cast<char>(0x80 | ((character >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((character >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (character & 0x3F)));
  }
}

}  // namespace

char32_t UpperCaseLetter(char32_t character) {
  for (const LowerCaseRun& run : kLowerCaseRuns) {
    if (character < run.first || character > run.last) continue;
    if (run.alternating && (character - run.first) % 2 != 0) return character;
    return static_cast<char32_t>(static_cast<long>(character) + run.shift);
  }
  return character;
}

std::optional<std::string> UpperCaseUtf8(const std::string& name) {
  std::string upper;
  upper.reserve(name.size());
  for (std::size_t at = 0; at < name.size();) {
    const std::optional<char32_t> character = DecodeOne(name, at);
    if (!character) return std::nullopt;
    EncodeOne(UpperCaseLetter(*character), upper);
  }
  return upper;
}

}  // namespace moltpack

// Reading plain pack bytes in tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/pack_format.h"

inline std::uint16_t U16At(const std::string& bytes, std::size_t offset) {
  return static_cast<std::uint16_t>(static_cast<std::uint8_t>(bytes.at(offset)) |
                                    (static_cast<std::uint8_t>(bytes.at(offset + 1)) << 8));
}

inline std::uint32_t U32At(const std::string& bytes, std::size_t offset) {
  return U16At(bytes, offset) | (static_cast<std::uint32_t>(U16At(bytes, offset + 2)) << 16);
}

// The key byte for an offset of a volume file, taken from the masked form
// the extractor keeps, so the writer's scrambling is checked against it.
inline std::uint8_t KeyByteAt(std::size_t fileOffset) {
  return molt::kMaskedScrambleKey[fileOffset % molt::kScrambleKeySize] ^ molt::kScrambleKeyMask;
}

// A scrambled volume file back to plain bytes, by the key of each offset.
inline std::string Unscrambled(const std::string& volume) {
  std::string plain = volume;
  for (std::size_t i = 0; i < plain.size(); ++i) {
    plain[i] = static_cast<char>(static_cast<std::uint8_t>(plain[i]) ^ KeyByteAt(i));
  }
  return plain;
}

// The constant tables of RFC 1951 that both decoding loops use.
#pragma once

#include <cstdint>

namespace molt::inflate {

inline constexpr unsigned kEndOfBlock = 256;
inline constexpr unsigned kFirstLengthSymbol = 257;
inline constexpr unsigned kLastLengthSymbol = 285;  // length 258, no extra bits
inline constexpr unsigned kLastDistanceSymbol = 29;
inline constexpr unsigned kMaxMatch = 258;

// Length symbols 257 to 284 (section 3.2.5); 285 is handled apart.
inline constexpr std::uint16_t kLengthBase[28] = {3,  4,  5,  6,   7,   8,   9,   10, 11, 13,
                                                  15, 17, 19, 23,  27,  31,  35,  43, 51, 59,
                                                  67, 83, 99, 115, 131, 163, 195, 227};
inline constexpr std::uint8_t kLengthExtra[28] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2,
                                                  2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5};

// Distance symbols 0 to 29.
inline constexpr std::uint16_t kDistanceBase[30] = {
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
inline constexpr std::uint8_t kDistanceExtra[30] = {0, 0, 0,  0,  1,  1,  2,  2,  3,  3,
                                                    4, 4, 5,  5,  6,  6,  7,  7,  8,  8,
                                                    9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// The order in which a dynamic block gives the code-length code's lengths
// (section 3.2.7).
inline constexpr std::uint8_t kCodeLengthOrder[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                      11, 4,  12, 3, 13, 2, 14, 1, 15};

// Fixed code lengths (section 3.2.6).
constexpr std::uint8_t FixedLitLenLength(unsigned symbol) {
  return symbol < 144 ? 8 : symbol < 256 ? 9 : symbol < 280 ? 7 : 8;
}
inline constexpr std::uint8_t kFixedDistanceLength = 5;

// 2^n - 1 for n = 0 to 8.
inline constexpr std::uint8_t kBitMask[9] = {0x00, 0x01, 0x03, 0x07, 0x0F, 0x1F, 0x3F, 0x7F, 0xFF};

// The canonical code assignment (section 3.2.2): counts the symbols of each
// code length (1 to 16; 0 has no code), then turns each count into the first
// code of that length in place.
inline void CountCodeLengths(const std::uint8_t* lengths, unsigned count,
                             std::uint32_t codes[17]) {
  for (unsigned length = 0; length <= 16; ++length) codes[length] = 0;
  for (unsigned symbol = 0; symbol < count; ++symbol) ++codes[lengths[symbol]];
  codes[0] = 0;
}

inline void CountsToFirstCodes(std::uint32_t codes[17]) {
  std::uint32_t next = 0;
  for (unsigned length = 1; length <= 16; ++length) {
    next <<= 1;
    const std::uint32_t lengthCount = codes[length];
    codes[length] = next;
    next += lengthCount;
  }
}

// A code's bits in stream order: the stream delivers a code's first bit
// first, and the bit buffer holds it in bit 0. Codes have at most 16 bits.
struct ByteReversal {
  std::uint8_t reversed[256];
  constexpr ByteReversal() : reversed() {
    for (unsigned byte = 0; byte < 256; ++byte) {
      unsigned value = 0;
      for (unsigned bit = 0; bit < 8; ++bit) value |= ((byte >> bit) & 1) << (7 - bit);
      reversed[byte] = static_cast<std::uint8_t>(value);
    }
  }
};
inline constexpr ByteReversal kByteReversal;

constexpr std::uint32_t ReverseBits(std::uint32_t code, unsigned length) {
  const std::uint32_t reversed16 = (std::uint32_t{kByteReversal.reversed[code & 0xFF]} << 8) |
                                   kByteReversal.reversed[(code >> 8) & 0xFF];
  return reversed16 >> (16 - length);
}

}  // namespace molt::inflate

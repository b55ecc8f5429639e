// The folding form of the CRC-32 (crc32_forms.h) on processors the library
// has none for: never supported, so never chosen; the entries fall back to
// the sliced form should anything call them.
#include "crc32_forms.h"

namespace molt::crc32_forms {

bool FoldingSupported() { return false; }

std::uint32_t CrcByFolding(std::uint32_t crcRegister, const std::uint8_t* data,
                           std::size_t length) {
  return CrcBySlices(crcRegister, data, length);
}

std::uint32_t DescrambleAndCrcByFolding(const std::uint8_t lineKey[16], const std::uint8_t* source,
                                        std::uint8_t* destination, std::size_t length,
                                        std::uint32_t crcRegister) {
  for (std::size_t i = 0; i < length; ++i) destination[i] = source[i] ^ lineKey[i % 16];
  return CrcBySlices(crcRegister, destination, length);
}

}  // namespace molt::crc32_forms

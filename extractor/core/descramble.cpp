#include "descramble.h"

#include <algorithm>
#include <cstring>

#include "crc32.h"
#include "crc32_forms.h"
#include "pack_format.h"
#include "reader.h"

namespace molt {
namespace {

// Bytes XORed in one step: the key twice over, so that a compiler may use
// one wide vector or two narrower ones.
constexpr std::size_t kLine = 2 * kScrambleKeySize;
constexpr std::size_t kLineWords = kLine / sizeof(std::uint64_t);

// The key lined up with a span: byte i goes with the span's byte i, and with
// every byte a whole number of lines after it.
struct LineKey {
  std::uint8_t bytes[kLine];
};

LineKey LineUp(const std::uint8_t* key, std::uint64_t position) {
  const unsigned first = static_cast<unsigned>(position % kScrambleKeySize);
  LineKey line;
  for (unsigned i = 0; i < kLine; ++i) line.bytes[i] = key[(first + i) % kScrambleKeySize];
  return line;
}

// Whole lines as machine words (memcpy, so any alignment will do), then the
// rest byte by byte. `destination` may be `source` itself.
void XorLines(const LineKey& line, const std::uint8_t* source, std::uint8_t* destination,
              std::size_t length) {
  std::uint64_t keyWords[kLineWords];
  std::memcpy(keyWords, line.bytes, kLine);
  std::size_t done = 0;
  for (; length - done >= kLine; done += kLine) {
    std::uint64_t words[kLineWords];
    std::memcpy(words, source + done, kLine);
    for (std::size_t w = 0; w < kLineWords; ++w) words[w] ^= keyWords[w];
    std::memcpy(destination + done, words, kLine);
  }
  for (std::size_t i = 0; done < length; ++done, ++i) {
    destination[done] = source[done] ^ line.bytes[i];
  }
}

// Without folding, descrambling and the CRC-32 take turns over pieces small
// enough to stay in the first-level cache. A whole number of lines, so the
// line key stays as it is.
constexpr std::size_t kTwoPassPiece = 16384;
static_assert(kTwoPassPiece % kLine == 0);

}  // namespace

const std::uint8_t* ReadyScrambleKey(ReaderState& reader) {
  if (!reader.KeyReady) {
    for (std::uint8_t& keyByte : reader.ScrambleKey) keyByte ^= kScrambleKeyMask;
    reader.KeyReady = true;
  }
  return reader.ScrambleKey;
}

void DescrambleSpan(const std::uint8_t* key, std::uint64_t position, std::uint8_t* bytes,
                    std::size_t length) {
  XorLines(LineUp(key, position), bytes, bytes, length);
}

std::uint32_t DescrambleAndCrc(const std::uint8_t* key, std::uint64_t position,
                               const std::uint8_t* source, std::uint8_t* destination,
                               std::size_t length, std::uint32_t crcRegister) {
  const LineKey line = LineUp(key, position);
  if (crc32_forms::ActiveCrcForm() == crc32_forms::CrcForm::Folding) {
    return crc32_forms::DescrambleAndCrcByFolding(line.bytes, source, destination, length,
                                                  crcRegister);
  }
  for (std::size_t done = 0; done < length; done += kTwoPassPiece) {
    const std::size_t piece = std::min(kTwoPassPiece, length - done);
    XorLines(line, source + done, destination + done, piece);
    crcRegister = CarryCrc32(crcRegister, destination + done, piece);
  }
  return crcRegister;
}

}  // namespace molt

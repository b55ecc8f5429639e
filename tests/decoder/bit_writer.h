// Builds DEFLATE streams bit by bit, for streams no compressor would write.
#pragma once

#include <cstdint>
#include <vector>

namespace decoder_test {

class BitWriter {
 public:
  // A field of `count` bits, least significant bit first.
  BitWriter& Bits(std::uint32_t value, unsigned count);
  // A Huffman code of `length` bits, most significant bit first.
  BitWriter& Code(std::uint32_t code, unsigned length);
  // Zero bits up to the next byte boundary.
  BitWriter& AlignToByte();
  BitWriter& Byte(std::uint8_t value) { return Bits(value, 8); }

  std::size_t bitCount() const { return bitCount_; }
  // The bytes so far, the last one padded with zero bits.
  const std::vector<std::uint8_t>& bytes() const { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
  std::size_t bitCount_ = 0;
};

// A prefix code given by its lengths, with the canonical codes of RFC 1951
// section 3.2.2 (over-subscribed lengths simply get overlapping codes).
struct Huffman {
  explicit Huffman(std::vector<std::uint8_t> codeLengths);
  void Put(BitWriter& writer, unsigned symbol) const;

  std::vector<std::uint8_t> lengths;
  std::vector<std::uint32_t> codes;
};

Huffman FixedLitLenCode();
Huffman FixedDistanceCode();
// A complete code-length code: symbols 0-12 of 4 bits, 13-18 of 5 bits.
Huffman StandardCodeLengthCode();
// Complete codes of the largest counts: 286 literal/length symbols of 8
// and 9 bits, 30 distance symbols of 4 and 5 bits.
Huffman WidestLitLenCode();
Huffman WidestDistanceCode();

// Block headers: the final bit and the type.
void PutBlockHeader(BitWriter& writer, bool final, unsigned type);

// A match: its length symbol and extra bits, then its distance symbol and
// extra bits.
void PutMatch(BitWriter& writer, const Huffman& litLen, const Huffman& distance, unsigned length,
              unsigned distanceValue);

// One code-length symbol of a dynamic header with the value of its extra
// bits (16: 2 bits, 17: 3 bits, 18: 7 bits).
struct CodeLengthSymbol {
  unsigned symbol;
  unsigned extra = 0;
};

// Everything of a dynamic block before its symbols: HLIT, HDIST, HCLEN (19
// lengths), the code-length code's lengths in their stream order, and the
// code-length symbols.
void PutDynamicHeader(BitWriter& writer, unsigned litLenCount, unsigned distanceCount,
                      const Huffman& codeLengthCode, const std::vector<CodeLengthSymbol>& symbols);

// The same, with every code length written as its own symbol.
void PutDynamicCodes(BitWriter& writer, const Huffman& litLen, const Huffman& distance);

}  // namespace decoder_test

#include "decoder/bit_writer.h"

#include <algorithm>

#include "inflate_tables.h"

namespace decoder_test {

using namespace molt::inflate;

BitWriter& BitWriter::Bits(std::uint32_t value, unsigned count) {
  for (unsigned i = 0; i < count; ++i) {
    if (bitCount_ % 8 == 0) bytes_.push_back(0);
    if ((value >> i) & 1)
      bytes_.back() = static_cast<std::uint8_t>(bytes_.back() | (1u << (bitCount_ % 8)));
    ++bitCount_;
  }
  return *this;
}

BitWriter& BitWriter::Code(std::uint32_t code, unsigned length) {
  for (unsigned i = length; i-- > 0;) Bits((code >> i) & 1, 1);
  return *this;
}

BitWriter& BitWriter::AlignToByte() {
  while (bitCount_ % 8 != 0) Bits(0, 1);
  return *this;
}

Huffman::Huffman(std::vector<std::uint8_t> codeLengths) : lengths(std::move(codeLengths)) {
  std::uint32_t count[17] = {};
  for (auto length : lengths) ++count[length];
  count[0] = 0;
  std::uint32_t next[17] = {};
  std::uint32_t code = 0;
  for (unsigned length = 1; length <= 16; ++length) {
    code = (code + count[length - 1]) << 1;
    next[length] = code;
  }
  codes.resize(lengths.size());
  for (std::size_t symbol = 0; symbol < lengths.size(); ++symbol) {
    if (lengths[symbol] != 0) codes[symbol] = next[lengths[symbol]]++;
  }
}

void Huffman::Put(BitWriter& writer, unsigned symbol) const {
  writer.Code(codes.at(symbol), lengths.at(symbol));
}

Huffman FixedLitLenCode() {
  std::vector<std::uint8_t> lengths(288);
  for (unsigned symbol = 0; symbol < 288; ++symbol) lengths[symbol] = FixedLitLenLength(symbol);
  return Huffman(lengths);
}

Huffman FixedDistanceCode() { return Huffman(std::vector<std::uint8_t>(32, kFixedDistanceLength)); }

Huffman StandardCodeLengthCode() {
  std::vector<std::uint8_t> lengths(19, 4);
  for (unsigned symbol = 13; symbol < 19; ++symbol) lengths[symbol] = 5;
  return Huffman(lengths);
}

Huffman WidestLitLenCode() {
  std::vector<std::uint8_t> lengths(286, 9);
  std::fill(lengths.begin(), lengths.begin() + 226, 8);
  return Huffman(lengths);
}

Huffman WidestDistanceCode() {
  std::vector<std::uint8_t> lengths(30, 5);
  lengths[0] = lengths[1] = 4;
  return Huffman(lengths);
}

void PutBlockHeader(BitWriter& writer, bool final, unsigned type) {
  writer.Bits(final ? 1 : 0, 1).Bits(type, 2);
}

void PutMatch(BitWriter& writer, const Huffman& litLen, const Huffman& distance, unsigned length,
              unsigned distanceValue) {
  if (length == kMaxMatch) {
    litLen.Put(writer, kLastLengthSymbol);
  } else {
    unsigned index = 27;
    while (kLengthBase[index] > length) --index;
    litLen.Put(writer, kFirstLengthSymbol + index);
    writer.Bits(length - kLengthBase[index], kLengthExtra[index]);
  }
  unsigned index = 29;
  while (kDistanceBase[index] > distanceValue) --index;
  distance.Put(writer, index);
  writer.Bits(distanceValue - kDistanceBase[index], kDistanceExtra[index]);
}

void PutDynamicHeader(BitWriter& writer, unsigned litLenCount, unsigned distanceCount,
                      const Huffman& codeLengthCode, const std::vector<CodeLengthSymbol>& symbols) {
  writer.Bits(litLenCount - 257, 5).Bits(distanceCount - 1, 5).Bits(19 - 4, 4);
  for (unsigned i = 0; i < 19; ++i) writer.Bits(codeLengthCode.lengths[kCodeLengthOrder[i]], 3);
  for (const auto& entry : symbols) {
    codeLengthCode.Put(writer, entry.symbol);
    if (entry.symbol == 16) writer.Bits(entry.extra, 2);
    if (entry.symbol == 17) writer.Bits(entry.extra, 3);
    if (entry.symbol == 18) writer.Bits(entry.extra, 7);
  }
}

void PutDynamicCodes(BitWriter& writer, const Huffman& litLen, const Huffman& distance) {
  std::vector<CodeLengthSymbol> symbols;
  for (auto length : litLen.lengths) symbols.push_back({length});
  for (auto length : distance.lengths) symbols.push_back({length});
  PutDynamicHeader(writer, static_cast<unsigned>(litLen.lengths.size()),
                   static_cast<unsigned>(distance.lengths.size()), StandardCodeLengthCode(),
                   symbols);
}

}  // namespace decoder_test

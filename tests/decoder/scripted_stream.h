// A DEFLATE stream written block by block and symbol by symbol, together
// with the output it must decode to: for streams that drive the decoder
// through cases no compressor would pick on purpose.
#pragma once

#include <cstdint>
#include <vector>

#include "decoder/bit_writer.h"

namespace decoder_test {

using Bytes = std::vector<std::uint8_t>;

class ScriptedStream {
 public:
  ScriptedStream();

  void Stored(const Bytes& data, bool final = false);
  // Begins a block of fixed codes, or of these dynamic ones (each complete or
  // not, as the test needs), with its header and code lengths.
  void BeginFixed(bool final);
  void BeginDynamic(bool final, const Huffman& litLen, const Huffman& distance);
  void Literal(std::uint8_t byte);
  void Literals(const Bytes& bytes);
  // A match of `length` (3 to 258) from `distance` (1 to 32768) back, which
  // must not reach before the stream's first byte.
  void Match(unsigned length, unsigned distance);
  // Any symbol of the block's literal/length code, with the extra bits of a
  // length (below 2^extra) and, for a length, a distance symbol and its extra
  // bits: for codes whose symbols are chosen by the test.
  void Symbol(unsigned litLenSymbol, unsigned lengthExtra = 0, unsigned distanceSymbol = 0,
              unsigned distanceExtra = 0);
  void EndBlock();

  const Bytes& packed() const { return writer_.bytes(); }
  const Bytes& expected() const { return expected_; }
  std::uint32_t expectedSize() const { return static_cast<std::uint32_t>(expected_.size()); }

 private:
  void Repeat(unsigned length, unsigned distance);

  BitWriter writer_;
  Bytes expected_;
  Huffman litLen_;
  Huffman distance_;
};

}  // namespace decoder_test

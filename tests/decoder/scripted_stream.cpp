#include "decoder/scripted_stream.h"

#include <stdexcept>

#include "inflate_tables.h"

namespace decoder_test {

using namespace molt::inflate;

ScriptedStream::ScriptedStream() : litLen_(FixedLitLenCode()), distance_(FixedDistanceCode()) {}

void ScriptedStream::Stored(const Bytes& data, bool final) {
  PutBlockHeader(writer_, final, 0);
  writer_.AlignToByte();
  const auto length = static_cast<std::uint32_t>(data.size());
  writer_.Bits(length, 16).Bits(~length & 0xFFFF, 16);
  for (std::uint8_t byte : data) writer_.Byte(byte);
  expected_.insert(expected_.end(), data.begin(), data.end());
}

void ScriptedStream::BeginFixed(bool final) {
  PutBlockHeader(writer_, final, 1);
  litLen_ = FixedLitLenCode();
  distance_ = FixedDistanceCode();
}

void ScriptedStream::BeginDynamic(bool final, const Huffman& litLen, const Huffman& distance) {
  PutBlockHeader(writer_, final, 2);
  PutDynamicCodes(writer_, litLen, distance);
  litLen_ = litLen;
  distance_ = distance;
}

void ScriptedStream::Literal(std::uint8_t byte) {
  litLen_.Put(writer_, byte);
  expected_.push_back(byte);
}

void ScriptedStream::Literals(const Bytes& bytes) {
  for (std::uint8_t byte : bytes) Literal(byte);
}

void ScriptedStream::Match(unsigned length, unsigned distance) {
  PutMatch(writer_, litLen_, distance_, length, distance);
  Repeat(length, distance);
}

void ScriptedStream::Symbol(unsigned litLenSymbol, unsigned lengthExtra, unsigned distanceSymbol,
                            unsigned distanceExtra) {
  if (litLenSymbol < kEndOfBlock) {
    Literal(static_cast<std::uint8_t>(litLenSymbol));
    return;
  }
  if (litLenSymbol == kEndOfBlock) {
    EndBlock();
    return;
  }
  // Written as given: 284 with all its extra bits set is 258 too.
  unsigned length = kMaxMatch;
  litLen_.Put(writer_, litLenSymbol);
  if (litLenSymbol != kLastLengthSymbol) {
    const unsigned index = litLenSymbol - kFirstLengthSymbol;
    length = kLengthBase[index] + lengthExtra;
    writer_.Bits(lengthExtra, kLengthExtra[index]);
  }
  distance_.Put(writer_, distanceSymbol);
  writer_.Bits(distanceExtra, kDistanceExtra[distanceSymbol]);
  Repeat(length, kDistanceBase[distanceSymbol] + distanceExtra);
}

void ScriptedStream::Repeat(unsigned length, unsigned distance) {
  if (distance > expected_.size()) throw std::logic_error("match before the stream's start");
  for (unsigned i = 0; i < length; ++i) expected_.push_back(expected_[expected_.size() - distance]);
}

void ScriptedStream::EndBlock() { litLen_.Put(writer_, kEndOfBlock); }

}  // namespace decoder_test

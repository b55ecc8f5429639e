// Raw DEFLATE (RFC 1951) decoding of one compressed entry, from the reader's
// input buffer into a 32768-byte output window that is flushed to the output
// file. All state lives in DecoderState; the decoder never touches the heap.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace molt {

struct Context;

inline constexpr std::uint32_t kWindowSize = 32768;

// One Huffman code in decoding form: a 256-entry table over the next 8 bits
// of the stream, and a pool of nodes for codes longer than 8 bits. Entries
// and children 0x0000-0x7FFF are symbols; 0x8000-0xFFFF refer to node ~value.
struct DecodeNode {
  std::uint16_t zero;
  std::uint16_t one;
};

template <unsigned LengthCount, unsigned NodeCount>
struct CodeTables {
  std::uint8_t lengths[LengthCount];
  std::uint16_t table[256];
  DecodeNode nodes[NodeCount > 0 ? NodeCount : 1];
};

struct DecoderState {
  std::uint32_t InputLeft = 0;   // packed bytes of the entry not yet taken
  bool PastEnd = false;          // a fill byte has been supplied
  std::uint16_t BitBuffer = 0;   // unread bits; bit 0 is the next one
  std::uint8_t BitCount = 0;     // valid bits above the low 8
  bool FinalBlock = false;
  std::uint32_t OutputLeft = 0;  // bytes the entry may still produce
  std::uint32_t OutputPos = 0;   // next byte of OutputWindow; bytes waiting to be written
  platform::FileHandle OutputHandle = platform::kInvalidFile;
  std::uint16_t LengthCounts[17] = {};
  CodeTables<288, 576> LitLenCode = {};
  CodeTables<32, 64> DistCode = {};
  CodeTables<19, 0> CodeLenCode = {};
  std::uint8_t OutputWindow[kWindowSize] = {};
};

// Decodes one entry whose data starts at the reader's next byte. `packedSize`
// bytes are taken from the reader; more than `originalSize` bytes of output is
// bad data. Raises 34 on bad data (after writing what was decoded), and lets
// the reader's and the writer's codes pass.
void InflateMember(Context& context, std::uint32_t packedSize, std::uint32_t originalSize);

// Runs the waiting bytes of the window through the CRC and writes them to
// OutputHandle. Raises 44 when they cannot all be written.
void FlushOutputWindow(Context& context);

}  // namespace molt

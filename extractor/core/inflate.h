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
// An entry or child that no code reaches holds 0 and reads as symbol 0.
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

// The same code prepared for the fast loop (inflate_fast.cpp): a table over
// the first `RootBits` bits of the stream whose entries give the symbol's
// meaning, its code length and its extra bits at once, followed by
// subtables for longer codes. Only complete codes get one; see
// BuildFastCodes.
template <unsigned RootBits, unsigned Capacity>
struct FastTable {
  std::uint32_t entries[Capacity];
};

// Capacities: the root table and room for its subtables, each sized for the
// longest code under its root entry. A canonical code gives its longer codes
// the last root entries in order of length, so each subtable holds about as
// many codes as it has entries; over every complete code of up to 15 bits
// the most this layout needs is 2342 entries for 288 lengths and 402 for 32
// (found by trying every count of long codes). The builder still checks
// every code against them and leaves one that does not fit to the plain loop.
using FastLitLenTable = FastTable<11, 2342>;
using FastDistTable = FastTable<8, 402>;

// Room after the window for a match that the fast loop starts before the
// window's end: its longest length and the bytes that its wide stores may
// write past it.
inline constexpr std::uint32_t kWindowOverrun = 258 + 32;

// The history and the room for eight windows after it, and the overrun
// after the last (see DecoderState::OutputArena): the history is copied
// once every eight windows instead of at every flush.
inline constexpr std::uint32_t kOutputArenaSize = 9 * kWindowSize + kWindowOverrun;

// Why a block was rejected (error 34). Kept so that a rejection can be told
// apart from the others; every one of them ends the entry alike.
enum class BadData : std::uint8_t {
  None,
  BlockType,       // block type 3
  StoredLength,    // LEN is not the one's complement of NLEN
  CodeCounts,      // HLIT + 257 above 286 or HDIST + 1 above 30
  OverSubscribed,  // more codes of some lengths than the code space holds
  RepeatPastEnd,   // a repeat runs past the last code length of the block
  UnusedCode,      // the bits reach no code and symbol 0 has none either
  LengthSymbol,    // literal/length symbol 286 or 287
  DistanceSymbol,  // distance symbol 30 or 31
  OutputTooLong,   // more output than the entry's original size
  InputPastEnd,    // the stream runs on more than a byte past its packed size
};

struct DecoderState {
  std::uint32_t InputLeft = 0;  // packed bytes of the entry not yet taken
  bool PastEnd = false;         // the 0x00 fill byte has been supplied
  bool LookAheadFilled = false;  // and after it the one 0x01 fill byte
  std::uint16_t BitBuffer = 0;  // unread bits; bit 0 is the next one
  std::uint8_t BitCount = 0;    // valid bits above the low 8
  bool FinalBlock = false;
  BadData Rejection = BadData::None;  // why the last entry was rejected
  std::uint32_t OutputLeft = 0;       // bytes the entry may still produce
  std::uint32_t OutputPos = 0;        // next byte of the window; bytes waiting to be written
  platform::FileHandle OutputHandle = platform::kInvalidFile;
  CodeTables<288, 576> LitLenCode = {};
  CodeTables<32, 64> DistCode = {};
  CodeTables<19, 0> CodeLenCode = {};
  // The codes held (LitLenCode, DistCode) are the fixed ones, as the last
  // fixed block built them; they stay for the next fixed block.
  bool FixedCodesHeld = false;
  // The codes held as fast tables, when both are complete.
  bool FastCodesReady = false;
  FastLitLenTable FastLitLen = {};
  FastDistTable FastDist = {};
  // The output window and, before it, the history: the window as it stood
  // when it was last written out. Byte i of the window is
  // OutputWindow()[i] below OutputPos and OutputWindow()[i - kWindowSize]
  // from there on, so the byte `distance` back is always at
  // OutputWindow() + OutputPos - distance. Both live in one arena: a full
  // window becomes the history where it stands and the next one starts
  // after it, so the history is copied only when the arena's end is reached
  // (see KeepWindowAsHistory). Zero when the library is loaded.
  std::uint32_t WindowStart = kWindowSize;
  std::uint8_t OutputArena[kOutputArenaSize] = {};

  std::uint8_t* OutputWindow() { return OutputArena + WindowStart; }
};

// Decodes one entry whose data starts at the reader's next byte. Exactly
// `packedSize` bytes are taken from the reader: a stream that needs more is
// bad data, and what a stream leaves after its end is passed over. More than
// `originalSize` bytes of output is bad data. Raises 34 on bad data (after
// writing what was decoded), and lets the reader's and the writer's codes
// pass.
void InflateMember(Context& context, std::uint32_t packedSize, std::uint32_t originalSize);

// Runs the waiting bytes of the window through the CRC and writes them to
// OutputHandle. Raises 44 when they cannot all be written.
void FlushOutputWindow(Context& context);

}  // namespace molt

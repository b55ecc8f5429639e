// Raw DEFLATE decoding of one entry, written as plain steps over a 16-bit bit
// buffer that always holds at least 8 unread bits.
//
// Steps of one entry (InflateMember):
//   start     window position, CRC register, byte counts; the first byte
//   blocks    InflateBlock until the final block has ended or one is bad
//   flush     the waiting part of the window goes to the output file
//   verdict   a bad block raises 34 only now, after the flush
//
// Everything that comes from the pack is hostile: block types, lengths,
// counts, code lengths and symbols are all checked before they are used, and
// every rejection records its own reason (BadData). Output is bounded by the
// entry's original size, so a stream that never ends, or that keeps decoding
// on the fill bytes past its packed size, stops with 34.
//
// The loop over literal/length symbols hands most of its work to the fast
// loop of inflate_fast.cpp whenever both codes are complete and the entry's
// bound leaves room for a longest match: that loop takes the symbols whose
// bits are in the reader's buffer. The plain loop here is the reference: it
// decodes every symbol the fast loop declines, and the two give the same
// bytes, CRC, reader position and errors.
//
// The window is kept in an arena with the history before it
// (DecoderState::OutputArena), so that the source of every match lies in one
// run of bytes before its destination.
#include "inflate.h"

#include <algorithm>
#include <cstring>

#include "context.h"
#include "crc32.h"
#include "errors.h"
#include "inflate_fast.h"
#include "inflate_tables.h"
#include "output.h"
#include "reader.h"

namespace molt {

using namespace inflate;

namespace {

constexpr int kBlockEnded = 0;
constexpr int kBlockBad = 1;
constexpr int kNoSymbol = -1;

int Reject(DecoderState& decoder, BadData reason) {
  decoder.Rejection = reason;
  return kBlockBad;
}

// ---------------------------------------------------------------------------
// Input: bytes of the entry, then bits

// Thrown by NextInputByte when the stream runs on past its packed bytes and
// fill bytes; InflateMember turns it into bad data.
struct InputOverrun {};

// One byte of the entry by the reader's stream byte rule. Past the entry's
// packed bytes the first demand gets 0x00 and the next 0x01, taken from
// nowhere: a well-formed stream asks for exactly one byte beyond its last, as
// the look-ahead of the bit buffer, and a stream whose packed size leaves out
// a last 0x00 byte asks for one more. A further demand can only come from a
// stream that runs on past its packed bytes: that is bad data, not made-up
// output written until the original size is reached.
std::uint8_t NextInputByte(Context& context) {
  DecoderState& decoder = context.decoder;
  if (decoder.InputLeft == 0) {
    if (!decoder.PastEnd) {
      decoder.PastEnd = true;
      return 0x00;
    }
    if (decoder.LookAheadFilled) throw InputOverrun{};
    decoder.LookAheadFilled = true;
    return 0x01;
  }
  --decoder.InputLeft;
  return ReadInputByte(context, context.reader);
}

// The next n (at most 8) bits of the stream, not yet dropped.
std::uint32_t LowBits(const DecoderState& decoder, unsigned n) {
  return decoder.BitBuffer & kBitMask[n];
}

// Drops n (at most 8) bits, taking at most one byte to keep 8 bits ahead.
// Callers never pass more: code lengths reach it only from table entries
// (8 bits at most) and wider fields go through ReadWideBits.
void DropBits(Context& context, unsigned n) {
  DecoderState& decoder = context.decoder;
  if (n <= decoder.BitCount) {
    decoder.BitBuffer = static_cast<std::uint16_t>(decoder.BitBuffer >> n);
    decoder.BitCount = static_cast<std::uint8_t>(decoder.BitCount - n);
    return;
  }
  n -= decoder.BitCount;
  std::uint32_t buffer = decoder.BitBuffer >> decoder.BitCount;
  buffer |= std::uint32_t{NextInputByte(context)} << 8;
  decoder.BitBuffer = static_cast<std::uint16_t>(buffer >> n);
  decoder.BitCount = static_cast<std::uint8_t>(8 - n);
}

// Reads and drops a field of n (at most 8) bits.
std::uint32_t ReadBits(Context& context, unsigned n) {
  const std::uint32_t value = LowBits(context.decoder, n);
  DropBits(context, n);
  return value;
}

// Reads and drops a field of up to 16 bits: its low 8 bits, then the rest.
std::uint32_t ReadWideBits(Context& context, unsigned n) {
  if (n <= 8) return ReadBits(context, n);
  const std::uint32_t low = ReadBits(context, 8);
  return low | (ReadBits(context, n - 8) << 8);
}

// ---------------------------------------------------------------------------
// Output into the window

// Puts one byte at OutputPos; false when the entry has no room left for it.
bool PutByte(Context& context, std::uint8_t byte) {
  DecoderState& decoder = context.decoder;
  if (decoder.OutputLeft == 0) return false;
  --decoder.OutputLeft;
  decoder.OutputWindow()[decoder.OutputPos++] = byte;
  if (decoder.OutputPos == kWindowSize) FlushOutputWindow(context);
  return true;
}

// Copies `length` bytes from `distance` (1 to 32768) back, in chunks that end
// where the window is full. Bytes are copied one at a time in order, so a
// distance shorter than the length repeats what this copy has just written.
// False when the entry's bound stops the copy; the bytes before the bound
// are written.
bool CopyMatch(Context& context, std::uint32_t length, std::uint32_t distance) {
  DecoderState& decoder = context.decoder;
  while (length > 0) {
    const std::uint32_t chunk =
        std::min({kWindowSize - decoder.OutputPos, length, decoder.OutputLeft});
    if (chunk == 0) return false;  // only the bound leaves no room
    std::uint8_t* const destination = decoder.OutputWindow() + decoder.OutputPos;
    const std::uint8_t* const source = destination - distance;
    for (std::uint32_t i = 0; i < chunk; ++i) destination[i] = source[i];
    length -= chunk;
    decoder.OutputLeft -= chunk;
    decoder.OutputPos += chunk;
    if (decoder.OutputPos == kWindowSize) FlushOutputWindow(context);
  }
  return true;
}

// Moves as many bytes of a stored block as the reader's buffer, the entry's
// packed and original sizes and the window allow at once; 0 when a byte has
// to come one at a time (a refill, a fill byte or the bound).
std::uint32_t CopyStoredRun(Context& context, std::uint32_t length) {
  DecoderState& decoder = context.decoder;
  ReaderState& reader = context.reader;
  const std::uint32_t run = std::min({length, std::uint32_t{reader.InputCount}, decoder.InputLeft,
                                      kWindowSize - decoder.OutputPos, decoder.OutputLeft});
  if (run == 0) return 0;
  std::memcpy(decoder.OutputWindow() + decoder.OutputPos, reader.InputPointer, run);
  reader.InputPointer += run;
  reader.InputCount = static_cast<std::uint16_t>(reader.InputCount - run);
  decoder.InputLeft -= run;
  decoder.OutputLeft -= run;
  decoder.OutputPos += run;
  if (decoder.OutputPos == kWindowSize) FlushOutputWindow(context);
  return run;
}

// Makes the first `count` (at most 32768) bytes of the window being filled
// part of the history, as the window stands once they are in place: a new
// entry starts at the window's first byte again, and a match that reaches
// back past it reads the window as it stands, not the bytes written last.
// A full window simply becomes the history, and the next one starts after
// it; the `keep` bytes that follow it (the fast loop's run past a full
// window) begin the next one. Fewer bytes, which only an entry's end
// leaves, are copied over the start of the history, as the window they
// were written into stands.
void KeepWindowAsHistory(DecoderState& decoder, std::uint32_t count, std::uint32_t keep) {
  std::uint8_t* const window = decoder.OutputWindow();
  if (count < kWindowSize) {
    std::memcpy(window - kWindowSize, window, count);
    return;
  }
  decoder.WindowStart += kWindowSize;
  if (decoder.WindowStart + kWindowSize + kWindowOverrun <= kOutputArenaSize) return;
  std::memmove(decoder.OutputArena, window, kWindowSize + keep);
  decoder.WindowStart = kWindowSize;
}

// ---------------------------------------------------------------------------
// Huffman codes

enum class CodeShape { OverSubscribed, Incomplete, Complete };

// Builds the decoding form of a code from its lengths (each 0 to 15; the
// callers never store more). The lengths are the stream's, so the code
// space they use is counted first: an over-subscribed code is refused before
// anything is built, which keeps every code prefix-free, so a long code never
// meets an entry that holds a symbol and the node pool (ample for any
// prefix-free code) never runs out. Both are checked all the same. Codes
// that leave patterns unused are built; those patterns read as symbol 0.
template <unsigned LengthCount, unsigned NodeCount>
CodeShape BuildDecodeTable(CodeTables<LengthCount, NodeCount>& code) {
  std::uint32_t nextCode[17];  // counts per length, then next codes
  CountCodeLengths(code.lengths, LengthCount, nextCode);

  std::int32_t spaceLeft = 1;
  for (unsigned length = 1; length <= 16; ++length) {
    spaceLeft = spaceLeft * 2 - static_cast<std::int32_t>(nextCode[length]);
    if (spaceLeft < 0) return CodeShape::OverSubscribed;
  }
  CountsToFirstCodes(nextCode);

  std::fill(std::begin(code.table), std::end(code.table), std::uint16_t{0});
  unsigned freeNode = 0;  // each node is emptied as it is handed out
  for (unsigned symbol = 0; symbol < LengthCount; ++symbol) {
    const unsigned length = code.lengths[symbol];
    if (length == 0) continue;
    const std::uint32_t reversed = ReverseBits(nextCode[length]++, length);
    if (length <= 8) {
      for (std::uint32_t i = reversed; i < 256; i += 1u << length) {
        code.table[i] = static_cast<std::uint16_t>(symbol);
      }
      continue;
    }
    // Bits 1-8 pick the table entry, bits 9 to length-1 walk the nodes, and
    // the last bit picks the child that receives the symbol.
    std::uint16_t* slot = &code.table[reversed & 0xFF];
    std::uint32_t rest = reversed >> 8;
    for (unsigned bit = 9; bit <= length; ++bit) {
      if (*slot == 0) {
        if (freeNode == NodeCount) return CodeShape::OverSubscribed;
        code.nodes[freeNode] = DecodeNode{0, 0};
        *slot = static_cast<std::uint16_t>(~freeNode);
        ++freeNode;
      } else if (*slot < 0x8000) {
        return CodeShape::OverSubscribed;
      }
      DecodeNode& node = code.nodes[static_cast<std::uint16_t>(~*slot)];
      slot = (rest & 1) != 0 ? &node.one : &node.zero;
      rest >>= 1;
    }
    *slot = static_cast<std::uint16_t>(symbol);
  }
  return spaceLeft == 0 ? CodeShape::Complete : CodeShape::Incomplete;
}

// Decodes one symbol: one table lookup for the first 8 bits, then one node
// per further bit. A pattern that no code reaches reads as symbol 0 and drops
// what symbol 0's length says (in the table) or the bits walked (in the
// nodes). The result is kNoSymbol, so that decoding never stands still,
// when symbol 0 has no code either, and when its code is longer than 8 bits:
// such a code lives in the nodes, so a table entry that reads as symbol 0
// cannot be its pattern, and its length is more than one drop can take.
template <unsigned LengthCount, unsigned NodeCount>
int DecodeSymbol(Context& context, const CodeTables<LengthCount, NodeCount>& code) {
  DecoderState& decoder = context.decoder;
  std::uint16_t value = code.table[LowBits(decoder, 8)];
  if (value < 0x8000) {
    const unsigned length = code.lengths[value];
    if (length == 0 || length > 8) return kNoSymbol;
    DropBits(context, length);
    return value;
  }
  DropBits(context, 8);
  while (value >= 0x8000) {
    const DecodeNode& node = code.nodes[static_cast<std::uint16_t>(~value)];
    value = (decoder.BitBuffer & 1) != 0 ? node.one : node.zero;
    DropBits(context, 1);
  }
  return code.lengths[value] == 0 ? kNoSymbol : value;
}

// Builds both codes of a block and, when both are complete, their fast
// tables; false when either code is over-subscribed.
bool BuildBlockCodes(DecoderState& decoder) {
  decoder.FastCodesReady = false;
  const CodeShape litLen = BuildDecodeTable(decoder.LitLenCode);
  const CodeShape distance = BuildDecodeTable(decoder.DistCode);
  if (litLen == CodeShape::OverSubscribed || distance == CodeShape::OverSubscribed) return false;
  if (litLen == CodeShape::Complete && distance == CodeShape::Complete) {
    decoder.FastCodesReady = BuildFastCodes(decoder);
  }
  return true;
}

// ---------------------------------------------------------------------------
// Blocks

// Length of a match from its symbol (257 to 285) and extra bits.
std::uint32_t MatchLength(Context& context, int symbol) {
  if (symbol == static_cast<int>(kLastLengthSymbol)) return kMaxMatch;
  const unsigned index = static_cast<unsigned>(symbol) - kFirstLengthSymbol;
  return kLengthBase[index] + ReadBits(context, kLengthExtra[index]);
}

// Literal, length and distance symbols up to the end of the block.
int InflateCodes(Context& context) {
  DecoderState& decoder = context.decoder;
  for (;;) {
    if (decoder.FastCodesReady) {
      const bool ended = InflateCodesFast(decoder, context.reader);
      // The fast loop may have run on past the window's end; what it wrote
      // there goes out as soon as the window is full, as the plain loop's
      // bytes do.
      if (decoder.OutputPos >= kWindowSize) FlushOutputWindow(context);
      if (ended) return kBlockEnded;
    }

    const int symbol = DecodeSymbol(context, decoder.LitLenCode);
    if (symbol == kNoSymbol) return Reject(decoder, BadData::UnusedCode);
    if (symbol < static_cast<int>(kEndOfBlock)) {
      if (!PutByte(context, static_cast<std::uint8_t>(symbol))) {
        return Reject(decoder, BadData::OutputTooLong);
      }
      continue;
    }
    if (symbol == static_cast<int>(kEndOfBlock)) return kBlockEnded;
    if (symbol > static_cast<int>(kLastLengthSymbol)) return Reject(decoder, BadData::LengthSymbol);
    const std::uint32_t length = MatchLength(context, symbol);

    const int distanceSymbol = DecodeSymbol(context, decoder.DistCode);
    if (distanceSymbol == kNoSymbol) return Reject(decoder, BadData::UnusedCode);
    if (distanceSymbol > static_cast<int>(kLastDistanceSymbol)) {
      return Reject(decoder, BadData::DistanceSymbol);
    }
    const std::uint32_t distance =
        kDistanceBase[distanceSymbol] + ReadWideBits(context, kDistanceExtra[distanceSymbol]);
    if (!CopyMatch(context, length, distance)) return Reject(decoder, BadData::OutputTooLong);
  }
}

int InflateStored(Context& context) {
  DecoderState& decoder = context.decoder;
  if (decoder.BitCount > 0) DropBits(context, decoder.BitCount);  // to the byte boundary
  std::uint32_t length = ReadBits(context, 8);
  length |= ReadBits(context, 8) << 8;
  std::uint32_t complement = ReadBits(context, 8);
  complement |= LowBits(decoder, 8) << 8;  // the look-ahead byte: taken, not dropped
  if (length != (~complement & 0xFFFF)) return Reject(decoder, BadData::StoredLength);

  while (length > 0) {
    if (decoder.OutputLeft == 0) return Reject(decoder, BadData::OutputTooLong);
    std::uint32_t run = CopyStoredRun(context, length);
    if (run == 0) {
      PutByte(context, NextInputByte(context));
      run = 1;
    }
    length -= run;
  }
  decoder.BitBuffer = NextInputByte(context);
  decoder.BitCount = 0;
  return kBlockEnded;
}

// The fixed codes are built when a fixed block follows anything else and
// kept for the fixed blocks after it, in this entry and the next: a stream
// of empty fixed blocks costs what its bits cost, not a table build each.
int InflateFixed(Context& context) {
  DecoderState& decoder = context.decoder;
  if (!decoder.FixedCodesHeld) {
    for (unsigned symbol = 0; symbol < 288; ++symbol) {
      decoder.LitLenCode.lengths[symbol] = FixedLitLenLength(symbol);
    }
    std::fill(std::begin(decoder.DistCode.lengths), std::end(decoder.DistCode.lengths),
              kFixedDistanceLength);
    BuildBlockCodes(decoder);  // the fixed codes are complete
    decoder.FixedCodesHeld = true;
  }
  return InflateCodes(context);
}

// Reads `total` code lengths of a dynamic block as one sequence: a repeat
// may run on from the literal/length lengths into the distance lengths, but
// not past the last of them. Before the first length the previous length
// is 0.
int ReadCodeLengths(Context& context, std::uint8_t* lengths, std::uint32_t total) {
  DecoderState& decoder = context.decoder;
  std::uint32_t stored = 0;
  std::uint8_t previous = 0;
  while (stored < total) {
    const int symbol = DecodeSymbol(context, decoder.CodeLenCode);
    if (symbol == kNoSymbol) return Reject(decoder, BadData::UnusedCode);
    if (symbol < 16) {
      previous = static_cast<std::uint8_t>(symbol);
      lengths[stored++] = previous;
      continue;
    }
    std::uint32_t repeat = 0;
    if (symbol == 16) {
      repeat = 3 + ReadBits(context, 2);
    } else if (symbol == 17) {
      repeat = 3 + ReadBits(context, 3);
      previous = 0;
    } else {
      repeat = 11 + ReadBits(context, 7);
      previous = 0;
    }
    if (repeat > total - stored) return Reject(decoder, BadData::RepeatPastEnd);
    std::memset(lengths + stored, previous, repeat);
    stored += repeat;
  }
  return kBlockEnded;
}

int InflateDynamic(Context& context) {
  DecoderState& decoder = context.decoder;
  // The block's own code lengths replace the codes held, whatever becomes of it.
  decoder.FixedCodesHeld = false;
  decoder.FastCodesReady = false;
  const std::uint32_t litLenCount = ReadBits(context, 5) + 257;
  const std::uint32_t distanceCount = ReadBits(context, 5) + 1;
  const std::uint32_t codeLengthCount = ReadBits(context, 4) + 4;
  if (litLenCount > 286 || distanceCount > 30) return Reject(decoder, BadData::CodeCounts);

  std::fill(std::begin(decoder.CodeLenCode.lengths), std::end(decoder.CodeLenCode.lengths),
            std::uint8_t{0});
  for (std::uint32_t i = 0; i < codeLengthCount; ++i) {
    decoder.CodeLenCode.lengths[kCodeLengthOrder[i]] =
        static_cast<std::uint8_t>(ReadBits(context, 3));
  }
  if (BuildDecodeTable(decoder.CodeLenCode) == CodeShape::OverSubscribed) {
    return Reject(decoder, BadData::OverSubscribed);
  }

  std::uint8_t lengths[286 + 30];
  const int result = ReadCodeLengths(context, lengths, litLenCount + distanceCount);
  if (result != kBlockEnded) return result;
  auto* litLenEnd = std::copy_n(lengths, litLenCount, decoder.LitLenCode.lengths);
  std::fill(litLenEnd, std::end(decoder.LitLenCode.lengths), std::uint8_t{0});
  auto* distanceEnd = std::copy_n(lengths + litLenCount, distanceCount, decoder.DistCode.lengths);
  std::fill(distanceEnd, std::end(decoder.DistCode.lengths), std::uint8_t{0});
  if (!BuildBlockCodes(decoder)) return Reject(decoder, BadData::OverSubscribed);
  return InflateCodes(context);
}

// One block header and its block.
int InflateBlock(Context& context) {
  DecoderState& decoder = context.decoder;
  // BFINAL, then BTYPE: one read of both.
  const std::uint32_t header = ReadBits(context, 3);
  decoder.FinalBlock = (header & 1) != 0;
  switch (header >> 1) {
    case 0:
      return InflateStored(context);
    case 1:
      return InflateFixed(context);
    case 2:
      return InflateDynamic(context);
    default:
      return Reject(decoder, BadData::BlockType);
  }
}

}  // namespace

void InflateMember(Context& context, std::uint32_t packedSize, std::uint32_t originalSize) {
  DecoderState& decoder = context.decoder;
  // Bytes that an entry ended by an error left unwritten are history all the
  // same, up to the window's end: what the fast loop decoded past it, before
  // a write of the full window failed, the plain loop would never have
  // decoded.
  KeepWindowAsHistory(decoder, std::min(decoder.OutputPos, kWindowSize), 0);
  decoder.OutputPos = 0;
  UpdateCrc32(context.RunningCrc, nullptr, 0);
  decoder.PastEnd = false;
  decoder.LookAheadFilled = false;
  decoder.FinalBlock = false;
  decoder.Rejection = BadData::None;
  decoder.InputLeft = packedSize;
  decoder.OutputLeft = originalSize;
  decoder.BitBuffer = NextInputByte(context);
  decoder.BitCount = 0;

  int result = kBlockEnded;
  try {
    do {
      result = InflateBlock(context);
    } while (result == kBlockEnded && !decoder.FinalBlock);
  } catch (const InputOverrun&) {
    result = Reject(decoder, BadData::InputPastEnd);
  }

  FlushOutputWindow(context);
  if (result != kBlockEnded) RaiseError(ERR_INPUT_FORMAT);
  // Packed bytes that the stream left after its end are passed over, as a
  // skip of the entry would pass them: the next record starts where the
  // packed size says, in every reading of the pack.
  SkipInput(context, decoder.InputLeft);
  decoder.InputLeft = 0;
}

void FlushOutputWindow(Context& context) {
  DecoderState& decoder = context.decoder;
  // At most a whole window goes out; the fast loop's bytes past its end
  // begin the next one.
  const std::uint32_t flushed = std::min(decoder.OutputPos, kWindowSize);
  if (flushed == 0) return;
  const std::uint8_t* data = decoder.OutputWindow();
  UpdateCrc32(context.RunningCrc, data, static_cast<std::uint16_t>(flushed));
  // Every byte counted in the CRC goes out, or the entry ends with 44.
  WriteOutputBytes(context, data, flushed);
  const std::uint32_t runOn = decoder.OutputPos - flushed;
  KeepWindowAsHistory(decoder, flushed, runOn);
  decoder.OutputPos = runOn;
}

}  // namespace molt

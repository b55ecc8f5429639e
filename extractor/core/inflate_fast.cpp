// The fast loop over a block's symbols.
//
// Why it exists: the plain loop (inflate.cpp) takes one input byte per drop
// and walks one node per bit beyond the eighth, which costs several times
// what the data needs. This loop keeps 56 to 63 bits in a 64-bit buffer,
// refilled from the reader's buffer with one unaligned load per symbol, and
// resolves each code with one lookup (two for codes longer than the root
// table). It is a faster way of doing exactly what the plain loop does.
//
// Entry conditions, checked before every symbol:
//   - both codes of the block are complete (no unused patterns, whose plain
//     meaning depends on symbol 0's length); BuildBlockCodes sees to that;
//   - the reader's buffer holds at least 8 more bytes of the entry, so the
//     loop never refills, never reads past the entry and never meets a fill
//     byte;
//   - a longest match (258 bytes) and 8 bytes after it fit before the
//     window's end, and the match fits within the entry's bound, so the
//     window is never flushed here and the bound is never reached;
//   - the bit buffer holds what the plain loop keeps there: 8 bits and
//     BitCount (0 to 7) more.
// A symbol with no meaning (literal/length 286, 287, distance 30, 31) is not
// taken: the loop returns with the state from before it, and the plain loop
// rejects it. On return, whole bytes that the plain loop would not yet have
// taken are given back to the reader, so that its position and the bit
// buffer are what the plain loop leaves after the same symbols.
#include "inflate_fast.h"

#include <algorithm>
#include <cstring>

#include "inflate_tables.h"

namespace molt::inflate {

namespace {

// A fast table entry:
//   bits 0-4    length of the code (of a link: the root bits)
//   bits 5-7    kind
//   bits 8-11   extra bits that follow the code (of a link: the subtable's bits)
//   bits 16-31  literal byte, length or distance base, or subtable start
enum EntryKind : std::uint32_t { kLiteral = 0, kMatch = 1, kEnd = 2, kLink = 3, kInvalid = 4 };

constexpr std::uint32_t MakeEntry(EntryKind kind, unsigned extra, unsigned value) {
  return (std::uint32_t{kind} << 5) | (extra << 8) | (value << 16);
}
constexpr unsigned CodeLength(std::uint32_t entry) { return entry & 0x1F; }
constexpr EntryKind Kind(std::uint32_t entry) { return static_cast<EntryKind>((entry >> 5) & 7); }
constexpr unsigned Extra(std::uint32_t entry) { return (entry >> 8) & 0xF; }
constexpr unsigned Value(std::uint32_t entry) { return entry >> 16; }

std::uint32_t LitLenMeaning(unsigned symbol) {
  if (symbol < kEndOfBlock) return MakeEntry(kLiteral, 0, symbol);
  if (symbol == kEndOfBlock) return MakeEntry(kEnd, 0, 0);
  if (symbol == kLastLengthSymbol) return MakeEntry(kMatch, 0, kMaxMatch);
  if (symbol > kLastLengthSymbol) return MakeEntry(kInvalid, 0, 0);
  const unsigned index = symbol - kFirstLengthSymbol;
  return MakeEntry(kMatch, kLengthExtra[index], kLengthBase[index]);
}

std::uint32_t DistanceMeaning(unsigned symbol) {
  if (symbol > kLastDistanceSymbol) return MakeEntry(kInvalid, 0, 0);
  return MakeEntry(kMatch, kDistanceExtra[symbol], kDistanceBase[symbol]);
}

// Fills the table of a complete code. Codes up to the root bits fill every
// root entry whose low bits they are; longer codes share one subtable per
// root entry, sized for the longest code under it, and fill it the same way.
// A complete code leaves no entry unfilled.
template <unsigned RootBits, unsigned Capacity>
bool BuildFastTable(const std::uint8_t* lengths, unsigned count, std::uint32_t (*meaning)(unsigned),
                    FastTable<RootBits, Capacity>& table) {
  constexpr unsigned kRootSize = 1u << RootBits;
  std::uint32_t nextCode[17];
  CountCodeLengths(lengths, count, nextCode);
  CountsToFirstCodes(nextCode);

  std::uint16_t reversed[288];
  std::uint8_t longest[kRootSize] = {};
  for (unsigned symbol = 0; symbol < count; ++symbol) {
    const unsigned length = lengths[symbol];
    if (length == 0) continue;
    reversed[symbol] = static_cast<std::uint16_t>(ReverseBits(nextCode[length]++, length));
    if (length > RootBits) {
      std::uint8_t& deepest = longest[reversed[symbol] & (kRootSize - 1)];
      deepest = std::max(deepest, static_cast<std::uint8_t>(length));
    }
  }

  std::uint32_t* const entries = table.entries;
  std::uint32_t subtableStart = kRootSize;
  for (unsigned root = 0; root < kRootSize; ++root) {
    if (longest[root] == 0) continue;
    const unsigned subtableBits = longest[root] - RootBits;
    if (subtableStart + (1u << subtableBits) > Capacity) return false;
    entries[root] = MakeEntry(kLink, subtableBits, subtableStart) | RootBits;
    subtableStart += 1u << subtableBits;
  }

  for (unsigned symbol = 0; symbol < count; ++symbol) {
    const unsigned length = lengths[symbol];
    if (length == 0) continue;
    const std::uint32_t entry = meaning(symbol) | length;
    if (length <= RootBits) {
      for (std::uint32_t i = reversed[symbol]; i < kRootSize; i += 1u << length) entries[i] = entry;
      continue;
    }
    const std::uint32_t link = entries[reversed[symbol] & (kRootSize - 1)];
    const std::uint32_t subtableSize = 1u << Extra(link);
    for (std::uint32_t i = reversed[symbol] >> RootBits; i < subtableSize;
         i += 1u << (length - RootBits)) {
      entries[Value(link) + i] = entry;
    }
  }
  return true;
}

template <unsigned RootBits, unsigned Capacity>
std::uint32_t LookUp(const FastTable<RootBits, Capacity>& table, std::uint64_t bits) {
  const std::uint32_t entry = table.entries[bits & ((1u << RootBits) - 1)];
  if (Kind(entry) != kLink) return entry;
  const std::uint32_t index =
      static_cast<std::uint32_t>(bits >> RootBits) & ((1u << Extra(entry)) - 1);
  return table.entries[Value(entry) + index];
}

std::uint64_t LoadLittleEndian64(const std::uint8_t* bytes) {
  std::uint64_t value = 0;
  for (unsigned i = 0; i < 8; ++i) value |= std::uint64_t{bytes[i]} << (8 * i);
  return value;
}

// A load, then a store: the two ranges may overlap (a source that lies a
// whole window ahead is the destination itself).
void Copy8(std::uint8_t* destination, const std::uint8_t* source) {
  std::uint64_t bytes;
  std::memcpy(&bytes, source, 8);
  std::memcpy(destination, &bytes, 8);
}

// An exact copy of a match whose source lies ahead near the window's end
// and may run on to its start: first the part up to the window's end, then
// the rest from the start, byte by byte where it overlaps what it writes.
void CopyNearWindowEnd(std::uint8_t* window, std::uint32_t position, std::uint32_t length,
                       std::uint32_t distance) {
  std::uint8_t* destination = window + position;
  const std::uint32_t source = position + kWindowSize - distance;
  const std::uint32_t ahead = std::min(length, kWindowSize - source);
  std::memmove(destination, window + source, ahead);
  // The rest reads from the window's start: position + i is at least the distance.
  for (std::uint32_t i = ahead; i < length; ++i) destination[i] = window[position + i - distance];
}

// Copies a match at `position` with the result of a forward byte-by-byte
// copy: a distance shorter than the length repeats bytes that this copy has
// just written. It moves 8 bytes at a time and may write up to 7 bytes past
// the match; those bytes are history that later distances may still refer
// to, so they are saved first and put back afterwards. The caller leaves 8
// bytes of room after the match.
void CopyMatchFast(std::uint8_t* window, std::uint32_t position, std::uint32_t length,
                   std::uint32_t distance) {
  std::uint8_t* const destination = window + position;
  std::uint8_t saved[8];
  std::memcpy(saved, destination + length, 8);
  if (distance <= position) {
    const std::uint8_t* const source = destination - distance;
    if (distance >= 8) {
      // Each load reads only bytes already in place.
      for (std::uint32_t i = 0; i < length; i += 8) Copy8(destination + i, source + i);
    } else if (distance == 1) {
      std::uint64_t pattern = 0x0101010101010101ull * source[0];
      for (std::uint32_t i = 0; i < length; i += 8) std::memcpy(destination + i, &pattern, 8);
    } else {
      // The output repeats every `distance` bytes, so also every `period`
      // bytes, a multiple of it of at least 8: once the first period is in
      // place, 8-byte loads read only bytes already in place.
      const std::uint32_t period = distance * ((8 + distance - 1) / distance);
      std::uint32_t i = 0;
      for (; i < length && i < period; ++i) destination[i] = source[i];
      for (; i < length; i += 8) Copy8(destination + i, destination + i - period);
    }
  } else if (position + kWindowSize - distance + length + 8 <= kWindowSize) {
    // The source lies ahead, in the older part of the window: every load
    // reads bytes before this copy reaches them.
    const std::uint8_t* const source = window + (position + kWindowSize - distance);
    for (std::uint32_t i = 0; i < length; i += 8) Copy8(destination + i, source + i);
  } else {
    CopyNearWindowEnd(window, position, length, distance);
  }
  std::memcpy(destination + length, saved, 8);
}

}  // namespace

bool BuildFastCodes(DecoderState& decoder) {
  return BuildFastTable(decoder.LitLenCode.lengths, 288, LitLenMeaning, decoder.FastLitLen) &&
         BuildFastTable(decoder.DistCode.lengths, 32, DistanceMeaning, decoder.FastDist);
}

bool InflateCodesFast(DecoderState& decoder, ReaderState& reader) {
  const std::uint32_t available = std::min<std::uint32_t>(reader.InputCount, decoder.InputLeft);
  // A match ends before the window's last byte and leaves 8 bytes of room
  // after it for CopyMatchFast.
  const std::uint64_t outputEnd = std::min<std::uint64_t>(
      kWindowSize - 9, std::uint64_t{decoder.OutputPos} + decoder.OutputLeft);
  if (available < 8 || outputEnd < decoder.OutputPos + kMaxMatch) return false;
  // The bit buffer holds 8 to 15 bits; anything else would make the refill
  // below move the input pointer by a made-up amount.
  if (decoder.BitCount > 7) return false;

  const std::uint8_t* in = reader.InputPointer;
  const std::uint8_t* const lastLoad = in + available - 8;
  const std::uint32_t lastPosition = static_cast<std::uint32_t>(outputEnd) - kMaxMatch;
  std::uint8_t* const window = decoder.OutputWindow;
  std::uint32_t position = decoder.OutputPos;
  // Bits above `count` are either 0 or the same stream bits that the next
  // load puts there again.
  std::uint64_t bits = decoder.BitBuffer;
  unsigned count = 8u + decoder.BitCount;
  bool ended = false;

  while (position <= lastPosition && in <= lastLoad) {
    bits |= LoadLittleEndian64(in) << count;
    in += (63 - count) >> 3;
    count |= 56;  // 56 to 63 bits: room for the longest symbol with its distance (48)
    const std::uint64_t symbolBits = bits;
    const unsigned symbolCount = count;
    const std::uint8_t* const symbolIn = in;

    std::uint32_t entry = LookUp(decoder.FastLitLen, bits);
    bits >>= CodeLength(entry);
    count -= CodeLength(entry);
    const EntryKind kind = Kind(entry);
    if (kind == kLiteral) {
      window[position++] = static_cast<std::uint8_t>(Value(entry));
      // A second literal still fits in the bits of this refill.
      entry = LookUp(decoder.FastLitLen, bits);
      if (Kind(entry) == kLiteral) {
        bits >>= CodeLength(entry);
        count -= CodeLength(entry);
        window[position++] = static_cast<std::uint8_t>(Value(entry));
      }
      continue;
    }
    if (kind == kEnd) {
      ended = true;
      break;
    }
    if (kind != kMatch) {
      bits = symbolBits;
      count = symbolCount;
      in = symbolIn;
      break;
    }
    const std::uint32_t length =
        Value(entry) + static_cast<std::uint32_t>(bits & ((1u << Extra(entry)) - 1));
    bits >>= Extra(entry);
    count -= Extra(entry);

    entry = LookUp(decoder.FastDist, bits);
    if (Kind(entry) != kMatch) {
      bits = symbolBits;
      count = symbolCount;
      in = symbolIn;
      break;
    }
    bits >>= CodeLength(entry);
    count -= CodeLength(entry);
    const std::uint32_t distance =
        Value(entry) + static_cast<std::uint32_t>(bits & ((1u << Extra(entry)) - 1));
    bits >>= Extra(entry);
    count -= Extra(entry);

    CopyMatchFast(window, position, length, distance);
    position += length;
  }

  // Every symbol leaves at least 8 bits, so only whole bytes go back.
  while (count >= 16) {
    count -= 8;
    --in;
  }
  const auto taken = static_cast<std::uint32_t>(in - reader.InputPointer);
  reader.InputPointer += taken;
  reader.InputCount = static_cast<std::uint16_t>(reader.InputCount - taken);
  decoder.InputLeft -= taken;
  decoder.BitBuffer = static_cast<std::uint16_t>(bits & ((1u << count) - 1));
  decoder.BitCount = static_cast<std::uint8_t>(count - 8);
  decoder.OutputLeft -= position - decoder.OutputPos;
  decoder.OutputPos = position;
  return ended;
}

}  // namespace molt::inflate

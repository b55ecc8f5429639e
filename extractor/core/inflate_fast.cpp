// The fast loop over a block's symbols.
//
// Why it exists: the plain loop (inflate.cpp) takes one input byte per drop,
// walks one node per bit beyond the eighth and copies matches a byte at a
// time, which costs several times what the data needs. This loop keeps a
// 64-bit bit buffer refilled with one 8-byte load per step, resolves each
// code with one table lookup (two for codes longer than the root table)
// whose entry carries the symbol's code length, extra-bit count and base
// value at once, decodes up to three literals per refill, looks the next
// symbol up before it copies a match, and copies matches 8 or 16 bytes at a
// time. It is a faster way of doing exactly what the plain loop does.
//
// Entry conditions, checked on entry and before every step:
//   - both codes of the block are complete (no unused patterns, whose plain
//     meaning depends on symbol 0's length); BuildBlockCodes sees to that;
//   - the bit buffer holds what the plain loop keeps there: 8 bits and
//     BitCount (0 to 7) more;
//   - the window being filled has not reached its end, and a longest match
//     (258 bytes) fits within the entry's bound. A step may run past the
//     window's end into the room kept after it (kWindowOverrun); the caller
//     writes the window out as soon as the loop returns.
// Input is taken only from the reader's buffer and only within the entry's
// packed bytes, so the loop never refills, never reads past the entry and
// never meets a fill byte. While kInputMargin bytes are left, each step
// begins with one 8-byte load (TakeSteps); after that, symbols are taken
// one at a time for as long as their bits and the 8 bits of look-ahead are
// among the bytes left (TakeLastSteps), and the symbol that runs on into
// the next block of the reader goes to the plain loop.
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

// ---------------------------------------------------------------------------
// Table entries
//
// One 32-bit entry per table slot:
//   bits 0-7    bits the symbol takes: its code length plus its extra bits
//               (of a link: none; the subtable's entry says all)
//   bits 8-11   the code length (of a link: the subtable's index bits)
//   bit 13      end of block         } with bit 15 set
//   bit 14      link to a subtable   } (neither: a symbol with no meaning)
//   bit 15      not a literal, length or distance
//   bits 16-30  length or distance base, or the subtable's first entry
//   bit 31      literal, its byte in bits 16-23
// Code lengths count from the start of the code, also in subtables, so an
// entry from a subtable is used exactly like one from the root table.

constexpr std::uint32_t kLiteralFlag = 0x80000000u;
constexpr std::uint32_t kSpecialFlag = 0x8000u;
constexpr std::uint32_t kLinkFlag = 0x4000u;
constexpr std::uint32_t kEndFlag = 0x2000u;

constexpr std::uint32_t LiteralEntry(unsigned byte) { return kLiteralFlag | (byte << 16); }
constexpr std::uint32_t BaseEntry(unsigned base, unsigned extraBits) {
  return (base << 16) | extraBits;
}
constexpr std::uint32_t kEndEntry = kSpecialFlag | kEndFlag;
constexpr std::uint32_t kMeaninglessEntry = kSpecialFlag;

// The code length goes in last: it is known only when the code is built.
constexpr std::uint32_t WithCodeLength(std::uint32_t meaning, unsigned codeLength) {
  return meaning + codeLength + (codeLength << 8);
}
constexpr std::uint32_t LinkEntry(unsigned firstEntry, unsigned indexBits) {
  return kSpecialFlag | kLinkFlag | (firstEntry << 16) | (indexBits << 8);
}

constexpr bool IsLiteral(std::uint32_t entry) { return (entry & kLiteralFlag) != 0; }
constexpr bool IsSpecial(std::uint32_t entry) { return (entry & kSpecialFlag) != 0; }
constexpr unsigned TakenBits(std::uint32_t entry) { return entry & 0xFF; }
constexpr unsigned CodeLength(std::uint32_t entry) { return (entry >> 8) & 0xF; }
constexpr unsigned Value(std::uint32_t entry) { return (entry >> 16) & 0x7FFF; }

std::uint32_t LitLenMeaning(unsigned symbol) {
  if (symbol < kEndOfBlock) return LiteralEntry(symbol);
  if (symbol == kEndOfBlock) return kEndEntry;
  if (symbol == kLastLengthSymbol) return BaseEntry(kMaxMatch, 0);
  if (symbol > kLastLengthSymbol) return kMeaninglessEntry;
  const unsigned index = symbol - kFirstLengthSymbol;
  return BaseEntry(kLengthBase[index], kLengthExtra[index]);
}

std::uint32_t DistanceMeaning(unsigned symbol) {
  if (symbol > kLastDistanceSymbol) return kMeaninglessEntry;
  return BaseEntry(kDistanceBase[symbol], kDistanceExtra[symbol]);
}

// ---------------------------------------------------------------------------
// Table building

// Fills the table of a complete code of `count` lengths (each 0 to 15).
// Codes up to the root bits fill every root entry whose low bits they are;
// longer codes share one subtable per root entry, sized for the longest
// code under it, and fill it the same way. A complete code leaves no entry
// unfilled, and no shorter code takes a root entry that longer ones begin
// with. False when the subtables do not fit the capacity.
template <unsigned RootBits, unsigned Capacity>
bool BuildFastTable(const std::uint8_t* lengths, unsigned count, std::uint32_t (*meaning)(unsigned),
                    FastTable<RootBits, Capacity>& table) {
  constexpr unsigned kRootSize = 1u << RootBits;
  std::uint32_t nextCode[17];
  CountCodeLengths(lengths, count, nextCode);
  CountsToFirstCodes(nextCode);

  std::uint32_t* const entries = table.entries;
  struct LongCode {
    std::uint16_t symbol;
    std::uint16_t reversed;
  };
  LongCode longCodes[288];
  unsigned longCount = 0;
  for (unsigned symbol = 0; symbol < count; ++symbol) {
    const unsigned length = lengths[symbol];
    if (length == 0) continue;
    const std::uint32_t reversed = ReverseBits(nextCode[length]++, length);
    if (length <= RootBits) {
      const std::uint32_t entry = WithCodeLength(meaning(symbol), length);
      for (std::uint32_t i = reversed; i < kRootSize; i += 1u << length) entries[i] = entry;
    } else {
      longCodes[longCount++] = {static_cast<std::uint16_t>(symbol),
                                static_cast<std::uint16_t>(reversed)};
    }
  }
  if (longCount == 0) return true;

  // The root entries that longer codes begin with hold the longest of their
  // lengths (at most 15) until they become links.
  for (unsigned i = 0; i < longCount; ++i) entries[longCodes[i].reversed & (kRootSize - 1)] = 0;
  for (unsigned i = 0; i < longCount; ++i) {
    std::uint32_t& deepest = entries[longCodes[i].reversed & (kRootSize - 1)];
    deepest = std::max<std::uint32_t>(deepest, lengths[longCodes[i].symbol]);
  }
  std::uint32_t subtableStart = kRootSize;
  for (unsigned i = 0; i < longCount; ++i) {
    std::uint32_t& root = entries[longCodes[i].reversed & (kRootSize - 1)];
    if (IsSpecial(root)) continue;  // already a link
    const unsigned indexBits = root - RootBits;
    if (subtableStart + (1u << indexBits) > Capacity) return false;
    root = LinkEntry(subtableStart, indexBits);
    subtableStart += 1u << indexBits;
  }

  for (unsigned i = 0; i < longCount; ++i) {
    const unsigned length = lengths[longCodes[i].symbol];
    const std::uint32_t entry = WithCodeLength(meaning(longCodes[i].symbol), length);
    const std::uint32_t link = entries[longCodes[i].reversed & (kRootSize - 1)];
    const std::uint32_t subtableSize = 1u << CodeLength(link);
    for (std::uint32_t at = longCodes[i].reversed >> RootBits; at < subtableSize;
         at += 1u << (length - RootBits)) {
      entries[Value(link) + at] = entry;
    }
  }
  return true;
}

// ---------------------------------------------------------------------------
// Bits

std::uint64_t LoadLittleEndian64(const std::uint8_t* bytes) {
  std::uint64_t value = 0;
  for (unsigned i = 0; i < 8; ++i) value |= std::uint64_t{bytes[i]} << (8 * i);
  return value;
}

// Where the fast loop stands. `count` bits of `bits` are the stream's next
// bits; the bits above them are the stream's bits that follow, as far as the
// last load reached less what has been taken since, and 0 beyond.
struct Cursor {
  std::uint64_t bits;
  unsigned count;
  const std::uint8_t* in;
  std::uint8_t* out;
};

// Brings the bit buffer to 56 to 63 bits with one 8-byte load, taking the
// whole bytes that fit: room for three literals of up to 15 bits, or for a
// length with its extra bits and a distance with its own (48), with at
// least 8 bits left for the plain loop's look-ahead. After any of those, at
// least 16 bits of the load are still there, enough to look the next code
// up before the next refill.
void Refill(Cursor& cursor) {
  cursor.bits |= LoadLittleEndian64(cursor.in) << cursor.count;
  cursor.in += (63 - cursor.count) >> 3;
  cursor.count |= 56;
}

void Take(Cursor& cursor, std::uint32_t entry) {
  cursor.bits >>= TakenBits(entry);
  cursor.count -= TakenBits(entry);
}

// The entry for the code at the bottom of `bits`, from the root table or,
// for a longer code, its subtable.
template <unsigned RootBits, unsigned Capacity>
std::uint32_t RootEntry(const FastTable<RootBits, Capacity>& table, std::uint64_t bits) {
  return table.entries[bits & ((1u << RootBits) - 1)];
}

template <unsigned RootBits, unsigned Capacity>
std::uint32_t SubtableEntry(const FastTable<RootBits, Capacity>& table, std::uint64_t bits,
                            std::uint32_t link) {
  const auto index = static_cast<std::uint32_t>(bits >> RootBits) & ((1u << CodeLength(link)) - 1);
  return table.entries[Value(link) + index];
}

template <unsigned RootBits, unsigned Capacity>
std::uint32_t LookUp(const FastTable<RootBits, Capacity>& table, std::uint64_t bits) {
  const std::uint32_t entry = RootEntry(table, bits);
  return (entry & kLinkFlag) != 0 ? SubtableEntry(table, bits, entry) : entry;
}

// The symbol's extra bits, which follow its code in `bits`.
constexpr std::uint32_t ExtraValue(std::uint64_t bits, std::uint32_t entry) {
  return static_cast<std::uint32_t>(bits & ((std::uint64_t{1} << TakenBits(entry)) - 1)) >>
         CodeLength(entry);
}

// ---------------------------------------------------------------------------
// Match copies
//
// The source of a match lies `distance` (1 to 32768) bytes before its
// destination, in the window being filled or in the history before it.
// A copy must give what a forward byte-by-byte copy gives: a distance
// shorter than the length repeats bytes that this copy has just written.
// These copies move 8 or 16 bytes at a time and may write up to
// kCopyOverrun bytes past the match: bytes of the window not yet filled,
// which the next symbols overwrite and which nothing reads before.
constexpr std::uint32_t kCopyOverrun = 31;

// A step starts before the window's end; its match and what the copy
// writes past it stay within the room kept after the window.
static_assert(kWindowSize - 1 + kMaxMatch + kCopyOverrun <= kWindowSize + kWindowOverrun);

void Copy8(std::uint8_t* destination, const std::uint8_t* source) {
  std::uint64_t bytes;
  std::memcpy(&bytes, source, 8);
  std::memcpy(destination, &bytes, 8);
}

void Copy16(std::uint8_t* destination, const std::uint8_t* source) {
  std::uint64_t bytes[2];
  std::memcpy(bytes, source, 16);
  std::memcpy(destination, bytes, 16);
}

// Inlined into both loops: a call here costs as much as a short copy.
[[gnu::always_inline]] inline void CopyMatch(std::uint8_t* destination, std::uint32_t length,
                                             std::uint32_t distance) {
  const std::uint8_t* source = destination - distance;
  std::uint8_t* const end = destination + length;
  if (distance >= 16) {
    // Each load reads only bytes already in place. Most matches are short:
    // their first 32 bytes go without a test.
    Copy16(destination, source);
    Copy16(destination + 16, source + 16);
    destination += 32;
    source += 32;
    while (destination < end) {
      Copy16(destination, source);
      destination += 16;
      source += 16;
    }
  } else if (distance >= 8) {
    do {
      Copy8(destination, source);
      destination += 8;
      source += 8;
    } while (destination < end);
  } else if (distance == 1) {
    const std::uint64_t pattern = 0x0101010101010101ull * source[0];
    do {
      std::memcpy(destination, &pattern, 8);
      destination += 8;
    } while (destination < end);
  } else {
    // The output repeats every `distance` bytes, so also every `period`
    // bytes, a multiple of it of at least 8: once the first period is in
    // place, 8-byte loads read only bytes already in place.
    const std::uint32_t period = distance * ((8 + distance - 1) / distance);
    std::uint8_t* const firstPeriodEnd = destination + std::min(period, length);
    while (destination < firstPeriodEnd) *destination++ = *source++;
    while (destination < end) {
      Copy8(destination, destination - period);
      destination += 8;
    }
  }
}

// ---------------------------------------------------------------------------
// Steps

struct Codes {
  const FastLitLenTable& litLen;
  const FastDistTable& distances;
};

// Decodes symbols while a refill stays within `lastRefill` and a step
// starts no later than `lastStart`. True when it took the end of the block;
// false when it stopped for room or before a symbol with no meaning.
bool TakeSteps(Cursor& cursor, const Codes& codes, const std::uint8_t* lastRefill,
               const std::uint8_t* lastStart) {
  Refill(cursor);
  std::uint32_t entry = RootEntry(codes.litLen, cursor.bits);
  while (cursor.out <= lastStart && cursor.in <= lastRefill) {
    Refill(cursor);
    if (IsLiteral(entry)) {
      Take(cursor, entry);
      *cursor.out++ = static_cast<std::uint8_t>(entry >> 16);
      entry = RootEntry(codes.litLen, cursor.bits);
      if (!IsLiteral(entry)) continue;
      Take(cursor, entry);
      *cursor.out++ = static_cast<std::uint8_t>(entry >> 16);
      entry = RootEntry(codes.litLen, cursor.bits);
      if (!IsLiteral(entry)) continue;
      Take(cursor, entry);
      *cursor.out++ = static_cast<std::uint8_t>(entry >> 16);
      entry = RootEntry(codes.litLen, cursor.bits);
      continue;
    }

    if (IsSpecial(entry)) {
      if ((entry & kLinkFlag) != 0) entry = SubtableEntry(codes.litLen, cursor.bits, entry);
      if (IsLiteral(entry)) {
        Take(cursor, entry);
        *cursor.out++ = static_cast<std::uint8_t>(entry >> 16);
        entry = RootEntry(codes.litLen, cursor.bits);
        continue;
      }
      if ((entry & kEndFlag) != 0) {
        Take(cursor, entry);
        return true;
      }
      if (IsSpecial(entry)) return false;  // literal/length 286 or 287, not taken
    }

    // A length, then its distance.
    const Cursor beforeLength = cursor;
    const std::uint32_t length = Value(entry) + ExtraValue(cursor.bits, entry);
    Take(cursor, entry);
    const std::uint32_t distanceEntry = LookUp(codes.distances, cursor.bits);
    if (IsSpecial(distanceEntry)) {
      cursor = beforeLength;  // distance 30 or 31: neither is taken
      return false;
    }
    const std::uint32_t distance = Value(distanceEntry) + ExtraValue(cursor.bits, distanceEntry);
    Take(cursor, distanceEntry);
    entry = RootEntry(codes.litLen, cursor.bits);
    CopyMatch(cursor.out, length, distance);
    cursor.out += length;
  }
  return false;
}

// Decodes the symbols that lie wholly within the bytes before `inEnd`, with
// the 8 bits after them that the plain loop would hold, while a step starts
// no later than `lastStart`: the last symbols before the reader's buffer
// runs out. True when it took the end of the block.
bool TakeLastSteps(Cursor& cursor, const Codes& codes, const std::uint8_t* inEnd,
                   const std::uint8_t* lastStart) {
  for (;;) {
    while (cursor.count <= 56 && cursor.in < inEnd) {
      cursor.bits |= std::uint64_t{*cursor.in++} << cursor.count;
      cursor.count += 8;
    }
    if (cursor.out > lastStart) return false;
    // An entry looked up with bits beyond `count` is the symbol's own when
    // its bits are all within `count`: a shorter code would have been found
    // on the bits that are there.
    const std::uint32_t entry = LookUp(codes.litLen, cursor.bits);
    if (IsLiteral(entry)) {
      if (TakenBits(entry) + 8 > cursor.count) return false;
      Take(cursor, entry);
      *cursor.out++ = static_cast<std::uint8_t>(entry >> 16);
      continue;
    }
    if (IsSpecial(entry)) {
      if ((entry & kEndFlag) == 0 || TakenBits(entry) + 8 > cursor.count) return false;
      Take(cursor, entry);
      return true;
    }
    const std::uint32_t distanceEntry = LookUp(codes.distances, cursor.bits >> TakenBits(entry));
    if (IsSpecial(distanceEntry) ||
        TakenBits(entry) + TakenBits(distanceEntry) + 8 > cursor.count) {
      return false;
    }
    const std::uint32_t length = Value(entry) + ExtraValue(cursor.bits, entry);
    Take(cursor, entry);
    const std::uint32_t distance = Value(distanceEntry) + ExtraValue(cursor.bits, distanceEntry);
    Take(cursor, distanceEntry);
    CopyMatch(cursor.out, length, distance);
    cursor.out += length;
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// The loop

bool BuildFastCodes(DecoderState& decoder) {
  return BuildFastTable(decoder.LitLenCode.lengths, 288, LitLenMeaning, decoder.FastLitLen) &&
         BuildFastTable(decoder.DistCode.lengths, 32, DistanceMeaning, decoder.FastDist);
}

bool InflateCodesFast(DecoderState& decoder, ReaderState& reader) {
  // Each step starts before the window's end and no nearer than a longest
  // match to the entry's bound.
  const std::uint64_t bound = std::uint64_t{decoder.OutputPos} + decoder.OutputLeft;
  if (decoder.OutputPos >= kWindowSize || bound < decoder.OutputPos + kMaxMatch) return false;
  // The bit buffer holds 8 to 15 bits; anything else would make the refills
  // move the input pointer by a made-up amount.
  if (decoder.BitCount > 7) return false;

  const std::uint32_t available = std::min<std::uint32_t>(reader.InputCount, decoder.InputLeft);
  const std::uint8_t* const inEnd = reader.InputPointer + available;
  std::uint8_t* const window = decoder.OutputWindow();
  // A step that starts here ends inside the entry's bound and inside the
  // room after the window.
  const std::uint8_t* const lastStart =
      window + std::min<std::uint64_t>(kWindowSize - 1, bound - kMaxMatch);
  const Codes codes{decoder.FastLitLen, decoder.FastDist};
  Cursor cursor{decoder.BitBuffer, 8u + decoder.BitCount, reader.InputPointer,
                window + decoder.OutputPos};

  bool ended = false;
  if (available >= kInputMargin) {
    ended = TakeSteps(cursor, codes, inEnd - kInputMargin, lastStart);
  }
  if (!ended) ended = TakeLastSteps(cursor, codes, inEnd, lastStart);

  // Every step leaves at least 8 bits, so only whole bytes go back.
  while (cursor.count >= 16) {
    cursor.count -= 8;
    --cursor.in;
  }
  const auto taken = static_cast<std::uint32_t>(cursor.in - reader.InputPointer);
  reader.InputPointer += taken;
  reader.InputCount = static_cast<std::uint16_t>(reader.InputCount - taken);
  decoder.InputLeft -= taken;
  decoder.BitBuffer = static_cast<std::uint16_t>(cursor.bits & ((1u << cursor.count) - 1));
  decoder.BitCount = static_cast<std::uint8_t>(cursor.count - 8);
  const auto written = static_cast<std::uint32_t>(cursor.out - (window + decoder.OutputPos));
  decoder.OutputLeft -= written;
  decoder.OutputPos += written;
  return ended;
}

}  // namespace molt::inflate

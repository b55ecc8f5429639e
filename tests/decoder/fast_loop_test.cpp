// Streams that drive the decoder's fast loop through its tables, its copies
// and its margins. Each is read with whole buffers (the fast loop takes most
// symbols), with 1-byte reads (only the plain loop can) and with small read
// blocks that stop the fast loop at every offset, and every reading must give
// the bytes the stream was written to give, with their CRC and the reader
// right after the entry. zlib reads each stream first, to the same bytes, so
// a fault in a fixture cannot pass for one in the decoder.
#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

#include "decoder/bit_writer.h"
#include "decoder/decoder_rig.h"
#include "decoder/sample_data.h"
#include "decoder/scripted_stream.h"
#include "decoder/zlib_streams.h"
#include "errors.h"
#include "inflate_tables.h"
#include "support/temp_dir.h"

namespace decoder_test {
namespace {

using molt::BadData;
using namespace molt::inflate;

// xorshift32: the same streams everywhere.
class Random {
 public:
  explicit Random(std::uint32_t seed) : state_(seed * 2654435761u + 1) {}
  std::uint32_t Below(std::uint32_t bound) {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_ % bound;
  }
  std::uint8_t Byte() { return static_cast<std::uint8_t>(Below(256)); }

 private:
  std::uint32_t state_;
};

const std::vector<std::vector<std::uint32_t>> kReadings = {
    {}, {1}, {8}, {9}, {15}, {7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17}};

void ExpectEveryReading(const Bytes& packed, const Bytes& expected) {
  ASSERT_EQ(ZlibInflate(packed, expected.size()), expected) << "the fixture itself is wrong";
  const auto size = static_cast<std::uint32_t>(expected.size());
  for (const auto& readSizes : kReadings) {
    SCOPED_TRACE("reads of " + (readSizes.empty() ? std::string("8192") :
                                std::to_string(readSizes.front()) + "..."));
    DecodeOptions options;
    options.readSizes = readSizes;
    DecoderRig rig;
    const DecodeOutcome outcome = rig.Decode(packed, size, options);
    EXPECT_EQ(outcome.error, 0);
    EXPECT_EQ(outcome.rejection, BadData::None);
    ASSERT_EQ(outcome.output.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
      ASSERT_EQ(outcome.output[i], expected[i]) << "first difference at byte " << i;
    }
    EXPECT_EQ(outcome.crc, ZlibCrc32(expected));
    EXPECT_EQ(outcome.nextByte, kNextRecordByte);
  }
}

void ExpectEveryReading(const ScriptedStream& stream) {
  ExpectEveryReading(stream.packed(), stream.expected());
}

// A stored block of a whole window of random bytes, so that every distance
// up to 32768 has a source.
void StartWithAWindow(ScriptedStream& stream, std::uint32_t seed) {
  stream.Stored(MakeSample(SampleKind::Random, 32768, seed));
}

void RandomLiterals(ScriptedStream& stream, Random& random, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) stream.Literal(random.Byte());
}

// A complete code with one code of every length from 1 to 15: symbols[i]
// gets i + 1 bits, and the last two get 15.
Huffman CodeOfEveryLength(const std::vector<unsigned>& symbols, std::size_t count) {
  std::vector<std::uint8_t> lengths(count, 0);
  for (std::size_t i = 0; i < symbols.size(); ++i) {
    lengths[symbols[i]] = static_cast<std::uint8_t>(std::min<std::size_t>(i + 1, 15));
  }
  return Huffman(lengths);
}

// ---------------------------------------------------------------------------
// Tables

TEST(FastLoop, CodesOfEveryLengthUpToFifteenBits) {
  // Codes longer than the root tables (11 bits for literal/length, 8 for
  // distance) are found in subtables. Each case puts other symbols at the
  // long codes: literals and the end of block; the longest lengths and
  // distances, so that one symbol takes 15 + 5 and its distance 15 + 13 bits.
  struct Case {
    const char* name;
    std::vector<unsigned> litLen;    // by code length, 1 to 15 bits
    std::vector<unsigned> distance;  // likewise
  };
  const Case kCases[] = {
      {"long literals",
       {'e', 't', 257, 'a', 258, ' ', 266, 'o', 272, 'i', 'n', 's', 'h', 'r', 'd', 256},
       {0, 1, 4, 3, 8, 12, 15, 17, 20, 22, 24, 26, 27, 28, 29, 25}},
      {"long lengths and distances",
       {'x', 'y', 'z', 0, 255, 128, 'A', 'B', 'C', 'D', 256, 265, 270, 281, 284, 285},
       {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 28, 29}},
      {"end of block first",
       {256, 'q', 260, 'u', 264, 268, 276, 280, 282, 283, 'v', 'w', 284, 285, 'j', 'k'},
       {29, 28, 27, 26, 25, 24, 23, 22, 21, 20, 19, 18, 17, 16, 15, 14}},
  };
  for (const Case& item : kCases) {
    SCOPED_TRACE(item.name);
    const Huffman litLen = CodeOfEveryLength(item.litLen, 286);
    const Huffman distance = CodeOfEveryLength(item.distance, 30);
    Random random(7);
    ScriptedStream stream;
    StartWithAWindow(stream, 3);
    stream.BeginDynamic(true, litLen, distance);
    for (int i = 0; i < 3000; ++i) {
      unsigned symbol = kEndOfBlock;
      while (symbol == kEndOfBlock) symbol = item.litLen[random.Below(16)];
      unsigned lengthExtra = 0;
      if (symbol > kEndOfBlock && symbol < kLastLengthSymbol) {
        lengthExtra = random.Below(1u << kLengthExtra[symbol - kFirstLengthSymbol]);
      }
      const unsigned distanceSymbol = item.distance[random.Below(16)];
      stream.Symbol(symbol, lengthExtra, distanceSymbol,
                    random.Below(1u << kDistanceExtra[distanceSymbol]));
    }
    stream.EndBlock();
    ExpectEveryReading(stream);
  }
}

TEST(FastLoop, EveryLengthAndDistanceWithItsLeastAndMostExtraBits) {
  // Every length symbol and every distance symbol, each with its extra bits
  // all clear and all set (284 with all set is 258 too), in fixed and in
  // dynamic blocks; each length meets several distances.
  struct Pair {
    unsigned symbol;
    unsigned extra;
  };
  std::vector<Pair> lengths;
  for (unsigned symbol = kFirstLengthSymbol; symbol <= kLastLengthSymbol; ++symbol) {
    const unsigned bits = symbol == kLastLengthSymbol ? 0 : kLengthExtra[symbol - kFirstLengthSymbol];
    lengths.push_back({symbol, 0});
    if (bits > 0) lengths.push_back({symbol, (1u << bits) - 1});
  }
  std::vector<Pair> distances;
  for (unsigned symbol = 0; symbol <= kLastDistanceSymbol; ++symbol) {
    distances.push_back({symbol, 0});
    if (kDistanceExtra[symbol] > 0) distances.push_back({symbol, (1u << kDistanceExtra[symbol]) - 1});
  }
  for (bool dynamic : {false, true}) {
    SCOPED_TRACE(dynamic ? "dynamic" : "fixed");
    Random random(11);
    ScriptedStream stream;
    StartWithAWindow(stream, 5);
    if (dynamic) {
      stream.BeginDynamic(true, WidestLitLenCode(), WidestDistanceCode());
    } else {
      stream.BeginFixed(true);
    }
    std::size_t next = 0;
    for (int round = 0; round < 3; ++round) {
      for (const Pair& length : lengths) {
        const Pair& distance = distances[next++ % distances.size()];
        stream.Symbol(length.symbol, length.extra, distance.symbol, distance.extra);
        RandomLiterals(stream, random, random.Below(3));
      }
    }
    stream.EndBlock();
    ExpectEveryReading(stream);
  }
}

// ---------------------------------------------------------------------------
// Copies

TEST(FastLoop, MatchesAtTheWindowsEnds) {
  // Each match starts at this offset of a window: distance 32768 reads the
  // byte written a whole window earlier, onto its own place; sources in the
  // older history run on into the window being filled; matches cross the
  // window's end, where it goes out to the file.
  struct Case {
    std::uint32_t offset;
    unsigned length;
    unsigned distance;
  };
  const Case kCases[] = {
      {0, 258, 32768},      {1, 3, 32768},        {5, 30, 32766},
      {100, 258, 101},      {100, 258, 300},      {300, 258, 32768},
      {32000, 258, 32768},  {32510, 258, 32768},  {32511, 258, 32768},
      {32600, 258, 32700},  {32752, 258, 17},     {32760, 258, 8},
      {32765, 258, 1},      {32767, 258, 32768},  {32767, 3, 2},
  };
  Random random(13);
  ScriptedStream stream;
  StartWithAWindow(stream, 7);
  stream.BeginFixed(true);
  for (const Case& item : kCases) {
    while (stream.expectedSize() % 32768 != item.offset) stream.Literal(random.Byte());
    stream.Match(item.length, item.distance);
  }
  RandomLiterals(stream, random, 100);
  stream.EndBlock();
  ExpectEveryReading(stream);
}

TEST(FastLoop, OverlappingCopiesOfEveryShortDistance) {
  // A distance shorter than the length repeats what the copy itself has
  // just written; the wide stores must give the same bytes.
  const unsigned kLengths[] = {3, 4, 5, 7, 8, 9, 15, 16, 17, 24, 31, 32, 33, 64, 100, 257, 258};
  Random random(17);
  ScriptedStream stream;
  StartWithAWindow(stream, 9);
  stream.BeginFixed(true);
  for (unsigned distance = 1; distance <= 24; ++distance) {
    for (unsigned length : kLengths) {
      RandomLiterals(stream, random, 1 + random.Below(24));
      stream.Match(length, distance);
    }
  }
  stream.EndBlock();
  ExpectEveryReading(stream);
}

// ---------------------------------------------------------------------------
// Block ends and margins

TEST(FastLoop, EndOfBlockAfterAnyNumberOfLiterals) {
  // The end of a block comes after 0 to 8 literals, inside the fast loop's
  // run of literals after one refill or at the start of the next step; the
  // blocks' codes are short, so that several symbols fit one refill.
  std::vector<std::uint8_t> shortCode(257, 0);  // 'a' to 'g' and the end: 3 bits each
  for (unsigned symbol : {97u, 98u, 99u, 100u, 101u, 102u, 103u, kEndOfBlock}) shortCode[symbol] = 3;
  const Huffman litLen(shortCode);
  const Huffman distance(std::vector<std::uint8_t>{1, 1});
  Random random(19);
  ScriptedStream stream;
  for (int block = 0; block < 400; ++block) {
    const unsigned literals = static_cast<unsigned>(block % 9);
    if (block % 3 == 0) {
      stream.BeginFixed(false);
      RandomLiterals(stream, random, literals);
    } else {
      stream.BeginDynamic(false, litLen, distance);
      for (unsigned i = 0; i < literals; ++i) {
        stream.Literal(static_cast<std::uint8_t>('a' + random.Below(7)));
      }
    }
    stream.EndBlock();
  }
  stream.BeginFixed(true);
  RandomLiterals(stream, random, 40);
  stream.EndBlock();
  ExpectEveryReading(stream);
}

TEST(FastLoop, ReaderBlocksOfEverySmallSize) {
  // The reader's buffer runs out at every offset of the stream's symbols:
  // the fast loop's whole-word steps stop 8 bytes before its end, its last
  // steps take the symbols that lie wholly within the bytes left, and the
  // symbol that runs on into the next block is the plain loop's.
  const Bytes data = MakeSample(SampleKind::Text, 20000, 23);
  for (int level : {1, 9}) {
    const Bytes packed = ZlibDeflate(data, level, Z_DEFAULT_STRATEGY);
    for (std::uint32_t size = 2; size <= 24; ++size) {
      SCOPED_TRACE("level " + std::to_string(level) + ", reads of " + std::to_string(size));
      DecodeOptions options;
      options.readSizes = {size};
      DecoderRig rig;
      const DecodeOutcome outcome = rig.Decode(packed, 20000, options);
      EXPECT_EQ(outcome.error, 0);
      EXPECT_TRUE(outcome.output == data);
      EXPECT_EQ(outcome.nextByte, kNextRecordByte);
    }
  }
}

TEST(FastLoop, OriginalSizeAroundLongestMatches) {
  // The fast loop starts no step nearer than a longest match to the entry's
  // bound; past it, the plain loop writes up to the bound and rejects the
  // rest. Bounds that a longest match overruns by one byte or meets
  // exactly, and bounds at and just below the stream's output.
  Random random(29);
  ScriptedStream stream;
  StartWithAWindow(stream, 11);
  stream.BeginFixed(true);
  std::vector<std::uint32_t> bounds;
  for (int i = 0; i < 40; ++i) {
    RandomLiterals(stream, random, random.Below(5));
    const std::uint32_t start = stream.expectedSize();
    stream.Match(258, 1 + random.Below(5000));
    if (i % 8 == 3) {
      for (std::uint32_t bound : {start, start + 1, start + 257, start + 258, start + 259}) {
        bounds.push_back(bound);
      }
    }
  }
  RandomLiterals(stream, random, 3);
  stream.EndBlock();
  for (std::uint32_t below : {0u, 1u, 2u, 3u, 4u, 300u}) bounds.push_back(stream.expectedSize() - below);

  const Bytes& expected = stream.expected();
  ASSERT_EQ(ZlibInflate(stream.packed(), expected.size()), expected);
  for (std::uint32_t bound : bounds) {
    const bool whole = bound == stream.expectedSize();
    SCOPED_TRACE("original size " + std::to_string(bound) + " of " +
                 std::to_string(stream.expectedSize()));
    const Bytes allowed(expected.begin(), expected.begin() + bound);
    for (const auto& readSizes : kReadings) {
      DecodeOptions options;
      options.readSizes = readSizes;
      DecoderRig rig;
      const DecodeOutcome outcome = rig.Decode(stream.packed(), bound, options);
      EXPECT_EQ(outcome.error, whole ? 0 : molt::ERR_INPUT_FORMAT);
      EXPECT_EQ(outcome.rejection, whole ? BadData::None : BadData::OutputTooLong);
      EXPECT_TRUE(outcome.output == allowed) << outcome.output.size() << " bytes";
      EXPECT_EQ(outcome.crc, ZlibCrc32(allowed));
    }
  }
}

// ---------------------------------------------------------------------------
// The window as history

TEST(FastLoop, WindowAfterAFullDiskHoldsOnlyWhatThePlainLoopDecoded) {
  // An entry whose first full window cannot be written ends with 44. The
  // fast loop may already have decoded past the window's end then, in the
  // match that filled it; the next entry's distances that reach back before
  // its start must still find the window's bytes, as the plain loop leaves
  // them, not those.
  Random random(31);
  ScriptedStream first;
  first.Stored(MakeSample(SampleKind::Random, 32700, 13));
  first.BeginFixed(true);
  RandomLiterals(first, random, 8);
  first.Match(258, 5000);  // from 32708 on: runs 198 bytes past the window's end
  RandomLiterals(first, random, 200);
  first.EndBlock();
  const Bytes& window = first.expected();

  BitWriter second;
  PutBlockHeader(second, true, 1);
  PutMatch(second, FixedLitLenCode(), FixedDistanceCode(), 100, 32768);  // window bytes 0-99
  FixedLitLenCode().Put(second, kEndOfBlock);
  const Bytes expected(window.begin(), window.begin() + 100);

  for (const auto& readSizes : {std::vector<std::uint32_t>{}, std::vector<std::uint32_t>{1}}) {
    SCOPED_TRACE(readSizes.empty() ? "whole buffers" : "1-byte reads");
    testing_support::TempDir folder;
    const std::string path = folder / "full.bin";
    DecoderRig rig;
    MemoryPackPlatform& platform = rig.platform();
    const FileHandle file = platform.CreateOutputFile(path.c_str());
    ASSERT_NE(file, molt::platform::kInvalidFile);
    platform.diskSpace = 0;
    DecodeOptions options;
    options.readSizes = readSizes;
    EXPECT_EQ(rig.DecodeTo(file, first.packed(), first.expectedSize(), options).error,
              molt::ERR_WRITE_DISK_FULL);
    platform.CloseFile(file);
    const DecodeOutcome outcome = rig.Decode(second.bytes(), 100);
    EXPECT_EQ(outcome.error, 0);
    EXPECT_TRUE(outcome.output == expected);
  }
}

}  // namespace
}  // namespace decoder_test

// The decoder against zlib: streams that zlib writes, with every level and
// strategy and with many flushed blocks, decode to the same bytes and CRC,
// however the reader's blocks cut the input, and leave the reader right
// after the entry's packed bytes. Damaged streams that zlib still reads
// decode as zlib reads them; the others end with 34 or a result, never
// with anything else, and the decoder's fast loop gives what the plain one
// gives, byte for byte.
#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

#include "decoder/decoder_rig.h"
#include "decoder/sample_data.h"
#include "decoder/zlib_streams.h"
#include "errors.h"

namespace decoder_test {
namespace {

const std::vector<std::uint32_t> kWholeBlocks = {};  // 8192 at a time
const std::vector<std::uint32_t> kOneByteBlocks = {1};
const std::vector<std::uint32_t> kOddBlocks = {1, 7, 8191, 13, 4095, 2, 300, 9};

const SampleKind kKinds[] = {SampleKind::Text, SampleKind::Binary, SampleKind::Random,
                             SampleKind::LongRuns};

struct Compression {
  int level;
  int strategy;
  const char* name;
};

const Compression kCompressions[] = {
    {0, Z_DEFAULT_STRATEGY, "level 0"},
    {1, Z_DEFAULT_STRATEGY, "level 1"},
    {6, Z_DEFAULT_STRATEGY, "level 6"},
    {9, Z_DEFAULT_STRATEGY, "level 9"},
    {6, Z_FILTERED, "filtered"},
    {6, Z_HUFFMAN_ONLY, "huffman only"},
    {6, Z_RLE, "rle"},
    {6, Z_FIXED, "fixed"},
};

// Decodes `packed` as an entry of `data.size()` bytes and checks everything
// that the walk relies on.
void ExpectDecodes(const Bytes& data, const Bytes& packed, const DecodeOptions& options,
                   const std::string& label) {
  SCOPED_TRACE(label);
  DecoderRig rig;
  const DecodeOutcome outcome =
      rig.Decode(packed, static_cast<std::uint32_t>(data.size()), options);
  ASSERT_EQ(outcome.error, 0);
  ASSERT_EQ(outcome.output.size(), data.size());
  EXPECT_TRUE(outcome.output == data);
  EXPECT_EQ(outcome.crc, ZlibCrc32(data));
  EXPECT_EQ(outcome.nextByte, kNextRecordByte);
}

DecodeOptions WithBlocks(const std::vector<std::uint32_t>& readSizes) {
  DecodeOptions options;
  options.readSizes = readSizes;
  return options;
}

TEST(InflateAgainstZlib, WindowSizedEntriesAtEveryLevelAndStrategy) {
  const std::size_t kSizes[] = {0, 1, 32767, 32768, 32769, 65536};
  int caseNumber = 0;
  for (SampleKind kind : kKinds) {
    for (std::size_t size : kSizes) {
      const Bytes data = MakeSample(kind, size, static_cast<std::uint32_t>(size) + 1);
      for (const Compression& compression : kCompressions) {
        const Bytes packed = ZlibDeflate(data, compression.level, compression.strategy);
        const std::string label = std::string(SampleName(kind)) + " " + std::to_string(size) +
                                  " bytes, " + compression.name;
        ASSERT_EQ(ZlibInflate(packed, data.size()), data) << label;
        ExpectDecodes(data, packed, {}, label);
        // Every case once more with the input cut at awkward places.
        const auto& awkward = (++caseNumber % 2 == 0) ? kOneByteBlocks : kOddBlocks;
        ExpectDecodes(data, packed, WithBlocks(awkward), label + ", awkward blocks");
      }
    }
  }
}

TEST(InflateAgainstZlib, EntriesOfSomeMegabytes) {
  struct Large {
    SampleKind kind;
    int level;
    int strategy;
    std::vector<std::uint32_t> readSizes;
  };
  const Large kCases[] = {
      {SampleKind::Text, 6, Z_DEFAULT_STRATEGY, kWholeBlocks},
      {SampleKind::Text, 1, Z_DEFAULT_STRATEGY, kOddBlocks},
      {SampleKind::Binary, 9, Z_DEFAULT_STRATEGY, kWholeBlocks},
      {SampleKind::Binary, 6, Z_HUFFMAN_ONLY, kWholeBlocks},
      {SampleKind::Random, 6, Z_DEFAULT_STRATEGY, kWholeBlocks},
      {SampleKind::LongRuns, 6, Z_RLE, kOddBlocks},
  };
  for (const Large& large : kCases) {
    const Bytes data = MakeSample(large.kind, 2 << 20, 77);
    const Bytes packed = ZlibDeflate(data, large.level, large.strategy);
    ExpectDecodes(data, packed, WithBlocks(large.readSizes),
                  std::string(SampleName(large.kind)) + " level " + std::to_string(large.level) +
                      " strategy " + std::to_string(large.strategy));
  }
}

TEST(InflateAgainstZlib, StreamsOfManyFlushedBlocks) {
  for (SampleKind kind : kKinds) {
    for (std::uint32_t seed = 1; seed <= 3; ++seed) {
      const Bytes data = MakeSample(kind, 300000, seed);
      const Bytes packed = ZlibDeflateInPieces(data, seed);
      const std::string label =
          std::string(SampleName(kind)) + " pieces seed " + std::to_string(seed);
      ASSERT_EQ(ZlibInflate(packed, data.size()), data) << label;
      ExpectDecodes(data, packed, {}, label);
      ExpectDecodes(data, packed, WithBlocks(seed == 1 ? kOneByteBlocks : kOddBlocks),
                    label + ", awkward blocks");
    }
  }
}

TEST(InflateAgainstZlib, EntrySplitBetweenTwoVolumes) {
  const Bytes data = MakeSample(SampleKind::Text, 100000, 9);
  const Bytes packed = ZlibDeflateInPieces(data, 9);
  const std::int64_t kSplits[] = {0,
                                  1,
                                  8190,
                                  static_cast<std::int64_t>(packed.size() / 2),
                                  static_cast<std::int64_t>(packed.size()) - 1,
                                  static_cast<std::int64_t>(packed.size())};
  for (std::int64_t split : kSplits) {
    for (const auto* blocks : {&kWholeBlocks, &kOddBlocks}) {
      DecodeOptions options = WithBlocks(*blocks);
      options.secondVolumeAfter = split;
      options.startOffset = 1000 + static_cast<std::uint32_t>(split % 16);
      ExpectDecodes(data, packed, options, "split after " + std::to_string(split));
    }
  }
}

// Flips a few bits of small streams of every block kind, then compares our
// reading with zlib's and the fast loop's with the plain loop's.
TEST(InflateAgainstZlib, DamagedStreams) {
  std::uint32_t state = 12345;
  auto next = [&state](std::uint32_t bound) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state % bound;
  };
  std::vector<Bytes> samples;
  for (SampleKind kind : kKinds) {
    const Bytes data = MakeSample(kind, 3000, 3);
    samples.push_back(ZlibDeflate(data, 6, Z_DEFAULT_STRATEGY));
    samples.push_back(ZlibDeflate(data, 6, Z_FIXED));
    samples.push_back(ZlibDeflateInPieces(data, 4));
  }
  constexpr std::uint32_t kBound = 20000;
  int agreed = 0;
  for (int round = 0; round < 1000; ++round) {
    Bytes packed = samples[round % samples.size()];
    const std::uint32_t flips = 1 + next(3);
    for (std::uint32_t i = 0; i < flips; ++i) {
      const std::uint32_t bit = next(static_cast<std::uint32_t>(packed.size() * 8));
      packed[bit / 8] = static_cast<std::uint8_t>(packed[bit / 8] ^ (1u << (bit % 8)));
    }
    SCOPED_TRACE("round " + std::to_string(round));
    DecoderRig fastRig;
    DecoderRig plainRig;
    const DecodeOutcome fast = fastRig.Decode(packed, kBound);
    const DecodeOutcome plain = plainRig.Decode(packed, kBound, WithBlocks(kOneByteBlocks));
    ASSERT_TRUE(fast.error == 0 || fast.error == molt::ERR_INPUT_FORMAT) << fast.error;
    ASSERT_LE(fast.output.size(), kBound);
    EXPECT_EQ(fast.error, plain.error);
    EXPECT_EQ(fast.rejection, plain.rejection);
    EXPECT_TRUE(fast.output == plain.output);
    EXPECT_EQ(fast.crc, plain.crc);
    EXPECT_EQ(fast.nextByte, plain.nextByte);

    if (const auto reference = ZlibInflate(packed, kBound)) {
      EXPECT_EQ(fast.error, 0);
      EXPECT_TRUE(fast.output == *reference);
      ++agreed;
    }
  }
  // Some damage leaves a stream that zlib still reads; those must be compared.
  EXPECT_GT(agreed, 0);
}

}  // namespace
}  // namespace decoder_test

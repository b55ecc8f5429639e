// Volume layout: headers, the set block, splitting, scrambling per file.
#include <gtest/gtest.h>

#include <numeric>

#include "bytes_at.h"
#include "pack_writer.h"

namespace {

using packwriter::Pack;

std::string Filler(std::size_t size, char seed) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(seed + i * 7);
  return bytes;
}

// A pack with some of everything: nested directories, stored and deflated files, a long name.
Pack SamplePack() {
  Pack pack;
  pack.productNumber = 0xCAFEF00D;
  for (std::size_t i = 0; i < pack.archiveBlock.size(); ++i) pack.archiveBlock[i] = static_cast<std::uint8_t>(0xA0 + i);
  pack.root = {
      packwriter::Directory("SUB", {packwriter::File("ONE.BIN", Filler(300, 'a')),
                                    packwriter::DeflatedFile("TWO.TXT", std::string(5000, 'z'), 9)}),
      packwriter::WithLongName(packwriter::File("LONG~1", Filler(77, 'q')), "a long name"),
  };
  return pack;
}

std::vector<std::string> Unscrambled(const std::vector<std::string>& volumes) {
  std::vector<std::string> plain;
  for (const std::string& volume : volumes) plain.push_back(::Unscrambled(volume));
  return plain;
}

std::size_t TotalSize(const std::vector<std::string>& volumes) {
  return std::accumulate(volumes.begin(), volumes.end(), std::size_t{0},
                         [](std::size_t sum, const std::string& v) { return sum + v.size(); });
}

Pack SampleSet() {
  Pack pack = SamplePack();
  pack.isSet = true;
  pack.maxVolumeSize = 200;
  return pack;
}

TEST(Volumes, SameDescriptionSameBytes) {
  EXPECT_EQ(packwriter::BuildVolumes(SamplePack()), packwriter::BuildVolumes(SamplePack()));
  EXPECT_EQ(packwriter::BuildVolumes(SampleSet()), packwriter::BuildVolumes(SampleSet()));
}

TEST(Volumes, SingleVolumeHeaderArchiveBlockAndStream) {
  const Pack pack = SamplePack();
  const std::vector<std::string> plain = Unscrambled(packwriter::BuildVolumes(pack));
  ASSERT_EQ(plain.size(), 1u);
  const std::string& v = plain[0];
  EXPECT_EQ(v.substr(0, 4), "lvrO");
  EXPECT_EQ(U16At(v, molt::kHeaderVersion), 0x0100);
  EXPECT_EQ(U16At(v, molt::kHeaderFileNumber), 0);
  EXPECT_EQ(U32At(v, molt::kHeaderProductNumber), 0xCAFEF00Du);
  EXPECT_EQ(v.substr(12, 36), std::string(pack.archiveBlock.begin(), pack.archiveBlock.end()));
  EXPECT_EQ(v.substr(48), packwriter::BuildStream(pack.root).bytes);
  EXPECT_EQ(plain, packwriter::BuildPlainVolumes(pack));
}

// Checks what every set must satisfy, whatever its split.
void ExpectWellFormedSet(const Pack& pack, const std::vector<std::string>& volumes) {
  const std::string stream = packwriter::BuildStream(pack.root).bytes;
  const std::vector<std::string> plain = Unscrambled(volumes);
  std::string joined;
  for (std::size_t i = 0; i < plain.size(); ++i) {
    const std::string& v = plain[i];
    const bool last = i + 1 == plain.size();
    EXPECT_EQ(v.substr(0, 4), "lvrO");
    EXPECT_EQ(U16At(v, molt::kHeaderFileNumber), (i + 1) | (last ? molt::FILE_NUMBER_LAST : 0)) << "volume " << i + 1;
    EXPECT_EQ(U32At(v, molt::kHeaderProductNumber), pack.productNumber);
    std::size_t streamStart = 12;
    if (i == 0) {
      EXPECT_EQ(U32At(v, 12), TotalSize(volumes));
      EXPECT_EQ(v.substr(16, 12), std::string(12, '\0'));
      EXPECT_EQ(v.substr(28, 36), std::string(pack.archiveBlock.begin(), pack.archiveBlock.end()));
      streamStart = 64;
    }
    joined += v.substr(streamStart);
  }
  EXPECT_EQ(joined, stream);
  EXPECT_EQ(packwriter::StreamFromVolumes(volumes), stream);
}

struct SplitCase {
  const char* name;
  std::vector<std::size_t> splitAt;  // kStreamEnd stands for the stream's length
};

constexpr std::size_t kStreamEnd = static_cast<std::size_t>(-1);

class SplitAtOffsets : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitAtOffsets, VolumesHoldTheStreamPiecesInOrder) {
  Pack pack = SamplePack();
  pack.isSet = true;
  const std::size_t streamSize = packwriter::BuildStream(pack.root).bytes.size();
  for (const std::size_t at : GetParam().splitAt) pack.splitAt.push_back(at == kStreamEnd ? streamSize : at);
  const std::vector<std::string> volumes = packwriter::BuildVolumes(pack);
  ASSERT_EQ(volumes.size(), pack.splitAt.size() + 1);
  ExpectWellFormedSet(pack, volumes);
  // Each later volume starts exactly at its split offset.
  const std::string stream = packwriter::BuildStream(pack.root).bytes;
  for (std::size_t i = 0; i < pack.splitAt.size(); ++i) {
    const std::size_t to = i + 1 < pack.splitAt.size() ? pack.splitAt[i + 1] : stream.size();
    EXPECT_EQ(::Unscrambled(volumes[i + 1]).substr(12), stream.substr(pack.splitAt[i], to - pack.splitAt[i]));
  }
}

INSTANTIATE_TEST_SUITE_P(Splits, SplitAtOffsets,
                         testing::Values(SplitCase{"SetOfOne", {}},
                                         SplitCase{"InsideTheFirstTag", {2}},
                                         SplitCase{"Three", {30, 31, 400}},
                                         SplitCase{"EmptyPieces", {0, 0, 100}},
                                         SplitCase{"EmptyLastVolume", {100, kStreamEnd}}),
                         [](const testing::TestParamInfo<SplitCase>& info) { return std::string(info.param.name); });

TEST(Volumes, SetOfOneIsFileNumberOneWithTheLastBit) {
  Pack pack = SamplePack();
  pack.isSet = true;
  const std::vector<std::string> plain = Unscrambled(packwriter::BuildVolumes(pack));
  ASSERT_EQ(plain.size(), 1u);
  EXPECT_EQ(U16At(plain[0], molt::kHeaderFileNumber), 0x8001);
}

class MaxVolumeSize : public testing::TestWithParam<std::size_t> {};

TEST_P(MaxVolumeSize, NoVolumeIsLargerAndOnlyTheLastIsSmaller) {
  Pack pack = SamplePack();
  pack.isSet = true;
  pack.maxVolumeSize = GetParam();
  const std::vector<std::string> volumes = packwriter::BuildVolumes(pack);
  for (std::size_t i = 0; i + 1 < volumes.size(); ++i) EXPECT_EQ(volumes[i].size(), GetParam()) << "volume " << i + 1;
  EXPECT_LE(volumes.back().size(), GetParam());
  EXPECT_GT(volumes.back().size(), volumes.size() == 1 ? 64u : 12u) << "an empty last volume";
  ExpectWellFormedSet(pack, volumes);
}

INSTANTIATE_TEST_SUITE_P(Sizes, MaxVolumeSize, testing::Values(65, 77, 100, 1000, 1u << 20));

TEST(Volumes, MaxVolumeSizeWithoutRoomForTheStreamIsRefused) {
  Pack pack = SamplePack();
  pack.isSet = true;
  pack.maxVolumeSize = 64;  // volume 1's headers alone
  EXPECT_THROW(packwriter::BuildVolumes(pack), packwriter::Error);
}

TEST(Volumes, ContradictoryLayoutsAreRefused) {
  Pack single = SamplePack();
  single.splitAt = {10};
  EXPECT_THROW(packwriter::BuildVolumes(single), packwriter::Error);

  Pack descending = SamplePack();
  descending.isSet = true;
  descending.splitAt = {20, 10};
  EXPECT_THROW(packwriter::BuildVolumes(descending), packwriter::Error);

  Pack beyond = SamplePack();
  beyond.isSet = true;
  beyond.splitAt = {packwriter::BuildStream(beyond.root).bytes.size() + 1};
  EXPECT_THROW(packwriter::BuildVolumes(beyond), packwriter::Error);
}

TEST(Volumes, ScramblingRestartsAtEachVolumeFile) {
  Pack pack = SamplePack();
  pack.isSet = true;
  pack.splitAt = {5, 100};
  const std::string stream = packwriter::BuildStream(pack.root).bytes;
  const std::vector<std::string> volumes = packwriter::BuildVolumes(pack);
  ASSERT_EQ(volumes.size(), 3u);
  for (std::size_t v = 1; v < volumes.size(); ++v) {
    // The signature at offset 0 and the stream from offset 12, each byte by the key of its offset.
    EXPECT_EQ(static_cast<std::uint8_t>(volumes[v][0]), 'l' ^ KeyByteAt(0));
    const std::size_t streamOffset = pack.splitAt[v - 1];
    for (std::size_t i = 0; i < 20; ++i) {
      EXPECT_EQ(static_cast<std::uint8_t>(volumes[v][12 + i]),
                static_cast<std::uint8_t>(stream[streamOffset + i]) ^ KeyByteAt(12 + i));
    }
  }
}

TEST(Volumes, ScrambleIsItsOwnInverseAtAnyOffset) {
  const std::string plain = Filler(50, 'x');
  std::string bytes = plain;
  packwriter::Scramble(bytes, 13);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    EXPECT_EQ(static_cast<std::uint8_t>(bytes[i]), static_cast<std::uint8_t>(plain[i]) ^ KeyByteAt(13 + i));
  }
  packwriter::Scramble(bytes, 13);
  EXPECT_EQ(bytes, plain);
}

TEST(Volumes, OverridesForHostileSets) {
  Pack pack = SamplePack();
  pack.version = 0x0101;
  pack.isSet = true;
  pack.splitAt = {10, 20};
  pack.fileNumberOverride = {{0, 0x8000}, {2, 0}};
  pack.packSizeOverride = 7;
  pack.setBlockTail.fill(0xEE);
  const std::vector<std::string> plain = Unscrambled(packwriter::BuildVolumes(pack));
  ASSERT_EQ(plain.size(), 3u);
  EXPECT_EQ(U16At(plain[0], molt::kHeaderVersion), 0x0101);
  EXPECT_EQ(U16At(plain[0], molt::kHeaderFileNumber), 0x8000);
  EXPECT_EQ(U16At(plain[1], molt::kHeaderFileNumber), 2);  // not overridden
  EXPECT_EQ(U16At(plain[2], molt::kHeaderFileNumber), 0);
  EXPECT_EQ(U32At(plain[0], 12), 7u);
  EXPECT_EQ(plain[0].substr(16, 12), std::string(12, '\xEE'));
  EXPECT_EQ(plain[0].size(), 64u + 10u);  // the set and archive blocks stay in volume 1
}

TEST(Volumes, StreamCanBeCutOrReplaced) {
  Pack pack = SamplePack();
  const std::string stream = packwriter::BuildStream(pack.root).bytes;
  for (const std::size_t cut : {std::size_t{0}, std::size_t{1}, std::size_t{3}, stream.size() - 1, stream.size() + 5}) {
    pack.cutAt = cut;
    EXPECT_EQ(packwriter::StreamFromVolumes(packwriter::BuildVolumes(pack)), stream.substr(0, cut)) << "cut " << cut;
  }
  pack.streamOverride = "anything at all";
  pack.cutAt.reset();
  EXPECT_EQ(packwriter::StreamFromVolumes(packwriter::BuildVolumes(pack)), "anything at all");
}

}  // namespace

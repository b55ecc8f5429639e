// CRC-32 of the written bytes: the standard check value, the register's
// life across calls (reset, reading, initial value) and split invariance;
// every form of the computation held to the one-table reference, each forced
// in turn, also the portable one on a processor that folds; descrambling
// together with the CRC-32 against doing one after the other.
#include "crc32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "context.h"
#include "crc32_forms.h"
#include "decoder/sample_data.h"
#include "decoder/zlib_streams.h"
#include "descramble.h"
#include "pack_format.h"

namespace decoder_test {
namespace {

using molt::UpdateCrc32;

const std::uint8_t kCheckInput[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
constexpr std::uint32_t kCheckValue = 0xCBF43926;

TEST(Crc32, StandardCheckValueFromTheInitialRegister) {
  // The register starts all ones, so no reset is needed before the first use.
  molt::Context context(molt::platform::SystemPlatform());
  EXPECT_EQ(context.RunningCrc, 0xFFFFFFFFu);
  EXPECT_EQ(UpdateCrc32(context.RunningCrc, kCheckInput, sizeof kCheckInput), kCheckValue);
}

TEST(Crc32, ResetAndReadingLeaveTheRegisterAsDocumented) {
  std::uint32_t crc = 0x12345678;
  EXPECT_EQ(UpdateCrc32(crc, nullptr, 77), 0u);
  EXPECT_EQ(crc, 0xFFFFFFFFu);
  EXPECT_EQ(UpdateCrc32(crc, kCheckInput, 0), 0u);  // nothing since the reset

  UpdateCrc32(crc, kCheckInput, sizeof kCheckInput);
  const std::uint32_t registerAfter = crc;
  EXPECT_EQ(UpdateCrc32(crc, kCheckInput, 0), kCheckValue);
  EXPECT_EQ(UpdateCrc32(crc, kCheckInput, 0), kCheckValue);
  EXPECT_EQ(crc, registerAfter);

  UpdateCrc32(crc, nullptr, 0);
  EXPECT_EQ(UpdateCrc32(crc, kCheckInput, sizeof kCheckInput), kCheckValue);
}

TEST(Crc32, AnySplitGivesTheCrcOfTheWhole) {
  const Bytes data = MakeSample(SampleKind::Random, 200000, 5);
  const std::uint32_t expected = ZlibCrc32(data);
  const std::uint32_t splits[][4] = {
      {65535, 65535, 65535, 65535}, {1, 2, 3, 4}, {0, 8191, 1, 32768}, {7, 0, 4096, 13}};
  for (const auto& sizes : splits) {
    std::uint32_t crc = molt::kCrcInitial;
    std::uint32_t result = 0;
    std::size_t at = 0;
    for (std::size_t call = 0; at < data.size(); ++call) {
      const auto count =
          static_cast<std::uint16_t>(std::min<std::size_t>(sizes[call % 4], data.size() - at));
      result = UpdateCrc32(crc, data.data() + at, count);
      at += count;
    }
    EXPECT_EQ(result, expected) << "split " << sizes[0] << "," << sizes[1] << "," << sizes[2];
  }
}

using molt::crc32_forms::CrcForm;

// Runs each test under one form, then gives back the one that was active.
class Crc32Form : public testing::TestWithParam<CrcForm> {
 protected:
  void SetUp() override {
    if (!molt::crc32_forms::UseCrcForm(GetParam())) {
      GTEST_SKIP() << "the processor has no carry-less multiplication";
    }
  }
  void TearDown() override { molt::crc32_forms::UseCrcForm(before_); }

 private:
  const CrcForm before_ = molt::crc32_forms::ActiveCrcForm();
};

std::string FormName(const testing::TestParamInfo<CrcForm>& info) {
  switch (info.param) {
    case CrcForm::Table:
      return "Table";
    case CrcForm::Slices:
      return "Slices";
    case CrcForm::Folding:
      return "Folding";
  }
  return "Unknown";
}

INSTANTIATE_TEST_SUITE_P(EveryForm, Crc32Form,
                         testing::Values(CrcForm::Table, CrcForm::Slices, CrcForm::Folding),
                         FormName);

// Lengths up to a few KiB: every one up to 300, those around the folding's
// 16- and 64-byte steps, and some at random.
std::vector<std::size_t> TestedLengths(std::mt19937& random) {
  std::vector<std::size_t> lengths;
  for (std::size_t length = 0; length <= 300; ++length) lengths.push_back(length);
  for (std::size_t step : {512u, 1024u, 2048u, 4096u, 8192u}) {
    for (std::size_t near = step - 17; near <= step + 17; ++near) lengths.push_back(near);
  }
  for (int i = 0; i < 40; ++i) lengths.push_back(random() % 6000);
  return lengths;
}

TEST_P(Crc32Form, GivesTheStandardCheckValue) {
  std::uint32_t crc = molt::kCrcInitial;
  EXPECT_EQ(UpdateCrc32(crc, kCheckInput, sizeof kCheckInput), kCheckValue);
}

TEST_P(Crc32Form, MatchesTheReferenceForEveryLengthAndAlignment) {
  std::mt19937 random(12);
  const Bytes data = MakeSample(SampleKind::Random, 8300, 3);
  for (const std::size_t length : TestedLengths(random)) {
    for (std::size_t offset = 0; offset < 64; ++offset) {
      const std::uint32_t start = random();
      ASSERT_EQ(molt::CarryCrc32(start, data.data() + offset, length),
                molt::crc32_forms::CrcByTable(start, data.data() + offset, length))
          << "length " << length << " at offset " << offset;
    }
  }
}

TEST_P(Crc32Form, ChainedUpdatesInRandomSplitsGiveTheCrcOfTheWhole) {
  std::mt19937 random(7);
  const Bytes data = MakeSample(SampleKind::Binary, 40000, 9);
  const std::uint32_t expected = ZlibCrc32(data);
  for (int round = 0; round < 50; ++round) {
    std::uint32_t crc = molt::kCrcInitial;
    std::uint32_t wide = molt::kCrcInitial;
    std::uint32_t result = 0;
    for (std::size_t at = 0; at < data.size();) {
      const std::size_t count = std::min<std::size_t>(random() % 3000, data.size() - at);
      result = UpdateCrc32(crc, data.data() + at, static_cast<std::uint16_t>(count));
      wide = molt::CarryCrc32(wide, data.data() + at, count);
      at += count;
    }
    ASSERT_EQ(result, expected) << "round " << round;
    ASSERT_EQ(~wide, expected) << "round " << round;
  }
}

TEST_P(Crc32Form, CarriesSpansLongerThanTheSixteenBitCount) {
  const Bytes data = MakeSample(SampleKind::Text, 200001, 4);
  EXPECT_EQ(~molt::CarryCrc32(molt::kCrcInitial, data.data(), data.size()), ZlibCrc32(data));
}

// Descrambling and the CRC-32 in one call give what descrambling, then the
// CRC-32, give: the same bytes at the destination, in place or into another
// buffer, nothing written outside it, and the same register.
TEST_P(Crc32Form, DescrambleAndCrcMatchesDescramblingThenTheCrc) {
  std::mt19937 random(5);
  const std::uint8_t* key = molt::detail::kPlainKey.bytes;
  const Bytes scrambled = MakeSample(SampleKind::Random, 41000, 8);
  constexpr std::size_t kGuard = 16;
  std::vector<std::size_t> lengths = TestedLengths(random);
  for (std::size_t longer : {16383u, 16384u, 16385u, 40000u}) lengths.push_back(longer);
  for (const std::size_t length : lengths) {
    for (std::uint64_t position : {0ull, 1ull, 7ull, 12ull, 15ull, 16ull, 29ull, 0x1234567891ull}) {
      const std::uint32_t start = random();
      Bytes expected(scrambled.begin(), scrambled.begin() + length);
      molt::DescrambleSpan(key, position, expected.data(), length);
      const std::uint32_t expectedCrc =
          molt::crc32_forms::CrcByTable(start, expected.data(), length);

      Bytes inPlace(scrambled.begin(), scrambled.begin() + length + kGuard);
      EXPECT_EQ(molt::DescrambleAndCrc(key, position, inPlace.data(), inPlace.data(), length, start),
                expectedCrc)
          << "in place, length " << length << " from " << position;
      ASSERT_TRUE(std::equal(expected.begin(), expected.end(), inPlace.begin()));
      ASSERT_TRUE(std::equal(inPlace.begin() + length, inPlace.end(), scrambled.begin() + length))
          << "written past the end";

      Bytes destination(length + 2 * kGuard, 0xA5);
      EXPECT_EQ(molt::DescrambleAndCrc(key, position, scrambled.data(), destination.data() + kGuard,
                                       length, start),
                expectedCrc)
          << "copied, length " << length << " from " << position;
      ASSERT_TRUE(std::equal(expected.begin(), expected.end(), destination.begin() + kGuard));
      ASSERT_TRUE(std::all_of(destination.begin(), destination.begin() + kGuard,
                              [](std::uint8_t byte) { return byte == 0xA5; }));
      ASSERT_TRUE(std::all_of(destination.end() - kGuard, destination.end(),
                              [](std::uint8_t byte) { return byte == 0xA5; }));
    }
  }
}

// A processor that folds gets the folding form without being asked.
TEST(Crc32Dispatch, FoldsWhereTheProcessorCan) {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_cpu_init();
  const bool canFold = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse2");
#else
  const bool canFold = false;
#endif
  EXPECT_EQ(molt::crc32_forms::FoldingSupported(), canFold);
  EXPECT_EQ(molt::crc32_forms::ActiveCrcForm(), canFold ? CrcForm::Folding : CrcForm::Slices);
}

}  // namespace
}  // namespace decoder_test

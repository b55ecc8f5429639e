// CRC-32 of the written bytes: the standard check value, the register's
// life across calls (reset, reading, initial value) and split invariance.
#include "crc32.h"

#include <gtest/gtest.h>

#include <cstring>

#include "context.h"
#include "decoder/sample_data.h"
#include "decoder/zlib_streams.h"

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

}  // namespace
}  // namespace decoder_test

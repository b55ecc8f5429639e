// Descrambling a span word by word against the byte rule: byte i of a span
// that starts at file offset p is XORed with key byte (p + i) mod 16.
#include "descramble.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "pack_format.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(DescrambleSpan, EveryKeyOffsetAndLengthFollowsTheByteRule) {
  const std::uint8_t* key = molt::detail::kPlainKey.bytes;
  std::mt19937 random(3);
  Bytes data(70000);
  for (std::uint8_t& byte : data) byte = static_cast<std::uint8_t>(random());
  std::vector<std::size_t> lengths;
  for (std::size_t length = 0; length <= 100; ++length) lengths.push_back(length);
  for (std::size_t length : {4095u, 4096u, 4097u, 8191u, 8192u, 65535u, 69990u}) {
    lengths.push_back(length);
  }
  constexpr std::size_t kGuard = 5;
  for (std::uint64_t position = 0; position < 48; ++position) {
    for (const std::size_t length : lengths) {
      for (std::uint64_t high : {0ull, 0x100000000ull}) {  // only the offset mod 16 counts
        Bytes bytes(data.begin(), data.begin() + length + kGuard);
        molt::DescrambleSpan(key, high + position, bytes.data(), length);
        for (std::size_t i = 0; i < length; ++i) {
          ASSERT_EQ(bytes[i], data[i] ^ key[(position + i) % 16])
              << "from " << position << ", length " << length << ", byte " << i;
        }
        for (std::size_t i = length; i < bytes.size(); ++i) {
          ASSERT_EQ(bytes[i], data[i]) << "past the end: from " << position << ", length "
                                       << length;
        }
      }
    }
  }
}

}  // namespace

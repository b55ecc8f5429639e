// The POSIX backend's reading of pathconf's answer for the longest name
// component, with the answers that no local file system gives on demand.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <initializer_list>
#include <optional>

#include "context.h"
#include "extract.h"
#include "platform/posix_name_limit.h"
#include "support/fault_platform.h"

namespace {

using molt::platform::ComponentLengthFromPathconf;

constexpr std::uint32_t kNoLimit = UINT32_MAX;

TEST(PosixNameLimitTest, ReadsPathconfsAnswer) {
  struct Case {
    long answer;
    int error;
    std::optional<std::uint32_t> length;
  };
  for (const Case& test : std::initializer_list<Case>{
           {255, 0, 255u},
           {254, 0, 254u},
           {-1, 0, kNoLimit},  // errno untouched: the file system sets no limit
           {-1, EINVAL, std::nullopt},
           {-1, ENOENT, std::nullopt},
           // Past 32 bits is no limit, not its low bits; a 32-bit long
           // cannot go past them.
           {static_cast<long>(std::min<unsigned long long>(LONG_MAX, 0x10000000AULL)), 0,
            LONG_MAX > UINT32_MAX ? kNoLimit : static_cast<std::uint32_t>(LONG_MAX)},
       }) {
    EXPECT_EQ(ComponentLengthFromPathconf(test.answer, test.error), test.length)
        << test.answer << " / " << test.error;
  }
}

TEST(PosixNameLimitTest, NoLimitPassesTheFileSystemTest) {
  testing_support::FaultPlatform platform;
  platform.maxComponentLength = ComponentLengthFromPathconf(-1, 0);
  molt::Context context{platform};
  EXPECT_TRUE(molt::CheckLongNameVolume(context));
}

}  // namespace

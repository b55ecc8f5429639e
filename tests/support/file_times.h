// The times of a file or folder as seconds since 1970 (UTC), read back
// through the system so tests can check what the extractor set.
#pragma once

#include <cstdint>
#include <filesystem>

namespace testing_support {

struct FileTimes {
  std::int64_t modified = -1;
  std::int64_t accessed = -1;
};

FileTimes ReadFileTimes(const std::filesystem::path& path);

}  // namespace testing_support

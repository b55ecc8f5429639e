#include <windows.h>

#include "support/file_times.h"

namespace testing_support {
namespace {

std::int64_t UnixSeconds(const FILETIME& time) {
  ULARGE_INTEGER ticks;
  ticks.LowPart = time.dwLowDateTime;
  ticks.HighPart = time.dwHighDateTime;
  return static_cast<std::int64_t>(ticks.QuadPart / 10000000ULL) - 11644473600LL;
}

}  // namespace

FileTimes ReadFileTimes(const std::filesystem::path& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.wstring().c_str(), GetFileExInfoStandard, &data)) return {};
  return {UnixSeconds(data.ftLastWriteTime), UnixSeconds(data.ftLastAccessTime)};
}

}  // namespace testing_support

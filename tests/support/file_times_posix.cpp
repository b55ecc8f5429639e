#include <sys/stat.h>

#include "support/file_times.h"

namespace testing_support {

FileTimes ReadFileTimes(const std::filesystem::path& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return {};
  return {info.st_mtim.tv_sec, info.st_atim.tv_sec};
}

}  // namespace testing_support

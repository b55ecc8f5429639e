// The command line of molt-pack.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace moltpack {

struct CommandLine {
  bool help = false;
  bool store = false;
  int level = 6;
  std::size_t volumeSize = 0;  // 0: a single volume
  std::optional<std::string> listFile;
  std::string packPath;
  std::string sourceDir;
};

// Throws UsageError for anything it cannot take.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

struct UsageError {
  std::string message;
};

extern const char* const kUsage;

}  // namespace moltpack

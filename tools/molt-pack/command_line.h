// The command line of molt-pack.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "source_tree.h"

namespace moltpack {

struct CommandLine {
  bool help = false;
  bool version = false;
  int level = 0;                 // DefaultLevel() unless given
  std::uint64_t volumeSize = 0;  // 0: a single volume
  std::optional<std::string> listFile;
  std::string packPath;
  std::string sourceDir;
  ScanOptions scan;
  unsigned jobs = 1;  // the machine's cores unless given
  bool verify = false;
  bool quiet = false;
};

struct UsageError {
  std::string message;
};

// `sourceDateEpoch`: the environment's SOURCE_DATE_EPOCH, if set; --time
// takes precedence. Throws UsageError for anything it cannot take.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments,
                             const std::optional<std::string>& sourceDateEpoch = std::nullopt);

// Seconds since 1970 UTC from "YYYY-MM-DDTHH:MM:SSZ"; nothing for another form
// or a date that does not exist.
std::optional<long long> ParseUtcTime(const std::string& text);

// The --help text.
std::string UsageText();
// One line: what to type for help, after a usage error.
extern const char* const kUsageHint;

}  // namespace moltpack

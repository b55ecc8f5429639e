// The molt command line: subcommands list, test and extract, and the old
// form `molt [options] PACK [DESTINATION]`, which extracts.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace moltcli {

enum class Command { kExtract, kList, kTest, kHelp, kVersion };

struct CommandLine {
  Command command = Command::kExtract;
  std::string pack;
  std::optional<std::string> destination;
  std::optional<std::string> filter;  // as given; see FilterForExtractor
  std::optional<std::string> codePage;
  bool json = false;     // list
  bool verbose = false;  // test
  bool quiet = false;    // extract
};

// A command line that cannot be carried out: exit 2 with this reason.
struct UsageError {
  std::string reason;
};

CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// The filter as the extractor reads it: every '/' turned into '\'. Safe in
// a double-byte code page too: no trail byte is below 0x40, so a 0x2F byte is
// always a '/' of its own.
std::string FilterForExtractor(const std::string& filter);

extern const char* const kUsageHint;  // the line after a usage error's reason
extern const char* const kHelp;      // --help
extern const char* const kVersion;   // the version number, from the build

}  // namespace moltcli

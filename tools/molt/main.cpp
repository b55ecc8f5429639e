// molt: lists, tests and unpacks packs from the command line, on the
// extractor's own code; unpacking goes through the library's export Molt,
// as the update program does.
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "command_line.h"
#include "commands.h"
#include "core/errors.h"
#include "messages.h"
#include "system_text.h"

namespace {

constexpr int kExitUsage = 2;

int Usage(const std::string& reason) {
  std::fprintf(stderr, "molt: %s\n%s", moltcli::OneLine(reason).c_str(), moltcli::kUsageHint);
  return kExitUsage;
}

int Run(const moltcli::CommandLine& line) {
  switch (line.command) {
    case moltcli::Command::kHelp:
      std::fputs(moltcli::kHelp, stdout);
      return 0;
    case moltcli::Command::kVersion:
      std::printf("molt %s\n", moltcli::kVersion);
      return 0;
    case moltcli::Command::kList:
      return moltcli::RunList(line);
    case moltcli::Command::kTest:
      return moltcli::RunTest(line);
    case moltcli::Command::kExtract:
      return moltcli::RunExtract(line);
  }
  return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  moltcli::CommandLine line;
  try {
    line = moltcli::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const moltcli::UsageError& error) {
    return Usage(error.reason);
  }
  // Before the extractor first looks at a name.
  if (line.codePage) {
    std::string problem;
    if (!moltcli::SelectCodePage(*line.codePage, &problem)) return Usage(problem);
  }
  try {
    return Run(line);
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "%s\n", moltcli::FailureLine(line.pack, molt::ERR_MEMORY).c_str());
    return molt::ERR_MEMORY;
  }
}

// The three subcommands. Each returns the exit status: 0, or the
// extractor's code, after one line on standard error for every failure.
#pragma once

#include "command_line.h"

namespace moltcli {

int RunList(const CommandLine& line);
int RunTest(const CommandLine& line);
int RunExtract(const CommandLine& line);

}  // namespace moltcli

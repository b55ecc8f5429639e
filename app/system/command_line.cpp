#include "command_line.h"

namespace kup {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view parameters) {
  std::vector<std::string> arguments;
  std::size_t i = 0;
  for (;;) {
    while (i < parameters.size() && IsBlank(parameters[i])) ++i;
    if (i == parameters.size()) break;

    std::string argument;
    bool quoted = false;
    while (i < parameters.size() && (quoted || !IsBlank(parameters[i]))) {
      std::size_t backslashes = 0;
      while (i < parameters.size() && parameters[i] == '\\') {
        ++backslashes;
        ++i;
      }
      if (i < parameters.size() && parameters[i] == '"') {
        argument.append(backslashes / 2, '\\');
        if (backslashes % 2 == 1) {
          argument += '"';
        } else {
          quoted = !quoted;
        }
        ++i;
      } else {
        argument.append(backslashes, '\\');
        if (i < parameters.size() && (quoted || !IsBlank(parameters[i]))) argument += parameters[i++];
      }
    }
    arguments.push_back(std::move(argument));
  }
  return arguments;
}

}  // namespace kup

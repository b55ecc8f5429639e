#include "command_line.h"

#include <limits>

namespace moltpack {
namespace {

// Decimal digits only, within `max`; no signs, spaces or suffixes.
std::size_t ParseNumber(const std::string& option, const std::string& text, std::size_t max) {
  if (text.empty()) throw UsageError{option + " needs a number"};
  std::size_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') throw UsageError{option + ": '" + text + "' is not a number"};
    const auto digit = static_cast<std::size_t>(c - '0');
    if (value > (max - digit) / 10) throw UsageError{option + ": " + text + " is too large"};
    value = value * 10 + digit;
  }
  return value;
}

const std::string& ValueOf(const std::vector<std::string>& arguments, std::size_t& i) {
  if (i + 1 >= arguments.size()) throw UsageError{arguments[i] + " needs a value"};
  return arguments[++i];
}

}  // namespace

const char* const kUsage =
    "usage: molt-pack [options] PACK-PATH SOURCE-DIR\n"
    "Packs the contents of SOURCE-DIR into a pack.\n"
    "PACK-PATH names the volume files as the extractor does: '%d' (or '%03d'...)\n"
    "stands for the volume number, '%%' for a percent sign.\n"
    "  --store             store files without compressing them\n"
    "  --level N           DEFLATE level 0-9 (default 6)\n"
    "  --volume-size BYTES split into a set of volumes of at most BYTES each\n"
    "  --list FILE         also write a list file naming the volumes\n"
    "  --help              show this text\n";

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  CommandLine line;
  std::vector<std::string> positional;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (optionsEnded || argument.empty() || argument[0] != '-' || argument == "-") {
      positional.push_back(argument);
    } else if (argument == "--") {
      optionsEnded = true;
    } else if (argument == "--help" || argument == "-h") {
      line.help = true;
    } else if (argument == "--store") {
      line.store = true;
    } else if (argument == "--level") {
      line.level = static_cast<int>(ParseNumber(argument, ValueOf(arguments, i), 9));
    } else if (argument == "--volume-size") {
      line.volumeSize = ParseNumber(argument, ValueOf(arguments, i), 0xFFFFFFFFu);
      if (line.volumeSize == 0) throw UsageError{"--volume-size must be above 0"};
    } else if (argument == "--list") {
      line.listFile = ValueOf(arguments, i);
    } else {
      throw UsageError{"unknown option " + argument};
    }
  }
  if (line.help) return line;
  if (positional.size() != 2) throw UsageError{"expected PACK-PATH and SOURCE-DIR"};
  line.packPath = positional[0];
  line.sourceDir = positional[1];
  return line;
}

}  // namespace moltpack

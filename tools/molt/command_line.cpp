#include "command_line.h"

#include <algorithm>

#ifndef MOLT_CLI_VERSION
#error "the build defines MOLT_CLI_VERSION"
#endif

namespace moltcli {

const char* const kVersion = MOLT_CLI_VERSION;

const char* const kUsageHint = "Try 'molt --help' for more information.\n";

// The synopsis opens the help.
#define MOLT_SYNOPSIS                                                         \
  "usage: molt list [--json] [--codepage 932] PACK\n"                          \
  "       molt test [--verbose] [--codepage 932] PACK\n"                       \
  "       molt extract [-f PATH] [-q] [--codepage 932] PACK [DESTINATION]\n"   \
  "       molt [-f PATH] [-q] [--codepage 932] PACK [DESTINATION]\n"           \
  "       molt --help | --version\n"

const char* const kHelp =
    MOLT_SYNOPSIS
    "\n"
    "Reads a pack with the extractor's own reader, decoder and CRC-32.\n"
    "\n"
    "  list     one line per entry, in stream order: type, original size, packed\n"
    "           size, method, CRC-32, selection mask, attributes (R read-only,\n"
    "           H hidden, S system, D directory, A archive; +XXXX other bits),\n"
    "           last-write time (UTC), path; then the totals. Paths are joined\n"
    "           with '\\' and relative to the folder the pack is extracted into;\n"
    "           a long name is followed by its short name in brackets. Names\n"
    "           are UTF-8, converted as for --json; one that does not convert\n"
    "           exactly is followed by its bytes: 'A?B (hex 410142)'. Every\n"
    "           entry is listed, also those whose selection mask keeps them\n"
    "           from being extracted without a filter.\n"
    "  test     decodes every file and checks its CRC-32, writing nothing; one\n"
    "           line on standard error for each failing entry\n"
    "  extract  unpacks PACK under DESTINATION (default: the current folder)\n"
    "           through the library's export Molt, as the update program does.\n"
    "           DESTINATION must exist. Without a subcommand, molt extracts.\n"
    "\n"
    "PACK is the path of the pack's volume, a format for the volume number\n"
    "('data%d.bin', 'data%03d.bin'; '%%' for a percent sign), or '@' and the\n"
    "path of a file that names the volumes one per line.\n"
    "\n"
    "Options:\n"
    "  --json             list: one JSON document on standard output. Names are\n"
    "                     UTF-8, read in the code page its \"code_page\" member\n"
    "                     names; a name that does not convert exactly also has\n"
    "                     its bytes in hex beside it (\"path_hex\"...)\n"
    "  -v, --verbose      test: also name each file that checks out\n"
    "  -f, --filter PATH  extract: only the file or folder PATH; components are\n"
    "                     separated by '\\' or '/' and may hold '*' and '?';\n"
    "                     letters match either case, long or short names\n"
    "  -q, --quiet        extract: no error line; the exit status tells\n"
    "  --codepage 932     read names as code page 932 (Shift-JIS), as Japanese\n"
    "                     Windows does; on POSIX the same as MOLT_CODEPAGE=932.\n"
    "                     Windows builds read names in the system's code page.\n"
    "  -h, --help         show this text\n"
    "  --version          show the version\n"
    "  --                 ends the options\n"
    "\n"
    "Every failure is one line on standard error:\n"
    "  molt: PATH: CODE_NAME (NUMBER): message[: system's reason][; detail]\n"
    "naming the entry, volume or folder involved, with the system's reason\n"
    "when a system call failed (a volume that cannot be opened or read, an\n"
    "output that cannot be made or written).\n"
    "\n"
    "Where the data ends: list and test add up the volumes' sizes once every\n"
    "volume was read. Fewer bytes than volume 1's set block says fail with 35\n"
    "(more: 34). The volume named is the one whose data ends early: a volume\n"
    "that another followed and that is smaller than the largest such (molt-pack\n"
    "makes all volumes of a set but the last of one size), else the last. A\n"
    "failure of the data (34, 35, 45) after such a volume is told against it.\n"
    "\n"
    "Exit status:\n"
    "  0       success\n"
    "  2       the command line is wrong\n"
    "  4-255   the extractor's error code, as Molt returns it; for test the\n"
    "          code of the first failure in stream order. Among them:\n"
    "          31 a volume or list file cannot be opened, 34 bad data,\n"
    "          35 the pack ends early (a volume cut short, or the volumes\n"
    "          hold less than the set block says), 36 a volume is\n"
    "          missing, 40 not a pack, 41 the filter matched nothing,\n"
    "          42/43 a folder/file cannot be made, 44 the disk is full,\n"
    "          45 a CRC-32 differs\n"
    "\n"
    "Examples:\n"
    "  molt list package.dat\n"
    "  molt list --json 'data%d.bin' > entries.json\n"
    "  molt test @volumes.txt\n"
    "  molt extract package.dat out\n"
    "  molt extract --filter docs/readme.txt package.dat out\n"
    "  molt package.dat out\n";

namespace {

bool IsSubcommand(const std::string& word, Command* command) {
  if (word == "list") {
    *command = Command::kList;
  } else if (word == "test") {
    *command = Command::kTest;
  } else if (word == "extract") {
    *command = Command::kExtract;
  } else {
    return false;
  }
  return true;
}

const char* NameOf(Command command) {
  switch (command) {
    case Command::kList: return "list";
    case Command::kTest: return "test";
    default: return "extract";
  }
}

struct Parser {
  const std::vector<std::string>& arguments;
  std::size_t next = 0;
  CommandLine line;
  std::vector<std::string> positional;
  std::optional<Command> subcommand;
  std::vector<std::string> optionsSeen;  // to check against the subcommand
  bool help = false;
  bool version = false;

  // The value of an option: '--name=value' or the next argument.
  std::string ValueOf(const std::string& option, const std::optional<std::string>& attached) {
    if (attached) return *attached;
    if (next >= arguments.size()) throw UsageError{option + " needs a value"};
    return arguments[next++];
  }

  void Option(const std::string& argument) {
    std::string option = argument;
    std::optional<std::string> attached;
    if (const std::size_t equals = argument.find('='); argument.rfind("--", 0) == 0 &&
                                                        equals != std::string::npos) {
      option = argument.substr(0, equals);
      attached = argument.substr(equals + 1);
    }
    const auto takesNoValue = [&] {
      if (attached) throw UsageError{option + " takes no value"};
    };
    if (option == "-h" || option == "--help") {
      takesNoValue();
      help = true;
    } else if (option == "--version") {
      takesNoValue();
      version = true;
    } else if (option == "--json") {
      takesNoValue();
      line.json = true;
      optionsSeen.push_back(option);
    } else if (option == "-v" || option == "--verbose") {
      takesNoValue();
      line.verbose = true;
      optionsSeen.push_back("--verbose");
    } else if (option == "-q" || option == "--quiet") {
      takesNoValue();
      line.quiet = true;
      optionsSeen.push_back("--quiet");
    } else if (option == "-f" || option == "--filter") {
      line.filter = ValueOf(option, attached);
      optionsSeen.push_back("--filter");
    } else if (option == "--codepage") {
      line.codePage = ValueOf(option, attached);
    } else {
      throw UsageError{"unknown option " + argument};
    }
  }

  void CheckOptionsFit(Command command) {
    for (const std::string& option : optionsSeen) {
      const bool fits = (option == "--json" && command == Command::kList) ||
                        (option == "--verbose" && command == Command::kTest) ||
                        ((option == "--quiet" || option == "--filter") &&
                         command == Command::kExtract);
      if (!fits) throw UsageError{option + " is not an option of '" + NameOf(command) + "'"};
    }
  }

  CommandLine Parse() {
    bool optionsEnded = false;
    while (next < arguments.size()) {
      const std::string& argument = arguments[next++];
      if (!optionsEnded && argument == "--") {
        optionsEnded = true;
      } else if (!optionsEnded && argument.size() > 1 && argument[0] == '-') {
        Option(argument);
      } else if (!subcommand && positional.empty()) {
        // The first word names a subcommand, or else it is the PACK of the
        // old form. A pack called 'list' is 'molt extract list'.
        Command command;
        if (!optionsEnded && IsSubcommand(argument, &command)) {
          subcommand = command;
        } else {
          subcommand = Command::kExtract;
          positional.push_back(argument);
        }
      } else {
        positional.push_back(argument);
      }
    }
    if (help) {
      line.command = Command::kHelp;
      return line;
    }
    if (version) {
      line.command = Command::kVersion;
      return line;
    }
    line.command = subcommand.value_or(Command::kExtract);
    CheckOptionsFit(line.command);
    const std::size_t most = line.command == Command::kExtract ? 2 : 1;
    if (positional.empty()) throw UsageError{"no PACK given"};
    if (positional.size() > most) {
      throw UsageError{"too many arguments for '" + std::string(NameOf(line.command)) + "': '" +
                       positional[most] + "'"};
    }
    if (positional[0].empty()) throw UsageError{"PACK is empty"};
    line.pack = positional[0];
    if (positional.size() > 1) line.destination = positional[1];
    return line;
  }
};

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  return Parser{arguments}.Parse();
}

std::string FilterForExtractor(const std::string& filter) {
  std::string result = filter;
  std::replace(result.begin(), result.end(), '/', '\\');
  return result;
}

}  // namespace moltcli

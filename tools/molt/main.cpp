// molt: unpacks a pack from the command line through the library's export,
// exactly as the update program does.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "molt.h"

namespace {

constexpr const char* kUsage =
    "usage: molt [options] PACK [DESTINATION]\n"
    "\n"
    "Unpacks PACK under DESTINATION (default: the current directory).\n"
    "PACK is the path of the pack's volume, a format for the volume number\n"
    "('data%d.bin'), or '@' and the path of a file that lists the volumes.\n"
    "\n"
    "options:\n"
    "  -f, --filter PATH   unpack only the file or folder PATH; components are\n"
    "                      separated by backslashes and may hold '*' and '?'\n"
    "  -q, --quiet         show no error messages of the library\n"
    "  -h, --help          show this text\n"
    "\n"
    "Exit status: 0 on success, else the library's error code.\n";

int Usage(const char* problem) {
  std::fprintf(stderr, "molt: %s\n\n%s", problem, kUsage);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  const char* filter = nullptr;
  int showErrors = 1;
  const char* positional[2] = {nullptr, nullptr};
  int count = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (arg == "-q" || arg == "--quiet") {
      showErrors = 0;
    } else if (arg == "-f" || arg == "--filter") {
      if (++i == argc) return Usage("--filter needs a path");
      filter = argv[i];
    } else if (arg.size() > 1 && arg[0] == '-') {
      return Usage(("unknown option " + arg).c_str());
    } else if (count < 2) {
      positional[count++] = argv[i];
    } else {
      return Usage("too many arguments");
    }
  }
  if (count == 0) return Usage("no pack given");
  const char* destination = count > 1 ? positional[1] : "";
  const int result = Molt(positional[0], destination, filter, showErrors, "UNPACK");
  if (result != 0) std::fprintf(stderr, "molt: unpacking failed with code %d\n", result);
  return result;
}

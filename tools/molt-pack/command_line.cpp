#include "command_line.h"

#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <utility>

#include "codepage_names.h"
#include "compressor.h"
#include "entry_patterns.h"
#include "volume_sink.h"

namespace moltpack {
namespace {

// Each job holds about 16 MiB of buffers; past a few dozen threads the
// single writer is the bottleneck anyway.
constexpr unsigned kMaxJobs = 64;
constexpr std::uint64_t kMaxPathBudget = 32767;

// Decimal digits only, within `max`; no signs, spaces or suffixes.
std::uint64_t ParseNumber(const std::string& option, const std::string& text, std::uint64_t max) {
  if (text.empty()) throw UsageError{option + " needs a number"};
  std::uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') throw UsageError{option + ": '" + text + "' is not a number"};
    const auto digit = static_cast<std::uint64_t>(c - '0');
    if (value > (max - digit) / 10) throw UsageError{option + ": " + text + " is above " + std::to_string(max)};
    value = value * 10 + digit;
  }
  return value;
}

// Decimal, or hexadecimal after "0x", within 32 bits.
std::uint32_t ParseMaskValue(const std::string& option, const std::string& text) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    std::uint64_t value = 0;
    for (std::size_t i = 2; i < text.size(); ++i) {
      const char c = text[i];
      int digit = -1;
      if (c >= '0' && c <= '9') digit = c - '0';
      if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
      if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
      if (digit < 0) throw UsageError{option + ": '" + text + "' is not a number"};
      value = value * 16 + static_cast<std::uint64_t>(digit);
      if (value > 0xFFFFFFFFu) throw UsageError{option + ": " + text + " does not fit in 32 bits"};
    }
    return static_cast<std::uint32_t>(value);
  }
  return static_cast<std::uint32_t>(ParseNumber(option, text, 0xFFFFFFFFu));
}

std::pair<std::string, std::uint32_t> ParseMask(const std::string& text) {
  const std::size_t equals = text.rfind('=');
  if (equals == std::string::npos || equals == 0) throw UsageError{"--mask takes PATTERN=VALUE, not '" + text + "'"};
  return {text.substr(0, equals), ParseMaskValue("--mask", text.substr(equals + 1))};
}

int ParseLevel(const std::string& text) {
  const int level = static_cast<int>(ParseNumber("--level", text, 99));
  if (level > HighestLevel()) {
    if (level <= 12) {
      throw UsageError{"--level " + text + ": this build offers levels 0-" + std::to_string(HighestLevel()) +
                       " (levels 10-12 need libdeflate)"};
    }
    throw UsageError{"--level " + text + ": levels go from 0 to " + std::to_string(HighestLevel())};
  }
  return level;
}

std::uint64_t ParseVolumeSize(const std::string& text) {
  const std::uint64_t size = ParseNumber("--volume-size", text, kMaxVolumeSize);
  if (size < kMinVolumeSize) {
    throw UsageError{"--volume-size " + text + ": a volume needs at least " + std::to_string(kMinVolumeSize) +
                     " bytes (64 bytes of headers and 1 of the pack's contents)"};
  }
  return size;
}

long long ParseSourceDateEpoch(const std::string& text) {
  try {
    return static_cast<long long>(ParseNumber("SOURCE_DATE_EPOCH", text, 253402300799));  // 9999-12-31
  } catch (const UsageError& error) {
    throw UsageError{error.message + " (it must hold seconds since 1970)"};
  }
}

// A code page that the system converts names into.
int ParseCodePage(const std::string& text) {
  const int number = static_cast<int>(ParseNumber("--codepage", text, 65535));
  try {
    const TargetCodePage converter(number);
  } catch (const std::runtime_error& error) {
    throw UsageError{std::string("--codepage: ") + error.what()};
  }
  return number;
}

// Patterns are checked here, before the tree is read: a pattern that cannot
// be used is a mistake on the command line, whatever the tree holds.
void CheckPatterns(const ScanOptions& scan) {
  try {
    const TargetCodePage codePage(scan.codePage);
    const EntryPatterns patterns(scan, codePage);
  } catch (const std::runtime_error& error) {
    throw UsageError{error.what()};
  }
}

// "-" is no standard output here: a file named "-" would be a surprise.
void RefuseDashAsPackPath(const std::string& packPath) {
  if (packPath == "-") throw UsageError{"PACK-PATH '-' is not standard output; write ./- for a file named '-'"};
}

unsigned DefaultJobs() {
  const unsigned cores = std::thread::hardware_concurrency();
  return cores == 0 ? 1 : std::min(cores, kMaxJobs);
}

// An option's value: the rest of "--option=value", or the next argument.
class Arguments {
 public:
  explicit Arguments(const std::vector<std::string>& all) : all_(all) {}
  bool Done() const { return at_ >= all_.size(); }
  // The next argument; for "--name=value" the name, keeping the value.
  std::string Take() {
    std::string argument = all_[at_++];
    inlineValue_.reset();
    if (argument.size() > 2 && argument.compare(0, 2, "--") == 0) {
      const std::size_t equals = argument.find('=');
      if (equals != std::string::npos) {
        inlineValue_ = argument.substr(equals + 1);
        argument.resize(equals);
      }
    }
    return argument;
  }
  std::string Value(const std::string& option) {
    if (inlineValue_) return *std::exchange(inlineValue_, std::nullopt);
    if (Done()) throw UsageError{option + " needs a value"};
    return all_[at_++];
  }
  void RefuseValue(const std::string& option) {
    if (inlineValue_) throw UsageError{option + " takes no value"};
  }

 private:
  const std::vector<std::string>& all_;
  std::size_t at_ = 0;
  std::optional<std::string> inlineValue_;
};

}  // namespace

const char* const kUsageHint = "Try 'molt-pack --help' for more information.\n";

std::optional<long long> ParseUtcTime(const std::string& text) {
  // YYYY-MM-DDTHH:MM:SSZ, every digit where it belongs.
  static const std::string kShape = "dddd-dd-ddTdd:dd:ddZ";
  if (text.size() != kShape.size()) return std::nullopt;
  for (std::size_t i = 0; i < kShape.size(); ++i) {
    const bool digit = text[i] >= '0' && text[i] <= '9';
    if (kShape[i] == 'd' ? !digit : text[i] != kShape[i]) return std::nullopt;
  }
  const auto field = [&text](std::size_t at, std::size_t length) { return std::stoi(text.substr(at, length)); };
  using namespace std::chrono;
  const year_month_day date{year{field(0, 4)}, month{static_cast<unsigned>(field(5, 2))},
                            day{static_cast<unsigned>(field(8, 2))}};
  const int hour = field(11, 2);
  const int minute = field(14, 2);
  const int second = field(17, 2);
  if (!date.ok() || hour > 23 || minute > 59 || second > 59) return std::nullopt;
  const sys_seconds moment = sys_days{date} + hours{hour} + minutes{minute} + seconds{second};
  return moment.time_since_epoch().count();
}

CommandLine ParseCommandLine(const std::vector<std::string>& argumentList,
                             const std::optional<std::string>& sourceDateEpoch) {
  CommandLine line;
  line.level = DefaultLevel();
  line.jobs = DefaultJobs();
  std::vector<std::string> positional;
  bool storePatternsGiven = false;
  bool storeGiven = false;
  bool optionsEnded = false;
  Arguments arguments(argumentList);
  while (!arguments.Done()) {
    const std::string argument = arguments.Take();
    if (optionsEnded || argument.empty() || argument[0] != '-' || argument == "-") {
      positional.push_back(argument);
      continue;
    }
    if (argument == "--") {
      optionsEnded = true;
    } else if (argument == "--help" || argument == "-h") {
      line.help = true;
    } else if (argument == "--version") {
      line.version = true;
    } else if (argument == "--store") {
      if (!storePatternsGiven) line.scan.storePatterns.clear();
      storePatternsGiven = storeGiven = true;
      line.scan.storePatterns.push_back(arguments.Value(argument));
    } else if (argument == "--mask") {
      line.scan.masks.push_back(ParseMask(arguments.Value(argument)));
    } else if (argument == "--level") {
      line.level = ParseLevel(arguments.Value(argument));
    } else if (argument == "--volume-size") {
      line.volumeSize = ParseVolumeSize(arguments.Value(argument));
    } else if (argument == "--list") {
      line.listFile = arguments.Value(argument);
    } else if (argument == "--time") {
      const std::string text = arguments.Value(argument);
      line.scan.fixedTime = ParseUtcTime(text);
      if (!line.scan.fixedTime) throw UsageError{"--time '" + text + "' is not a time like 2008-03-15T13:45:30Z"};
    } else if (argument == "--codepage") {
      line.scan.codePage = ParseCodePage(arguments.Value(argument));
    } else if (argument == "--path-budget") {
      line.scan.pathBudget = static_cast<std::size_t>(ParseNumber(argument, arguments.Value(argument), kMaxPathBudget));
    } else if (argument == "--refuse-long-paths") {
      arguments.RefuseValue(argument);
      line.scan.refuseLongPaths = true;
    } else if (argument == "--jobs") {
      line.jobs = static_cast<unsigned>(ParseNumber(argument, arguments.Value(argument), kMaxJobs));
      if (line.jobs == 0) throw UsageError{"--jobs must be at least 1"};
    } else if (argument == "--verify") {
      arguments.RefuseValue(argument);
      line.verify = true;
    } else if (argument == "--quiet" || argument == "-q") {
      arguments.RefuseValue(argument);
      line.quiet = true;
    } else {
      throw UsageError{"unknown option " + argument};
    }
  }
  if (line.help || line.version) return line;
  if (positional.size() != 2) {
    std::string message = "expected PACK-PATH and SOURCE-DIR";
    // Before patterns, --store was a switch; its old use now swallows PACK-PATH.
    if (storeGiven) message += " (--store takes a pattern now: --store '*' stores every file)";
    throw UsageError{message};
  }
  RefuseDashAsPackPath(positional[0]);
  line.packPath = positional[0];
  line.sourceDir = positional[1];
  CheckPatterns(line.scan);
  if (!line.scan.fixedTime && sourceDateEpoch) line.scan.fixedTime = ParseSourceDateEpoch(*sourceDateEpoch);
  return line;
}

std::string UsageText() {
  const std::string highest = std::to_string(HighestLevel());
  return "usage: molt-pack [OPTION]... PACK-PATH SOURCE-DIR\n"
         "Packs the contents of SOURCE-DIR into a pack that the extractor unpacks.\n"
         "\n"
         "PACK-PATH names the volume files as the extractor does: '%d' (or '%03d'...)\n"
         "stands for the volume number, '%%' for a percent sign. Without --volume-size\n"
         "the pack is one volume, named with the number 1. PACK-PATH '-' is refused (it\n"
         "is no standard output): write ./- for a file named '-'.\n"
         "\n"
         "Options:\n"
         "  --level N            DEFLATE level 0-" + highest + " (default " + std::to_string(DefaultLevel()) + "); 0 stores every file.\n"
         "                       Levels 1-9 are zlib's; 10-12 are libdeflate's, for files up\n"
         "                       to " + std::to_string(kWholeFileLimit >> 20) + " MiB (larger files get zlib's level 9)" +
         (HighestLevel() > kZlibMaxLevel ? std::string(".\n") : std::string(";\n                       this build has no libdeflate\n")) +
         "  --store PATTERN      store files whose name matches PATTERN ('*', '?') instead of\n"
         "                       compressing them; repeatable. The first --store replaces the\n"
         "                       defaults *.msu *.cab *.zip; --store '*' stores every file\n"
         "  --mask PATTERN=VALUE give entries whose name matches PATTERN this selection mask\n"
         "                       (decimal, or hexadecimal after 0x; 32 bits); repeatable, the\n"
         "                       last matching pattern wins\n"
         "  --volume-size BYTES  split the pack into a set of volumes of at most BYTES each,\n"
         "                       from " + std::to_string(kMinVolumeSize) + " (64 bytes of headers and 1 of contents) to\n"
         "                       4294967295; without it one volume holds the whole pack,\n"
         "                       which must stay below 4 GiB\n"
         "  --list FILE          also write a list file naming the volumes, one per line\n"
         "  --time YYYY-MM-DDTHH:MM:SSZ\n"
         "                       stamp this time (UTC) on every entry; the environment's\n"
         "                       SOURCE_DATE_EPOCH (seconds since 1970) does the same\n"
         "  --codepage N         write names in code page N (932: Shift-JIS); 0 (the default)\n"
         "                       keeps the names' bytes\n"
         "  --path-budget N      warn about paths longer than N bytes (default 160)\n"
         "  --refuse-long-paths  fail instead of warning about them\n"
         "  --jobs N             compress on N threads, 1 to " + std::to_string(kMaxJobs) + " (default: every core, at\n"
         "                       most " + std::to_string(kMaxJobs) + "); the pack's bytes do not depend on N\n"
         "  --verify             read the pack back through the extractor and compare every\n"
         "                       file with its source before putting the pack in place\n"
         "  -q, --quiet          no warnings and no progress line\n"
         "  --version            show the version and the compression libraries\n"
         "  --help               show this text\n"
         "\n"
         "The volumes and the list file are written under temporary names beside their\n"
         "final ones and put in place only when all of them are complete: a failed run\n"
         "leaves an earlier pack as it was. Volumes left by an earlier, longer pack of the\n"
         "same name are then removed. An output name where anything but a regular file\n"
         "stands (a folder, a symbolic link, a device, a FIFO) is refused, not replaced.\n"
         "\n"
         "The same tree and options give the same bytes: what goes into them is the names,\n"
         "contents and sizes of the files and folders, their last-write times (or --time),\n"
         "the read-only attribute (from the owner's write permission), the masks, the\n"
         "store patterns, the level, the volume size, and the versions of zlib and\n"
         "libdeflate (see --version); not the number of jobs.\n"
         "\n"
         "Exit status: 0 success, 1 failure, 2 a usage error.\n"
         "\n"
         "Examples:\n"
         "  molt-pack package.dat update/\n"
         "  molt-pack --volume-size 1440000 --list disks.txt 'disk%d.bin' update/\n"
         "  molt-pack --store '*.msu' --mask 'extras*=1' --time 2008-03-15T00:00:00Z package.dat update/\n";
}

}  // namespace moltpack

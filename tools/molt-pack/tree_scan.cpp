#include "tree_scan.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <set>
#include <stdexcept>
#include <string>

#include "short_names.h"

namespace moltpack {
namespace fs = std::filesystem;
namespace {

constexpr std::uint16_t kAttributeReadOnly = 0x0001;
constexpr std::uint16_t kAttributeDirectory = 0x0010;
constexpr std::size_t kShortNameMax = 15;
constexpr std::size_t kLongNameMax = 255;
constexpr std::uintmax_t kFileSizeMax = 0xFFFFFFFFu;

[[noreturn]] void Fail(const fs::path& path, const std::string& what) {
  throw std::runtime_error("'" + path.string() + "': " + what);
}

std::string Upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

// Names the extractor's platform could not create are refused here rather
// than packed into something that fails on the user's machine.
void CheckName(const fs::path& path, const std::string& name) {
  if (name.size() > kLongNameMax) Fail(path, "name longer than 255 bytes");
  for (char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || std::string("<>:\"/\\|?*").find(c) != std::string::npos) {
      Fail(path, "name holds a character that Windows file names cannot");
    }
  }
  if (name.back() == ' ' || name.back() == '.') Fail(path, "name ends in a space or a dot");
}

std::string ReadWholeFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) Fail(path, "cannot open");
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) Fail(path, "cannot read");
  return bytes;
}

packwriter::DosTimes TimesOf(const fs::path& path) {
  const auto written = std::chrono::file_clock::to_sys(fs::last_write_time(path));
  return DosTimesFromUnix(std::chrono::floor<std::chrono::seconds>(written).time_since_epoch().count());
}

packwriter::Entry FileEntry(const fs::path& path, const std::string& name, const InMemoryScanOptions& options) {
  if (fs::file_size(path) > kFileSizeMax) Fail(path, "file of 4 GiB or more");
  std::string data = ReadWholeFile(path);
  packwriter::Entry entry = packwriter::File(name, std::move(data));
  if (!options.store) {
    // Compressed only where that saves bytes; a stored copy is never worse.
    std::string packed = packwriter::DeflateRaw(entry.data, options.level);
    if (packed.size() < entry.data.size()) {
      entry.mode = packwriter::DataMode::kSupplied;
      entry.packedData = std::move(packed);
      entry.suppliedDeflated = true;
    }
  }
  const bool ownerCanWrite = (fs::status(path).permissions() & fs::perms::owner_write) != fs::perms::none;
  if (!ownerCanWrite) entry.attributes |= kAttributeReadOnly;
  return entry;
}

std::vector<packwriter::Entry> ScanDirectory(const fs::path& directory, const InMemoryScanOptions& options);

packwriter::Entry EntryFor(const fs::directory_entry& item, const InMemoryScanOptions& options) {
  const fs::path& path = item.path();
  const std::string name = path.filename().string();
  CheckName(path, name);
  packwriter::Entry entry;
  if (item.is_symlink()) Fail(path, "symbolic links are not packed");
  if (item.is_directory()) {
    entry = packwriter::Directory(name, ScanDirectory(path, options));
    entry.attributes = kAttributeDirectory;
  } else if (item.is_regular_file()) {
    entry = FileEntry(path, name, options);
  } else {
    Fail(path, "neither a file nor a directory");
  }
  entry.times = TimesOf(path);
  return entry;
}

// Valid short names keep their name; the others get a long name and a
// generated short name that none of their siblings uses.
void AssignShortNames(const fs::path& directory, std::vector<packwriter::Entry>& entries) {
  std::set<std::string> taken;
  std::set<std::string> diskNames;
  for (const packwriter::Entry& entry : entries) {
    if (!diskNames.insert(Upper(entry.shortName)).second) {
      Fail(directory / entry.shortName, "another name in the folder differs from it only in case");
    }
    if (entry.shortName.size() <= kShortNameMax && IsValidShortName(entry.shortName)) {
      taken.insert(entry.shortName);
    }
  }
  for (packwriter::Entry& entry : entries) {
    if (entry.shortName.size() <= kShortNameMax && IsValidShortName(entry.shortName)) continue;
    entry.longName = entry.shortName;
    entry.shortName = GenerateShortName(*entry.longName, taken);
  }
}

std::vector<packwriter::Entry> ScanDirectory(const fs::path& directory, const InMemoryScanOptions& options) {
  std::vector<fs::directory_entry> items(fs::directory_iterator(directory), fs::directory_iterator{});
  std::sort(items.begin(), items.end(), [](const fs::directory_entry& a, const fs::directory_entry& b) {
    return a.path().filename().string() < b.path().filename().string();
  });
  std::vector<packwriter::Entry> entries;
  for (const fs::directory_entry& item : items) entries.push_back(EntryFor(item, options));
  AssignShortNames(directory, entries);
  return entries;
}

}  // namespace

packwriter::DosTimes DosTimesFromUnix(long long seconds) {
  using namespace std::chrono;
  const sys_seconds moment{std::chrono::seconds{seconds}};
  const sys_days day = floor<days>(moment);
  const year_month_day date{day};
  const hh_mm_ss clock{moment - day};
  int year = static_cast<int>(date.year());
  unsigned month = static_cast<unsigned>(date.month());
  unsigned dayOfMonth = static_cast<unsigned>(date.day());
  int hour = static_cast<int>(clock.hours().count());
  int minute = static_cast<int>(clock.minutes().count());
  int second = static_cast<int>(clock.seconds().count());
  if (year < 1980) {  // the earliest DOS moment
    year = 1980;
    month = 1;
    dayOfMonth = 1;
    hour = minute = second = 0;
  } else if (year > 2107) {  // the latest one
    year = 2107;
    month = 12;
    dayOfMonth = 31;
    hour = 23;
    minute = 59;
    second = 58;
  }
  packwriter::DosTimes times;
  times.lastWriteDate = packwriter::DosDate(year, static_cast<int>(month), static_cast<int>(dayOfMonth));
  times.lastWriteTime = packwriter::DosTime(hour, minute, second);
  times.creationDate = times.lastWriteDate;
  times.creationTime = times.lastWriteTime;
  times.lastAccessDate = times.lastWriteDate;
  return times;
}

std::vector<packwriter::Entry> ScanTree(const fs::path& root, const InMemoryScanOptions& options) {
  std::error_code error;
  if (!fs::is_directory(root, error)) Fail(root, "not a directory");
  return ScanDirectory(root, options);
}

namespace {

SourceEntry Describe(const packwriter::Entry& entry, const fs::path& source, const std::string& parentPath) {
  SourceEntry out;
  out.kind = entry.kind == packwriter::Entry::Kind::kDirectory ? SourceEntry::Kind::kDirectory
                                                              : SourceEntry::Kind::kFile;
  const std::string name = entry.longName ? *entry.longName : entry.shortName;
  out.source = source / name;
  out.displayPath = parentPath.empty() ? name : parentPath + "/" + name;
  out.shortName = entry.shortName;
  out.longName = entry.longName;
  out.packPath = out.displayPath;
  for (char& c : out.packPath) {
    if (c == '/') c = '\\';
  }
  out.size = entry.data.size();
  out.attributes = entry.attributes;
  out.times = entry.times;
  for (const packwriter::Entry& child : entry.children) {
    out.children.push_back(Describe(child, out.source, out.displayPath));
  }
  return out;
}

}  // namespace

// A first form that reads the contents as the in-memory scan does.
std::vector<SourceEntry> ScanSourceTree(const fs::path& root, const ScanOptions&, const WarningSink&) {
  std::vector<SourceEntry> entries;
  for (const packwriter::Entry& entry : ScanTree(root, {true, 0})) entries.push_back(Describe(entry, root, ""));
  return entries;
}

}  // namespace moltpack

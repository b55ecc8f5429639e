#include "tree_scan.h"

#include <algorithm>
#include <chrono>
#include <iterator>
#include <map>
#include <stdexcept>
#include <string>

#include "codepage_names.h"
#include "core/pack_format.h"
#include "entry_patterns.h"
#include "name_rules.h"
#include "short_names.h"
#include "system_files.h"
#include "unicode_case.h"

namespace moltpack {
namespace fs = std::filesystem;
namespace {

constexpr std::uint16_t kAttributeReadOnly = 0x0001;
constexpr std::uint16_t kAttributeDirectory = 0x0010;
constexpr std::uint64_t kSizeFieldMax = 0xFFFFFFFFu;  // a record's sizes hold 32 bits
// Bytes of a record besides its fixed part (molt::kFileRecordFixedSize,
// kDirectoryRecordFixedSize), names and data: the 2-byte short-name field
// and a NUL, and a long name's size and NUL.
constexpr std::uint64_t kShortNameExtra = 3;
constexpr std::uint64_t kLongNameExtra = 3;
constexpr std::uint64_t kEndTag = 4;
// DEFLATE's best: a 258-byte match coded in 2 bits.
constexpr std::uint64_t kDeflateBestRatio = 1032;
// Windows paths hold 259 bytes and the NUL; the extractor joins the
// destination folder, a backslash and the entry's path.
constexpr std::size_t kWindowsPathMax = 259;

// A path as the user's system spells it, in UTF-8 on Windows.
std::string Spelled(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

[[noreturn]] void Fail(const fs::path& path, const std::string& reason) {
  throw std::runtime_error(Spelled(path) + ": " + reason);
}

// The fewest bytes that the entry's record, names and data can take in the
// pack: a stored file all of its size, a compressed one what DEFLATE could
// make of it at best, a folder its records and the end tag.
std::uint64_t LeastPackedBytes(const SourceEntry& entry, std::uint64_t leastContents) {
  std::uint64_t bytes = entry.shortName.size() + kShortNameExtra;
  if (entry.longName) bytes += entry.longName->size() + kLongNameExtra;
  if (entry.kind == SourceEntry::Kind::kDirectory) return bytes + molt::kDirectoryRecordFixedSize + leastContents;
  return bytes + molt::kFileRecordFixedSize + (entry.store ? entry.size : entry.size / kDeflateBestRatio);
}

class Scanner {
 public:
  Scanner(const fs::path& root, const ScanOptions& options, const WarningSink& warn)
      : root_(root), options_(options), warn_(warn), codePage_(options.codePage), patterns_(options, codePage_) {}

  std::vector<SourceEntry> Run() {
    CheckRoot();
    std::vector<const SourceEntry*> above;
    std::uint64_t ignored = 0;
    std::vector<SourceEntry> entries = ScanFolder(root_, {}, "", above, false, ignored);
    if (!refusals_.empty()) throw RefusedEntries(refusals_);
    if (clampedCount_ > 0) {
      Warn(firstClamped_ + (clampedCount_ > 1 ? " and " + std::to_string(clampedCount_ - 1) + " more entries" : "") +
           ": times before 1980 or after 2107 do not fit the pack's DOS times and were clamped to"
           " 1980-01-01 00:00:00 or 2107-12-31 23:59:58");
    }
    return entries;
  }

 private:
  // One folder item, typed, with its name in the target code page and checked.
  struct Item {
    fs::path path;
    fs::file_status status;
    std::uint64_t size = 0;  // a file's
    std::string name;
    bool refused = false;  // told in refusals_, not packed
  };

  void Warn(const std::string& text) const {
    if (warn_) warn_(text);
  }

  // The scan goes on after a refusal, so that one run tells them all.
  void Refuse(const fs::path& path, const std::string& reason) { refusals_.push_back(Spelled(path) + ": " + reason); }

  void CheckRoot() const {
    std::error_code error;
    const fs::file_status status = StatEntry(root_, true, error).status;
    if (status.type() == fs::file_type::not_found) Fail(root_, "does not exist");
    if (error) Fail(root_, "cannot be examined: " + error.message());
    if (status.type() == fs::file_type::regular) Fail(root_, "is a file, not a folder");
    if (status.type() != fs::file_type::directory) Fail(root_, "is not a folder");
  }

  std::vector<Item> ListFolder(const fs::path& folder) {
    std::error_code error;
    std::vector<fs::path> paths;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
      paths.push_back(it->path());
    }
    if (error) Fail(folder, "cannot list the folder: " + error.message());
    // By the names' bytes, so the same tree gives the same pack.
    std::sort(paths.begin(), paths.end(),
              [](const fs::path& a, const fs::path& b) { return a.filename().native() < b.filename().native(); });
    std::vector<Item> items;
    for (const fs::path& path : paths) items.push_back(Examine(path));
    RefuseCaseTwins(items);
    return items;
  }

  Item Examine(const fs::path& path) {
    std::error_code error;
    const EntryStat stat = StatEntry(path, false, error);
    Item item{path, stat.status, stat.size, {}};
    if (error) Fail(path, "cannot be examined: " + error.message());
    item.refused = true;
    if (fs::is_symlink(item.status)) {
      Refuse(path, "is a symbolic link: links are not packed");
    } else if (!fs::is_directory(item.status) && !fs::is_regular_file(item.status)) {
      Refuse(path, "is neither a regular file nor a folder: not packed");
    } else if (const std::optional<std::string> name = codePage_.FromSourceName(path.filename()); !name) {
      Refuse(path, codePage_.number() == 0
                       ? "its name cannot be written in the system's code page"
                       : "its name cannot be written in code page " + std::to_string(codePage_.number()));
    } else if (const std::optional<std::string> refusal = NameRefusal(*name, codePage_.Characters())) {
      Refuse(path, *refusal);
    } else {
      item.name = *name;
      item.refused = false;
    }
    return item;
  }

  // The extractor's systems do not tell case apart: two such names would
  // be one file there. Compared twice: as the code page's bytes (the
  // extractor's filter) and, where the source name is UTF-8, by Unicode
  // letters, as Windows' file systems compare names whatever the code page.
  void RefuseCaseTwins(std::vector<Item>& items) {
    std::map<std::string, const Item*> seenInCodePage;
    std::map<std::string, const Item*> seenInUnicode;
    for (Item& item : items) {
      if (item.refused) continue;
      const Item* twin = FirstSeen(seenInCodePage, FoldCase(item.name, codePage_.Characters()), item);
      if (const std::optional<std::string> upper = UpperCaseUtf8(Spelled(item.path.filename())); upper && !twin) {
        twin = FirstSeen(seenInUnicode, *upper, item);
      }
      if (twin == nullptr) continue;
      item.refused = true;
      Refuse(item.path, "its name and '" + Spelled(twin->path.filename()) +
                            "' are the same name where case is not told apart" +
                            (codePage_.number() == 0 ? "" : " in code page " + std::to_string(codePage_.number())));
    }
  }

  // The item already seen under `key`, or null after noting `item` there.
  static const Item* FirstSeen(std::map<std::string, const Item*>& seen, const std::string& key, const Item& item) {
    const auto [place, added] = seen.emplace(key, &item);
    return added ? nullptr : place->second;
  }

  // Below a refused folder nothing is packed, but its refused names are
  // told all the same, so that the next run does not find more.
  void ReportRefusalsInside(const fs::path& folder) {
    for (const Item& item : ListFolder(folder)) {
      if (fs::is_directory(item.status) && !fs::is_symlink(item.status)) ReportRefusalsInside(item.path);
    }
  }

  // The items to pack; folders among the refused ones are looked into.
  std::vector<Item> Accepted(std::vector<Item> items) {
    std::vector<Item> accepted;
    for (Item& item : items) {
      if (!item.refused) {
        accepted.push_back(std::move(item));
      } else if (fs::is_directory(item.status) && !fs::is_symlink(item.status)) {
        ReportRefusalsInside(item.path);
      }
    }
    return accepted;
  }

  std::vector<SourceEntry> ScanFolder(const fs::path& folder, const fs::path& shownFolder,
                                      const std::string& packFolder, std::vector<const SourceEntry*>& above,
                                      bool folderOverBudget, std::uint64_t& leastContents) {
    const std::vector<Item> items = Accepted(ListFolder(folder));
    std::vector<std::string> names;
    for (const Item& item : items) names.push_back(item.name);
    const std::vector<EntryNames> named = NameSiblings(names, codePage_.Characters());

    std::vector<SourceEntry> entries(items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
      Describe(items[i], named[i], shownFolder, packFolder, entries[i]);
    }
    leastContents = kEndTag;
    for (SourceEntry& entry : entries) {
      above.push_back(&entry);
      if (const std::optional<std::uint32_t> mask = patterns_.MaskFor(above)) entry.selectionMask = *mask;
      entry.store = entry.kind == SourceEntry::Kind::kFile && patterns_.IsStored(above);
      const bool overBudget = CheckPathLength(entry, folderOverBudget);
      std::uint64_t leastChildren = 0;
      if (entry.kind == SourceEntry::Kind::kDirectory) {
        entry.children = ScanFolder(entry.source, entry.displayPath, entry.packPath, above, overBudget, leastChildren);
        if (leastChildren > kSizeFieldMax) {
          Refuse(entry.source, "its contents take at least " + std::to_string(leastChildren) +
                                 " bytes in the pack, more than the 4294967295 that a folder's record can count");
        }
      }
      above.pop_back();
      leastContents += LeastPackedBytes(entry, leastChildren);
    }
    return entries;
  }

  void Describe(const Item& item, const EntryNames& names, const fs::path& shownFolder,
                const std::string& packFolder, SourceEntry& entry) {
    const bool isFolder = fs::is_directory(item.status);
    entry.kind = isFolder ? SourceEntry::Kind::kDirectory : SourceEntry::Kind::kFile;
    entry.source = item.path;
    entry.displayPath = Spelled(shownFolder / item.path.filename());
    entry.shortName = names.shortName;
    entry.longName = names.longName;
    entry.packPath = packFolder.empty() ? item.name : packFolder + '\\' + item.name;
    entry.times = TimesOf(item.path, entry.displayPath);
    if (isFolder) {
      entry.attributes = kAttributeDirectory;
      return;
    }
    entry.size = item.size;
    if (entry.size > kSizeFieldMax) Refuse(item.path, "a file of 4 GiB or more: the pack's sizes hold 32 bits");
    if ((item.status.permissions() & fs::perms::owner_write) == fs::perms::none) {
      entry.attributes |= kAttributeReadOnly;
    }
  }

  packwriter::DosTimes TimesOf(const fs::path& path, const std::string& shown) {
    long long seconds = 0;
    if (options_.fixedTime) {
      seconds = *options_.fixedTime;
    } else {
      // From the system in seconds: the library's clock counts nanoseconds
      // in 64 bits and fails for years past 2262, which must be clamped.
      seconds = LastWriteSeconds(path);
    }
    bool clamped = false;
    const packwriter::DosTimes times = DosTimesFromUnix(seconds, &clamped);
    if (clamped && clampedCount_++ == 0) firstClamped_ = shown;
    return times;
  }

  // Whether the entry's path is over the budget. Within a folder that is,
  // every entry is, so only the topmost one is told about.
  bool CheckPathLength(const SourceEntry& entry, bool folderOverBudget) {
    const std::size_t length = entry.packPath.size();
    if (length <= options_.pathBudget) return false;
    std::string reason = "its path in the pack is " + std::to_string(length) + " bytes, over the budget of " +
                         std::to_string(options_.pathBudget) + ": ";
    if (length + 1 >= kWindowsPathMax) {
      reason += "no destination folder on Windows is short enough for it";
    } else {
      reason += "the extractor can create it only under a destination folder of at most " +
                std::to_string(kWindowsPathMax - 1 - length) + " bytes";
    }
    if (folderOverBudget) return true;
    if (options_.refuseLongPaths) {
      Refuse(entry.source, reason);
    } else {
      Warn(Spelled(entry.source) + ": " + reason +
           (entry.kind == SourceEntry::Kind::kDirectory ? " (so is everything inside it)" : ""));
    }
    return true;
  }

  const fs::path root_;
  const ScanOptions& options_;
  const WarningSink& warn_;
  TargetCodePage codePage_;
  EntryPatterns patterns_;
  std::size_t clampedCount_ = 0;
  std::string firstClamped_;
  std::vector<std::string> refusals_;  // "path: reason", in the order found
};

std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += (text.empty() ? "" : "\n") + line;
  return text;
}

}  // namespace

RefusedEntries::RefusedEntries(std::vector<std::string> lines)
    : std::runtime_error(Lines(lines)), lines_(std::move(lines)) {}

std::vector<SourceEntry> ScanSourceTree(const fs::path& root, const ScanOptions& options, const WarningSink& warn) {
  return Scanner(root, options, warn).Run();
}

packwriter::DosTimes DosTimesFromUnix(long long seconds, bool* clamped) {
  using namespace std::chrono;
  // Far outside the DOS range either way: brought near it first, where the
  // calendar's arithmetic cannot overflow, and clamped below all the same.
  constexpr long long kYear1970 = 0;
  constexpr long long kYear2200 = 7258118400;
  const sys_seconds moment{std::chrono::seconds{std::clamp(seconds, kYear1970, kYear2200)}};
  const sys_days day = floor<days>(moment);
  const year_month_day date{day};
  const hh_mm_ss clock{moment - day};
  int year = static_cast<int>(date.year());
  unsigned month = static_cast<unsigned>(date.month());
  unsigned dayOfMonth = static_cast<unsigned>(date.day());
  int hour = static_cast<int>(clock.hours().count());
  int minute = static_cast<int>(clock.minutes().count());
  int second = static_cast<int>(clock.seconds().count());
  const bool outOfRange = year < 1980 || year > 2107;
  if (clamped != nullptr) *clamped = outOfRange;
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

}  // namespace moltpack

#include "molt_pack_fixture.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <random>

#include "context.h"
#include "extract.h"
#include "pack_writer.h"
#include "platform/platform.h"
#include "support/file_times.h"
#include "support/temp_dir.h"

namespace molt_pack_test {

std::string Program() { return fs::path(MOLT_PACK_PROGRAM).make_preferred().string(); }

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// The Windows command interpreter drops the first and the last quote of a
// line that holds more than two, so there the line gets an extra pair.
int RunShell(const std::string& command) {
#ifdef _WIN32
  return std::system(("\"" + command + "\"").c_str());
#else
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
#endif
}

int RunMoltPack(const std::string& arguments, const std::string& errorFile) {
  return RunShell(Quoted(Program()) + " " + arguments + " 2>" + Quoted(errorFile));
}

int Extract(const std::string& packPath, const fs::path& destination) {
  fs::create_directories(destination);
  auto context = std::make_unique<molt::Context>(molt::platform::SystemPlatform());
  return molt::Molt(*context, packPath.c_str(), fs::absolute(destination).string().c_str(), nullptr, 0, "UNPACK");
}

void PrintTo(const DiskItem& item, std::ostream* out) {
  *out << (item.directory ? "folder" : "file of " + std::to_string(item.contents.size()) + " bytes")
       << (item.readOnly ? ", read-only" : "") << ", modified at " << item.modified;
}

std::map<std::string, DiskItem> DescribeTree(const fs::path& root) {
  std::map<std::string, DiskItem> items;
  for (const auto& item : fs::recursive_directory_iterator(root)) {
    DiskItem described;
    described.directory = item.is_directory();
    if (!described.directory) described.contents = testing_support::ReadFileBytes(item.path());
    described.readOnly = (item.status().permissions() & fs::perms::owner_write) == fs::perms::none;
    described.modified = testing_support::ReadFileTimes(item.path()).modified;
    items[fs::relative(item.path(), root).generic_string()] = described;
  }
  return items;
}

::testing::AssertionResult SameBytes(const std::string& actual, const std::string& expected) {
  const auto [a, e] = std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
  if (a == actual.end() && e == expected.end()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << actual.size() << " bytes against " << expected.size()
                                       << " expected, first differing at " << (a - actual.begin());
}

::testing::AssertionResult SameBytes(const std::vector<std::string>& actual, const std::vector<std::string>& expected) {
  if (actual.size() != expected.size()) {
    return ::testing::AssertionFailure() << actual.size() << " volumes against " << expected.size() << " expected";
  }
  for (std::size_t i = 0; i < actual.size(); ++i) {
    ::testing::AssertionResult same = SameBytes(actual[i], expected[i]);
    if (!same) return same << " in volume " << i + 1;
  }
  return ::testing::AssertionSuccess();
}

std::vector<std::string> VolumePaths(const std::string& format) {
  std::vector<std::string> paths;
  for (unsigned k = 1;; ++k) {
    const std::string path = packwriter::FormatVolumeName(format, k);
    if (!fs::exists(path) || (!paths.empty() && path == paths.front())) return paths;
    paths.push_back(path);
  }
}

std::vector<std::string> ReadVolumes(const std::string& format) {
  std::vector<std::string> volumes;
  for (const std::string& path : VolumePaths(format)) volumes.push_back(testing_support::ReadFileBytes(path));
  return volumes;
}

std::vector<std::string> TemporaryFiles(const fs::path& folder) {
  std::vector<std::string> found;
  for (const auto& item : fs::recursive_directory_iterator(folder)) {
    const std::string name = item.path().filename().string();
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".tmp") == 0) found.push_back(name);
  }
  return found;
}

std::string TextBytes(std::size_t size) {
  std::string text;
  for (int line = 0; text.size() < size; ++line) text += "The quick brown fox, line " + std::to_string(line) + ".\n";
  text.resize(size);
  return text;
}

std::string NoiseBytes(std::size_t size, std::uint32_t seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& byte : bytes) byte = static_cast<char>(random());
  return bytes;
}

void SetModified(const fs::path& path, std::int64_t seconds) {
  const auto moment = std::chrono::sys_seconds{std::chrono::seconds{seconds}};
  fs::last_write_time(path, std::chrono::file_clock::from_sys(moment));
}

}  // namespace molt_pack_test

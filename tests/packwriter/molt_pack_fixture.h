// molt-pack as a program: running it, unpacking what it made through the
// extractor, and what a tree on disk looks like, for comparing the two.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace molt_pack_test {

namespace fs = std::filesystem;

// The program's path with the separators of the platform: the Windows
// command interpreter takes a leading '/' for an option.
std::string Program();
std::string Quoted(const std::string& text);
// Runs a command line through the shell; its exit status.
int RunShell(const std::string& command);
// Runs molt-pack with `arguments` (quoted as the shell needs), standard
// error into `errorFile`; its exit status.
int RunMoltPack(const std::string& arguments, const std::string& errorFile);

// Unpacks a pack (volume path or format, or '@' and a list file) into
// `destination` through the extractor's entry; the extractor's result.
int Extract(const std::string& packPath, const fs::path& destination);

struct DiskItem {
  bool directory = false;
  std::string contents;
  bool readOnly = false;
  std::int64_t modified = 0;  // seconds since 1970
  bool operator==(const DiskItem&) const = default;
};
// For test failures: the item in words, its contents by size.
void PrintTo(const DiskItem& item, std::ostream* out);
// Everything under `root` by relative path ('/'-separated).
std::map<std::string, DiskItem> DescribeTree(const fs::path& root);

// Byte strings compared without printing them: where they first differ.
::testing::AssertionResult SameBytes(const std::string& actual, const std::string& expected);
::testing::AssertionResult SameBytes(const std::vector<std::string>& actual, const std::vector<std::string>& expected);

// The files format(1), format(2)... as long as they exist.
std::vector<std::string> VolumePaths(const std::string& format);
std::vector<std::string> ReadVolumes(const std::string& format);

// Files whose names tell a temporary file of molt-pack, under `folder`.
std::vector<std::string> TemporaryFiles(const fs::path& folder);

// Bytes that compress well, and bytes that do not.
std::string TextBytes(std::size_t size);
std::string NoiseBytes(std::size_t size, std::uint32_t seed);

void SetModified(const fs::path& path, std::int64_t seconds);

}  // namespace molt_pack_test

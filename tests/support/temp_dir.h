// A fresh folder for one test, removed with everything in it afterwards.
#pragma once

#include <filesystem>
#include <set>
#include <string>

namespace testing_support {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

std::string ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes);
// Everything under `root`, relative to it with '/' between names; folders
// end with '/'.
std::set<std::string> ListTree(const std::filesystem::path& root);

}  // namespace testing_support

#include "support/temp_dir.h"

#include <atomic>
#include <fstream>
#include <iterator>
#include <random>
#include <system_error>

namespace testing_support {

TempDir::TempDir() {
  static std::atomic<unsigned> counter{0};
  std::random_device random;
  const auto base = std::filesystem::temp_directory_path();
  for (;;) {
    path_ = base / ("koru-test-" + std::to_string(random()) + "-" + std::to_string(counter++));
    if (std::filesystem::create_directory(path_)) break;
  }
}

TempDir::~TempDir() {
  std::error_code ignored;
  // Read-only files and folders must become writable before they can go.
  for (auto it = std::filesystem::recursive_directory_iterator(path_, ignored);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
  }
  std::filesystem::remove_all(path_, ignored);
}

std::string ReadFileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::set<std::string> ListTree(const std::filesystem::path& root) {
  std::set<std::string> found;
  for (const auto& item : std::filesystem::recursive_directory_iterator(root)) {
    std::string name = std::filesystem::relative(item.path(), root).generic_string();
    if (item.is_directory()) name += "/";
    found.insert(name);
  }
  return found;
}

}  // namespace testing_support

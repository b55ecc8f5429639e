// The write-only floor of extraction: recreates SOURCE's folders and files
// under DEST, each file written from memory in writes of BLOCK bytes (32 KiB
// by default), with nothing read, checked or stamped; what any extractor has
// to pay at least for writing the same tree.
//
//   write_floor SOURCE DEST [BLOCK]
//
// Only the names and sizes are taken from SOURCE; the bytes written are a
// fixed pattern, which costs the file system the same.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) {
    std::fprintf(stderr, "usage: write_floor SOURCE DEST [BLOCK]\n");
    return 2;
  }
  const fs::path source = argv[1];
  const fs::path destination = argv[2];
  const std::size_t block = argc == 4 ? std::strtoul(argv[3], nullptr, 10) : 32768;
  if (block == 0) return 2;
  std::vector<char> pattern(block);
  for (std::size_t i = 0; i < block; ++i) pattern[i] = static_cast<char>(i * 31 + 7);

  for (const auto& item : fs::recursive_directory_iterator(source)) {
    const fs::path target = destination / fs::relative(item.path(), source);
    if (item.is_directory()) {
      fs::create_directories(target);
      continue;
    }
    const int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) {
      std::perror(target.c_str());
      return 1;
    }
    for (std::uintmax_t left = item.file_size(); left > 0;) {
      const std::size_t size = left < block ? static_cast<std::size_t>(left) : block;
      const ssize_t written = ::write(fd, pattern.data(), size);
      if (written <= 0) {
        std::perror(target.c_str());
        return 1;
      }
      left -= static_cast<std::uintmax_t>(written);
    }
    ::close(fd);
  }
  return 0;
}

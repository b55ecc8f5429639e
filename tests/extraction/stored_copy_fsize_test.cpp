// A real limit on file size (RLIMIT_FSIZE) while stored data is written:
// the system's own short write, then EFBIG, through the gathered copy and
// the block copy alike.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "context.h"
#include "errors.h"
#include "extract.h"
#include "pack_writer.h"
#include "support/temp_dir.h"

namespace extraction_test {
namespace {

namespace fs = std::filesystem;

// Extracts in a child process whose files may not grow past `limit` bytes;
// the extraction's code, or -1 when the child did not end normally.
int ExtractUnderLimit(const std::string& format, const fs::path& out, rlim_t limit,
                      bool plainBlocks) {
  fs::create_directories(out);
  const pid_t child = fork();
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails with EFBIG instead
    const rlimit fileSize{limit, limit};
    if (setrlimit(RLIMIT_FSIZE, &fileSize) != 0) _exit(254);
    molt::Context context(molt::platform::SystemPlatform());
    context.storedCopy.PlainBlocks = plainBlocks;
    _exit(molt::Molt(context, format.c_str(), out.c_str(), nullptr, 0, "UNPACK"));
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(StoredCopyFileSizeLimitTest, BothCopiesKeepWhatTheLimitLetThrough) {
  testing_support::TempDir dir;
  std::string big(700001, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 131 + (i >> 11));
  packwriter::Pack pack;
  pack.root = {packwriter::File("small", big.substr(0, 9000)), packwriter::File("big", big),
               packwriter::File("after", "after")};
  // The volumes are written before any limit.
  const std::string format = dir / "pack%d.bin";
  packwriter::WritePack(pack, format);
  for (const rlim_t limit : {rlim_t{5000}, rlim_t{262144}, rlim_t{300001}}) {
    SCOPED_TRACE(limit);
    const fs::path plainOut = dir.path() / ("plain" + std::to_string(limit));
    const fs::path gatheredOut = dir.path() / ("gathered" + std::to_string(limit));
    EXPECT_EQ(ExtractUnderLimit(format, plainOut, limit, true), molt::ERR_WRITE_DISK_FULL);
    EXPECT_EQ(ExtractUnderLimit(format, gatheredOut, limit, false), molt::ERR_WRITE_DISK_FULL);
    for (const char* name : {"small", "big", "after"}) {
      ASSERT_EQ(fs::exists(gatheredOut / name), fs::exists(plainOut / name)) << name;
      if (!fs::exists(plainOut / name)) continue;
      EXPECT_TRUE(testing_support::ReadFileBytes(gatheredOut / name) ==
                  testing_support::ReadFileBytes(plainOut / name))
          << name;
    }
    // What the limit let through is all there.
    const fs::path stopped = limit < 9000 ? gatheredOut / "small" : gatheredOut / "big";
    EXPECT_EQ(fs::file_size(stopped), limit);
  }
}

}  // namespace
}  // namespace extraction_test

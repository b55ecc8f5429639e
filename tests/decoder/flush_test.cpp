// Writing the window to the output file: short and failed writes are
// followed by the rest, within a bound on writes that move nothing; a full
// disk ends the entry at once with 44. Every byte counted in the CRC is in
// the file unless the entry ended with an error.
#include <gtest/gtest.h>
#include <zlib.h>

#include <optional>
#include <string>

#include "decoder/decoder_rig.h"
#include "decoder/sample_data.h"
#include "decoder/zlib_streams.h"
#include "errors.h"
#include "support/temp_dir.h"

namespace decoder_test {
namespace {

struct WriteCase {
  const char* name;
  std::optional<std::uint64_t> diskSpace;
  std::optional<std::uint32_t> writeChunk;
  int writeFailures;
  int error;
  std::size_t fileSize;  // bytes in the file afterwards
  int writes;            // write calls, failed ones included; 0: not checked
};

TEST(FlushOutputWindow, ShortFailedAndFullDiskWrites) {
  const Bytes data = MakeSample(SampleKind::Binary, 100000, 21);
  const Bytes packed = ZlibDeflate(data, 6, Z_DEFAULT_STRATEGY);
  const WriteCase kCases[] = {
      {"plain", std::nullopt, std::nullopt, 0, 0, 100000, 4},
      {"short writes", std::nullopt, 1000, 0, 0, 100000, 0},
      {"three failures, then it goes", std::nullopt, std::nullopt, 3, 0, 100000, 7},
      {"four failures in a row", std::nullopt, std::nullopt, 4, molt::ERR_WRITE_DISK_FULL, 0, 4},
      {"failures between short writes", std::nullopt, 5000, 3, 0, 100000, 0},
      {"disk full at once", 0, std::nullopt, 0, molt::ERR_WRITE_DISK_FULL, 0, 1},
      {"disk full in the second window", 40000, std::nullopt, 0, molt::ERR_WRITE_DISK_FULL, 40000,
       0},
  };
  for (const WriteCase& item : kCases) {
    SCOPED_TRACE(item.name);
    testing_support::TempDir folder;
    const std::string path = folder / "out.bin";
    DecoderRig rig;
    MemoryPackPlatform& platform = rig.platform();
    const FileHandle file = platform.CreateOutputFile(path.c_str());
    ASSERT_NE(file, molt::platform::kInvalidFile);
    platform.diskSpace = item.diskSpace;
    platform.writeChunk = item.writeChunk;
    platform.writeFailures = item.writeFailures;

    const DecodeOutcome outcome = rig.DecodeTo(file, packed, 100000);
    platform.CloseFile(file);
    EXPECT_EQ(outcome.error, item.error);
    const std::string written = testing_support::ReadFileBytes(path);
    ASSERT_EQ(written.size(), item.fileSize);
    EXPECT_TRUE(Bytes(written.begin(), written.end()) ==
                Bytes(data.begin(), data.begin() + item.fileSize));
    if (item.writes != 0) {
      EXPECT_EQ(platform.fileWrites, item.writes);
    }
    if (item.error == 0) {
      EXPECT_EQ(outcome.crc, ZlibCrc32(data));
    }
  }
}

}  // namespace
}  // namespace decoder_test

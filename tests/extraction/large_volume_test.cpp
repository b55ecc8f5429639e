// Volumes past the offsets where 32-bit file positions and sizes break: a
// skip and a read across 2 GiB, and files of 4 GiB or more, which the
// format's 32-bit volume size cannot describe. The volumes are sparse: only
// their records are written, the data that is skipped is a hole.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>

#include "errors.h"
#include "extraction_fixture.h"

namespace extraction_test {
namespace {

constexpr std::uint64_t k2GiB = std::uint64_t{1} << 31;
constexpr std::uint64_t k4GiB = std::uint64_t{1} << 32;

// A single volume whose stream is: a masked file whose data is never
// written (the walk skips it), then `rest` at `recordsAt`, where that file
// ends, then an end tag that closes the root, then nothing but a hole up to
// `volumeSize` bytes when that is larger.
void WriteSparseVolume(const fs::path& path, std::uint64_t recordsAt,
                       const std::vector<Entry>& rest, std::uint64_t volumeSize = 0) {
  Entry hole = packwriter::File("HOLE.BIN", "");
  hole.selectionMask = 1;
  hole.mode = packwriter::DataMode::kSupplied;
  hole.suppliedDeflated = false;
  packwriter::Pack pack;
  pack.root = {hole};
  // The hole's record has the same size whatever its sizes say.
  const std::uint64_t headSize = packwriter::BuildPlainVolumes(pack).front().size();
  ASSERT_GE(recordsAt, headSize);
  pack.root[0].packedSize = pack.root[0].originalSize =
      static_cast<std::uint32_t>(recordsAt - headSize);
  std::string head = packwriter::BuildPlainVolumes(pack).front();
  ASSERT_EQ(head.size(), headSize);
  packwriter::Scramble(head);

  std::vector<Entry> tailEntries = rest;
  tailEntries.push_back(packwriter::Raw(std::string("Dir ", 4)));
  std::string tail = packwriter::BuildStream(tailEntries).bytes;
  packwriter::Scramble(tail, recordsAt);

  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(head.data(), static_cast<std::streamsize>(head.size()));
  file.seekp(static_cast<std::streamoff>(recordsAt));
  file.write(tail.data(), static_cast<std::streamsize>(tail.size()));
  file.close();
  ASSERT_TRUE(file) << "cannot write " << path;
  if (volumeSize > recordsAt + tail.size()) fs::resize_file(path, volumeSize);
}

class LargeVolume : public ExtractionTest {
 protected:
  fs::path volume() const { return dir.path() / "pack1.bin"; }

  int ExtractVolume() {
    const std::string destination = out().string();
    return molt::Molt(context, (dir / "pack%d.bin").c_str(), destination.c_str(), nullptr, 0,
                      "UNPACK");
  }
};

TEST_F(LargeVolume, SkipAndReadAcrossTwoGiB) {
  // Each file's data holds the 2 GiB offset or lies beyond it; the stored
  // copy runs on 8192-byte reads, so the one that holds it is split there.
  std::string crossing(20000, '\0');
  for (std::size_t i = 0; i < crossing.size(); ++i) crossing[i] = static_cast<char>(i * 7 + 3);
  const std::string beyond = "read past 2 GiB";
  struct Case {
    const char* name;
    std::uint64_t recordsAt;  // where the records after the skipped file begin
  };
  const Case kCases[] = {
      {"the skip crosses 2 GiB", k2GiB + 100000},
      {"a read crosses 2 GiB", k2GiB - 10000},
  };
  for (const Case& item : kCases) {
    SCOPED_TRACE(item.name);
    fs::remove_all(out());
    fs::create_directory(out());
    WriteSparseVolume(volume(), item.recordsAt,
                      {packwriter::File("CROSS.BIN", crossing), packwriter::File("BEYOND.TXT", beyond)});
    ASSERT_EQ(ExtractVolume(), 0);
    EXPECT_EQ(Tree(), (std::set<std::string>{"CROSS.BIN", "BEYOND.TXT"}));
    EXPECT_TRUE(Contents("CROSS.BIN") == crossing);
    EXPECT_EQ(Contents("BEYOND.TXT"), beyond);
  }
}

TEST_F(LargeVolume, VolumeOfFourGiBOrMoreIsRefusedBeforeAnythingIsWritten) {
  // Its size cut to the low 32 bits would be 0 or a few bytes: a reader that
  // believed it would stop or change volumes in the middle of the stream.
  struct Case {
    std::uint64_t size;
    int result;
  };
  for (const Case& item : {Case{k4GiB - 1, 0}, Case{k4GiB, molt::ERR_INPUT_SIZE},
                           Case{k4GiB + 100, molt::ERR_INPUT_SIZE}}) {
    SCOPED_TRACE(item.size);
    fs::remove_all(out());
    fs::create_directory(out());
    WriteSparseVolume(volume(), 1000, {packwriter::File("FIRST.TXT", "first")}, item.size);
    ASSERT_EQ(fs::file_size(volume()), item.size);
    EXPECT_EQ(ExtractVolume(), item.result);
    const std::set<std::string> expected =
        item.result == 0 ? std::set<std::string>{"FIRST.TXT"} : std::set<std::string>{};
    EXPECT_EQ(Tree(), expected);
  }
}

}  // namespace
}  // namespace extraction_test

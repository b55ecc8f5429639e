// The stored-data copy in large writes against the block-by-block copy it
// stands in for: the same packs, with the same faults, through both, must
// leave the same files, codes, boxes and CRC-32, and the reader where the
// block copy leaves it.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "context.h"
#include "errors.h"
#include "extract.h"
#include "output.h"
#include "pack_writer.h"
#include "support/fault_platform.h"
#include "support/temp_dir.h"

namespace extraction_test {
namespace {

namespace fs = std::filesystem;
using packwriter::Entry;
using testing_support::FaultPlatform;

// Bytes that differ at every offset, so that a block out of place shows.
std::string Numbered(std::size_t size, std::uint32_t seed) {
  std::string bytes(size, '\0');
  std::uint32_t x = seed * 2654435761u + 1;
  for (char& c : bytes) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    c = static_cast<char>(x);
  }
  return bytes;
}

// Stored files around the block and gather sizes, a masked file that the
// walk skips (so the blocks after it start off the grid), a compressed file
// after a long stored one, and a folder.
std::vector<Entry> ManySizes() {
  std::vector<Entry> root;
  std::uint32_t seed = 1;
  for (std::size_t size : {0u, 1u, 8191u, 8192u, 8193u, 65537u}) {
    root.push_back(packwriter::File("s" + std::to_string(size), Numbered(size, seed++)));
  }
  Entry masked = packwriter::File("masked", Numbered(12345, seed++));
  masked.selectionMask = 1;
  root.push_back(masked);
  for (std::size_t size : {262144u, 262145u, 700001u}) {
    root.push_back(packwriter::File("s" + std::to_string(size), Numbered(size, seed++)));
  }
  root.push_back(packwriter::DeflatedFile("packed", std::string(50000, 'p') + Numbered(20000, 99)));
  root.push_back(packwriter::Directory("d", {packwriter::File("inner", Numbered(300000, seed++)),
                                             packwriter::File("tail", "tail")}));
  return root;
}

struct Layout {
  const char* name;
  std::size_t maxVolumeSize;  // 0: one volume
  bool small;                 // a smaller tree, for many tiny volumes
};

const Layout kLayouts[] = {
    {"OneVolume", 0, false},
    {"VolumesOf150001", 150001, false},
    {"VolumesOf65536", 65536, false},
    // Volumes shorter than a block: every block is short, and one gathered
    // run holds more pieces than it keeps.
    {"VolumesOf3001", 3001, true},
};

packwriter::Pack MakePack(const Layout& layout) {
  packwriter::Pack pack;
  if (layout.small) {
    pack.root = {packwriter::File("a", Numbered(8193, 1)), packwriter::File("b", Numbered(300000, 2)),
                 packwriter::File("c", "c")};
  } else {
    pack.root = ManySizes();
  }
  pack.isSet = layout.maxVolumeSize != 0;
  pack.maxVolumeSize = layout.maxVolumeSize;
  return pack;
}

// The volumes as the fault sees them: their paths and sizes in order.
struct Volumes {
  std::vector<std::string> paths;
  std::vector<std::uint64_t> sizes;

  std::uint64_t Total() const {
    std::uint64_t total = 0;
    for (std::uint64_t size : sizes) total += size;
    return total;
  }
  // The volume and offset at `fraction` of all volume bytes end to end.
  std::pair<std::size_t, std::uint64_t> At(double fraction) const {
    std::uint64_t offset = static_cast<std::uint64_t>(static_cast<double>(Total()) * fraction);
    std::size_t index = 0;
    while (index + 1 < sizes.size() && offset >= sizes[index]) offset -= sizes[index++];
    return {index, offset};
  }
};

struct Fault {
  std::string name;
  // Sets up the platform, or changes the volumes, before an extraction.
  std::function<void(FaultPlatform&, const Volumes&)> arrange;
};

void PrintTo(const Fault& fault, std::ostream* out) { *out << fault.name; }

Fault BadSpot(double fraction, bool shortRead) {
  return {std::string(shortRead ? "ShortReadThenBadSpotAt" : "BadSpotAt") +
              std::to_string(static_cast<int>(fraction * 1000)),
          [=](FaultPlatform& platform, const Volumes& volumes) {
            const auto [index, offset] = volumes.At(fraction);
            platform.badSpotVolume = volumes.paths[index];
            platform.badSpotOffset = offset;
            platform.shortReadBeforeBadSpot = shortRead;
          }};
}

// How a disk that fills up takes the write that does not fit.
enum class FullDisk { kTakesWhatFits, kTakesWholeWritesOnly, kFailsAfterWhatFits };

Fault DiskOf(std::uint64_t space, FullDisk model) {
  const char* names[] = {"DiskOf", "WholeWritesDiskOf", "FailingDiskOf"};
  return {names[static_cast<int>(model)] + std::to_string(space),
          [=](FaultPlatform& platform, const Volumes&) {
            platform.diskSpace = space;
            platform.wholeWritesOnly = model == FullDisk::kTakesWholeWritesOnly;
            platform.failAfterWhatFits = model == FullDisk::kFailsAfterWhatFits;
          }};
}

// `count` writes in a row that fail (not for a full disk) after `before`
// good ones, each first taking `part` of its bytes.
Fault FailingWrites(int count, int before, std::uint32_t part) {
  return {"WritesFailing" + std::to_string(count) + "After" + std::to_string(before) + "Taking" +
              std::to_string(part),
          [=](FaultPlatform& platform, const Volumes&) {
            platform.writeFailures = count;
            platform.writesBeforeFailures = before;
            platform.bytesBeforeWriteFailure = part;
          }};
}

Fault CutAt(double fraction) {
  return {"CutAt" + std::to_string(static_cast<int>(fraction * 1000)),
          [=](FaultPlatform&, const Volumes& volumes) {
            const auto [index, offset] = volumes.At(fraction);
            fs::resize_file(volumes.paths[index], offset);
            for (std::size_t i = index + 1; i < volumes.paths.size(); ++i) {
              fs::remove(volumes.paths[i]);
            }
          }};
}

std::vector<Fault> Faults() {
  std::vector<Fault> faults = {
      {"None", [](FaultPlatform&, const Volumes&) {}},
      {"ShortWrites", [](FaultPlatform& p, const Volumes&) { p.writeChunk = 1000; }},
      {"StuckWrites", [](FaultPlatform& p, const Volumes&) { p.writeChunk = 0; }},
      {"LastVolumeMissing",
       [](FaultPlatform&, const Volumes& v) {
         if (v.paths.size() > 1) fs::remove(v.paths.back());
       }},
  };
  for (double fraction : {0.0005, 0.02, 0.3, 0.5, 0.77, 0.999}) {
    faults.push_back(BadSpot(fraction, false));
    faults.push_back(BadSpot(fraction, true));
    faults.push_back(CutAt(fraction));
  }
  for (std::uint64_t space : {0u, 5000u, 3u * 8192u + 17u, 262144u, 300000u, 1000003u}) {
    for (FullDisk model : {FullDisk::kTakesWhatFits, FullDisk::kTakesWholeWritesOnly,
                           FullDisk::kFailsAfterWhatFits}) {
      faults.push_back(DiskOf(space, model));
    }
  }
  // Writes that fail once, or as often as a write is tried again, with
  // nothing written or part of the write: both copies finish every file.
  // Writes 2 and 5 are those of large files in the gathered copy.
  for (int before : {0, 2, 5}) {
    for (std::uint32_t part : {0u, 1u, 3000u}) {
      faults.push_back(FailingWrites(1, before, part));
      faults.push_back(FailingWrites(molt::kMaxRewrites, before, part));
    }
  }
  // More often than that: 44. Only from the first write on, as the two
  // copies make different numbers of writes: a fault placed by its count
  // would meet them at different bytes (the full disks above place faults
  // by bytes).
  faults.push_back(FailingWrites(molt::kMaxRewrites + 1, 0, 0));
  return faults;
}

// What one extraction left behind.
struct Outcome {
  int code = 0;
  std::vector<std::string> boxes;
  std::map<std::string, std::string> files;  // folders end with '/'
  std::uint32_t crc = 0;
  // The reader.
  std::uint64_t volumePosition = 0;
  std::string unreadInput;
  std::uint16_t inputCount = 0;
  std::ptrdiff_t inputOffset = 0;
  // The calls, to show what the gathering saves.
  int readCalls = 0;
  int writeCalls = 0;
};

// Each fault on every layout, one test per fault: under Wine every test is
// a process of its own.
class StoredCopyTest : public ::testing::TestWithParam<Fault> {
 protected:
  Outcome Run(const Layout& layout, bool plainBlocks) {
    const fs::path run = dir.path() / layout.name / (plainBlocks ? "plain" : "gathered");
    fs::create_directories(run / "out");
    Volumes volumes;
    const std::string format = (run / "pack%d.bin").string();
    volumes.paths = packwriter::WritePack(MakePack(layout), format);
    for (const std::string& path : volumes.paths) volumes.sizes.push_back(fs::file_size(path));

    FaultPlatform platform;
    GetParam().arrange(platform, volumes);
    molt::Context context(platform);
    context.storedCopy.PlainBlocks = plainBlocks;
    Outcome outcome;
    const std::string destination = (run / "out").string();
    outcome.code = molt::Molt(context, format.c_str(), destination.c_str(), nullptr, 1, "UNPACK");
    for (const auto& box : platform.boxes) outcome.boxes.push_back(box.caption + ": " + box.text);
    for (const auto& item : fs::recursive_directory_iterator(run / "out")) {
      const std::string name = fs::relative(item.path(), run / "out").generic_string();
      if (item.is_directory()) {
        outcome.files[name + "/"] = "";
      } else {
        outcome.files[name] = testing_support::ReadFileBytes(item.path());
      }
    }
    outcome.crc = context.RunningCrc;
    const molt::ReaderState& reader = context.reader;
    outcome.volumePosition = reader.VolumePosition;
    outcome.inputCount = reader.InputCount;
    outcome.inputOffset = reader.InputPointer - reader.InputBuffer;
    outcome.unreadInput.assign(reinterpret_cast<const char*>(reader.InputPointer), reader.InputCount);
    outcome.readCalls = platform.readCalls;
    outcome.writeCalls = platform.writeCalls;
    return outcome;
  }

  testing_support::TempDir dir;
};

void ExpectSameOutcome(const Outcome& plain, const Outcome& gathered) {
  EXPECT_EQ(gathered.code, plain.code);
  EXPECT_EQ(gathered.boxes, plain.boxes);
  EXPECT_EQ(gathered.files.size(), plain.files.size());
  for (const auto& [name, contents] : plain.files) {
    const auto found = gathered.files.find(name);
    ASSERT_NE(found, gathered.files.end()) << name;
    // Not EXPECT_EQ: a difference in a megabyte would print all of it.
    EXPECT_TRUE(found->second == contents)
        << name << ": " << found->second.size() << " bytes, block copy " << contents.size();
  }
  if (plain.code == molt::ERR_WRITE_DISK_FULL) {
    // The gathered copy has read and counted ahead of the write that failed;
    // the call ends there, and nothing reads the reader or the CRC-32 again.
    return;
  }
  EXPECT_EQ(gathered.crc, plain.crc);
  EXPECT_EQ(gathered.volumePosition, plain.volumePosition);
  EXPECT_EQ(gathered.inputCount, plain.inputCount);
  // The pointer counts only while there are bytes left to take.
  if (plain.inputCount != 0) {
    EXPECT_EQ(gathered.inputOffset, plain.inputOffset);
  }
  EXPECT_TRUE(gathered.unreadInput == plain.unreadInput);
  EXPECT_LE(gathered.writeCalls, plain.writeCalls);
}

// Every file that the pack holds, as the tree lists it.
std::map<std::string, std::string> PackedFiles(const std::vector<Entry>& level,
                                               const std::string& prefix = "") {
  std::map<std::string, std::string> files;
  for (const Entry& entry : level) {
    if (entry.selectionMask != 0) continue;
    const std::string name = prefix + entry.shortName;
    if (entry.kind == Entry::Kind::kDirectory) {
      files[name + "/"] = "";
      files.merge(PackedFiles(entry.children, name + "/"));
    } else {
      files[name] = entry.data;
    }
  }
  return files;
}

TEST_P(StoredCopyTest, GatheredCopyEndsAsTheBlockCopyDoes) {
  for (const Layout& layout : kLayouts) {
    SCOPED_TRACE(layout.name);
    const Outcome plain = Run(layout, true);
    ExpectSameOutcome(plain, Run(layout, false));
    // A fault that ends well leaves every file whole, each byte once.
    if (plain.code == 0) {
      EXPECT_TRUE(plain.files == PackedFiles(MakePack(layout).root));
    }
  }
}

// Large writes and reads: a file of a mebibyte in a handful of each, where
// the block copy takes 129 of each.
TEST(StoredCopyCallsTest, MebibyteFileTakesAFewLargeReadsAndWrites) {
  testing_support::TempDir dir;
  packwriter::Pack pack;
  const std::string data = Numbered(1 << 20, 7);
  pack.root = {packwriter::File("big", data)};
  const std::string format = dir / "pack%d.bin";
  packwriter::WritePack(pack, format);
  FaultPlatform platform;
  molt::Context context(platform);
  const std::string destination = dir.path().string();
  ASSERT_EQ(molt::Molt(context, format.c_str(), destination.c_str(), nullptr, 0, "UNPACK"), 0);
  EXPECT_TRUE(testing_support::ReadFileBytes(dir.path() / "big") == data);
  EXPECT_LE(platform.writeCalls, 5);
  EXPECT_LE(platform.readCalls, 10);  // headers, records, the data and the end
}

std::string CaseName(const ::testing::TestParamInfo<Fault>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(Table, StoredCopyTest,
                         ::testing::ValuesIn(Faults()), CaseName);

}  // namespace
}  // namespace extraction_test

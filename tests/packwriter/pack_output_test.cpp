// molt-pack's output side in pieces: the volume sink against the pack
// writer's layout, the compressor against zlib, the stream of a tree written
// on any number of threads, the size limits of the format, the read-back
// check, the staging of the output and the progress line.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>

#include "compressor.h"
#include "core/pack_format.h"
#include "disk_volumes.h"
#include "failure.h"
#include "molt_pack_fixture.h"
#include "pack_output.h"
#include "pack_writer.h"
#include "progress.h"
#include "staged_output.h"
#include "support/temp_dir.h"
#include "verify.h"
#include "volume_sink.h"

namespace {

using namespace molt_pack_test;
using moltpack::SourceEntry;
using testing_support::ReadFileBytes;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

// Volumes in memory, as the sink hands them over.
class MemoryVolumes : public moltpack::VolumeStore {
 public:
  void Begin(std::size_t index) override {
    ASSERT_EQ(index, volumes.size());
    volumes.emplace_back();
  }
  void Append(const char* data, std::size_t size) override { volumes.back().append(data, size); }
  void WriteAt(std::size_t index, std::uint64_t offset, const char* data, std::size_t size) override {
    std::string& volume = volumes.at(index);
    ASSERT_LE(offset + size, volume.size()) << "a patch only overwrites bytes already written";
    volume.replace(static_cast<std::size_t>(offset), size, data, size);
  }
  void Finish() override { finished = true; }

  std::vector<std::string> volumes;
  bool finished = false;
};

// The reason a call fails with, or "" when it does not.
template <typename Call>
std::string FailureOf(Call call) {
  try {
    call();
  } catch (const std::exception& error) {
    return error.what();
  }
  return "";
}

// ---------------------------------------------------------------------------
// The volume sink

struct LayoutCase {
  const char* name;
  bool isSet;
  std::uint64_t maxVolumeSize;
  std::size_t streamSize;
};

// The stream goes in in uneven pieces with 4-byte holes, patched afterwards,
// also across volume boundaries; the volumes must be the pack writer's.
TEST(VolumeSink, LaysOutVolumesAsThePackWriterDoesWithPatchesAnywhere) {
  const LayoutCase cases[] = {
      {"single volume", false, moltpack::kMaxVolumeSize, 1000},
      {"single volume, empty stream", false, moltpack::kMaxVolumeSize, 0},
      {"set of one volume", true, 5000, 1000},
      {"set, empty stream", true, 65, 0},
      {"smallest volumes, one byte in the first", true, 65, 1},
      {"smallest volumes, the second full", true, 65, 54},
      {"smallest volumes, a third begun", true, 65, 55},
      {"smallest volumes, many", true, 65, 700},
      {"stream ends where a volume does", true, 100, 36 + 88 * 3},
  };
  for (const LayoutCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string stream = NoiseBytes(c.streamSize, 3);
    moltpack::VolumeLayout layout;
    layout.isSet = c.isSet;
    layout.maxVolumeSize = c.maxVolumeSize;
    MemoryVolumes store;
    moltpack::VolumeSink sink(layout, store, "pack");
    // Holes every 13 bytes, and 2 bytes before each boundary the sink crosses.
    std::vector<std::size_t> holes;
    for (std::size_t at = 5; at + 4 <= stream.size(); at += 13) holes.push_back(at);
    const std::size_t firstRoom = c.maxVolumeSize - (c.isSet ? 64 : 48);
    for (std::size_t end = firstRoom; end + 2 <= stream.size(); end += c.maxVolumeSize - 12) {
      if (end >= 2) holes.push_back(end - 2);
    }
    std::string withHoles = stream;
    for (const std::size_t at : holes) withHoles.replace(at, 4, 4, '\0');
    for (std::size_t at = 0, piece = 1; at < withHoles.size(); at += piece, piece = piece * 3 % 17 + 1) {
      piece = std::min(piece, withHoles.size() - at);
      sink.Write(withHoles.data() + at, piece);
    }
    EXPECT_EQ(sink.Position(), stream.size());
    for (const std::size_t at : holes) sink.Patch(at, stream.data() + at, 4);
    const std::vector<std::uint64_t> sizes = sink.Finish();
    EXPECT_TRUE(store.finished);

    packwriter::Pack pack;
    pack.isSet = c.isSet;
    pack.maxVolumeSize = c.isSet ? c.maxVolumeSize : 0;
    pack.streamOverride = stream;
    EXPECT_TRUE(SameBytes(store.volumes, packwriter::BuildVolumes(pack)));
    ASSERT_EQ(sizes.size(), store.volumes.size());
    for (std::size_t v = 0; v < sizes.size(); ++v) EXPECT_EQ(sizes[v], store.volumes[v].size());
  }
}

TEST(VolumeSink, RefusesWhatTheFormatCannotAddress) {
  {
    SCOPED_TRACE("a single volume that would outgrow its limit");
    moltpack::VolumeLayout layout;
    layout.maxVolumeSize = 100;
    MemoryVolumes store;
    moltpack::VolumeSink sink(layout, store, "pack.dat");
    const std::string fits(52, 'x');
    sink.Write(fits.data(), fits.size());
    EXPECT_NE(FailureOf([&] { sink.Write("y", 1); }).find("pack.dat: the pack would reach 4 GiB"), std::string::npos);
  }
  {
    SCOPED_TRACE("a set of more than 32767 volumes");
    moltpack::VolumeLayout layout;
    layout.isSet = true;
    layout.maxVolumeSize = 65;
    MemoryVolumes store;
    moltpack::VolumeSink sink(layout, store, "p%d");
    const std::string fits(1 + 53 * std::size_t{32766}, 'x');
    sink.Write(fits.data(), fits.size());
    EXPECT_EQ(store.volumes.size(), 32767u);
    EXPECT_NE(FailureOf([&] { sink.Write("y", 1); }).find("more than 32767 volumes"), std::string::npos);
  }
  {
    SCOPED_TRACE("volumes too small for their headers");
    moltpack::VolumeLayout layout;
    layout.isSet = true;
    layout.maxVolumeSize = 64;
    MemoryVolumes store;
    EXPECT_THROW(moltpack::VolumeSink(layout, store, "p%d"), moltpack::Failure);
  }
}

// ---------------------------------------------------------------------------
// The compressor

TEST(Compressor, EveryLevelInflatesBackAndNothingThatDoesNotShrinkIsKept) {
  const std::string text = TextBytes(100000);
  for (int level = 1; level <= moltpack::HighestLevel(); ++level) {
    SCOPED_TRACE(level);
    const std::optional<std::string> packed = moltpack::DeflateWhole(text, level);
    ASSERT_TRUE(packed);
    EXPECT_LT(packed->size(), text.size());
    EXPECT_EQ(packwriter::InflateRaw(*packed), text);
    if (level <= moltpack::kZlibMaxLevel) {
      EXPECT_EQ(*packed, packwriter::DeflateRaw(text, level)) << "zlib's bytes";
    }
    EXPECT_FALSE(moltpack::DeflateWhole(NoiseBytes(5000, 1), level)) << "noise";
    EXPECT_FALSE(moltpack::DeflateWhole("", level));
    EXPECT_FALSE(moltpack::DeflateWhole("a", level));
    EXPECT_FALSE(moltpack::DeflateWhole("ab", level)) << "no DEFLATE stream of two bytes is shorter";
  }
}

TEST(Compressor, HigherLevelsPackSmallerThanZlibsNine) {
  if (moltpack::HighestLevel() <= moltpack::kZlibMaxLevel) GTEST_SKIP() << "this build has no levels above 9";
  const std::string text = TextBytes(200000) + NoiseBytes(1000, 5) + TextBytes(100000);
  EXPECT_LT(moltpack::DeflateWhole(text, 12)->size(), moltpack::DeflateWhole(text, 9)->size());
}

// A stream fed in any pieces gives zlib's bytes at the level, 9 at most.
TEST(Compressor, StreamsGiveTheBytesOfOneCallWhateverThePieces) {
  const std::string text = TextBytes(300000) + NoiseBytes(70000, 9);
  for (const int level : {1, 6, 9, 12}) {
    for (const std::size_t piece : {std::size_t{1000}, std::size_t{65536}, text.size()}) {
      std::string packed;
      moltpack::StreamDeflater deflater(level, [&packed](const char* data, std::size_t size) { packed.append(data, size); });
      for (std::size_t at = 0; at < text.size(); at += piece) {
        deflater.Feed(text.data() + at, std::min(piece, text.size() - at));
      }
      deflater.Finish();
      EXPECT_EQ(packed, packwriter::DeflateRaw(text, std::min(level, 9))) << level << " " << piece;
    }
  }
}

// ---------------------------------------------------------------------------
// The stream of a tree

constexpr std::uint16_t kDate = (28 << 9) | (3 << 5) | 15;

// Source entries written to disk here, so the tests do not depend on the scan.
class TreeOnDisk {
 public:
  explicit TreeOnDisk(const fs::path& root) : root_(root) { fs::create_directories(root); }

  SourceEntry File(const std::string& path, const std::string& contents, bool store = false) {
    const fs::path source = root_ / path;
    fs::create_directories(source.parent_path());
    WriteFileBytes(source, contents);
    SourceEntry entry = Common(SourceEntry::Kind::kFile, path);
    entry.size = contents.size();
    entry.store = store;
    return entry;
  }
  SourceEntry Directory(const std::string& path, std::vector<SourceEntry> children) {
    fs::create_directories(root_ / path);
    SourceEntry entry = Common(SourceEntry::Kind::kDirectory, path);
    entry.attributes = 0x10;
    entry.children = std::move(children);
    return entry;
  }

 private:
  SourceEntry Common(SourceEntry::Kind kind, const std::string& path) {
    SourceEntry entry;
    entry.kind = kind;
    entry.source = root_ / path;
    entry.displayPath = path;
    const std::string name = fs::path(path).filename().string();
    entry.shortName = name.size() <= 12 ? name : name.substr(0, 6) + "~1";
    if (name.size() > 12) entry.longName = name;
    entry.times.lastWriteDate = entry.times.creationDate = entry.times.lastAccessDate = kDate;
    entry.times.lastWriteTime = entry.times.creationTime = static_cast<std::uint16_t>(++clock_);
    entry.selectionMask = static_cast<std::uint32_t>(clock_ % 3 == 0 ? 0 : clock_);
    return entry;
  }

  fs::path root_;
  int clock_ = 0;
};

// The same tree as the pack writer describes it, with packed data from the
// compressor: what the stream must hold byte for byte.
packwriter::Entry Described(const SourceEntry& entry, int level) {
  packwriter::Entry out;
  out.shortName = entry.shortName;
  out.longName = entry.longName;
  out.selectionMask = entry.selectionMask;
  out.attributes = entry.attributes;
  out.times = entry.times;
  if (entry.kind == SourceEntry::Kind::kDirectory) {
    out.kind = packwriter::Entry::Kind::kDirectory;
    for (const SourceEntry& child : entry.children) out.children.push_back(Described(child, level));
    return out;
  }
  out.kind = packwriter::Entry::Kind::kFile;
  out.data = ReadFileBytes(entry.source);
  std::optional<std::string> packed;
  if (!entry.store && level > 0) {
    packed = entry.size <= moltpack::kWholeFileLimit ? moltpack::DeflateWhole(out.data, level)
                                                     : std::optional(packwriter::DeflateRaw(out.data, std::min(level, 9)));
    if (packed && packed->size() >= out.data.size()) packed.reset();
  }
  if (packed) {
    out.mode = packwriter::DataMode::kSupplied;
    out.packedData = *packed;
  }
  return out;
}

std::vector<packwriter::Entry> Described(const std::vector<SourceEntry>& root, int level) {
  std::vector<packwriter::Entry> out;
  for (const SourceEntry& entry : root) out.push_back(Described(entry, level));
  return out;
}

class PackStreamTest : public ::testing::Test {
 protected:
  // The plain record stream of `root` written on `jobs` threads.
  std::string Stream(const std::vector<SourceEntry>& root, int level, unsigned jobs,
                     std::uint64_t sizeFieldLimit = 0xFFFFFFFFu) {
    MemoryVolumes store;
    moltpack::VolumeSink sink({}, store, "pack");
    moltpack::OutputOptions options;
    options.level = level;
    options.jobs = jobs;
    options.sizeFieldLimit = sizeFieldLimit;
    options.spools.create = [this](fs::path& path) {
      path = dir.path() / ("spool" + std::to_string(++spools) + ".tmp");
      return std::make_unique<moltpack::WritableFile>(path, path.string(), moltpack::WritableFile::Mode::kCreateNew);
    };
    options.spools.remove = [](const fs::path& path) { fs::remove(path); };
    options.progress = [this](std::uint64_t done) { progress = std::max(progress, done); };
    moltpack::WritePackStream(root, sink, options);
    sink.Finish();
    return packwriter::StreamFromVolumes(store.volumes);
  }

  TempDir dir;
  TreeOnDisk tree{dir.path() / "src"};
  int spools = 0;
  std::uint64_t progress = 0;
};

TEST_F(PackStreamTest, TreeGoesOutAsThePackWriterDescribesItOnAnyNumberOfThreads) {
  const std::vector<SourceEntry> root = {
      tree.Directory("DOCS", {tree.File("DOCS/A.TXT", "0123456789"),
                              tree.Directory("DOCS/EMPTY", {}),
                              tree.File("DOCS/Long text name.txt", TextBytes(30000)),
                              tree.File("DOCS/NOTHING", "")}),
      tree.File("NOISE.BIN", NoiseBytes(4000, 2)),
      tree.File("STORED.TXT", TextBytes(3000), true),
      tree.File("BIG.TXT", TextBytes(moltpack::kWholeFileLimit + 5000)),
      tree.File("BIGSTORE.TXT", TextBytes(moltpack::kWholeFileLimit + 1), true),
      tree.File("BIGNOISE.BIN", NoiseBytes(moltpack::kWholeFileLimit + 3, 4)),
  };
  for (const int level : {0, 1, moltpack::DefaultLevel()}) {
    const std::string expected = packwriter::BuildStream(Described(root, level)).bytes;
    for (const unsigned jobs : {1u, 3u}) {
      SCOPED_TRACE("level " + std::to_string(level) + ", " + std::to_string(jobs) + " jobs");
      progress = 0;
      EXPECT_TRUE(SameBytes(Stream(root, level, jobs), expected));
      EXPECT_EQ(progress, moltpack::ContentBytes(root)) << "every byte of contents counted once";
      EXPECT_EQ(TemporaryFiles(dir.path()), std::vector<std::string>{}) << "spools are removed";
    }
  }
}

// A folder's contents size counts from after its names to its end tag
// inclusive; one more byte than a size field holds is refused, as is a file
// too large for its size field, instead of wrapping around.
TEST_F(PackStreamTest, SizesAboveTheirFieldsAreRefusedNotCutTo32Bits) {
  const std::vector<SourceEntry> root = {tree.Directory("DIR", {tree.File("DIR/F.TXT", "abcdefgh", true)})};
  const std::uint64_t contents = 36 + 2 + 6 + 8 + 4;  // file record, names, data, end tag
  EXPECT_NO_THROW(Stream(root, 0, 1, contents));
  EXPECT_NE(FailureOf([&] { Stream(root, 0, 1, contents - 1); }).find("DIR: its contents take 56 bytes"),
            std::string::npos);
  EXPECT_NE(FailureOf([&] { Stream(root, 0, 1, 7); }).find("F.TXT: is 4 GiB or larger"), std::string::npos);
}

struct ChangeCase {
  const char* name;
  void (*change)(const fs::path& file);
  const char* reason;
};

// The scan saw a file of one size; when its turn comes it must still be that.
TEST_F(PackStreamTest, FilesThatChangedSinceTheScanFailNamingTheFirst) {
  const ChangeCase cases[] = {
      {"shorter", [](const fs::path& file) { WriteFileBytes(file, "abc"); }, "changed size since the scan"},
      {"longer", [](const fs::path& file) { WriteFileBytes(file, TextBytes(9000)); }, "changed size since the scan"},
      {"a folder now",
       [](const fs::path& file) {
         fs::remove(file);
         fs::create_directory(file);
       },
       "is no longer a regular file"},
      {"gone", [](const fs::path& file) { fs::remove(file); }, "cannot open"},
  };
  for (const ChangeCase& c : cases) {
    SCOPED_TRACE(c.name);
    for (const std::size_t size : {std::size_t{5000}, moltpack::kWholeFileLimit + 1}) {
      const std::vector<SourceEntry> root = {tree.File("A.TXT", "fine"), tree.File("B.TXT", TextBytes(size)),
                                             tree.File("C.TXT", TextBytes(size))};
      c.change(dir.path() / "src" / "B.TXT");
      c.change(dir.path() / "src" / "C.TXT");
      for (const int level : {0, 6}) {
        const std::string failure = FailureOf([&] { Stream(root, level, 4); });
        EXPECT_NE(failure.find("B.TXT: " + std::string(c.reason)), std::string::npos) << failure;
      }
      fs::remove_all(dir.path() / "src");
    }
  }
}

// ---------------------------------------------------------------------------
// Reading a pack back

struct Corruption {
  const char* name;
  // Changes the plain single-volume pack or the tree; returns nothing.
  void (*apply)(std::string& volume, const fs::path& source);
  const char* failure;  // "" when verification passes
};

std::size_t Find(const std::string& volume, const std::string& what) {
  const std::size_t at = volume.find(what);
  if (at == std::string::npos || volume.find(what, at + 1) != std::string::npos) throw std::runtime_error("not unique");
  return at;
}

TEST(VerifyPack, PassesAWrittenPackAndNamesWhatDiffers) {
  const Corruption cases[] = {
      {"nothing", [](std::string&, const fs::path&) {}, ""},
      {"a stored byte", [](std::string& v, const fs::path&) { v[Find(v, "STORED-CONTENTS") + 3] ^= 1; },
       "STORED.TXT: "},
      {"a compressed byte",
       [](std::string& v, const fs::path&) { v[Find(v, std::string("DEFLATED.TXT") + '\0') + 40] ^= 0x20; },
       "DEFLATED.TXT: "},
      {"a record's attributes",
       [](std::string& v, const fs::path&) { v[Find(v, std::string("STORED.TXT") + '\0') - 2 - 36 + 10] ^= 1; },
       "STORED.TXT: the pack's record differs: attributes"},
      {"a folder's contents size",
       [](std::string& v, const fs::path&) { v[Find(v, std::string("SUB") + '\0') - 2 - 28 + 24] += 1; },
       "SUB"},
      {"a source file changed after packing",
       [](std::string&, const fs::path& source) { WriteFileBytes(source / "SUB" / "STORED.TXT", "STORED-CONTENTX"); },
       "STORED.TXT: differs in the pack at byte 14"},
      {"a source file grew after packing",
       [](std::string&, const fs::path& source) { WriteFileBytes(source / "SUB" / "STORED.TXT", "STORED-CONTENTS!"); },
       "STORED.TXT: changed size since the scan"},
      {"the pack cut short", [](std::string& v, const fs::path&) { v.resize(v.size() - 5); }, "DEFLATED.TXT: "},
  };
  for (const Corruption& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    TreeOnDisk tree(dir.path() / "src");
    const std::vector<SourceEntry> root = {
        tree.Directory("SUB", {tree.File("SUB/STORED.TXT", "STORED-CONTENTS", true)}),
        tree.File("DEFLATED.TXT", TextBytes(2000)),
    };
    MemoryVolumes store;
    moltpack::VolumeSink sink({}, store, "pack");
    moltpack::OutputOptions options;
    options.level = 6;
    moltpack::WritePackStream(root, sink, options);
    sink.Finish();
    std::string plain = store.volumes.front();
    packwriter::Scramble(plain);
    c.apply(plain, dir.path() / "src");
    packwriter::Scramble(plain);
    WriteFileBytes(dir.path() / "pack.dat", plain);
    const std::string failure = FailureOf([&] { moltpack::VerifyPack(dir / "pack.dat", root, nullptr); });
    if (*c.failure == '\0') {
      EXPECT_EQ(failure, "");
    } else {
      EXPECT_NE(failure.find(c.failure), std::string::npos) << failure;
    }
  }
}

// ---------------------------------------------------------------------------
// Staging the output

TEST(StagedOutput, PutsFilesInPlaceOnlyOnCommitAndRemovesTheRestOtherwise) {
  TempDir dir;
  WriteFileBytes(dir.path() / "old.dat", "old pack");
  {
    moltpack::StagedOutput staged(dir.path() / "src");
    staged.File(staged.Stage(dir.path() / "old.dat")).Append("new", 3);
    staged.File(staged.Stage(dir.path() / "other.dat")).Append("x", 1);
    fs::path scratch;
    staged.Scratch(dir.path() / "old.dat", scratch)->Append("s", 1);
    EXPECT_EQ(TemporaryFiles(dir.path()).size(), 3u);
  }
  EXPECT_EQ(ReadFileBytes(dir.path() / "old.dat"), "old pack");
  EXPECT_FALSE(fs::exists(dir.path() / "other.dat"));
  EXPECT_EQ(TemporaryFiles(dir.path()), std::vector<std::string>{});
  {
    moltpack::StagedOutput staged(dir.path() / "src");
    staged.File(staged.Stage(dir.path() / "old.dat")).Append("new", 3);
    fs::path scratch;
    staged.Scratch(dir.path() / "old.dat", scratch)->Append("s", 1);
    staged.Commit();
  }
  EXPECT_EQ(ReadFileBytes(dir.path() / "old.dat"), "new");
  EXPECT_EQ(TemporaryFiles(dir.path()), std::vector<std::string>{});
}

// A final name that cannot be replaced fails the commit before any file
// is put in place: the earlier pack stays whole, not half replaced.
TEST(StagedOutput, ChecksEveryFinalNameBeforePuttingAnyInPlace) {
  TempDir dir;
  WriteFileBytes(dir.path() / "v1.dat", "old pack");
  fs::create_directory(dir.path() / "list.txt");
  {
    moltpack::StagedOutput staged(dir.path() / "src");
    staged.File(staged.Stage(dir.path() / "v1.dat")).Append("new", 3);
    staged.File(staged.Stage(dir.path() / "list.txt")).Append("v1.dat\n", 7);
    EXPECT_THROW(staged.Commit(), moltpack::Failure);
  }
  EXPECT_EQ(ReadFileBytes(dir.path() / "v1.dat"), "old pack");
  EXPECT_TRUE(fs::is_directory(dir.path() / "list.txt"));
  EXPECT_EQ(TemporaryFiles(dir.path()), std::vector<std::string>{});
}

TEST(StagedOutput, RefusesOutputInsideTheTree) {
  TempDir dir;
  fs::create_directories(dir.path() / "src" / "sub");
  fs::create_directories(dir.path() / "srcx");
  const fs::path src = dir.path() / "src";
  for (const fs::path& inside : {src, src / "p.dat", src / "sub" / "p.dat", src / "new" / "p.dat",
                                 dir.path() / "srcx" / ".." / "src" / "p.dat", src / "." / "p.dat"}) {
    EXPECT_THROW(moltpack::RefuseOutputInside(inside, src), moltpack::Failure) << inside;
  }
  for (const fs::path& outside : {dir.path() / "p.dat", dir.path() / "srcx" / "p.dat", dir.path() / "src.dat"}) {
    EXPECT_NO_THROW(moltpack::RefuseOutputInside(outside, src)) << outside;
  }
}

// ---------------------------------------------------------------------------
// The progress line

TEST(ProgressLine, TellsBytesRateAndTimeLeft) {
  const std::uint64_t mib = 1 << 20;
  EXPECT_EQ(moltpack::ProgressText("packing", 0, 400 * mib, 0), "packing 0.0 MiB of 400.0 MiB");
  EXPECT_EQ(moltpack::ProgressText("packing", 100 * mib, 400 * mib, 10),
            "packing 100.0 MiB of 400.0 MiB, 10.0 MiB/s, 0:30 left");
  EXPECT_EQ(moltpack::ProgressText("verifying", 10 * mib, 40000 * mib, 1),
            "verifying 10.0 MiB of 40000.0 MiB, 10.0 MiB/s, 1:06:39 left");
  EXPECT_EQ(moltpack::ProgressText("packing", 4 * mib, 4 * mib, 2), "packing 4.0 MiB of 4.0 MiB, 2.0 MiB/s");
}

}  // namespace

// Volume names from a format, volume files on disk, list files.
#include <gtest/gtest.h>

#include "pack_writer.h"
#include "support/temp_dir.h"

namespace {

using testing_support::ReadFileBytes;
using testing_support::TempDir;

packwriter::Pack ThreeVolumeSet() {
  packwriter::Pack pack;
  pack.root = {packwriter::File("A.TXT", std::string(100, 'a')), packwriter::File("B.TXT", std::string(100, 'b'))};
  pack.isSet = true;
  pack.splitAt = {50, 150};
  return pack;
}

struct NameCase {
  const char* format;
  unsigned number;
  const char* expected;
};

// The extractor's own rule: '%%' and at most one conversion of flags '-+ 0#',
// a width and one of d i u x X o.
TEST(VolumeNames, FormatsOneIntegerAsTheExtractorDoes) {
  const NameCase cases[] = {
      {"data%d.bin", 3, "data3.bin"},     {"data%02d.bin", 1, "data01.bin"},
      {"data%03i.bin", 12, "data012.bin"}, {"%u", 7, "7"},
      {"v%-3d|", 5, "v5  |"},             {"100%%-%d", 2, "100%-2"},
      {"package.dat", 4, "package.dat"},  {"%%d", 9, "%d"},
      {"v%x", 255, "vff"},                {"v%X", 255, "vFF"},
      {"v%o", 8, "v10"},                  {"v%#x", 26, "v0x1a"},
      {"v%#o", 8, "v010"},                {"v%+d", 4, "v+4"},
      {"v% d", 4, "v 4"},                 {"v%5u", 65535, "v65535"},
  };
  for (const NameCase& c : cases) {
    EXPECT_EQ(packwriter::FormatVolumeName(c.format, c.number), c.expected) << c.format;
  }
}

TEST(VolumeNames, RefusesWhatTheExtractorRefuses) {
  for (const char* format : {"%s.bin", "%d%d", "%x%o", "trailing %", "a%ld", "%hd", "%n", "%*d", "%99999d",
                             "e%.3d.dat", "j%.dat", "%c", "%p", "%e"}) {
    EXPECT_THROW(packwriter::FormatVolumeName(format, 1), packwriter::Error) << format;
  }
  EXPECT_THROW(packwriter::FormatVolumeName(std::string("a\0%d", 4), 1), packwriter::Error) << "a NUL byte";
  EXPECT_THROW(packwriter::FormatVolumeName("p%d", 0x10000), packwriter::Error) << "a number beyond 16 bits";
}

TEST(VolumeFiles, WritesEachVolumeUnderItsFormattedName) {
  TempDir dir;
  const packwriter::Pack pack = ThreeVolumeSet();
  const std::vector<std::string> paths = packwriter::WritePack(pack, dir / "data%02d.bin");
  ASSERT_EQ(paths, (std::vector<std::string>{dir / "data01.bin", dir / "data02.bin", dir / "data03.bin"}));
  const std::vector<std::string> volumes = packwriter::BuildVolumes(pack);
  for (std::size_t i = 0; i < paths.size(); ++i) EXPECT_EQ(ReadFileBytes(paths[i]), volumes[i]);
}

TEST(VolumeFiles, SingleVolumeTakesTheNameAsFormattedForOne) {
  TempDir dir;
  packwriter::Pack pack;
  pack.root = {packwriter::File("A", "a")};
  EXPECT_EQ(packwriter::WritePack(pack, dir / "package.dat"), std::vector<std::string>{dir / "package.dat"});
  EXPECT_EQ(packwriter::WritePack(pack, dir / "p%d.dat"), std::vector<std::string>{dir / "p1.dat"});
}

TEST(VolumeFiles, RefusesAFormatThatNamesOneFileForAllVolumes) {
  TempDir dir;
  EXPECT_THROW(packwriter::WritePack(ThreeVolumeSet(), dir / "package.dat"), packwriter::Error);
  EXPECT_FALSE(std::filesystem::exists(dir / "package.dat"));
}

TEST(VolumeFiles, ListFileNamesTheVolumesOnePerLine) {
  TempDir dir;
  const std::vector<std::string> names = {dir / "first.vol", dir / "second volume", dir / "3"};
  const std::string list = dir / "list.txt";
  EXPECT_EQ(packwriter::WritePackWithList(ThreeVolumeSet(), names, list), names);
  EXPECT_EQ(ReadFileBytes(list), names[0] + "\n" + names[1] + "\n" + names[2] + "\n");
  const std::vector<std::string> volumes = packwriter::BuildVolumes(ThreeVolumeSet());
  for (std::size_t i = 0; i < names.size(); ++i) EXPECT_EQ(ReadFileBytes(names[i]), volumes[i]);
}

TEST(VolumeFiles, ListWithTheWrongNumberOfNamesIsRefused) {
  TempDir dir;
  EXPECT_THROW(packwriter::WritePackWithList(ThreeVolumeSet(), {dir / "a", dir / "b"}, dir / "list.txt"),
               packwriter::Error);
}

TEST(VolumeFiles, UnwritablePathIsReported) {
  TempDir dir;
  packwriter::Pack pack;
  EXPECT_THROW(packwriter::WritePack(pack, dir / "no such folder/p.dat"), packwriter::Error);
}

}  // namespace

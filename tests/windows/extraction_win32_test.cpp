// Whole extractions on the Win32 file system: attributes, replaced files,
// directory times, device names and double-byte names, as Windows shows them.
// Windows-only; under Linux these run in Wine.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "context.h"
#include "errors.h"
#include "extract.h"
#include "pack_writer.h"
#include "platform/platform.h"
#include "support/temp_dir.h"

namespace {

using packwriter::Directory;
using packwriter::Entry;
using packwriter::File;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

constexpr DWORD kShownBits = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                             FILE_ATTRIBUTE_SYSTEM;

// 2001-02-03 12:00:00 and 2001-02-04 as MS-DOS words, and in FILETIME units.
constexpr std::uint16_t kWriteDate = ((2001 - 1980) << 9) | (2 << 5) | 3;
constexpr std::uint16_t kWriteTime = 12 << 11;
constexpr std::uint16_t kAccessDate = kWriteDate + 1;
constexpr std::uint64_t kWriteFileTime = 126256752000000000ull;
constexpr std::uint64_t kAccessFileTime = kWriteFileTime + 12ull * 3600 * 10000000;

std::uint64_t AsNumber(const FILETIME& time) {
  return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// Read through the ANSI call, so that a double-byte name means what it
// means to the extractor.
std::string ReadAnsiPath(const std::string& path) {
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "(cannot open " + path + ")";
  std::string bytes;
  char block[256];
  DWORD done = 0;
  while (ReadFile(file, block, sizeof block, &done, nullptr) && done > 0) bytes.append(block, done);
  CloseHandle(file);
  return bytes;
}

Entry WithAttributes(Entry entry, std::uint16_t attributes) {
  entry.attributes = attributes;
  return entry;
}

Entry WithTimes(Entry entry) {
  entry.times.lastWriteDate = kWriteDate;
  entry.times.lastWriteTime = kWriteTime;
  entry.times.lastAccessDate = kAccessDate;
  return entry;
}

class WindowsExtraction : public ::testing::Test {
 protected:
  WindowsExtraction() { CreateDirectoryA(out.c_str(), nullptr); }

  int Extract(const std::vector<Entry>& root) {
    packwriter::Pack pack;
    pack.root = root;
    const std::string packPath = dir / "pack.bin";
    packwriter::WritePack(pack, packPath);
    return molt::Molt(context, packPath.c_str(), out.c_str(), nullptr, 0, "UNPACK");
  }

  std::string Out(const std::string& relative) const { return out + "\\" + relative; }

  DWORD Attributes(const std::string& relative) const {
    return GetFileAttributesA(Out(relative).c_str());
  }

  // Names in a folder under out, as the ANSI calls give them.
  std::vector<std::string> List(const std::string& relative) const {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA(Out(relative + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
      const std::string name = found.cFileName;
      if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
  }

  WIN32_FILE_ATTRIBUTE_DATA Info(const std::string& relative) const {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    EXPECT_TRUE(GetFileAttributesExA(Out(relative).c_str(), GetFileExInfoStandard, &data))
        << relative;
    return data;
  }

  testing_support::TempDir dir;
  std::string out = dir / "out";
  molt::Context context{molt::platform::SystemPlatform()};
};

TEST_F(WindowsExtraction, FileAttributesAreAppliedAndDirectoriesKeepTheirOwn) {
  ASSERT_EQ(Extract({WithAttributes(File("ro.txt", "r"), FILE_ATTRIBUTE_READONLY),
                     WithAttributes(File("hidden.txt", "h"), FILE_ATTRIBUTE_HIDDEN),
                     WithAttributes(File("system.txt", "s"), FILE_ATTRIBUTE_SYSTEM),
                     WithAttributes(File("all.txt", "a"), kShownBits),
                     WithAttributes(Directory("d", {File("in.txt", "i")}),
                                    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY)}),
            0);
  EXPECT_EQ(Attributes("ro.txt") & kShownBits, static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(Attributes("hidden.txt") & kShownBits, static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
  EXPECT_EQ(Attributes("system.txt") & kShownBits, static_cast<DWORD>(FILE_ATTRIBUTE_SYSTEM));
  EXPECT_EQ(Attributes("all.txt") & kShownBits, kShownBits);
  EXPECT_EQ(Attributes("d") & (kShownBits | FILE_ATTRIBUTE_DIRECTORY),
            static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_EQ(ReadFileBytes(Out("all.txt")), "a");
}

TEST_F(WindowsExtraction, ReadOnlyHiddenSystemFileIsReplaced) {
  const std::string path = Out("a.txt");
  WriteFileBytes(path, "old contents");
  ASSERT_TRUE(SetFileAttributesA(path.c_str(), kShownBits));
  ASSERT_EQ(Extract({WithAttributes(File("a.txt", "new"), FILE_ATTRIBUTE_HIDDEN)}), 0);
  EXPECT_EQ(ReadFileBytes(path), "new");
  EXPECT_EQ(Attributes("a.txt") & kShownBits, static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
}

TEST_F(WindowsExtraction, DirectoryTimesAreSetAfterItsContents) {
  ASSERT_EQ(Extract({WithTimes(Directory(
                "d", {WithTimes(File("a.txt", "a")), Directory("sub", {File("b.txt", "b")})}))}),
            0);
  for (const char* path : {"d", "d\\a.txt"}) {
    const WIN32_FILE_ATTRIBUTE_DATA info = Info(path);
    EXPECT_EQ(AsNumber(info.ftLastWriteTime), kWriteFileTime) << path;
    EXPECT_EQ(AsNumber(info.ftLastAccessTime), kAccessFileTime) << path;
  }
}

TEST_F(WindowsExtraction, DeviceNamesNeverReachTheFileSystem) {
  const std::vector<Entry> refused = {
      File("CON", "x"),
      File("nul.txt", "x"),
      File("Lpt1", "x"),
      File("com9.log", "x"),
      Directory("AUX", {File("a.txt", "x")}),
      packwriter::WithLongName(File("SAFE.TXT", "x"), "prn.txt"),
      // The system drops trailing dots and blanks: '.. ' would be the parent.
      Directory(".. ", {File("up.txt", "x")}),
      File("a.", "x"),
      File("b ", "x"),
  };
  for (const Entry& entry : refused) {
    EXPECT_EQ(Extract({entry}), molt::ERR_INPUT_FORMAT)
        << entry.longName.value_or(entry.shortName);
  }
  EXPECT_TRUE(List("").empty());
}

// 0x83 0x5C is one character of code page 932 whose second byte is the
// backslash: the name stays one file name, in the folder it belongs to.
TEST_F(WindowsExtraction, DoubleByteNameWithABackslashTrailByteStaysOneName) {
  if (GetACP() != 932) GTEST_SKIP() << "not a Japanese code page";
  const std::string name = "\x83\x5c.txt";
  ASSERT_EQ(Extract({Directory("d", {File(name, "katakana so")})}), 0);
  EXPECT_EQ(List("d\\"), std::vector<std::string>{name});
  EXPECT_EQ(ReadAnsiPath(Out("d\\" + name)), "katakana so");
}

}  // namespace

// The Win32 backend against the system itself: the flags it opens files
// with, the attributes and times it sets, the names it refuses and the
// texts it loads. Windows-only; under Linux these run in Wine.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "core/errors.h"
#include "platform/codepage.h"
#include "platform/platform.h"
#include "support/temp_dir.h"

namespace {

using molt::platform::FileHandle;
using molt::platform::FileTimeKind;
using molt::platform::kInvalidFile;
using molt::platform::Platform;
using molt::platform::SystemPlatform;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

// 2001-02-03 12:00:00 as MS-DOS words, and the same instant in FILETIME
// units (100 ns since 1601-01-01 UTC).
constexpr std::uint16_t kDate = ((2001 - 1980) << 9) | (2 << 5) | 3;
constexpr std::uint16_t kNoon = 12 << 11;
constexpr std::uint64_t kNoonFileTime = 126256752000000000ull;
constexpr std::uint64_t kMidnightFileTime = kNoonFileTime - 12ull * 3600 * 10000000;

std::uint64_t AsNumber(const FILETIME& time) {
  return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

struct Times {
  std::uint64_t creation = 0;
  std::uint64_t lastAccess = 0;
  std::uint64_t lastWrite = 0;
};

Times ReadTimes(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  EXPECT_TRUE(GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) << path;
  return {AsNumber(data.ftCreationTime), AsNumber(data.ftLastAccessTime),
          AsNumber(data.ftLastWriteTime)};
}

// Text of the active ANSI code page as UTF-8.
std::string AnsiToUtf8(const std::string& ansi) {
  if (ansi.empty()) return {};
  const int wideLength = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()),
                                             nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(),
                      wideLength);
  const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, nullptr, 0,
                                         nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, utf8.data(), length, nullptr, nullptr);
  return utf8;
}

HANDLE OpenWith(const std::string& path, DWORD access, DWORD share) {
  return CreateFileA(path.c_str(), access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                     nullptr);
}

// Wine keeps files on a Unix file system, which has no creation time to set.
bool RunningUnderWine() {
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// Wine stands for the read-only attribute with the write permission, which
// does not hold back a process running as root.
bool ReadOnlyIsEnforced(const std::string& probe) {
  WriteFileBytes(probe, "x");
  SetFileAttributesA(probe.c_str(), FILE_ATTRIBUTE_READONLY);
  const HANDLE handle = OpenWith(probe, GENERIC_WRITE, 0);
  const bool enforced = handle == INVALID_HANDLE_VALUE;
  if (!enforced) CloseHandle(handle);
  SetFileAttributesA(probe.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileA(probe.c_str());
  return enforced;
}

class WindowsPlatform : public ::testing::Test {
 protected:
  std::string MakeFile(const std::string& name, const std::string& bytes) {
    const std::string path = dir / name;
    WriteFileBytes(path, bytes);
    return path;
  }

  Platform& sys = SystemPlatform();
  TempDir dir;
};

// ---------------------------------------------------------------- texts

struct TableText {
  int code;
  const char* utf8;
};

constexpr TableText kTableTexts[] = {
#define MOLT_ERROR(code, name, text) {code, text},
#include "error_texts.def"
#undef MOLT_ERROR
};

TEST_F(WindowsPlatform, RunsInAJapaneseCodePage) {
  // The string table is read through the ANSI code page; the texts survive
  // only where that is 932.
  EXPECT_EQ(GetACP(), 932u) << "run these tests in a Japanese Wine prefix (scripts/wine-run)";
}

TEST_F(WindowsPlatform, EveryErrorCodeLoadsItsTextFromTheStringTable) {
  for (const TableText& entry : kTableTexts) {
    char buffer[256];
    std::memset(buffer, 'x', sizeof buffer);
    sys.LoadErrorText(entry.code, buffer, sizeof buffer);
    EXPECT_EQ(AnsiToUtf8(buffer), entry.utf8) << "code " << entry.code;
  }
}

TEST_F(WindowsPlatform, TextsAreCodePage932Bytes) {
  char buffer[256];
  sys.LoadErrorText(molt::ERR_OPTION, buffer, sizeof buffer);
  EXPECT_STREQ(buffer,
               "\x83\x49\x83\x76\x83\x56\x83\x87\x83\x93\x82\xaa\x90\xb3\x82\xb5\x82\xad\x82\xa0"
               "\x82\xe8\x82\xdc\x82\xb9\x82\xf1\x81\x42");
  sys.LoadErrorText(molt::ERR_UNRECOVERABLE, buffer, sizeof buffer);
  const char* lineFeed = std::strchr(buffer, '\n');
  ASSERT_NE(lineFeed, nullptr);
  EXPECT_EQ(std::strchr(lineFeed + 1, '\n'), nullptr);
  EXPECT_EQ(std::strchr(buffer, '\r'), nullptr);
}

TEST_F(WindowsPlatform, CodesOutsideTheTableHaveNoText) {
  for (const int code : {0, 1, 5, 48, 254, 256, 4 + 4096}) {
    char buffer[16] = "untouched";
    sys.LoadErrorText(code, buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "") << "code " << code;
  }
}

TEST_F(WindowsPlatform, ALongTextIsCutInsideTheBuffer) {
  char buffer[12];
  std::memset(buffer, 'x', sizeof buffer);
  sys.LoadErrorText(molt::ERR_UNRECOVERABLE, buffer, 9);
  EXPECT_LE(std::strlen(buffer), 8u);
  EXPECT_EQ(std::string(buffer + 9, 3), "xxx");
}

TEST_F(WindowsPlatform, SystemErrorTextComesFromTheSystem) {
  const std::string text = sys.SystemErrorText(ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(text.empty());
  EXPECT_NE(text, "error 2");
  EXPECT_EQ(sys.SystemErrorText(0x3FFFFFF0), "error 1073741808");
}

// ---------------------------------------------------------------- volumes

TEST_F(WindowsPlatform, VolumeIsReadWithoutSharing) {
  const std::string path = MakeFile("vol.bin", "0123456789");
  const FileHandle volume = sys.OpenVolumeFile(path.c_str());
  ASSERT_NE(volume, kInvalidFile);

  const HANDLE other = OpenWith(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
  EXPECT_EQ(other, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  if (other != INVALID_HANDLE_VALUE) CloseHandle(other);

  std::uint64_t size = 0;
  ASSERT_TRUE(sys.GetFileSize(volume, &size));
  EXPECT_EQ(size, 10u);
  char bytes[8] = {};
  std::uint32_t done = 0;
  ASSERT_TRUE(sys.ReadFile(volume, bytes, 3, &done));
  EXPECT_EQ(std::string(bytes, done), "012");
  ASSERT_TRUE(sys.SkipForward(volume, 4));
  ASSERT_TRUE(sys.ReadFile(volume, bytes, 8, &done));
  EXPECT_EQ(std::string(bytes, done), "789");
  ASSERT_TRUE(sys.ReadFile(volume, bytes, 8, &done));
  EXPECT_EQ(done, 0u);
  ASSERT_TRUE(sys.SeekToStart(volume));
  ASSERT_TRUE(sys.ReadFile(volume, bytes, 2, &done));
  EXPECT_EQ(std::string(bytes, done), "01");
  // A skip past the end is allowed; the next read finds the end.
  ASSERT_TRUE(sys.SkipForward(volume, 100));
  ASSERT_TRUE(sys.ReadFile(volume, bytes, 8, &done));
  EXPECT_EQ(done, 0u);
  EXPECT_FALSE(sys.SkipForward(volume, ~std::uint64_t{0}));
  sys.CloseFile(volume);
}

TEST_F(WindowsPlatform, MissingVolumeOrFolderIsNotOpened) {
  EXPECT_EQ(sys.OpenVolumeFile((dir / "none.bin").c_str()), kInvalidFile);
  EXPECT_EQ(sys.LastError(), molt::platform::kErrorFileNotFound);
  EXPECT_EQ(sys.OpenVolumeFile(dir.path().string().c_str()), kInvalidFile);
}

// ---------------------------------------------------------------- output

TEST_F(WindowsPlatform, OutputFileLetsOthersWriteButNotReadOrDelete) {
  const std::string path = MakeFile("out.txt", "old contents");
  const FileHandle output = sys.CreateOutputFile(path.c_str());
  ASSERT_NE(output, kInvalidFile);
  std::uint32_t done = 0;
  ASSERT_TRUE(sys.WriteFile(output, "new", 3, &done));
  EXPECT_EQ(done, 3u);

  const HANDLE writer = OpenWith(path, GENERIC_WRITE, FILE_SHARE_WRITE);
  EXPECT_NE(writer, INVALID_HANDLE_VALUE) << GetLastError();
  if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);

  const HANDLE reader = OpenWith(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
  EXPECT_EQ(reader, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  if (reader != INVALID_HANDLE_VALUE) CloseHandle(reader);

  EXPECT_FALSE(DeleteFileA(path.c_str()));
  sys.CloseFile(output);
  // Replaced and emptied: only what was written now stands.
  EXPECT_EQ(testing_support::ReadFileBytes(path), "new");
}

TEST_F(WindowsPlatform, ReadOnlyFileIsReplacedOnlyOnceItsAttributesAreCleared) {
  if (!ReadOnlyIsEnforced(dir / "probe")) GTEST_SKIP() << "read-only files are writable here";
  const std::string path = MakeFile("ro.txt", "old");
  ASSERT_TRUE(sys.SetFileAttributes(path.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(sys.CreateOutputFile(path.c_str()), kInvalidFile);
  EXPECT_EQ(sys.LastError(), molt::platform::kErrorAccessDenied);

  ASSERT_TRUE(sys.SetFileAttributes(path.c_str(), 0));
  const FileHandle output = sys.CreateOutputFile(path.c_str());
  ASSERT_NE(output, kInvalidFile);
  sys.CloseFile(output);
  EXPECT_EQ(testing_support::ReadFileBytes(path), "");
}

struct AttributeCase {
  const char* name;
  std::uint32_t bits;
};

void PrintTo(const AttributeCase& c, std::ostream* out) { *out << c.name; }

class WindowsAttributes : public WindowsPlatform,
                          public ::testing::WithParamInterface<AttributeCase> {};

TEST_P(WindowsAttributes, AreAppliedAsTheyStand) {
  const std::string path = MakeFile("file.txt", "x");
  ASSERT_TRUE(sys.SetFileAttributes(path.c_str(), GetParam().bits));
  std::uint32_t attributes = 0;
  ASSERT_TRUE(sys.GetFileAttributes(path.c_str(), &attributes));
  // Wine shows every file with the archive bit, so only these are compared.
  const std::uint32_t kept = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                             FILE_ATTRIBUTE_SYSTEM;
  EXPECT_EQ(attributes & kept, GetParam().bits & kept);
  EXPECT_EQ(attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
  // Zero clears them all again.
  ASSERT_TRUE(sys.SetFileAttributes(path.c_str(), 0));
  ASSERT_TRUE(sys.GetFileAttributes(path.c_str(), &attributes));
  EXPECT_EQ(attributes & kept, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Bits, WindowsAttributes,
    ::testing::Values(AttributeCase{"ReadOnly", FILE_ATTRIBUTE_READONLY},
                      AttributeCase{"Hidden", FILE_ATTRIBUTE_HIDDEN},
                      AttributeCase{"System", FILE_ATTRIBUTE_SYSTEM},
                      AttributeCase{"HiddenSystemReadOnly", FILE_ATTRIBUTE_HIDDEN |
                                                                FILE_ATTRIBUTE_SYSTEM |
                                                                FILE_ATTRIBUTE_READONLY}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WindowsPlatform, MissingPathHasNoAttributes) {
  std::uint32_t attributes = 0;
  EXPECT_FALSE(sys.GetFileAttributes((dir / "none").c_str(), &attributes));
  EXPECT_EQ(sys.LastError(), molt::platform::kErrorFileNotFound);
}

TEST_F(WindowsPlatform, DirectoryIsCreatedOnceUnderAnExistingParent) {
  const std::string path = dir / "sub";
  ASSERT_TRUE(sys.CreateDirectory(path.c_str()));
  EXPECT_FALSE(sys.CreateDirectory(path.c_str()));
  EXPECT_EQ(sys.LastError(), molt::platform::kErrorAlreadyExists);
  EXPECT_FALSE(sys.CreateDirectory((dir / "none\\deeper").c_str()));
  EXPECT_NE(sys.LastError(), molt::platform::kErrorAlreadyExists);
}

// ---------------------------------------------------------------- times

struct TimeCase {
  const char* name;
  FileTimeKind kind;
  bool directory;
};

void PrintTo(const TimeCase& c, std::ostream* out) { *out << c.name; }

class WindowsTimes : public WindowsPlatform, public ::testing::WithParamInterface<TimeCase> {
 protected:
  std::string MakeTarget() {
    if (!GetParam().directory) return MakeFile("target", "x");
    const std::string path = dir / "target";
    EXPECT_TRUE(CreateDirectoryA(path.c_str(), nullptr));
    return path;
  }
};

// The one time is set as UTC, whatever the time zone; the others stay.
TEST_P(WindowsTimes, OneTimeIsSetAndTheOthersStay) {
  const TimeCase& c = GetParam();
  if (c.kind == FileTimeKind::Creation && RunningUnderWine()) {
    GTEST_SKIP() << "Wine cannot set a creation time";
  }
  const std::string path = MakeTarget();
  const Times before = ReadTimes(path);
  ASSERT_TRUE(sys.SetFileTime(path.c_str(), c.kind, kDate, kNoon));
  const Times after = ReadTimes(path);
  const auto expected = [&](FileTimeKind kind, std::uint64_t was) {
    return kind == c.kind ? kNoonFileTime : was;
  };
  EXPECT_EQ(after.lastAccess, expected(FileTimeKind::LastAccess, before.lastAccess));
  EXPECT_EQ(after.lastWrite, expected(FileTimeKind::LastWrite, before.lastWrite));
  // Wine shows the older of the Unix times as the creation time.
  if (!RunningUnderWine()) {
    EXPECT_EQ(after.creation, expected(FileTimeKind::Creation, before.creation));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, WindowsTimes,
    ::testing::Values(TimeCase{"FileCreation", FileTimeKind::Creation, false},
                      TimeCase{"FileLastAccess", FileTimeKind::LastAccess, false},
                      TimeCase{"FileLastWrite", FileTimeKind::LastWrite, false},
                      TimeCase{"DirectoryCreation", FileTimeKind::Creation, true},
                      TimeCase{"DirectoryLastAccess", FileTimeKind::LastAccess, true},
                      TimeCase{"DirectoryLastWrite", FileTimeKind::LastWrite, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WindowsPlatform, LastAccessDateIsSetAtMidnight) {
  const std::string path = MakeFile("f", "x");
  ASSERT_TRUE(sys.SetFileTime(path.c_str(), FileTimeKind::LastAccess, kDate, 0));
  EXPECT_EQ(ReadTimes(path).lastAccess, kMidnightFileTime);
}

TEST_F(WindowsPlatform, DateOrTimeOutOfRangeLeavesTheFileAlone) {
  const std::string path = MakeFile("f", "x");
  const std::uint64_t before = ReadTimes(path).lastWrite;
  struct {
    std::uint16_t date;
    std::uint16_t time;
  } const invalid[] = {
      {static_cast<std::uint16_t>(kDate & ~0x01E0), kNoon},            // month 0
      {static_cast<std::uint16_t>((kDate & ~0x01E0) | (13 << 5)), kNoon},  // month 13
      {static_cast<std::uint16_t>((kDate & ~0x01FF) | (4 << 5) | 31), kNoon},  // 31 April
      {static_cast<std::uint16_t>(kDate & ~0x001F), kNoon},            // day 0
      {kDate, static_cast<std::uint16_t>(24 << 11)},                   // hour 24
      {kDate, static_cast<std::uint16_t>(60 << 5)},                    // minute 60
      {kDate, static_cast<std::uint16_t>(30)},                         // second 60
  };
  for (const auto& c : invalid) {
    EXPECT_FALSE(sys.SetFileTime(path.c_str(), FileTimeKind::LastWrite, c.date, c.time))
        << std::hex << c.date << " " << c.time;
  }
  EXPECT_EQ(ReadTimes(path).lastWrite, before);
}

TEST_F(WindowsPlatform, TimeOfAReadOnlyFileIsNotSet) {
  if (!ReadOnlyIsEnforced(dir / "probe")) GTEST_SKIP() << "read-only files are writable here";
  const std::string path = MakeFile("f", "x");
  ASSERT_TRUE(sys.SetFileAttributes(path.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_FALSE(sys.SetFileTime(path.c_str(), FileTimeKind::LastWrite, kDate, kNoon));
  EXPECT_NE(ReadTimes(path).lastWrite, kNoonFileTime);
}

TEST_F(WindowsPlatform, TimeOfAFileHeldOpenIsNotSet) {
  const std::string path = MakeFile("f", "x");
  const HANDLE held = OpenWith(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(sys.SetFileTime(path.c_str(), FileTimeKind::LastWrite, kDate, kNoon));
  EXPECT_EQ(sys.LastError(), static_cast<std::uint32_t>(ERROR_SHARING_VIOLATION));
  CloseHandle(held);
}

// ---------------------------------------------------------------- names

TEST(WindowsReservedNames, DeviceNamesAreRefusedInAnyCaseAndWithAnyExtension) {
  const Platform& sys = SystemPlatform();
  for (const char* name : {"CON", "con", "Prn", "AUX", "nul", "NUL.txt", "con.tar.gz", "COM1",
                           "com9.log", "LPT1", "lpt9", "CON .txt", "aux:", "NUL ", ".. ", "a.",
                           "b "}) {
    EXPECT_TRUE(sys.IsReservedName(name)) << name;
  }
  for (const char* name : {"", "CONS", "CO", "xCON", "NULL", "COM0", "COM10", "LPT", "LPT0",
                           "COMA", "con_", "a.con", "CON1", ".CON", "\x83\x5c"}) {
    EXPECT_FALSE(sys.IsReservedName(name)) << name;
  }
}

// ---------------------------------------------------------------- environment

TEST_F(WindowsPlatform, CurrentDirectoryIsTheSystems) {
  char expected[MAX_PATH];
  ASSERT_NE(GetCurrentDirectoryA(MAX_PATH, expected), 0u);
  char buffer[MAX_PATH];
  ASSERT_TRUE(sys.GetCurrentDirectory(buffer, sizeof buffer));
  EXPECT_STREQ(buffer, expected);

  // A buffer that is too small fails and is not written past its end.
  const std::size_t small = std::strlen(expected);
  std::vector<char> tight(small + 4, '#');
  EXPECT_FALSE(sys.GetCurrentDirectory(tight.data(), small));
  EXPECT_EQ(sys.LastError(), static_cast<std::uint32_t>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(std::string(tight.data() + small, 4), "####");
}

TEST_F(WindowsPlatform, VolumeOfTheCurrentDirectoryTakesLongNames) {
  std::uint32_t length = 0;
  ASSERT_TRUE(sys.GetMaxComponentLength(&length));
  EXPECT_GE(length, 255u);
}

TEST_F(WindowsPlatform, CharactersFollowCodePage932) {
  if (GetACP() != 932) GTEST_SKIP() << "not a Japanese code page";
  const molt::platform::CodePage& page = sys.Characters();
  for (const int lead : {0x81, 0x9F, 0xE0, 0xFC}) EXPECT_TRUE(page.IsLeadByte(lead)) << lead;
  for (const int single : {0x41, 0x5C, 0x80, 0xA0, 0xA1, 0xDF, 0xFD}) {
    EXPECT_FALSE(page.IsLeadByte(single)) << single;
  }
  EXPECT_EQ(page.ToUpper('a'), 'A');
  EXPECT_EQ(page.ToUpper('z'), 'Z');
  EXPECT_EQ(page.ToUpper('A'), 'A');
  EXPECT_EQ(page.ToUpper('1'), '1');
  EXPECT_EQ(page.ToUpper(0xB1), 0xB1);  // half-width katakana has no case
  // The trail byte of a double-byte character is not a separator.
  const char* path = "C:\\\x95\x5c";
  EXPECT_EQ(page.FindLast(path, '\\'), path + 2);
}

}  // namespace

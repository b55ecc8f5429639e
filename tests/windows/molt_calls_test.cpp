// MOLT.DLL called through its export as the update program calls it: loaded
// by path, `Molt` looked up by name and called with all five arguments.
// Many calls in one process show that caller and library agree on the
// calling convention: in a 32-bit process a library that removed its own
// arguments from the stack (or left more) would move the stack pointer with
// every call.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "molt.h"
#include "pack_writer.h"
#include "support/temp_dir.h"

namespace {

// The stack pointer where the caller stands.
__attribute__((noinline)) std::uintptr_t StackPointer() {
  return reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
}

// The library's path as the build gives it, in Windows form.
std::string LibraryPath() {
  std::string path = MOLT_DLL_PATH;
  if (!path.empty() && path[0] == '/') path = "Z:" + path;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

class MoltCalls : public ::testing::Test {
 protected:
  void SetUp() override {
    library_ = LoadLibraryA(LibraryPath().c_str());
    ASSERT_NE(library_, nullptr) << LibraryPath() << ": " << GetLastError();
    molt_ = reinterpret_cast<MoltFunction>(
        reinterpret_cast<void*>(GetProcAddress(library_, "Molt")));
    ASSERT_NE(molt_, nullptr);
  }
  void TearDown() override {
    if (library_ != nullptr) FreeLibrary(library_);
  }

  HMODULE library_ = nullptr;
  MoltFunction molt_ = nullptr;
};

TEST_F(MoltCalls, ManyCallsInOneProcessKeepTheStackAndTheArguments) {
  testing_support::TempDir dir;
  packwriter::Pack pack;
  pack.root = {packwriter::File("A.TXT", "first"),
               packwriter::Directory("SUB", {packwriter::File("B.TXT", "second")})};
  packwriter::WritePack(pack, dir / "pack%d.bin");
  const std::string packPath = dir / "pack%d.bin";
  const std::string destination = dir / "out";
  CreateDirectoryA(destination.c_str(), nullptr);

  std::uintptr_t first = 0;
  for (int call = 0; call < 500; ++call) {
    // Taken where each pass begins, where nothing of the last call is left
    // on the stack by the caller itself.
    const std::uintptr_t stack = StackPointer();
    if (call == 0) first = stack;
    ASSERT_EQ(stack, first) << "call " << call;
    // Each argument tells: the filter selects one file, showErrors 0 keeps
    // boxes away, and a command other than "UNPACK" is refused with 7.
    const bool unpack = call % 2 == 0;
    const int result = molt_(packPath.c_str(), destination.c_str(), "sub\\b.txt", 0,
                             unpack ? "UNPACK" : "PACK");
    ASSERT_EQ(result, unpack ? 0 : 7) << "call " << call;
  }
  EXPECT_EQ(testing_support::ReadFileBytes(dir.path() / "out" / "SUB" / "B.TXT"), "second");
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "out" / "A.TXT"));
}

}  // namespace

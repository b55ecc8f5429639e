// The shared library as callers see it: loaded at run time, Molt looked up
// by name and called through its C signature.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "molt.h"
#include "pack_writer.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

class PosixSharedLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    library_ = ::dlopen(MOLT_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library_, nullptr) << ::dlerror();
    molt_ = reinterpret_cast<MoltFunction>(::dlsym(library_, "Molt"));
    ASSERT_NE(molt_, nullptr);
    packwriter::Pack pack;
    pack.root = {packwriter::Directory("dir", {packwriter::DeflatedFile("a.txt", "alpha")}),
                 packwriter::File("b.txt", "beta")};
    packPath_ = packwriter::WritePack(pack, dir_ / "pack.bin").front();
  }
  void TearDown() override {
    if (library_ != nullptr) ::dlclose(library_);
  }

  std::string NewDestination(const std::string& name) {
    fs::create_directory(dir_.path() / name);
    return dir_ / name;
  }

  testing_support::TempDir dir_;
  void* library_ = nullptr;
  MoltFunction molt_ = nullptr;
  std::string packPath_;
};

// As the update program uses it: load, one call, unload.
TEST_F(PosixSharedLibraryTest, ExportsOnlyMoltAndExtractsOncePerLoad) {
  EXPECT_EQ(::dlsym(library_, "_ZN4molt4MoltERNS_7ContextEPKcS3_S3_iS3_"), nullptr);
  const std::string destination = NewDestination("once");
  EXPECT_EQ(molt_(packPath_.c_str(), destination.c_str(), nullptr, 1, "UNPACK"), 0);
  EXPECT_EQ(testing_support::ReadFileBytes(fs::path(destination) / "b.txt"), "beta");
}

TEST_F(PosixSharedLibraryTest, ExtractsTwiceInOneLoad) {
  const std::string first = NewDestination("first");
  EXPECT_EQ(molt_(packPath_.c_str(), first.c_str(), "dir", 2, "UNPACK"), 0);
  EXPECT_TRUE(fs::exists(fs::path(first) / "dir" / "a.txt"));
  EXPECT_FALSE(fs::exists(fs::path(first) / "b.txt"));

  const std::string second = NewDestination("second");
  EXPECT_EQ(molt_(packPath_.c_str(), second.c_str(), nullptr, 2, "UNPACK"), 0);
  EXPECT_EQ(testing_support::ReadFileBytes(fs::path(second) / "dir" / "a.txt"), "alpha");
  EXPECT_EQ(testing_support::ReadFileBytes(fs::path(second) / "b.txt"), "beta");

  EXPECT_EQ(molt_(packPath_.c_str(), second.c_str(), nullptr, 0, "unpack"), 7);
  EXPECT_EQ(molt_(nullptr, nullptr, nullptr, 0, nullptr), 7);
}

}  // namespace

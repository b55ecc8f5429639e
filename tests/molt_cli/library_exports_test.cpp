// molt links the extractor's core and the shared library both. The library
// must keep its core to itself: were the core's functions exported, the
// program's own copies would take over the library's calls into them.
#include <dlfcn.h>
#include <gtest/gtest.h>

namespace {

TEST(MoltSharedLibrary, ExportsMoltAlone) {
  void* library = ::dlopen(MOLT_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << ::dlerror();
  EXPECT_NE(::dlsym(library, "Molt"), nullptr);
  // molt::platform::SystemPlatform(), molt::WalkLevel(molt::Context&),
  // molt::ErrorText(int): the core, as the Itanium C++ ABI names it.
  for (const char* internal : {"_ZN4molt8platform14SystemPlatformEv",
                               "_ZN4molt9WalkLevelERNS_7ContextE", "_ZN4molt9ErrorTextEi"}) {
    EXPECT_EQ(::dlsym(library, internal), nullptr) << internal;
  }
  ::dlclose(library);
}

}  // namespace

// Extraction through the extractor's entry, on packs made by the pack writer:
// a temporary folder with the pack and a destination, and a listing of what
// was written.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "context.h"
#include "extract.h"
#include "pack_writer.h"
#include "support/fault_platform.h"
#include "support/temp_dir.h"

namespace extraction_test {

namespace fs = std::filesystem;
using packwriter::Entry;

class ExtractionTest : public ::testing::Test {
 public:
  ExtractionTest() { fs::create_directory(out()); }

  fs::path out() const { return dir.path() / "out"; }

  // Writes the pack and extracts it into out/ through the entry.
  int Extract(const std::vector<Entry>& root, const char* filter = nullptr, int showErrors = 0) {
    packwriter::Pack pack;
    pack.root = root;
    return ExtractPack(pack, filter, showErrors);
  }

  int ExtractPack(const packwriter::Pack& pack, const char* filter = nullptr, int showErrors = 0) {
    packPath = packwriter::WritePack(pack, dir / "pack%d.bin").front();
    const std::string destination = out().string();
    return molt::Molt(context, (dir / "pack%d.bin").c_str(), destination.c_str(), filter,
                      showErrors, "UNPACK");
  }

  // Everything under out/: folders end with '/'.
  std::set<std::string> Tree() const { return testing_support::ListTree(out()); }

  std::string Contents(const std::string& relative) const {
    return testing_support::ReadFileBytes(out() / relative);
  }

  testing_support::TempDir dir;
  testing_support::FaultPlatform platform;
  molt::Context context{platform};
  std::string packPath;
};

}  // namespace extraction_test

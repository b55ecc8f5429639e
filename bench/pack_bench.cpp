// molt-pack's output side timed against zlib's level 9 on one thread, the
// old highest level, measured in the same run:
//
//   build/bench/bench/pack_bench [TREE]
//
// Without TREE, a tree of text-like, program-like and random files (some
// above the size that is compressed whole) is made in a temporary folder.
// For each level: the stream's bytes, their share of the tree, the size and
// the CPU and wall time against zlib 9. Then the default level on one
// thread and on every core: wall time, speed-up, and that the bytes agree.
// The volumes are discarded as they come, so the disk does not count.
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <thread>

#include "compressor.h"
#include "decoder/sample_data.h"
#include "pack_output.h"
#include "staged_output.h"
#include "tree_scan.h"
#include "volume_sink.h"

namespace fs = std::filesystem;

namespace {

// Keeps only a checksum of what the sink writes: the bytes can be compared
// between runs without holding them.
class ChecksumVolumes : public moltpack::VolumeStore {
 public:
  void Begin(std::size_t) override {}
  void Append(const char* data, std::size_t size) override { Mix(data, size); }
  void WriteAt(std::size_t, std::uint64_t offset, const char* data, std::size_t size) override {
    sum_ += offset * 31;
    Mix(data, size);
  }
  void Finish() override {}
  std::uint64_t sum() const { return sum_; }

 private:
  void Mix(const char* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) sum_ = sum_ * 1099511628211u + static_cast<std::uint8_t>(data[i]);
  }
  std::uint64_t sum_ = 1469598103934665603u;
};

struct Run {
  std::uint64_t bytes = 0;
  std::uint64_t checksum = 0;
  double cpuSeconds = 0;
  double wallSeconds = 0;
};

struct Tree {
  fs::path root;
  std::vector<moltpack::SourceEntry> entries;
};

Run Pack(const Tree& tree, int level, unsigned jobs, const fs::path& scratch) {
  moltpack::StagedOutput staged(tree.root);
  ChecksumVolumes store;
  moltpack::VolumeLayout layout;
  layout.isSet = true;  // no 4 GiB limit on a large tree
  moltpack::VolumeSink sink(layout, store, "bench");
  moltpack::OutputOptions options;
  options.level = level;
  options.jobs = jobs;
  options.spools.create = [&](fs::path& path) { return staged.Scratch(scratch / "spool", path); };
  options.spools.remove = [&](const fs::path& path) { staged.RemoveScratch(path); };
  const std::clock_t cpuStart = std::clock();
  const auto wallStart = std::chrono::steady_clock::now();
  moltpack::WritePackStream(tree.entries, sink, options);
  Run run;
  for (const std::uint64_t size : sink.Finish()) run.bytes += size;
  run.cpuSeconds = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
  run.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
  run.checksum = store.sum();
  return run;
}

void MakeTree(const fs::path& root) {
  struct Item {
    decoder_test::SampleKind kind;
    int count;
    std::size_t size;
  };
  const Item items[] = {
      {decoder_test::SampleKind::Text, 12, 300 << 10},
      {decoder_test::SampleKind::Binary, 12, 1 << 20},
      {decoder_test::SampleKind::Binary, 2, moltpack::kWholeFileLimit + (1 << 20)},
      {decoder_test::SampleKind::Random, 2, 2 << 20},
  };
  std::uint32_t seed = 1;
  for (const Item& item : items) {
    const fs::path folder = root / decoder_test::SampleName(item.kind);
    fs::create_directories(folder);
    for (int i = 0; i < item.count; ++i) {
      const std::vector<std::uint8_t> bytes = decoder_test::MakeSample(item.kind, item.size, seed++);
      std::string name = "F";
      name += std::to_string(seed);
      name += ".DAT";
      std::ofstream out(folder / name, std::ios::binary);
      out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::string scratchName = "pack_bench-";
  scratchName += std::to_string(std::time(nullptr));
  const fs::path scratch = fs::temp_directory_path() / scratchName;
  fs::create_directories(scratch);
  Tree tree;
  tree.root = argc > 1 ? fs::path(argv[1]) : scratch / "tree";
  if (argc <= 1) MakeTree(tree.root);
  tree.entries = moltpack::ScanSourceTree(tree.root, {}, {});
  const double treeBytes = static_cast<double>(moltpack::ContentBytes(tree.entries));
  std::printf("tree %s: %.1f MiB; %s\n\n", tree.root.string().c_str(), treeBytes / 1048576,
              moltpack::CompressionLibraries().c_str());

  const Run reference = Pack(tree, 9, 1, scratch);
  std::printf("level  bytes        of tree  size vs 9  cpu s   cpu vs 9  (one thread)\n");
  for (int level = 1; level <= moltpack::HighestLevel(); ++level) {
    const Run run = level == 9 ? reference : Pack(tree, level, 1, scratch);
    std::printf("%5d  %11llu  %6.2f%%  %8.4f  %6.2f  %8.2f\n", level, static_cast<unsigned long long>(run.bytes),
                100.0 * static_cast<double>(run.bytes) / treeBytes,
                static_cast<double>(run.bytes) / static_cast<double>(reference.bytes), run.cpuSeconds,
                run.cpuSeconds / reference.cpuSeconds);
  }

  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  const Run one = Pack(tree, moltpack::DefaultLevel(), 1, scratch);
  const Run all = Pack(tree, moltpack::DefaultLevel(), cores, scratch);
  std::printf("\nlevel %d, wall time: 1 thread %.2f s, %u threads %.2f s, speed-up %.2f; bytes %s\n",
              moltpack::DefaultLevel(), one.wallSeconds, cores, all.wallSeconds, one.wallSeconds / all.wallSeconds,
              one.checksum == all.checksum && one.bytes == all.bytes ? "the same" : "DIFFER");
  fs::remove_all(scratch);
  return one.checksum == all.checksum ? 0 : 1;
}

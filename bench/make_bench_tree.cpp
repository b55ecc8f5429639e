// Writes the end-to-end benchmark's trees, the same bytes on every run:
//
//   make_bench_tree DEST text|binary TOTAL_MB
//
// 24 files of 1 to 10 parts in 24, their sizes adding up to TOTAL_MB MiB,
// spread over three folders, with the decoder tests' text-like or binary
// sample contents.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "decoder/sample_data.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: make_bench_tree DEST text|binary TOTAL_MB\n");
    return 2;
  }
  const fs::path destination = argv[1];
  const std::string kindName = argv[2];
  const double totalBytes = std::atof(argv[3]) * 1048576.0;
  if ((kindName != "text" && kindName != "binary") || totalBytes <= 0) {
    std::fprintf(stderr, "make_bench_tree: want text or binary and a size above 0\n");
    return 2;
  }
  const auto kind =
      kindName == "text" ? decoder_test::SampleKind::Text : decoder_test::SampleKind::Binary;
  constexpr int kFileCount = 24;
  // Weights 1..10 in a fixed mixed order, scaled to the total.
  int weights[kFileCount];
  int weightSum = 0;
  for (int i = 0; i < kFileCount; ++i) weightSum += weights[i] = 1 + (i * 7) % 10;
  for (int i = 0; i < kFileCount; ++i) {
    const fs::path folder = destination / ("part" + std::to_string(i % 3));
    fs::create_directories(folder);
    const auto size = static_cast<std::size_t>(totalBytes * weights[i] / weightSum);
    const std::vector<std::uint8_t> bytes = decoder_test::MakeSample(kind, size, i + 1);
    const fs::path path = folder / (kindName + std::to_string(i) + (i % 2 ? ".dat" : ".doc"));
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(size));
    if (!out) {
      std::fprintf(stderr, "make_bench_tree: cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}

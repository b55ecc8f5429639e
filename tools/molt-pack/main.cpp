// molt-pack: packs a directory tree into a pack the extractor reads.
#include <cstdint>
#include <exception>
#include <fstream>
#include <iostream>
#include <set>

#include "command_line.h"
#include "pack_writer.h"
#include "tree_scan.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr std::uint64_t kVolumeFileMax = 0xFFFFFFFFu;  // the reader keeps a volume's size in 32 bits

packwriter::Pack DescribePack(const moltpack::CommandLine& line) {
  packwriter::Pack pack;
  pack.root = moltpack::ScanTree(line.sourceDir, {line.store, line.level});
  if (line.volumeSize != 0) {
    pack.isSet = true;
    pack.maxVolumeSize = line.volumeSize;
  }
  return pack;
}

void WriteVolumes(const moltpack::CommandLine& line, const packwriter::Pack& pack) {
  const std::vector<std::string> volumes = packwriter::BuildVolumes(pack);
  std::vector<std::string> paths;
  for (std::size_t i = 0; i < volumes.size(); ++i) {
    if (volumes[i].size() > kVolumeFileMax) throw packwriter::Error("a volume would reach 4 GiB: use --volume-size");
    paths.push_back(packwriter::FormatVolumeName(line.packPath, static_cast<unsigned>(i + 1)));
  }
  if (std::set<std::string>(paths.begin(), paths.end()).size() != paths.size()) {
    throw packwriter::Error("PACK-PATH needs a '%d' to name " + std::to_string(paths.size()) + " volumes");
  }
  for (std::size_t i = 0; i < volumes.size(); ++i) {
    std::ofstream out(paths[i], std::ios::binary | std::ios::trunc);
    out.write(volumes[i].data(), static_cast<std::streamsize>(volumes[i].size()));
    out.close();
    if (!out) throw packwriter::Error("cannot write '" + paths[i] + "'");
  }
  if (line.listFile) {
    std::ofstream list(*line.listFile, std::ios::binary | std::ios::trunc);
    list << packwriter::ListFileText(paths);
    list.close();
    if (!list) throw packwriter::Error("cannot write '" + *line.listFile + "'");
  }
}

}  // namespace

int main(int argc, char** argv) {
  moltpack::CommandLine line;
  try {
    line = moltpack::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const moltpack::UsageError& error) {
    std::cerr << "molt-pack: " << error.message << "\n" << moltpack::kUsage;
    return kExitUsage;
  }
  if (line.help) {
    std::cout << moltpack::kUsage;
    return 0;
  }
  try {
    packwriter::FormatVolumeName(line.packPath, 1);  // a bad PACK-PATH fails before the scan
    WriteVolumes(line, DescribePack(line));
  } catch (const std::exception& error) {
    std::cerr << "molt-pack: " << error.what() << "\n";
    return kExitFailure;
  }
  return 0;
}

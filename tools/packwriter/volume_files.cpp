// Names the volume files and writes them, with or without a list file.
#include <fstream>
#include <set>

#include "pack_writer.h"
#include "volume_name.h"

namespace packwriter {
namespace {

// Room for a volume's name: the extractor's reader names volumes in its
// 8192-byte input buffer.
constexpr std::size_t kVolumeNameCapacity = 8192;

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) throw Error("cannot write '" + path + "'");
}

void RefuseRepeatedNames(const std::vector<std::string>& names) {
  if (std::set<std::string>(names.begin(), names.end()).size() != names.size()) {
    throw Error("two volumes would share the file '" + names.front() +
                "': the name format needs an integer conversion such as %d");
  }
}

}  // namespace

std::string FormatVolumeName(const std::string& format, unsigned volumeNumber) {
  // The extractor's own rule: what it refuses is refused here, and what it
  // accepts is named the way it names it.
  if (format.find('\0') != std::string::npos) throw Error("volume name format holds a NUL byte");
  if (volumeNumber > 0xFFFF) throw Error("volume number " + std::to_string(volumeNumber) + " is beyond 16 bits");
  std::vector<char> name(kVolumeNameCapacity);
  if (!molt::FormatVolumeName(format.c_str(), static_cast<std::uint16_t>(volumeNumber), name.data(), name.size())) {
    throw Error("volume name format '" + format +
                "' is not '%%' and at most one conversion '%' [flags -+ 0#] [width] d, i, u, x, X or o");
  }
  return name.data();
}

std::vector<std::string> WritePack(const Pack& pack, const std::string& format) {
  const std::vector<std::string> volumes = BuildVolumes(pack);
  std::vector<std::string> paths;
  for (std::size_t i = 0; i < volumes.size(); ++i) {
    paths.push_back(FormatVolumeName(format, static_cast<unsigned>(i + 1)));
  }
  RefuseRepeatedNames(paths);
  for (std::size_t i = 0; i < volumes.size(); ++i) WriteFile(paths[i], volumes[i]);
  return paths;
}

std::vector<std::string> WritePackWithList(const Pack& pack,
                                           const std::vector<std::string>& volumePaths,
                                           const std::string& listPath) {
  const std::vector<std::string> volumes = BuildVolumes(pack);
  if (volumePaths.size() != volumes.size()) {
    throw Error("the pack has " + std::to_string(volumes.size()) + " volumes but " +
                std::to_string(volumePaths.size()) + " names were given");
  }
  RefuseRepeatedNames(volumePaths);
  for (std::size_t i = 0; i < volumes.size(); ++i) WriteFile(volumePaths[i], volumes[i]);
  WriteFile(listPath, ListFileText(volumePaths));
  return volumePaths;
}

std::string ListFileText(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += name + "\n";
  return text;
}

}  // namespace packwriter

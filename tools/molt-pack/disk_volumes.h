// The volume files of a pack on disk, named by PACK-PATH's format and
// staged under temporary names until the pack is complete.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "staged_output.h"
#include "volume_sink.h"

namespace moltpack {

class DiskVolumes : public VolumeStore {
 public:
  DiskVolumes(StagedOutput& output, std::string format);

  void Begin(std::size_t index) override;
  void Append(const char* data, std::size_t size) override;
  void WriteAt(std::size_t index, std::uint64_t offset, const char* data, std::size_t size) override;
  void Finish() override;

  // Volume k's final name (from 1) and where it is written for now.
  const std::vector<std::string>& Names() const { return names_; }
  std::vector<std::filesystem::path> TemporaryPaths() const;

 private:
  void Flush();

  StagedOutput& output_;
  std::string format_;
  std::vector<std::string> names_;
  std::vector<std::size_t> staged_;  // StagedOutput's index of each volume
  std::string pending_;              // appended bytes not yet written
};

}  // namespace moltpack

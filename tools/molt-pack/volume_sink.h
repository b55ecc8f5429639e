// Lays the record stream out over volume files as it is written: volume
// headers, the set block and archive block in the first volume, a new
// volume whenever one is full, every byte scrambled by its file offset.
// Fields whose values are known only later (a directory's contents size, a
// streamed file's CRC-32) are written as placeholders and patched by stream
// offset; a patch may straddle two volumes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace moltpack {

// The reader keeps a volume's size in 32 bits: a volume file stays below 4 GiB.
inline constexpr std::uint64_t kMaxVolumeSize = 0xFFFFFFFFu;
// Volume 1 of a set holds 64 bytes of headers; a volume must hold at least
// one byte of the stream besides.
inline constexpr std::uint64_t kMinVolumeSize = 65;

struct VolumeLayout {
  // A set of numbered volumes of at most maxVolumeSize bytes each (headers
  // included); otherwise one volume with file number 0, of at most
  // maxVolumeSize bytes too.
  bool isSet = false;
  std::uint64_t maxVolumeSize = kMaxVolumeSize;
  std::uint16_t version = 0x0100;
  std::uint32_t productNumber = 0;
  std::array<std::uint8_t, 36> archiveBlock{};
};

// Where the volume files go: on disk for molt-pack, in memory for tests.
class VolumeStore {
 public:
  virtual ~VolumeStore() = default;
  // Volume `index` (from 0) begins, empty; appends go to it from now on.
  virtual void Begin(std::size_t index) = 0;
  virtual void Append(const char* data, std::size_t size) = 0;
  // Overwrites bytes already appended to volume `index`.
  virtual void WriteAt(std::size_t index, std::uint64_t offset, const char* data, std::size_t size) = 0;
  // Every volume is complete.
  virtual void Finish() = 0;
};

class VolumeSink {
 public:
  // `packName` names the pack in messages.
  VolumeSink(const VolumeLayout& layout, VolumeStore& store, std::string packName);

  // Appends plain stream bytes. Fails where the pack would outgrow what the
  // format can address: a single volume of 4 GiB, or more than 32767 volumes.
  void Write(const char* data, std::size_t size);
  // The stream offset of the next byte.
  std::uint64_t Position() const { return position_; }
  // Overwrites stream bytes already written.
  void Patch(std::uint64_t streamOffset, const char* data, std::size_t size);
  // Marks the last volume and fills the set block's pack size. Returns the
  // size of each volume file.
  std::vector<std::uint64_t> Finish();

 private:
  struct Place {
    std::size_t volume;
    std::uint64_t fileOffset;
    std::uint64_t room;  // bytes of this volume from fileOffset on
  };
  Place Locate(std::uint64_t streamOffset) const;
  void BeginVolume();
  void WritePlain(std::size_t volume, std::uint64_t fileOffset, const char* data, std::size_t size, bool append);
  std::uint64_t HeaderSize(std::size_t volume) const;
  std::uint64_t StreamRoom(std::size_t volume) const;

  VolumeLayout layout_;
  VolumeStore& store_;
  std::string packName_;
  std::uint64_t position_ = 0;
  std::vector<std::uint64_t> volumeSizes_;  // bytes of each volume file so far
  std::string scratch_;  // scrambled bytes on their way out
};

}  // namespace moltpack

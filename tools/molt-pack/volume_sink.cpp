#include "volume_sink.h"

#include <algorithm>

#include "core/pack_format.h"
#include "failure.h"
#include "pack_writer.h"

namespace moltpack {
namespace {

constexpr std::size_t kScrambleChunk = 64 * 1024;

void PutU16(std::string& out, std::uint16_t value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>(value >> 8));
}

void PutU32(std::string& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

}  // namespace

VolumeSink::VolumeSink(const VolumeLayout& layout, VolumeStore& store, std::string packName)
    : layout_(layout), store_(store), packName_(std::move(packName)) {
  layout_.maxVolumeSize = std::min(layout_.maxVolumeSize, kMaxVolumeSize);
  if (layout_.maxVolumeSize < kMinVolumeSize) {
    throw Failure(packName_, "a volume of " + std::to_string(layout_.maxVolumeSize) +
                                 " bytes cannot hold its headers and any of the stream");
  }
  BeginVolume();
}

std::uint64_t VolumeSink::HeaderSize(std::size_t volume) const {
  if (volume != 0) return molt::kVolumeHeaderSize;
  return molt::kVolumeHeaderSize + (layout_.isSet ? molt::kSetBlockSize : 0) + molt::kArchiveBlockSize;
}

std::uint64_t VolumeSink::StreamRoom(std::size_t volume) const { return layout_.maxVolumeSize - HeaderSize(volume); }

VolumeSink::Place VolumeSink::Locate(std::uint64_t streamOffset) const {
  const std::uint64_t firstRoom = StreamRoom(0);
  if (streamOffset < firstRoom) return {0, HeaderSize(0) + streamOffset, firstRoom - streamOffset};
  const std::uint64_t laterRoom = StreamRoom(1);
  const std::uint64_t beyond = streamOffset - firstRoom;
  const std::uint64_t within = beyond % laterRoom;
  return {static_cast<std::size_t>(1 + beyond / laterRoom), HeaderSize(1) + within, laterRoom - within};
}

void VolumeSink::BeginVolume() {
  const std::size_t index = volumeSizes_.size();
  if (index > 0 && !layout_.isSet) {
    throw Failure(packName_, "the pack would reach 4 GiB, more than one volume file can hold: split it with --volume-size");
  }
  if (index >= molt::FILE_NUMBER_MASK) {
    throw Failure(packName_, "the pack needs more than " + std::to_string(molt::FILE_NUMBER_MASK) +
                                 " volumes: choose a larger --volume-size");
  }
  store_.Begin(index);
  volumeSizes_.push_back(0);
  std::string headers(reinterpret_cast<const char*>(molt::kSignature), sizeof molt::kSignature);
  PutU16(headers, layout_.version);
  PutU16(headers, layout_.isSet ? static_cast<std::uint16_t>(index + 1) : 0);  // the last is marked by Finish
  PutU32(headers, layout_.productNumber);
  if (index == 0) {
    if (layout_.isSet) headers.append(molt::kSetBlockSize, '\0');  // the pack size is filled by Finish
    headers.append(reinterpret_cast<const char*>(layout_.archiveBlock.data()), layout_.archiveBlock.size());
  }
  WritePlain(index, 0, headers.data(), headers.size(), true);
}

void VolumeSink::WritePlain(std::size_t volume, std::uint64_t fileOffset, const char* data, std::size_t size,
                            bool append) {
  while (size > 0) {
    const std::size_t piece = std::min(size, kScrambleChunk);
    scratch_.assign(data, piece);
    packwriter::Scramble(scratch_, fileOffset);
    if (append) {
      store_.Append(scratch_.data(), piece);
      volumeSizes_[volume] += piece;
    } else {
      store_.WriteAt(volume, fileOffset, scratch_.data(), piece);
    }
    data += piece;
    size -= piece;
    fileOffset += piece;
  }
}

void VolumeSink::Write(const char* data, std::size_t size) {
  while (size > 0) {
    std::size_t current = volumeSizes_.size() - 1;
    if (volumeSizes_[current] == layout_.maxVolumeSize) {
      BeginVolume();
      ++current;
    }
    const std::size_t piece =
        static_cast<std::size_t>(std::min<std::uint64_t>(size, layout_.maxVolumeSize - volumeSizes_[current]));
    WritePlain(current, volumeSizes_[current], data, piece, true);
    position_ += piece;
    data += piece;
    size -= piece;
  }
}

void VolumeSink::Patch(std::uint64_t streamOffset, const char* data, std::size_t size) {
  while (size > 0) {
    const Place place = Locate(streamOffset);
    const std::size_t piece = static_cast<std::size_t>(std::min<std::uint64_t>(size, place.room));
    WritePlain(place.volume, place.fileOffset, data, piece, false);
    streamOffset += piece;
    data += piece;
    size -= piece;
  }
}

std::vector<std::uint64_t> VolumeSink::Finish() {
  if (layout_.isSet) {
    const std::size_t last = volumeSizes_.size() - 1;
    std::string fileNumber;
    PutU16(fileNumber, static_cast<std::uint16_t>((last + 1) | molt::FILE_NUMBER_LAST));
    WritePlain(last, molt::kHeaderFileNumber, fileNumber.data(), fileNumber.size(), false);
    // The field has 32 bits and no reader uses it: a larger pack says as much as it can.
    std::uint64_t total = 0;
    for (const std::uint64_t size : volumeSizes_) total += size;
    std::string packSize;
    PutU32(packSize, static_cast<std::uint32_t>(std::min<std::uint64_t>(total, 0xFFFFFFFFu)));
    WritePlain(0, molt::kVolumeHeaderSize, packSize.data(), packSize.size(), false);
  }
  store_.Finish();
  return volumeSizes_;
}

}  // namespace moltpack

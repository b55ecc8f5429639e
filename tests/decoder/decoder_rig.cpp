#include "decoder/decoder_rig.h"

#include <algorithm>
#include <cstring>

#include "errors.h"
#include "inflate.h"
#include "pack_format.h"
#include "reader.h"

namespace decoder_test {

namespace {

Bytes Scrambled(const Bytes& plain) {
  Bytes stored(plain);
  for (std::size_t i = 0; i < stored.size(); ++i) {
    stored[i] ^= molt::detail::kPlainKey.bytes[i % molt::kScrambleKeySize];
  }
  return stored;
}

// Bytes that stand before the packed data in a volume; never read by the
// decoder, only there so that the data starts at a chosen offset.
Bytes Filler(std::uint32_t size) { return Bytes(size, 0xEE); }

// The header of a later volume of a set: signature, version, file number.
Bytes LaterVolumeHeader(std::uint16_t fileNumber) {
  Bytes header(molt::kVolumeHeaderSize, 0);
  std::memcpy(header.data(), molt::kSignature, sizeof molt::kSignature);
  header[molt::kHeaderVersion] = 0x00;
  header[molt::kHeaderVersion + 1] = 0x01;
  header[molt::kHeaderFileNumber] = static_cast<std::uint8_t>(fileNumber);
  header[molt::kHeaderFileNumber + 1] = static_cast<std::uint8_t>(fileNumber >> 8);
  return header;
}

void Append(Bytes& to, const Bytes& bytes) { to.insert(to.end(), bytes.begin(), bytes.end()); }
void Append(Bytes& to, Bytes::const_iterator from, Bytes::const_iterator end) {
  to.insert(to.end(), from, end);
}

}  // namespace

void MemoryPackPlatform::AddVolume(const std::string& name, const Bytes& plain,
                                   std::vector<std::uint32_t> readSizes) {
  volumes_[name] = Volume{Scrambled(plain), std::move(readSizes), 0, 0};
}

FileHandle MemoryPackPlatform::Open(const std::string& name, std::uint64_t offset) {
  const FileHandle handle = OpenVolumeFile(name.c_str());
  if (Volume* volume = Find(handle)) volume->position = offset;
  return handle;
}

MemoryPackPlatform::Volume* MemoryPackPlatform::Find(FileHandle file) {
  const auto it = open_.find(file);
  return it == open_.end() ? nullptr : &volumes_.at(it->second);
}

FileHandle MemoryPackPlatform::OpenVolumeFile(const char* path) {
  const auto it = volumes_.find(path);
  if (it == volumes_.end()) return FaultPlatform::OpenVolumeFile(path);
  it->second.position = 0;
  open_[nextHandle_] = path;
  return nextHandle_++;
}

bool MemoryPackPlatform::ReadFile(FileHandle file, void* buffer, std::uint32_t size,
                                  std::uint32_t* done) {
  Volume* volume = Find(file);
  if (volume == nullptr) return FaultPlatform::ReadFile(file, buffer, size, done);
  ++volumeReads;
  std::uint64_t count = std::min<std::uint64_t>(size, volume->stored.size() - volume->position);
  if (!volume->readSizes.empty()) {
    count = std::min<std::uint64_t>(count, volume->readSizes[volume->nextRead]);
    volume->nextRead = (volume->nextRead + 1) % volume->readSizes.size();
  }
  std::memcpy(buffer, volume->stored.data() + volume->position, count);
  volume->position += count;
  *done = static_cast<std::uint32_t>(count);
  return true;
}

bool MemoryPackPlatform::GetFileSize(FileHandle file, std::uint64_t* size) {
  Volume* volume = Find(file);
  if (volume == nullptr) return FaultPlatform::GetFileSize(file, size);
  *size = volume->stored.size();
  return true;
}

bool MemoryPackPlatform::SeekToStart(FileHandle file) {
  Volume* volume = Find(file);
  if (volume == nullptr) return FaultPlatform::SeekToStart(file);
  volume->position = 0;
  return true;
}

bool MemoryPackPlatform::SkipForward(FileHandle file, std::uint64_t count) {
  Volume* volume = Find(file);
  if (volume == nullptr) return FaultPlatform::SkipForward(file, count);
  volume->position += count;
  return true;
}

void MemoryPackPlatform::CloseFile(FileHandle file) {
  if (open_.erase(file) == 0 && file != kMemoryOutput) FaultPlatform::CloseFile(file);
}

bool MemoryPackPlatform::WriteFile(FileHandle file, const void* data, std::uint32_t size,
                                   std::uint32_t* done) {
  if (file != kMemoryOutput) {
    ++fileWrites;
    return FaultPlatform::WriteFile(file, data, size, done);
  }
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  output.insert(output.end(), bytes, bytes + size);
  writeSizes.push_back(size);
  *done = size;
  return true;
}

DecoderRig::DecoderRig() : context_(std::make_unique<molt::Context>(platform_)) {}

DecodeOutcome DecoderRig::Decode(const Bytes& packed, std::uint32_t originalSize,
                                 const DecodeOptions& options) {
  return DecodeTo(MemoryPackPlatform::kMemoryOutput, packed, originalSize, options);
}

DecodeOutcome DecoderRig::DecodeTo(FileHandle outputHandle, const Bytes& packed,
                                   std::uint32_t originalSize, const DecodeOptions& options) {
  // Each entry gets volumes of its own: "entry<n>-1" and, when split, "entry<n>-2".
  const std::string prefix = "entry" + std::to_string(++entries_) + "-";
  const Bytes trailer = {kNextRecordByte, 0x11, 0x22, 0x33};
  Bytes first = Filler(options.startOffset);
  if (options.secondVolumeAfter >= 0) {
    const auto split = packed.begin() + options.secondVolumeAfter;
    Append(first, packed.begin(), split);
    Bytes second;
    second.reserve(molt::kVolumeHeaderSize + packed.size() + trailer.size());
    Append(second, LaterVolumeHeader(molt::FILE_NUMBER_LAST | 2));
    Append(second, split, packed.end());
    Append(second, trailer);
    platform_.AddVolume(prefix + "2", second, options.readSizes);
  } else {
    Append(first, packed);
    Append(first, trailer);
  }
  platform_.AddVolume(prefix + "1", first, options.readSizes);

  molt::Context& context = *context_;
  molt::ClosePackVolume(context);
  molt::ReaderState& reader = context.reader;
  reader.VolumeHandle = platform_.Open(prefix + "1", options.startOffset);
  reader.VolumePosition = options.startOffset;
  reader.VolumeSize = static_cast<std::uint32_t>(first.size());
  reader.InputCount = 0;
  reader.PackPathFormat = nullptr;
  std::fill(std::begin(reader.VolumeHeader), std::end(reader.VolumeHeader), std::uint8_t{0});
  const std::string format = prefix + "%d";
  if (options.secondVolumeAfter >= 0) {
    reader.VolumeHeader[molt::kHeaderFileNumber] = 1;  // volume 1 of a set
    reader.PackPathFormat = format.c_str();
  }

  context.decoder.OutputHandle = outputHandle;
  platform_.output.clear();
  platform_.writeSizes.clear();
  const auto packedSize =
      static_cast<std::uint32_t>(options.packedSize >= 0 ? options.packedSize : packed.size());

  DecodeOutcome outcome;
  try {
    molt::InflateMember(context, packedSize, originalSize);
  } catch (const molt::ErrorUnwind& unwind) {
    outcome.error = unwind.code;
  }
  outcome.rejection = context.decoder.Rejection;
  const std::uint8_t none = 0;
  outcome.crc = molt::UpdateCrc32(context.RunningCrc, &none, 0);
  outcome.output = platform_.output;
  outcome.writeSizes = platform_.writeSizes;
  try {
    if (reader.InputCount != 0) {
      outcome.nextByte = molt::ReadInputByte(context, reader);
    } else {
      outcome.nextByte = molt::RefillInput(context, true);
    }
  } catch (const molt::ErrorUnwind&) {
    outcome.nextByte = -2;
  }
  reader.PackPathFormat = nullptr;
  return outcome;
}

}  // namespace decoder_test

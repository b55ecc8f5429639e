// Lays a record stream out over volume files and scrambles them.
//
// A single-volume pack: header (file number 0), archive block, stream.
// A set: volume 1 holds header, set block, archive block and the first piece
// of the stream; volumes 2..N hold a header and the next piece each. The set
// and archive blocks always go in the first volume of a set, whatever file
// number a test puts on it.
#include <algorithm>

#include "core/pack_format.h"

#include "byte_order.h"
#include "pack_writer.h"

namespace packwriter {
namespace {

using detail::PutU16;
using detail::PutU32;

constexpr std::size_t kSetFirstVolumeHeaders =
    molt::kVolumeHeaderSize + molt::kSetBlockSize + molt::kArchiveBlockSize;

std::string PlainStreamOf(const Pack& pack) {
  std::string stream = pack.streamOverride ? *pack.streamOverride : BuildStream(pack.root).bytes;
  if (pack.cutAt && *pack.cutAt < stream.size()) stream.resize(*pack.cutAt);
  return stream;
}

std::string VolumeHeader(const Pack& pack, std::uint16_t fileNumber) {
  std::string header(reinterpret_cast<const char*>(molt::kSignature), sizeof molt::kSignature);
  PutU16(header, pack.version);
  PutU16(header, fileNumber);
  PutU32(header, pack.productNumber);
  return header;
}

std::string ArchiveBlock(const Pack& pack) {
  return std::string(reinterpret_cast<const char*>(pack.archiveBlock.data()), pack.archiveBlock.size());
}

// The stream offsets at which volumes 2..N begin.
std::vector<std::size_t> SplitPoints(const Pack& pack, std::size_t streamSize) {
  if (!pack.splitAt.empty()) {
    if (!std::is_sorted(pack.splitAt.begin(), pack.splitAt.end()) ||
        pack.splitAt.back() > streamSize) {
      throw Error("split offsets must ascend and lie within the stream");
    }
    return pack.splitAt;
  }
  std::vector<std::size_t> points;
  if (pack.maxVolumeSize == 0) return points;
  if (pack.maxVolumeSize <= kSetFirstVolumeHeaders) {
    throw Error("maximum volume size " + std::to_string(pack.maxVolumeSize) +
                " leaves no room for the stream after the headers");
  }
  std::size_t next = pack.maxVolumeSize - kSetFirstVolumeHeaders;
  const std::size_t laterCapacity = pack.maxVolumeSize - molt::kVolumeHeaderSize;
  while (next < streamSize) {
    points.push_back(next);
    next += laterCapacity;
  }
  return points;
}

std::uint16_t FileNumberOf(const Pack& pack, std::size_t index, std::size_t count) {
  const auto found = pack.fileNumberOverride.find(index);
  if (found != pack.fileNumberOverride.end()) return found->second;
  if (!pack.isSet) return 0;
  auto number = static_cast<std::uint16_t>(index + 1);
  if (index + 1 == count) number |= molt::FILE_NUMBER_LAST;
  return number;
}

std::vector<std::string> SingleVolume(const Pack& pack, const std::string& stream) {
  if (!pack.splitAt.empty() || pack.maxVolumeSize != 0) {
    throw Error("a single-volume pack cannot be split; describe a set instead");
  }
  return {VolumeHeader(pack, FileNumberOf(pack, 0, 1)) + ArchiveBlock(pack) + stream};
}

std::vector<std::string> SetOfVolumes(const Pack& pack, const std::string& stream) {
  const std::vector<std::size_t> points = SplitPoints(pack, stream.size());
  const std::size_t count = points.size() + 1;
  if (count > molt::FILE_NUMBER_MASK) {
    throw Error("a set holds at most " + std::to_string(molt::FILE_NUMBER_MASK) + " volumes, not " +
                std::to_string(count));
  }
  std::vector<std::string> volumes;
  std::size_t from = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t to = i + 1 < count ? points[i] : stream.size();
    std::string volume = VolumeHeader(pack, FileNumberOf(pack, i, count));
    if (i == 0) {
      volume.append(molt::kSetBlockSize, '\0');  // pack size patched below
      volume += ArchiveBlock(pack);
    }
    volume += stream.substr(from, to - from);
    volumes.push_back(std::move(volume));
    from = to;
  }
  std::uint64_t total = 0;
  for (const std::string& volume : volumes) total += volume.size();
  detail::PatchU32(volumes[0], molt::kVolumeHeaderSize,
                   pack.packSizeOverride.value_or(static_cast<std::uint32_t>(total)));
  std::copy(pack.setBlockTail.begin(), pack.setBlockTail.end(),
            volumes[0].begin() + molt::kVolumeHeaderSize + 4);
  return volumes;
}

}  // namespace

std::vector<std::string> BuildPlainVolumes(const Pack& pack) {
  const std::string stream = PlainStreamOf(pack);
  return pack.isSet ? SetOfVolumes(pack, stream) : SingleVolume(pack, stream);
}

std::vector<std::string> BuildVolumes(const Pack& pack) {
  std::vector<std::string> volumes = BuildPlainVolumes(pack);
  for (std::string& volume : volumes) Scramble(volume);
  return volumes;
}

void Scramble(std::string& bytes, std::uint64_t fileOffset) {
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<char>(static_cast<std::uint8_t>(bytes[i]) ^
                                 molt::detail::kPlainKey.bytes[(fileOffset + i) % molt::kScrambleKeySize]);
  }
}

std::string StreamFromVolumes(const std::vector<std::string>& volumes) {
  std::string stream;
  for (std::size_t i = 0; i < volumes.size(); ++i) {
    std::string plain = volumes[i];
    Scramble(plain);
    std::size_t skip = molt::kVolumeHeaderSize;
    if (i == 0) {
      if (plain.size() < molt::kVolumeHeaderSize) throw Error("first volume shorter than its header");
      const std::uint16_t fileNumber = detail::GetU16(plain, molt::kHeaderFileNumber);
      if ((fileNumber & molt::FILE_NUMBER_MASK) == 1) skip += molt::kSetBlockSize;
      skip += molt::kArchiveBlockSize;
    }
    if (plain.size() < skip) throw Error("volume " + std::to_string(i + 1) + " shorter than its headers");
    stream.append(plain, skip, std::string::npos);
  }
  return stream;
}

}  // namespace packwriter

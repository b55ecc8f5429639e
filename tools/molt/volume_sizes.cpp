#include "volume_sizes.h"

#include <algorithm>
#include <numeric>

#include "core/errors.h"

namespace moltcli {
namespace {

// The set block's pack size is a 32-bit field: molt-pack stores a larger
// sum as its greatest value.
constexpr std::uint64_t kLargestPackSize = 0xFFFFFFFFu;

std::string Bytes(std::uint64_t count) {
  return std::to_string(count) + (count == 1 ? " byte" : " bytes");
}

// The volumes known not to be the last of their set: each one another
// volume was asked for after, whose size was taken.
std::size_t FollowedVolumes(const std::vector<std::string>& opened,
                            const std::vector<std::uint64_t>& sizes) {
  if (opened.empty()) return 0;
  return std::min(opened.size() - 1, sizes.size());
}

// Every volume of the set was opened and sized, so their sizes add up to
// what the set block should say. A root end tag can end the walk before the
// last volume: then nothing is compared.
bool EveryVolumeRead(const molt::SurveyResult& result) {
  return result.code == 0 && result.reachedEndOfData && result.hasSetBlock &&
         !result.volumeSizes.empty() && result.volumeSizes.size() == result.volumesOpened.size();
}

}  // namespace

std::string CutVolume::Detail() const {
  return "the data of volume " + std::to_string(index + 1) + " ends early: it holds " +
         Bytes(size) + " where volume " + std::to_string(fullIndex + 1) + " holds " +
         std::to_string(fullSize);
}

std::optional<CutVolume> FindCutVolume(const std::vector<std::string>& opened,
                                       const std::vector<std::uint64_t>& sizes) {
  const std::size_t followed = FollowedVolumes(opened, sizes);
  if (followed < 2) return std::nullopt;  // a lone middle volume has nothing to be held against
  const auto full = std::max_element(sizes.begin(), sizes.begin() + static_cast<std::ptrdiff_t>(followed));
  for (std::size_t i = 0; i < followed; ++i) {
    if (sizes[i] < *full) {
      return CutVolume{i, sizes[i], static_cast<std::size_t>(full - sizes.begin()), *full};
    }
  }
  return std::nullopt;
}

void BlameCutVolume(Stop& stop, const std::vector<std::string>& opened,
                      const std::vector<std::uint64_t>& sizes) {
  if (stop.code != molt::ERR_INPUT_FORMAT && stop.code != molt::ERR_INPUT_EOF &&
      stop.code != molt::ERR_CRC) {
    return;
  }
  const std::optional<CutVolume> cut = FindCutVolume(opened, sizes);
  if (!cut) return;
  std::string showed = "it showed at " + stop.subject;
  if (!stop.detail.empty()) showed += ", " + stop.detail;
  stop.subject = opened[cut->index];
  stop.subjectIsEntry = false;
  stop.detail = cut->Detail() + "; " + showed;
}

Stop PackSizeStop(const molt::SurveyResult& result) {
  Stop stop;
  if (!EveryVolumeRead(result)) return stop;
  const std::uint64_t total =
      std::accumulate(result.volumeSizes.begin(), result.volumeSizes.end(), std::uint64_t{0});
  const std::uint64_t stated = result.setPackSize;
  const std::uint64_t held = std::min(total, kLargestPackSize);
  if (held == stated) return stop;
  const std::string sums = "the volumes hold " + Bytes(total) + ", ";
  if (held > stated) {
    stop.code = molt::ERR_INPUT_FORMAT;
    stop.subject = result.volumesOpened.front();
    stop.detail = sums + std::to_string(held - stated) + " more than the set block's pack size (" +
                  std::to_string(stated) + ")";
    return stop;
  }
  stop.code = molt::ERR_INPUT_EOF;
  stop.detail = sums + std::to_string(stated - held) + " fewer than the set block's pack size (" +
                std::to_string(stated) + ")";
  if (const std::optional<CutVolume> cut = FindCutVolume(result.volumesOpened, result.volumeSizes)) {
    stop.subject = result.volumesOpened[cut->index];
    stop.detail += "; " + cut->Detail();
  } else {
    stop.subject = result.volumesOpened.back();
    stop.detail += "; the data ends early in the last volume, volume " +
                   std::to_string(result.volumesOpened.size());
  }
  return stop;
}

}  // namespace moltcli

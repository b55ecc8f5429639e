// What the sizes of a set's volumes tell that the walk cannot: a volume that
// lost its tail, and a set shorter than the pack size its set block states.
//
// molt-pack makes every volume of a set but the last of one size, and the
// reader moves to the next volume only at the end of one that is not the
// last. So among the volumes that a later one followed, one smaller than the
// largest of them has lost bytes; the last volume's size tells nothing by
// itself, only the set block's pack size (the sum of all volume files) does.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/pack_survey.h"
#include "listing.h"

namespace moltcli {

// A volume that the sizes show cut short, and the one they hold it against.
struct CutVolume {
  std::size_t index = 0;      // into the volumes opened; volume index + 1
  std::uint64_t size = 0;
  std::size_t fullIndex = 0;  // the largest volume that another followed
  std::uint64_t fullSize = 0;

  // "the data of volume 2 ends early: it holds 900 bytes where volume 1 holds 1000"
  std::string Detail() const;
};

// The first volume followed by another in `opened` and smaller than the
// largest volume so followed. `sizes` holds the sizes of the first
// sizes.size() volumes of `opened`.
std::optional<CutVolume> FindCutVolume(const std::vector<std::string>& opened,
                                       const std::vector<std::uint64_t>& sizes);

// A failure of the data (34, 35, 45) after a volume that the sizes show cut
// short is told against that volume, with where it showed in the detail.
// Any other stop is left as it is.
void BlameCutVolume(Stop& stop, const std::vector<std::string>& opened,
                      const std::vector<std::uint64_t>& sizes);

// For a walk that ended cleanly: the set block's pack size held against the
// volumes once every volume of the set was read. Less than it says: 35,
// against the volume whose data ends early (the last, unless the sizes show
// another); more: 34, against the first volume, which holds the set block.
// Code 0 when they agree or cannot be compared.
Stop PackSizeStop(const molt::SurveyResult& result);

}  // namespace moltcli

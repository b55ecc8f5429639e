// Builds without a whole-buffer compressor (the Windows builds): zlib's 9 is
// the highest level.
#include "compressor.h"

namespace moltpack::high_levels {

int Highest() { return kZlibMaxLevel; }

std::optional<std::string> Deflate(std::string_view, int) { return std::nullopt; }

std::string Library() { return ""; }

}  // namespace moltpack::high_levels

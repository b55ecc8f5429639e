// Reading a written pack back through the extractor's own reader, decoder
// and CRC-32, and comparing it with the tree it was made from: every
// record's names, mask, attributes, times and sizes, every folder's contents
// size, and every file's contents byte for byte with its source.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "source_tree.h"

namespace moltpack {

// `packPath` as the extractor takes it: a volume path or format, or '@' and
// a list file. Throws Failure naming the first entry that differs (or the
// pack, where it cannot be read at all). `progress` gets the bytes of
// contents compared so far.
void VerifyPack(const std::string& packPath, const std::vector<SourceEntry>& root,
                const std::function<void(std::uint64_t)>& progress);

}  // namespace moltpack

// The decoder's fast loop over literal/length and distance symbols, used by
// InflateCodes (inflate.cpp) for the bulk of a block.
#pragma once

#include "inflate.h"
#include "reader.h"

namespace molt::inflate {

// Bytes of the entry that the reader's buffer must still hold for the fast
// loop to take a step with a whole-word load; with fewer, it takes only the
// symbols that lie wholly within them.
inline constexpr std::uint32_t kInputMargin = 8;

// Builds the fast tables of the block's two codes, which must both be
// complete. False when a table does not fit its capacity; the block is then
// left to the plain loop.
bool BuildFastCodes(DecoderState& decoder);

// Decodes symbols from the decoder's state for as long as their bits are
// in the reader's buffer within the entry's packed bytes, the window being
// filled has not reached its end, a longest match fits within the entry's
// bound, and the symbols are valid; hands every other symbol back to the
// plain loop, undecoded. The last match may run past the window's end (into
// the room kept after it); the caller then writes the window out at once.
// Leaves the bit buffer, the reader and the window exactly as the plain loop
// would have left them after the same symbols. True when it decoded the end
// of the block.
bool InflateCodesFast(DecoderState& decoder, ReaderState& reader);

}  // namespace molt::inflate

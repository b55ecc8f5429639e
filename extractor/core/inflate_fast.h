// The decoder's fast loop over literal/length and distance symbols, used by
// InflateCodes (inflate.cpp) for the bulk of a block.
#pragma once

#include "inflate.h"
#include "reader.h"

namespace molt::inflate {

// Builds the fast tables of the block's two codes, which must both be
// complete. False when a table does not fit its capacity; the block is then
// left to the plain loop.
bool BuildFastCodes(DecoderState& decoder);

// Decodes symbols from the decoder's state for as long as the reader's
// buffer holds 8 more bytes of the entry, the window and the entry's bound
// have room for a longest match, and the symbols are valid; hands every
// other symbol back to the plain loop, undecoded. Leaves the bit buffer,
// the reader and the window exactly as the plain loop would have left them
// after the same symbols. True when it decoded the end of the block.
bool InflateCodesFast(DecoderState& decoder, ReaderState& reader);

}  // namespace molt::inflate

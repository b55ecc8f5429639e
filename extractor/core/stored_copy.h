// The stored-data copy in large writes.
//
// Stored data is gathered into one buffer of the extractor and written out
// in runs of up to kGatherSize bytes; whole 8192-byte blocks of a file's
// data are read straight into that buffer, past InputBuffer, where the
// refills would have read them, and only the file's last block goes through
// InputBuffer, so the reader is left exactly as the block-by-block copy
// leaves it. The block-by-block copy (CopyStoredDataInBlocks) stays the
// reference: this one writes the same bytes and ends in the same code for
// the same fault. Its rules for that:
// - before the reader raises a failure (a read that fails, the end of the
//   data, a next volume that cannot be opened), the gathered bytes are
//   written, so the file holds what the block copy had written by then, and
//   a write that fails there ends the entry with 44, as it would have first;
// - a read of many blocks that fails is read again block by block;
// - both write through WriteOutputBytes' rules: what a write reports done
//   is in the file, failed or not; a full disk ends the entry with 44; other
//   failures and writes that move nothing are tried again a few times;
// - a large write that fails or makes no progress is followed by the rest
//   written in the pieces the block copy would have written (the rest of
//   the block in InputBuffer, then block after block); so a disk that fills
//   up, taking part of a write or none of it, keeps every byte that the
//   block copy would have kept, and a write that fails once or part way
//   ends, as there, with the whole file.
#pragma once

#include <cstdint>
#include <memory>

namespace molt {

struct Context;

inline constexpr std::uint32_t kGatherSize = 256 * 1024;
// Piece boundaries kept per gathered run; more pieces (short blocks at the
// ends of many small volumes) write the run out early.
inline constexpr std::uint32_t kMaxGatherPieces = 64;

struct StoredCopyState {
  // Copy block by block only, as the reference copy does.
  bool PlainBlocks = false;
  // kGatherSize bytes, allocated at the first stored copy and kept.
  std::unique_ptr<std::uint8_t[]> Buffer;
  std::uint32_t Pending = 0;  // gathered bytes not yet written
  // Where each piece of the block-by-block copy ends within the gathered
  // bytes, in order.
  std::uint32_t PieceCount = 0;
  std::uint32_t PieceEnds[kMaxGatherPieces] = {};
};

// Copies `count` stored bytes to OutputHandle, carrying the CRC-32 on over
// them (the caller has reset it). False, with nothing done, when the buffer
// cannot be allocated.
bool CopyStoredDataGathered(Context& context, std::uint32_t count);

}  // namespace molt

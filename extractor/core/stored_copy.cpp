#include "stored_copy.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "context.h"
#include "crc32.h"
#include "output.h"
#include "reader.h"

namespace molt {
namespace {

// Counts `length` more gathered bytes as one piece of the block copy.
void AddPiece(StoredCopyState& copy, std::uint32_t length) {
  copy.Pending += length;
  copy.PieceEnds[copy.PieceCount++] = copy.Pending;
}

// Gathers one run of descrambled bytes, CRC first.
void Gather(Context& context, const std::uint8_t* data, std::uint32_t size) {
  StoredCopyState& copy = context.storedCopy;
  context.RunningCrc = CarryCrc32(context.RunningCrc, data, size);
  std::memcpy(copy.Buffer.get() + copy.Pending, data, size);
  AddPiece(copy, size);
}

// Writes the gathered bytes out and empties the buffer. What a write reports
// done is in the file, whether or not it failed. After a write that fails or
// makes no progress, the rest goes out in the block copy's pieces, each
// written as that copy writes it (WriteOutputBytes), so the file ends as the
// block copy would leave it: a disk that takes no write larger than its
// room keeps every byte the block copy keeps there.
void WriteGathered(Context& context) {
  StoredCopyState& copy = context.storedCopy;
  const std::uint8_t* const data = copy.Buffer.get();
  const std::uint32_t size = copy.Pending;
  const std::uint32_t pieces = copy.PieceCount;
  copy.Pending = 0;
  copy.PieceCount = 0;
  std::uint32_t written = 0;
  while (written < size) {
    std::uint32_t done = 0;
    const bool succeeded =
        context.sys.WriteFile(context.decoder.OutputHandle, data + written, size - written, &done);
    done = std::min(done, size - written);
    written += done;
    if (succeeded && done > 0) continue;
    // The write that moved nothing counts as the first try of the piece
    // that it should have begun with.
    int writesWithoutProgress = done == 0 ? 1 : 0;
    std::uint32_t pieceStart = 0;
    for (std::uint32_t i = 0; i < pieces; ++i) {
      const std::uint32_t pieceEnd = copy.PieceEnds[i];
      const std::uint32_t from = std::max(pieceStart, written);
      if (pieceEnd > from) {
        WriteOutputBytes(context, data + from, pieceEnd - from, writesWithoutProgress);
        writesWithoutProgress = 0;
      }
      pieceStart = pieceEnd;
    }
    return;
  }
}

// Keeps the reader's failure path writing the gathered bytes for as long as
// the copy runs, and forgets them however the copy ends.
class GatherScope {
 public:
  explicit GatherScope(Context& context) : context_(context) {
    context_.reader.FlushPendingOutput = &WriteGathered;
  }
  ~GatherScope() {
    context_.reader.FlushPendingOutput = nullptr;
    context_.storedCopy.Pending = 0;
    context_.storedCopy.PieceCount = 0;
  }
  GatherScope(const GatherScope&) = delete;
  GatherScope& operator=(const GatherScope&) = delete;

 private:
  Context& context_;
};

}  // namespace

bool CopyStoredDataGathered(Context& context, std::uint32_t count) {
  StoredCopyState& copy = context.storedCopy;
  if (!copy.Buffer) {
    copy.Buffer.reset(new (std::nothrow) std::uint8_t[kGatherSize]);
    if (!copy.Buffer) return false;
  }
  GatherScope scope(context);

  const std::uint8_t* run = nullptr;
  const std::uint32_t buffered = TakeBufferedInput(context.reader, count, &run);
  if (buffered > 0) Gather(context, run, buffered);
  count -= buffered;
  while (count > 0) {
    // Whole blocks that the data fills, short of its last byte: they are
    // read straight into the buffer.
    const std::uint32_t wholeBlocks = (count - 1) / kInputBufferSize;
    if (wholeBlocks > 0) {
      const std::uint32_t room = std::min((kGatherSize - copy.Pending) / kInputBufferSize,
                                          kMaxGatherPieces - copy.PieceCount);
      if (room == 0) {
        WriteGathered(context);
        continue;
      }
      std::uint8_t* const destination = copy.Buffer.get() + copy.Pending;
      const std::uint32_t got =
          ReadInputBlocks(context, destination, std::min(room, wholeBlocks) * kInputBufferSize);
      if (got > 0) {
        // The refills would have taken these bytes in blocks, the last one
        // short at the end of a volume.
        for (std::uint32_t taken = 0; taken < got; taken += kInputBufferSize) {
          AddPiece(copy, std::min(kInputBufferSize, got - taken));
        }
        count -= got;
        continue;
      }
    }
    // One block through InputBuffer: the data's last, the first of the next
    // volume, or one that a read of many blocks could not take.
    if (kGatherSize - copy.Pending < kInputBufferSize || copy.PieceCount == kMaxGatherPieces) {
      WriteGathered(context);
    }
    // The next tag stands right after the last block's run.
    const std::uint32_t length = TakeNextBlock(context, count, &run);
    Gather(context, run, length);
    count -= length;
  }
  WriteGathered(context);
  return true;
}

}  // namespace molt

// The first bytes of every directory and file record: its tag and the
// common part, as the reader reads them (ReadEntryCommon). Shared by the
// pack writer, which may write any value, and molt-pack.
#pragma once

#include <cstdint>
#include <string>

#include "byte_order.h"
#include "pack_writer.h"

namespace packwriter::detail {

inline void PutRecordHead(std::string& out, std::uint32_t tag, std::uint32_t selectionMask,
                          std::uint16_t flags, std::uint16_t attributes, std::uint16_t reserved,
                          const DosTimes& times) {
  PutU32(out, tag);
  PutU32(out, selectionMask);
  PutU16(out, flags);
  PutU16(out, attributes);
  PutU16(out, reserved);
  PutU16(out, times.creationTime);
  PutU16(out, times.creationDate);
  PutU16(out, times.lastAccessDate);
  PutU16(out, times.lastWriteTime);
  PutU16(out, times.lastWriteDate);
}

}  // namespace packwriter::detail

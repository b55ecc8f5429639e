// Looking into a pack without extracting it: every entry in stream order,
// for a listing, and every file's data decoded and checked against its
// CRC-32, for a test. And an extraction replayed without writing, to tell
// how far a failed one got.
//
// All of it runs the extractor's own reader, decoder and CRC-32 (OpenPack,
// ReadRecordTag, ReadDirectoryRecord, ReadFileRecord, ExtractFileData...) on
// a DiscardPlatform, so a pack fault gives the code the extractor gives for
// it, and nothing is ever written.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "discard_platform.h"
#include "platform/platform.h"
#include "reader.h"

namespace molt {

struct Context;

enum class SurveyMode {
  kList,   // records only; file data is skipped as the walk skips it, and
           // data cut off by the end of the pack raises 35
  kCheck,  // file data decoded into a sink and checked against its CRC-32
};

struct SurveyedEntry {
  bool isDirectory = false;
  const EntryRecord& record;
  // The output names from the archive's root, joined by '\': the path as the
  // extractor places it under a destination, and as a filter selects it.
  const std::string& path;
  std::size_t depth = 0;  // 0 at the root
};

// A fault of one entry after which the walk goes on (kCheck only).
struct EntryFault {
  int code = 0;
  std::uint32_t computedCrc = 0;  // ERR_CRC: the CRC-32 of the data as decoded
};

class SurveyVisitor {
 public:
  virtual ~SurveyVisitor() = default;
  // An entry's record has been read; a file's data follows.
  virtual void OnEntry(const SurveyedEntry& entry) = 0;
  // kCheck: the file's data was decoded whole and matches its CRC-32.
  virtual void OnFileChecked(const SurveyedEntry&) {}
  // kCheck: a fault of this entry that leaves the stream in place: its name
  // is one the extractor refuses (34), it is stored with a packed size that
  // is not its size (34), or its CRC-32 differs (45). Every other fault ends
  // the walk.
  virtual void OnEntryFault(const SurveyedEntry&, const EntryFault&) {}
};

struct SurveyResult {
  int code = 0;         // 0, or the code that ended the walk
  bool opened = false;  // the pack was opened (OpenPack succeeded)
  // Where it ended: the file whose data was being read, if any; the last
  // entry whose record was read whole (empty before the first); the volumes
  // the reader opened or tried to open, in order.
  std::string entryInWork;
  std::string lastEntry;
  std::vector<std::string> volumesOpened;
  // The sizes of those volumes that the reader took (GetFileSize), in order.
  std::vector<std::uint64_t> volumeSizes;
  // The pack size of the set block, when the first volume is volume 1 of a
  // set. The extractor makes no use of it; a tool may compare it with the
  // volumes.
  bool hasSetBlock = false;
  std::uint32_t setPackSize = 0;
  // The walk ended at the end of the pack data, after the last volume of the
  // set, rather than at the root's end tag or a fault.
  bool reachedEndOfData = false;
};

// One surveyor, one extractor state of its own. It is large (the decoder's
// window and tables): keep it on the heap.
class PackSurveyor {
 public:
  explicit PackSurveyor(platform::Platform& system = platform::SystemPlatform());
  ~PackSurveyor();
  PackSurveyor(const PackSurveyor&) = delete;
  PackSurveyor& operator=(const PackSurveyor&) = delete;

  // Opens the pack (a volume path or format, or '@' and a list file) and
  // visits every entry in stream order, into every directory whatever its
  // selection mask. Never throws.
  SurveyResult Run(const char* packPath, SurveyMode mode, SurveyVisitor& visitor);

 private:
  DiscardPlatform sys_;
  std::unique_ptr<Context> context_;
};

// An extraction done by the extractor's own entry (the walk, filter and
// masks included) on a DiscardPlatform: what it would have made, in order,
// and the code it ends with. Only faults of the pack reproduce here; the
// disk's own (42, 43, 44 on a real disk) do not.
struct ExtractionReplay {
  int code = 0;
  std::vector<DiscardPlatform::Output> outputs;
  std::vector<std::string> volumesOpened;
  std::vector<std::uint64_t> volumeSizes;  // as DiscardPlatform::volumeSizes
};

ExtractionReplay ReplayExtraction(const char* packPath, const char* destination,
                                  const char* filter,
                                  platform::Platform& system = platform::SystemPlatform());

}  // namespace molt

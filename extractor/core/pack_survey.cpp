#include "pack_survey.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "context.h"
#include "errors.h"
#include "extract.h"
#include "output.h"
#include "walk.h"

namespace molt {
namespace {

// The walk of the record stream, shaped as the extractor's (WalkRecords and
// its two entry steps) but entering every directory and taking every file:
// one level per directory, in stream order, ending a level at its end tag,
// and at the root's end tag or the end of the pack data for good. It reads
// the stream as the extractor does: a directory's end tag ends where its
// contents size says, a file's data takes its packed size, and the data
// ends only at the root.
class SurveyWalk {
 public:
  SurveyWalk(Context& context, SurveyMode mode, SurveyVisitor& visitor, SurveyResult& result)
      : context_(context), mode_(mode), visitor_(visitor), result_(result) {}

  // Walks one level's records; LEVEL_END_TAG or LEVEL_END_OF_DATA.
  LevelEnd Level(std::size_t depth) {
    std::uint8_t tag[4];
    while (ReadRecordTag(context_, tag)) {
      switch (TagValue(tag)) {
        case TAG_END_DIRECTORY:
          return LEVEL_END_TAG;
        case TAG_DIRECTORY:
          Directory(depth);
          break;
        case TAG_FILE:
          File(depth);
          break;
        default:
          RaiseError(ERR_INPUT_FORMAT);
      }
    }
    return LEVEL_END_OF_DATA;
  }

 private:
  // Adds the entry's output name to the path. A path that no destination
  // could hold raises the code the extractor raises for it; this also bounds
  // the nesting, as it does in the extractor.
  void EnterName(const EntryRecord& record, int tooLongCode) {
    if (!path_.empty()) path_ += '\\';
    path_ += record.OutputName();
    if (path_.size() + 1 > kOutputPathCapacity) {
      result_.entryInWork = path_;
      RaiseError(tooLongCode);
    }
    result_.lastEntry = path_;
  }

  void CheckName(const SurveyedEntry& entry) {
    if (mode_ == SurveyMode::kCheck && !IsSafeEntryName(context_, entry.record.OutputName())) {
      visitor_.OnEntryFault(entry, {ERR_INPUT_FORMAT, 0});
    }
  }

  void File(std::size_t depth) {
    EntryRecord record;
    ReadFileRecord(context_, record);
    const std::size_t parentLength = path_.size();
    EnterName(record, ERR_OUTPUT_OPEN);
    const SurveyedEntry entry{false, record, path_, depth};
    visitor_.OnEntry(entry);
    CheckName(entry);
    result_.entryInWork = path_;
    if (mode_ == SurveyMode::kCheck && HasConsistentSizes(entry)) {
      CheckData(entry);
    } else {
      // The data is skipped as the walk skips a file it does not extract;
      // data that the end of the pack cuts short raises 35.
      SkipInput(context_, record.packedSize);
    }
    result_.entryInWork.clear();
    FreeEntryNames(record);
    path_.resize(parentLength);
  }

  // kCheck: a stored file whose packed size is not its size is refused by
  // the extractor before it takes any of its data (34); its data is passed
  // over by its packed size and the walk goes on.
  bool HasConsistentSizes(const SurveyedEntry& entry) {
    try {
      CheckFileSizes(entry.record);
    } catch (const ErrorUnwind& failure) {
      visitor_.OnEntryFault(entry, {failure.code, 0});
      return false;
    }
    return true;
  }

  // Decodes the file's data as the extractor does (ExtractFileData), into
  // the sink. A CRC-32 that differs leaves the stream right after the data,
  // where the extractor itself would read on, so the walk goes on; any other
  // fault ends it.
  void CheckData(const SurveyedEntry& entry) {
    try {
      ExtractFileData(context_, DiscardPlatform::kSinkHandle, entry.record);
    } catch (const ErrorUnwind& failure) {
      if (failure.code != ERR_CRC) throw;
      const std::uint8_t nothing = 0;
      visitor_.OnEntryFault(entry, {ERR_CRC, UpdateCrc32(context_.RunningCrc, &nothing, 0)});
      return;
    }
    visitor_.OnFileChecked(entry);
  }

  void Directory(std::size_t depth) {
    EntryRecord record;
    ReadDirectoryRecord(context_, record);
    const std::uint64_t contentsEnd = ContentsEnd(context_.reader, record);
    const std::size_t parentLength = path_.size();
    EnterName(record, ERR_MAKE_DIRECTORY);
    const SurveyedEntry entry{true, record, path_, depth};
    visitor_.OnEntry(entry);
    CheckName(entry);
    if (Level(depth + 1) == LEVEL_END_OF_DATA) RaiseError(ERR_INPUT_EOF);
    CheckContentsEnd(context_, contentsEnd);
    FreeEntryNames(record);
    path_.resize(parentLength);
  }

  Context& context_;
  const SurveyMode mode_;
  SurveyVisitor& visitor_;
  SurveyResult& result_;
  std::string path_;
};

// The first volume's set block, when it is volume 1 of a set.
void ReadSetBlock(const ReaderState& reader, SurveyResult& result) {
  const std::uint8_t* number = reader.VolumeHeader + kHeaderFileNumber;
  if (((number[0] | (number[1] << 8)) & FILE_NUMBER_MASK) != 1) return;
  const std::uint8_t* size = reader.SetBlock + kSetBlockPackSize;
  result.hasSetBlock = true;
  result.setPackSize = static_cast<std::uint32_t>(size[0]) | (std::uint32_t{size[1]} << 8) |
                       (std::uint32_t{size[2]} << 16) | (std::uint32_t{size[3]} << 24);
}

}  // namespace

PackSurveyor::PackSurveyor(platform::Platform& system)
    : sys_(system), context_(std::make_unique<Context>(sys_)) {
  sys_.recordOutputs = false;  // the survey writes through the sink only
}

PackSurveyor::~PackSurveyor() = default;

SurveyResult PackSurveyor::Run(const char* packPath, SurveyMode mode, SurveyVisitor& visitor) {
  Context& context = *context_;
  SurveyResult result;
  sys_.volumesOpened.clear();
  sys_.volumeSizes.clear();
  context.ShowErrors = false;
  try {
    std::uint8_t archiveBlock[kArchiveBlockSize] = {};
    result.code = OpenPack(context, packPath, archiveBlock);
    result.opened = result.code == 0;
    if (result.opened) {
      ReadSetBlock(context.reader, result);
      result.reachedEndOfData =
          SurveyWalk(context, mode, visitor, result).Level(0) == LEVEL_END_OF_DATA;
    }
  } catch (const ErrorUnwind& failure) {
    result.code = failure.code;
  } catch (const std::bad_alloc&) {
    result.code = ERR_MEMORY;
  }
  if (result.code == 0) result.entryInWork.clear();
  CloseReader(context);
  result.volumesOpened = sys_.volumesOpened;
  result.volumeSizes = sys_.volumeSizes;
  return result;
}

ExtractionReplay ReplayExtraction(const char* packPath, const char* destination,
                                  const char* filter, platform::Platform& system) {
  DiscardPlatform sys(system);
  ExtractionReplay replay;
  try {
    const auto context = std::make_unique<Context>(sys);
    replay.code = Molt(*context, packPath, destination, filter, 0, "UNPACK");
  } catch (const std::bad_alloc&) {
    replay.code = ERR_MEMORY;
  }
  replay.outputs = std::move(sys.outputs);
  replay.volumesOpened = std::move(sys.volumesOpened);
  replay.volumeSizes = std::move(sys.volumeSizes);
  return replay;
}

}  // namespace molt

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

// The walk of the record stream, shaped as the extractor's (WalkLevel and
// its two entry steps) but entering every directory and taking every file:
// one level per directory, in stream order, ending a level at its end tag or
// at the end of the pack data, and at the root's end tag for good.
class SurveyWalk {
 public:
  SurveyWalk(Context& context, SurveyMode mode, SurveyVisitor& visitor, SurveyResult& result)
      : context_(context), mode_(mode), visitor_(visitor), result_(result) {}

  void Level(std::size_t depth) {
    std::uint8_t tag[4];
    while (ReadRecordTag(context_, tag)) {
      switch (TagValue(tag)) {
        case TAG_END_DIRECTORY:
          return;
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
    if (mode_ == SurveyMode::kCheck) {
      CheckData(entry);
    } else {
      SkipData(record.packedSize);
    }
    result_.entryInWork.clear();
    FreeEntryNames(record);
    path_.resize(parentLength);
  }

  // Skips a file's data by the reader's own moves, as the walk skips an
  // entry it does not extract, but one volume at a time: data that runs past
  // the end of the last volume raises what reading it would (35), so that a
  // listing of a pack cut short inside a file's data says so. (SkipInput
  // itself raises nothing there: it stops at the last volume's end.)
  void SkipData(std::uint32_t packedSize) {
    ReaderState& reader = context_.reader;
    std::uint64_t count = packedSize;
    while (count > 0) {
      const std::uint64_t inVolume =
          reader.InputCount +
          (reader.VolumeSize > reader.VolumePosition ? reader.VolumeSize - reader.VolumePosition
                                                     : 0);
      if (inVolume == 0) {
        if (OpenNextVolume(context_) != 0) RaiseError(ERR_INPUT_EOF);
        continue;
      }
      const std::uint64_t step = std::min(count, inVolume);
      SkipInput(context_, step);
      count -= step;
    }
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
    const std::size_t parentLength = path_.size();
    EnterName(record, ERR_MAKE_DIRECTORY);
    const SurveyedEntry entry{true, record, path_, depth};
    visitor_.OnEntry(entry);
    CheckName(entry);
    Level(depth + 1);
    FreeEntryNames(record);
    path_.resize(parentLength);
  }

  Context& context_;
  const SurveyMode mode_;
  SurveyVisitor& visitor_;
  SurveyResult& result_;
  std::string path_;
};

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
  context.ShowErrors = false;
  try {
    std::uint8_t archiveBlock[kArchiveBlockSize] = {};
    result.code = OpenPack(context, packPath, archiveBlock);
    result.opened = result.code == 0;
    if (result.opened) SurveyWalk(context, mode, visitor, result).Level(0);
  } catch (const ErrorUnwind& failure) {
    result.code = failure.code;
  } catch (const std::bad_alloc&) {
    result.code = ERR_MEMORY;
  }
  if (result.code == 0) result.entryInWork.clear();
  CloseReader(context);
  result.volumesOpened = sys_.volumesOpened;
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
  return replay;
}

}  // namespace molt

#include "commands.h"

#include <cinttypes>
#include <cstdio>
#include <memory>
#include <string>

#include "core/errors.h"
#include "core/pack_survey.h"
#include "listing.h"
#include "messages.h"
#include "molt.h"
#include "platform/platform.h"
#include "system_text.h"
#include "volume_sizes.h"

namespace moltcli {
namespace {

using molt::platform::SystemPlatform;

void PrintFailure(std::string_view subject, int code, std::string_view detail = {},
                  std::string_view reason = {}) {
  std::fprintf(stderr, "%s\n", FailureLine(subject, code, detail, reason).c_str());
}

std::string ReasonOf(std::uint32_t systemError) {
  return systemError != 0 ? SystemErrorText(systemError) : std::string();
}

// Why `path` cannot be opened for reading, by trying again: the reader's
// own failure may lie under later calls, and a name it could not even form
// (31 too) has no system reason at all. Empty when it opens now.
std::string OpenFailureReason(const std::string& path) {
  molt::platform::Platform& sys = SystemPlatform();
  ClearSystemError();
  const molt::platform::FileHandle file = sys.OpenVolumeFile(path.c_str());
  const std::uint32_t error = LastSystemError();
  if (file == molt::platform::kInvalidFile) return ReasonOf(error);
  sys.CloseFile(file);
  return {};
}

// The system's reason for a failure of `code` that names `subject`;
// `systemError` is what the system held right after the failing run.
std::string SystemReason(int code, const std::string& subject, std::uint32_t systemError) {
  if (!IsSystemFailure(code)) return {};
  if (code == molt::ERR_INPUT_OPEN) return OpenFailureReason(subject);
  return ReasonOf(systemError);
}

// Codes of a volume that cannot be opened or fails its checks, found while
// opening the pack or, mid-stream, the volume that follows.
bool IsVolumeCode(int code) {
  switch (code) {
    case molt::ERR_INPUT_OPEN:
    case molt::ERR_HEADER_READ:
    case molt::ERR_INPUT_SIZE:
    case molt::ERR_INPUT_POINTER:
    case molt::ERR_SIGNATURE:
    case molt::ERR_PACK_VERSION:
    case molt::ERR_FILE_NUMBER:
      return true;
    default:
      return false;
  }
}

// What a failure of the pack names: the volume that could not be opened or
// read, or the list file; else the PACK argument.
std::string PackSubject(int code, const std::string& pack,
                        const std::vector<std::string>& volumesOpened) {
  // A list file that runs out names no new volume: the pack it lists is at fault.
  if (code == molt::ERR_CANNOT_RESTORE || volumesOpened.empty()) {
    if (pack.size() > 1 && pack[0] == '@' && volumesOpened.empty()) return pack.substr(1);
    return pack;
  }
  return volumesOpened.back();
}

std::string AfterVolume(int code, const std::vector<std::string>& volumesOpened) {
  if (code != molt::ERR_CANNOT_RESTORE || volumesOpened.empty()) return {};
  return "the last volume read: " + volumesOpened.back();
}

std::string Join(std::string first, const std::string& second) {
  if (first.empty()) return second;
  if (second.empty()) return first;
  return first + "; " + second;
}

// Where the walk stopped, before the volumes' sizes are asked.
Stop WalkStopOf(const molt::SurveyResult& result, const std::string& pack) {
  Stop stop;
  stop.code = result.code;
  if (result.code == 0) return stop;
  if (!result.entryInWork.empty() && !IsVolumeCode(result.code) &&
      result.code != molt::ERR_CANNOT_RESTORE) {
    stop.subject = result.entryInWork;
    stop.subjectIsEntry = true;
    if (!result.volumesOpened.empty()) stop.detail = "in volume " + result.volumesOpened.back();
    return stop;
  }
  stop.subject = PackSubject(result.code, pack, result.volumesOpened);
  stop.detail = AfterVolume(result.code, result.volumesOpened);
  if (!result.entryInWork.empty()) {
    stop.detail = Join(stop.detail, "while reading the data of " + result.entryInWork);
  } else if (result.opened) {
    stop.detail = Join(stop.detail, result.lastEntry.empty() ? "before the first entry"
                                                             : "after " + result.lastEntry);
  }
  return stop;
}

// Why a listing or test ended: where the walk stopped, told against a volume
// that the sizes show cut short; or, after a clean walk, what the set
// block's pack size says of the volumes.
Stop StopOf(const molt::SurveyResult& result, const std::string& pack, std::uint32_t systemError) {
  if (result.code == 0) return PackSizeStop(result);
  Stop stop = WalkStopOf(result, pack);
  stop.reason = SystemReason(stop.code, stop.subject, systemError);
  BlameCutVolume(stop, result.volumesOpened, result.volumeSizes);
  return stop;
}

molt::SurveyResult Survey(const CommandLine& line, molt::SurveyMode mode,
                          molt::SurveyVisitor& visitor, std::uint32_t* systemError) {
  const auto surveyor = std::make_unique<molt::PackSurveyor>();
  ClearSystemError();
  molt::SurveyResult result = surveyor->Run(line.pack.c_str(), mode, visitor);
  *systemError = LastSystemError();
  return result;
}

void ReportStop(const Stop& stop) {
  if (stop.code != 0) PrintFailure(stop.subject, stop.code, stop.detail, stop.reason);
}

// A listing that could not be written whole fails as an output does (44).
int FinishOutput(int code) {
  ClearSystemError();
  if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return code;
  const std::uint32_t error = LastSystemError();
  if (code == 0) {
    PrintFailure("standard output", molt::ERR_WRITE_DISK_FULL, "the output could not be written",
                 ReasonOf(error));
    return molt::ERR_WRITE_DISK_FULL;
  }
  return code;
}

std::string Count(std::uint64_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

// molt test: counts, and one line on standard error for each fault.
class TestReport final : public molt::SurveyVisitor {
 public:
  explicit TestReport(bool verbose) : verbose_(verbose) {}

  void OnEntry(const molt::SurveyedEntry&) override {}

  void OnFileChecked(const molt::SurveyedEntry& entry) override {
    ++filesChecked;
    if (verbose_) std::printf("ok      %s\n", OneLine(entry.path).c_str());
  }

  void OnEntryFault(const molt::SurveyedEntry& entry, const molt::EntryFault& fault) override {
    if (firstCode == 0) firstCode = fault.code;
    std::string detail;
    if (fault.code == molt::ERR_CRC) {
      ++filesChecked;
      ++filesFailed;
      char text[64];
      std::snprintf(text, sizeof text, "recorded %08" PRIx32 ", decoded %08" PRIx32,
                    entry.record.crc32, fault.computedCrc);
      detail = text;
    } else {
      ++namesRefused;
      detail = "the extractor refuses this name";
    }
    if (verbose_) std::printf("FAILED  %s\n", OneLine(entry.path).c_str());
    PrintFailure(entry.path, fault.code, detail);
  }

  // One line for standard output: how many files were checked, and how;
  // `walkCode` ended the walk, `packFault` was found after a clean one.
  std::string Summary(const std::string& pack, int walkCode, bool packFault) const {
    std::string line = OneLine(pack) + ": " + Count(filesChecked, "file", "files") + " checked";
    if (walkCode != 0) return line + " before the test stopped";
    if (firstCode == 0) line += ", all match their CRC-32";
    if (filesFailed != 0) line += ", " + std::to_string(filesFailed) + " with a wrong CRC-32";
    if (namesRefused != 0) {
      line += ", " + Count(namesRefused, "name", "names") + " the extractor refuses";
    }
    if (packFault) line += ", but the volumes do not hold what the set block says";
    return line;
  }

  int firstCode = 0;
  std::uint64_t filesChecked = 0;
  std::uint64_t filesFailed = 0;
  std::uint64_t namesRefused = 0;

 private:
  bool verbose_;
};

// --- extract ---------------------------------------------------------------

std::string FilesBefore(std::uint64_t count) {
  if (count == 0) return "no file extracted before it";
  return Count(count, "file", "files") + " extracted before it";
}

std::uint64_t CompleteFiles(const std::vector<molt::DiscardPlatform::Output>& outputs,
                            std::size_t end) {
  std::uint64_t count = 0;
  for (std::size_t i = 0; i < end; ++i) count += !outputs[i].isDirectory && outputs[i].complete;
  return count;
}

bool IsFolder(const std::string& path) {
  std::uint32_t attributes = 0;
  return SystemPlatform().GetFileAttributes(path.c_str(), &attributes) &&
         (attributes & molt::platform::kAttributeDirectory) != 0;
}

// Whether an output of the replay stands on disk as the extraction would
// have left it: a folder, or a file of the size that was decoded into it.
bool StandsOnDisk(const molt::DiscardPlatform::Output& output) {
  molt::platform::Platform& sys = SystemPlatform();
  if (output.isDirectory) return IsFolder(output.path);
  if (IsFolder(output.path)) return false;
  const molt::platform::FileHandle file = sys.OpenVolumeFile(output.path.c_str());
  if (file == molt::platform::kInvalidFile) return false;
  std::uint64_t size = 0;
  const bool sized = sys.GetFileSize(file, &size);
  sys.CloseFile(file);
  return sized && size == output.bytesWritten;
}

// 42, 43, 44: the disk refused. Either the destination is missing, or the
// first output that does not stand on disk as the replay made it is where
// the extraction stopped.
std::string DiskFailure(const CommandLine& line, const std::string& destination,
                        const char* filter, int code, std::uint32_t systemError) {
  const std::string folder = destination.empty() ? "." : destination;
  if (!IsFolder(folder)) {
    std::uint32_t attributes = 0;
    ClearSystemError();
    const bool exists = SystemPlatform().GetFileAttributes(folder.c_str(), &attributes);
    if (exists) return FailureLine(folder, code, "the destination is not a folder");
    return FailureLine(folder, code, "the destination folder does not exist",
                       ReasonOf(LastSystemError()));
  }
  const std::string reason = ReasonOf(systemError);
  const molt::ExtractionReplay replay =
      molt::ReplayExtraction(line.pack.c_str(), destination.c_str(), filter);
  for (std::size_t i = 0; i < replay.outputs.size(); ++i) {
    if (!StandsOnDisk(replay.outputs[i])) {
      return FailureLine(replay.outputs[i].path, code, FilesBefore(CompleteFiles(replay.outputs, i)),
                         reason);
    }
  }
  return FailureLine(folder, code, {}, reason);
}

// Where the replay of a failed extraction met the pack's fault: what was
// written before it and which file it cut short.
Stop ReplayStop(const molt::ExtractionReplay& replay, const std::string& pack) {
  const int code = replay.code;
  const std::vector<molt::DiscardPlatform::Output>& outputs = replay.outputs;
  const molt::DiscardPlatform::Output* inWork =
      !outputs.empty() && !outputs.back().isDirectory && !outputs.back().complete
          ? &outputs.back()
          : nullptr;
  const std::uint64_t before = CompleteFiles(outputs, outputs.size());
  // Opening the pack opens one volume; a code of the volumes with no more
  // than that came before the walk, and nothing was extracted.
  const bool volumeFault = IsVolumeCode(code) || code == molt::ERR_CANNOT_RESTORE;
  const bool walkStarted = !volumeFault || !outputs.empty() || replay.volumesOpened.size() > 1;
  Stop stop;
  stop.code = code;
  stop.subject = PackSubject(code, pack, replay.volumesOpened);
  std::string detail;
  if (inWork != nullptr) {
    detail = code == molt::ERR_CRC ? "the file was written whole, as decoded"
                                   : "the file was written only in part";
    detail = Join(detail, FilesBefore(before));
    if (volumeFault) {
      stop.detail = Join(AfterVolume(code, replay.volumesOpened),
                         "while reading " + inWork->path + ": " + detail);
    } else {
      stop.subject = inWork->path;
      stop.detail = detail;
    }
    return stop;
  }
  if (walkStarted) {
    detail = FilesBefore(before);
    for (auto output = outputs.rbegin(); output != outputs.rend(); ++output) {
      if (!output->isDirectory && output->complete) {
        detail += " (the last: " + output->path + ")";
        break;
      }
    }
  }
  stop.detail = Join(AfterVolume(code, replay.volumesOpened), detail);
  return stop;
}

// A fault of the pack: the replay meets it too.
std::string PackFailure(const CommandLine& line, const std::string& destination,
                        const char* filter, int code, std::uint32_t systemError) {
  const molt::ExtractionReplay replay =
      molt::ReplayExtraction(line.pack.c_str(), destination.c_str(), filter);
  if (replay.code != code) {
    return FailureLine(line.pack, code, {}, SystemReason(code, line.pack, systemError));
  }
  Stop stop = ReplayStop(replay, line.pack);
  stop.reason = SystemReason(code, stop.subject, systemError);
  BlameCutVolume(stop, replay.volumesOpened, replay.volumeSizes);
  return FailureLine(stop.subject, stop.code, stop.detail, stop.reason);
}

std::string CurrentFolder() {
  char buffer[4096];
  if (!SystemPlatform().GetCurrentDirectory(buffer, sizeof buffer)) return ".";
  return buffer;
}

// `systemError` is what the system held right after Molt returned `code`.
std::string DescribeExtractFailure(const CommandLine& line, const std::string& destination,
                                   const char* filter, int code, std::uint32_t systemError) {
  switch (code) {
    case molt::ERR_FILE_SYSTEM:
      return FailureLine(CurrentFolder(), code);
    case molt::ERR_UNRECOVERABLE:
      return FailureLine(destination.empty() ? "." : destination, code,
                         "the destination folder's path cannot be made");
    case molt::ERR_NOT_FOUND:
      return FailureLine(line.filter.value_or(""), code, "no entry of the pack matches the filter");
    case molt::ERR_MAKE_DIRECTORY:
    case molt::ERR_OUTPUT_OPEN:
    case molt::ERR_WRITE_DISK_FULL:
      return DiskFailure(line, destination, filter, code, systemError);
    default:
      return PackFailure(line, destination, filter, code, systemError);
  }
}

}  // namespace

int RunList(const CommandLine& line) {
  const std::unique_ptr<Listing> listing =
      line.json ? MakeJsonListing(stdout, line.pack) : MakeTextListing(stdout);
  std::uint32_t systemError = 0;
  const molt::SurveyResult result = Survey(line, molt::SurveyMode::kList, *listing, &systemError);
  const Stop stop = StopOf(result, line.pack, systemError);
  listing->Finish(stop);
  ReportStop(stop);
  return FinishOutput(stop.code);
}

int RunTest(const CommandLine& line) {
  TestReport report(line.verbose);
  std::uint32_t systemError = 0;
  const molt::SurveyResult result = Survey(line, molt::SurveyMode::kCheck, report, &systemError);
  const Stop stop = StopOf(result, line.pack, systemError);
  ReportStop(stop);
  if (result.opened) {
    const bool packFault = result.code == 0 && stop.code != 0;
    std::printf("%s\n", report.Summary(line.pack, result.code, packFault).c_str());
  }
  return FinishOutput(report.firstCode != 0 ? report.firstCode : stop.code);
}

int RunExtract(const CommandLine& line) {
  std::string filter;
  if (line.filter) filter = FilterForExtractor(*line.filter);
  const char* filterArgument = line.filter ? filter.c_str() : nullptr;
  const std::string destination = line.destination.value_or("");
  // Without boxes: the tool prints the failure in English instead.
  ClearSystemError();
  const int code = Molt(line.pack.c_str(), destination.c_str(), filterArgument, 0, "UNPACK");
  const std::uint32_t systemError = LastSystemError();
  if (code != 0 && !line.quiet) {
    std::fprintf(stderr, "%s\n",
                 DescribeExtractFailure(line, destination, filterArgument, code, systemError)
                     .c_str());
  }
  return code;
}

}  // namespace moltcli

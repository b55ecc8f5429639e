// libFuzzer target: the fuzzer's bytes become the record stream of a
// single-volume pack, which the extractor unpacks into a fresh folder "out"
// that sits beside a folder "sentinel" and the pack itself. Whatever the
// stream, the extraction
//   - changes nothing outside "out": the sentinel keeps its contents and the
//     folder that holds them gains no entry;
//   - writes no file beyond the original size that its record declares;
//   - takes no more than a second;
//   - makes only entries that the survey behind molt list lists, in its
//     order, when the survey reads the pack to its end; and every entry it
//     lists that no mask leaves out, when the extraction succeeds too.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "context.h"
#include "core/pack_survey.h"
#include "extract.h"
#include "fuzz_support.h"
#include "pack_format.h"
#include "support/fault_platform.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using fuzz_support::Fail;
using molt::platform::FileHandle;

constexpr auto kTimeLimit = std::chrono::seconds(1);

// The plain bytes before the record stream: the volume header of a
// single-volume pack and an empty archive block.
constexpr std::uint32_t kStreamStart = molt::kVolumeHeaderSize + molt::kArchiveBlockSize;

void Put16(std::string& out, std::uint16_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>(value >> 8);
}

void Put32(std::string& out, std::uint32_t value) {
  Put16(out, static_cast<std::uint16_t>(value & 0xFFFF));
  Put16(out, static_cast<std::uint16_t>(value >> 16));
}

std::uint32_t Get32(const std::string& bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<std::uint8_t>(bytes[at + i]);
  return value;
}

std::string Volume(const std::string& stream) {
  std::string volume(reinterpret_cast<const char*>(molt::kSignature), 4);
  Put16(volume, molt::kMaxPackVersion);
  Put16(volume, 0);  // a single volume
  Put32(volume, 0);
  volume += std::string(molt::kArchiveBlockSize, '\0');
  volume += stream;
  for (std::size_t i = 0; i < volume.size(); ++i) {
    volume[i] = static_cast<char>(volume[i] ^ molt::detail::kPlainKey.bytes[i % 16]);
  }
  return volume;
}

// The original sizes that file records declare, by the stream offset where
// the record's names end, which is where the reader stands when the file is
// created. Every place that reads as a file record counts: the walk decides
// which of them are records, and where two end at the same place the larger
// size is the bound.
std::map<std::uint64_t, std::uint32_t> DeclaredSizes(const std::string& stream) {
  // The NUL-terminated string at `at` of at most `capacity` bytes; its end, or 0.
  auto stringEnd = [&stream](std::size_t at, std::size_t capacity) -> std::size_t {
    for (std::size_t i = at; i < stream.size() && i - at < capacity; ++i) {
      if (stream[i] == '\0') return i + 1;
    }
    return 0;
  };
  std::map<std::uint64_t, std::uint32_t> sizes;
  constexpr std::size_t kFlags = 8, kOriginalSize = 32;
  for (std::size_t start = 0; start + molt::kFileRecordFixedSize + 2 < stream.size(); ++start) {
    if (Get32(stream, start) != molt::TAG_FILE) continue;
    std::size_t end = stringEnd(start + molt::kFileRecordFixedSize + 2, molt::kShortNameCapacity);
    if (end != 0 && (static_cast<std::uint8_t>(stream[start + kFlags]) & molt::ENTRY_LONG_NAME)) {
      if (end + 2 > stream.size()) continue;
      const std::size_t capacity = static_cast<std::uint8_t>(stream[end]) |
                                   (static_cast<std::uint8_t>(stream[end + 1]) << 8);
      end = stringEnd(end + 2, capacity);
    }
    if (end == 0) continue;
    std::uint32_t& size = sizes[end];
    size = std::max(size, Get32(stream, start + kOriginalSize));
  }
  return sizes;
}

// The system's platform, with the output files and the bytes written to
// each counted against the size their record declares.
class BoundedOutputPlatform : public testing_support::FaultPlatform {
 public:
  explicit BoundedOutputPlatform(const std::string& stream) : declared_(DeclaredSizes(stream)) {}

  // The extractor whose reader tells where in the stream a file is created.
  void Watch(const molt::Context& context) { context_ = &context; }

  // The bound of each path last created, by path.
  std::map<std::string, std::uint32_t> bounds;

  // Every file and folder the walk asked for, in order, as it named them.
  std::vector<std::string> made;

  bool CreateDirectory(const char* path) override {
    made.emplace_back(path);
    return FaultPlatform::CreateDirectory(path);
  }

  FileHandle CreateOutputFile(const char* path) override {
    made.emplace_back(path);
    const molt::ReaderState& reader = context_->reader;
    const std::uint64_t at = reader.VolumePosition - reader.InputCount - kStreamStart;
    const auto declared = declared_.find(at);
    if (declared == declared_.end()) {
      fuzz_support::Fail("a file is created at stream offset " + std::to_string(at) +
           ", where no file record ends: " + path);
    }
    const FileHandle file = FaultPlatform::CreateOutputFile(path);
    if (file != molt::platform::kInvalidFile) {
      open_[file] = {path, declared->second, 0};
      bounds[fs::path(path).lexically_normal().string()] = declared->second;
    }
    return file;
  }

  bool WriteFile(FileHandle file, const void* data, std::uint32_t size,
                 std::uint32_t* done) override {
    const bool written = FaultPlatform::WriteFile(file, data, size, done);
    const auto it = open_.find(file);
    if (it != open_.end() && (it->second.written += *done) > it->second.bound) {
      fuzz_support::Fail(it->second.path + ": " + std::to_string(it->second.written) +
           " bytes written, its record declares " + std::to_string(it->second.bound));
    }
    return written;
  }

  void CloseFile(FileHandle file) override {
    open_.erase(file);
    FaultPlatform::CloseFile(file);
  }

 private:
  struct Output {
    std::string path;
    std::uint32_t bound;
    std::uint64_t written;
  };
  std::map<std::uint64_t, std::uint32_t> declared_;
  const molt::Context* context_ = nullptr;
  std::map<FileHandle, Output> open_;
};

// Everything under a folder: relative path, and the contents of files.
std::map<std::string, std::string> Snapshot(const fs::path& folder) {
  std::map<std::string, std::string> found;
  for (const auto& item : fs::recursive_directory_iterator(folder)) {
    const std::string name = fs::relative(item.path(), folder).string();
    found[name] = item.is_regular_file() ? testing_support::ReadFileBytes(item.path())
                                         : item.is_directory() ? "<folder>" : "<other>";
  }
  return found;
}

void MakeSentinel(const fs::path& sentinel) {
  fs::create_directories(sentinel / "inner");
  testing_support::WriteFileBytes(sentinel / "keep.txt", "the sentinel's own file\n");
  testing_support::WriteFileBytes(sentinel / "inner" / "data.bin", std::string("\x00\x01\xFF", 3));
}

void CheckOutside(const fs::path& area, const std::map<std::string, std::string>& before) {
  for (const auto& item : fs::directory_iterator(area)) {
    const std::string name = item.path().filename().string();
    if (name != "pack.bin" && name != "out" && name != "sentinel") {
      Fail("the extraction made " + item.path().string() + " outside its destination");
    }
  }
  if (!fs::is_directory(area / "out")) Fail("the destination folder is gone");
  if (Snapshot(area / "sentinel") != before) Fail("the sentinel folder beside the destination changed");
}

// Files on disk hold no more than the record that made them declares.
void CheckOutputSizes(const fs::path& out, const BoundedOutputPlatform& platform) {
  for (const auto& item : fs::recursive_directory_iterator(out)) {
    if (!item.is_regular_file()) continue;
    const auto bound = platform.bounds.find(item.path().lexically_normal().string());
    if (bound == platform.bounds.end()) {
      Fail(item.path().string() + " was made without the extractor creating it");
    }
    if (item.file_size() > bound->second) {
      Fail(item.path().string() + " holds " + std::to_string(item.file_size()) +
           " bytes, its record declares " + std::to_string(bound->second));
    }
  }
}

// The entries of the survey that no mask leaves out, named as the walk
// names them under `destination`.
class UnmaskedEntries final : public molt::SurveyVisitor {
 public:
  explicit UnmaskedEntries(std::string destination) : destination_(std::move(destination)) {}

  std::vector<std::string> paths;

  void OnEntry(const molt::SurveyedEntry& entry) override {
    maskedAt_.resize(entry.depth + 1);
    const bool masked =
        entry.record.selectionMask != 0 || (entry.depth > 0 && maskedAt_[entry.depth - 1]);
    maskedAt_[entry.depth] = masked;
    if (masked) return;
    std::string path = entry.path;
    std::replace(path.begin(), path.end(), '\\', '/');
    paths.push_back(destination_ + "/" + path);
  }

 private:
  std::string destination_;
  std::vector<bool> maskedAt_;  // by depth: the latest entry there, or a folder above it, is masked
};

// What the extraction made against what the survey lists: one reading of
// the stream, so no entry hides from the listing.
void CheckAgainstTheSurvey(const fs::path& pack, const fs::path& out, int extracted,
                           const std::vector<std::string>& made) {
  const auto surveyor = std::make_unique<molt::PackSurveyor>();
  UnmaskedEntries listed(out.string());
  const molt::SurveyResult survey = surveyor->Run(pack.c_str(), molt::SurveyMode::kList, listed);
  if (survey.code != 0) return;  // the pack is bad where the extraction may have skipped
  auto next = listed.paths.begin();
  for (const std::string& path : made) {
    next = std::find(next, listed.paths.end(), path);
    if (next == listed.paths.end()) {
      Fail("the extraction made " + path + ", which the survey does not list (or not there)");
    }
    ++next;
  }
  if (extracted != 0) return;
  const std::set<std::string> madeSet(made.begin(), made.end());
  for (const std::string& path : listed.paths) {
    if (madeSet.count(path) == 0) Fail("the survey lists " + path + ", which the extraction did not make");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string stream(reinterpret_cast<const char*>(data), size);
  // A folder of its own for each input, removed afterwards; read-only
  // entries included.
  const testing_support::TempDir area;
  const fs::path pack = area.path() / "pack.bin";
  const fs::path out = area.path() / "out";
  testing_support::WriteFileBytes(pack, Volume(stream));
  fs::create_directory(out);
  MakeSentinel(area.path() / "sentinel");
  const auto sentinel = Snapshot(area.path() / "sentinel");

  BoundedOutputPlatform platform(stream);
  // A fresh extractor each time, as a freshly loaded library would be.
  auto context = std::make_unique<molt::Context>(platform);
  platform.Watch(*context);
  const auto started = std::chrono::steady_clock::now();
  const int extracted = molt::Molt(*context, pack.c_str(), out.c_str(), nullptr, 2, "UNPACK");
  const auto took = std::chrono::steady_clock::now() - started;
  if (took > kTimeLimit) {
    Fail("the extraction took " +
         std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(took).count()) +
         " ms");
  }
  CheckOutside(area.path(), sentinel);
  CheckOutputSizes(out, platform);
  CheckAgainstTheSurvey(pack, out, extracted, platform.made);
  return 0;
}

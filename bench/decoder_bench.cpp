// Throughput of the DEFLATE decoder and CRC-32 against zlib, in MB/s of
// output, with the ratio ours/zlib from the same run.
//
//   cmake --preset bench && cmake --build --preset bench && build/bench/bench/decoder_bench
//
// Both decoders read the same raw streams (text-like, binary and
// incompressible samples, zlib levels 1, 6 and 9) and write into a 32 KiB
// buffer. Ours runs the real path: the reader's 8 KiB blocks, descrambled,
// through InflateMember into its window, whose flushes carry the CRC-32 on
// and go to a WriteFile that discards. zlib's inflate computes no check on a
// raw stream, so it is measured alone and, like for like, with crc32 over
// each 32 KiB it writes.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "context.h"
#include "crc32.h"
#include "decoder/sample_data.h"
#include "inflate.h"
#include "pack_format.h"
#include "reader.h"

namespace {

using decoder_test::SampleKind;
using Bytes = std::vector<std::uint8_t>;
namespace platform = molt::platform;

constexpr std::size_t kSampleSize = 24u << 20;
constexpr std::uint32_t kOutputBuffer = 32768;

// A pack volume in memory that the reader reads, and an output file that
// takes everything and keeps nothing. The rest is the system's.
class BenchPlatform : public platform::Platform {
 public:
  static constexpr platform::FileHandle kVolume = 0x7001;
  static constexpr platform::FileHandle kOutput = 0x7002;

  explicit BenchPlatform(const Bytes& scrambled) : volume_(scrambled) {}
  void Rewind() { position_ = 0; }

  platform::FileHandle OpenVolumeFile(const char*) override { return platform::kInvalidFile; }
  bool ReadFile(platform::FileHandle, void* buffer, std::uint32_t size,
                std::uint32_t* done) override {
    const std::size_t count = std::min<std::size_t>(size, volume_.size() - position_);
    std::memcpy(buffer, volume_.data() + position_, count);
    position_ += count;
    *done = static_cast<std::uint32_t>(count);
    return true;
  }
  bool GetFileSize(platform::FileHandle, std::uint64_t* size) override {
    *size = volume_.size();
    return true;
  }
  bool SeekToStart(platform::FileHandle) override { return true; }
  bool SkipForward(platform::FileHandle, std::uint64_t) override { return false; }
  void CloseFile(platform::FileHandle) override {}
  platform::FileHandle CreateOutputFile(const char*) override { return kOutput; }
  bool WriteFile(platform::FileHandle, const void*, std::uint32_t size,
                 std::uint32_t* done) override {
    *done = size;
    return true;
  }
  bool GetFileAttributes(const char* path, std::uint32_t* attributes) override {
    return system_.GetFileAttributes(path, attributes);
  }
  bool SetFileAttributes(const char* path, std::uint32_t attributes) override {
    return system_.SetFileAttributes(path, attributes);
  }
  bool CreateDirectory(const char* path) override { return system_.CreateDirectory(path); }
  bool SetFileTime(const char* path, platform::FileTimeKind kind, std::uint16_t date,
                   std::uint16_t time) override {
    return system_.SetFileTime(path, kind, date, time);
  }
  bool GetCurrentDirectory(char* buffer, std::size_t size) override {
    return system_.GetCurrentDirectory(buffer, size);
  }
  bool GetMaxComponentLength(std::uint32_t* length) override {
    return system_.GetMaxComponentLength(length);
  }
  std::uint32_t LastError() override { return system_.LastError(); }
  std::string SystemErrorText(std::uint32_t code) override { return system_.SystemErrorText(code); }
  void LoadErrorText(int code, char* buffer, std::size_t size) override {
    system_.LoadErrorText(code, buffer, size);
  }
  void ShowMessageBox(const char*, const char*, platform::BoxIcon) override {}
  const platform::CodePage& Characters() override { return system_.Characters(); }
  char PathSeparator() const override { return system_.PathSeparator(); }
  std::size_t MaxPath() const override { return system_.MaxPath(); }
  bool IsAbsolutePath(const char* path) const override { return system_.IsAbsolutePath(path); }
  std::size_t DrivePrefixLength() const override { return system_.DrivePrefixLength(); }
  bool IsReservedName(const char* name) const override { return system_.IsReservedName(name); }

 private:
  platform::Platform& system_ = platform::SystemPlatform();
  const Bytes& volume_;
  std::size_t position_ = 0;
};

struct Sample {
  Bytes data;
  Bytes packed;     // raw DEFLATE
  Bytes scrambled;  // the same as a volume holds it, from offset 0
  std::uint32_t crc = 0;
};

Bytes Deflate(const Bytes& data, int level) {
  z_stream stream{};
  deflateInit2(&stream, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  Bytes out(deflateBound(&stream, static_cast<uLong>(data.size())));
  stream.next_in = const_cast<Bytef*>(data.data());
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = out.data();
  stream.avail_out = static_cast<uInt>(out.size());
  deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

const Bytes& Original(SampleKind kind) {
  static std::map<SampleKind, Bytes> samples;
  auto it = samples.find(kind);
  if (it == samples.end())
    it = samples.emplace(kind, decoder_test::MakeSample(kind, kSampleSize, 2024)).first;
  return it->second;
}

const Sample& GetSample(SampleKind kind, int level) {
  static std::map<std::pair<SampleKind, int>, Sample> samples;
  const auto key = std::make_pair(kind, level);
  auto it = samples.find(key);
  if (it != samples.end()) return it->second;
  Sample sample;
  sample.data = Original(kind);
  sample.packed = Deflate(sample.data, level);
  sample.scrambled = sample.packed;
  for (std::size_t i = 0; i < sample.scrambled.size(); ++i) {
    sample.scrambled[i] ^= molt::detail::kPlainKey.bytes[i % molt::kScrambleKeySize];
  }
  sample.crc = static_cast<std::uint32_t>(
      crc32(0L, sample.data.data(), static_cast<uInt>(sample.data.size())));
  return samples.emplace(key, std::move(sample)).first->second;
}

void OursInflate(benchmark::State& state, SampleKind kind, int level) {
  const Sample& sample = GetSample(kind, level);
  BenchPlatform system(sample.scrambled);
  auto context = std::make_unique<molt::Context>(system);
  context->decoder.OutputHandle = BenchPlatform::kOutput;
  for (auto _ : state) {
    system.Rewind();
    context->reader.VolumeHandle = BenchPlatform::kVolume;
    context->reader.VolumePosition = 0;
    context->reader.InputCount = 0;
    molt::InflateMember(*context, static_cast<std::uint32_t>(sample.packed.size()),
                        static_cast<std::uint32_t>(sample.data.size()));
  }
  const std::uint8_t none = 0;
  if (molt::UpdateCrc32(context->RunningCrc, &none, 0) != sample.crc)
    state.SkipWithError("wrong CRC");
  context->reader.VolumeHandle = platform::kInvalidFile;
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * sample.data.size()));
}

void ZlibInflate(benchmark::State& state, SampleKind kind, int level, bool withCrc) {
  const Sample& sample = GetSample(kind, level);
  z_stream stream{};
  inflateInit2(&stream, -15);
  std::vector<std::uint8_t> buffer(kOutputBuffer);
  uLong crc = 0;
  for (auto _ : state) {
    inflateReset(&stream);
    crc = crc32(0L, Z_NULL, 0);
    stream.next_in = const_cast<Bytef*>(sample.packed.data());
    stream.avail_in = static_cast<uInt>(sample.packed.size());
    int result = Z_OK;
    while (result == Z_OK) {
      stream.next_out = buffer.data();
      stream.avail_out = kOutputBuffer;
      result = inflate(&stream, Z_NO_FLUSH);
      if (withCrc) crc = crc32(crc, buffer.data(), kOutputBuffer - stream.avail_out);
      benchmark::DoNotOptimize(buffer.data());
    }
    if (result != Z_STREAM_END) state.SkipWithError("zlib failed");
  }
  inflateEnd(&stream);
  if (withCrc && crc != sample.crc) state.SkipWithError("wrong CRC");
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * sample.data.size()));
}

void OursCrc(benchmark::State& state) {
  const Bytes& data = Original(SampleKind::Random);
  std::uint32_t crc = molt::kCrcInitial;
  for (auto _ : state) {
    molt::UpdateCrc32(crc, nullptr, 0);
    for (std::size_t at = 0; at < data.size(); at += kOutputBuffer) {
      molt::UpdateCrc32(crc, data.data() + at, static_cast<std::uint16_t>(kOutputBuffer));
    }
    benchmark::DoNotOptimize(crc);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}

void ZlibCrc(benchmark::State& state) {
  const Bytes& data = Original(SampleKind::Random);
  for (auto _ : state) {
    uLong crc = crc32(0L, Z_NULL, 0);
    for (std::size_t at = 0; at < data.size(); at += kOutputBuffer) {
      crc = crc32(crc, data.data() + at, kOutputBuffer);
    }
    benchmark::DoNotOptimize(crc);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}

// Prints the usual table, then every figure of ours beside zlib's.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred || run.run_type != Run::RT_Iteration) continue;
      const auto it = run.counters.find("bytes_per_second");
      if (it != run.counters.end()) rates_[run.benchmark_name()] = it->second.value / 1e6;
    }
  }

  void PrintRatios() const {
    std::printf("\n%-28s %10s %10s %7s %14s %7s\n", "MB/s of output", "ours", "zlib", "ratio",
                "zlib+crc32", "ratio");
    for (const auto& [name, ours] : rates_) {
      if (name.rfind("ours/", 0) != 0) continue;
      const std::string what = name.substr(5);
      const double zlib = Rate("zlib/" + what);
      const double zlibCrc = Rate("zlib+crc32/" + what);
      std::printf("%-28s %10.1f %10.1f %7.2f", what.c_str(), ours, zlib,
                  zlib > 0 ? ours / zlib : 0);
      if (zlibCrc > 0) std::printf(" %14.1f %7.2f", zlibCrc, ours / zlibCrc);
      std::printf("\n");
    }
  }

 private:
  double Rate(const std::string& name) const {
    const auto it = rates_.find(name);
    return it == rates_.end() ? 0 : it->second;
  }
  std::map<std::string, double> rates_;
};

}  // namespace

int main(int argc, char** argv) {
  const SampleKind kinds[] = {SampleKind::Text, SampleKind::Binary, SampleKind::Random};
  for (SampleKind kind : kinds) {
    for (int level : {1, 6, 9}) {
      const std::string what = std::string("inflate ") + decoder_test::SampleName(kind) +
                               " level " + std::to_string(level);
      benchmark::RegisterBenchmark(("ours/" + what).c_str(), OursInflate, kind, level)
          ->Unit(benchmark::kMillisecond);
      benchmark::RegisterBenchmark(("zlib/" + what).c_str(), ZlibInflate, kind, level, false)
          ->Unit(benchmark::kMillisecond);
      benchmark::RegisterBenchmark(("zlib+crc32/" + what).c_str(), ZlibInflate, kind, level, true)
          ->Unit(benchmark::kMillisecond);
    }
  }
  benchmark::RegisterBenchmark("ours/crc32", OursCrc)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("zlib/crc32", ZlibCrc)->Unit(benchmark::kMillisecond);

  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}

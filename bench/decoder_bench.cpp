// Throughput of the DEFLATE decoder, the CRC-32 and the stored-data path, in
// MB/s of output, with ratios against references measured in the same run.
//
//   cmake --preset bench && cmake --build --preset bench && build/bench/bench/decoder_bench
//
// The first lines tell the build (processor and pointer size: the 32-bit
// bench-i686 build or a native one) and the anchors' versions, or which
// anchor the build left out.
//
// Decoder: all read the same raw streams (text-like, binary and
// incompressible samples, zlib levels 1, 6 and 9). Ours runs the real path:
// the reader's 8 KiB blocks, descrambled, through InflateMember into its
// window, whose flushes carry the CRC-32 on and go to a WriteFile that
// discards. The anchors compute no check on a raw stream, so each is measured
// alone and, like for like, with a CRC-32 over its output: zlib's inflate
// writes into a 32 KiB buffer (with crc32 over each 32 KiB it writes);
// libdeflate and ISA-L's isal_inflate decode the whole stream into one
// buffer in one call (then libdeflate_crc32 over it; ISA-L's own CRC-32 of
// its output, crc_flag ISAL_GZIP_NO_HDR). Every case checks what it decoded:
// the CRC-32 against the sample's, or the output itself. Two tables end the
// run, one row per sample: MB/s of output, then ours / each anchor, the
// anchors with their CRC-32 (like for like) first. Also 1 MiB of empty
// fixed-code blocks, which write nothing: their cost per byte of input
// against zlib's.
//
// CRC-32: 24 MiB of random bytes in 32 KiB calls, ours against zlib's,
// libdeflate's and ISA-L's; ours as dispatched and in each of its forms,
// forced.
//
// Stored data: the same 24 MiB scrambled as a volume holds them, taken in the
// reader's 8 KiB blocks. The floor is memcpy alone (what reading a block into
// the buffer costs); ours adds descrambling and the CRC-32: one after the
// other, fused into one pass (DescrambleAndCrc, in place, and from the
// volume's bytes into the buffer in place of the memcpy), and the whole of
// CopyStoredData.
//
// The reporter is our own, so --benchmark_color is read here: false, no, off
// or 0 for none, true for colour, auto (or no flag) for colour only on a
// terminal.
#include <benchmark/benchmark.h>
#include <libdeflate.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "context.h"
#include "crc32.h"
#include "crc32_forms.h"
#include "decoder/sample_data.h"
#include "descramble.h"
#include "discard_platform.h"
#include "inflate.h"
#include "isal_anchor.h"
#include "output.h"
#include "pack_format.h"
#include "reader.h"

namespace {

using decoder_test::SampleKind;
using Bytes = std::vector<std::uint8_t>;
namespace platform = molt::platform;

constexpr std::size_t kSampleSize = 24u << 20;
constexpr std::uint32_t kOutputBuffer = 32768;
constexpr std::uint32_t kReaderBlock = molt::kInputBufferSize;
// Why a case of a forced CRC-32 form is skipped: not a failure.
constexpr const char* kLacksForm = "the processor lacks this form";

// A pack volume in memory that the reader reads, and an output file that
// takes everything and keeps nothing. The rest is DiscardPlatform's: the
// system's environment, and directories, times and attributes taken as set.
class BenchPlatform : public molt::DiscardPlatform {
 public:
  static constexpr platform::FileHandle kVolume = 0x7001;
  static constexpr platform::FileHandle kOutput = 0x7002;

  explicit BenchPlatform(const Bytes& scrambled) : volume_(scrambled) { recordOutputs = false; }
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

 private:
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

// `plain` as a volume holds it from offset 0.
Bytes Scrambled(const Bytes& plain) {
  Bytes scrambled = plain;
  for (std::size_t i = 0; i < scrambled.size(); ++i) {
    scrambled[i] ^= molt::detail::kPlainKey.bytes[i % molt::kScrambleKeySize];
  }
  return scrambled;
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
  sample.scrambled = Scrambled(sample.packed);
  sample.crc = static_cast<std::uint32_t>(
      crc32(0L, sample.data.data(), static_cast<uInt>(sample.data.size())));
  return samples.emplace(key, std::move(sample)).first->second;
}

// Runs `extract(context)` with `volume` as the reader's only volume, read from
// offset 0, and the discarding output file; checks the CRC-32 it leaves.
template <typename Extract>
void MeasureRealPath(benchmark::State& state, const Bytes& volume, std::uint32_t expectedCrc,
                     std::size_t outputSize, Extract extract) {
  BenchPlatform system(volume);
  auto context = std::make_unique<molt::Context>(system);
  context->decoder.OutputHandle = BenchPlatform::kOutput;
  for (auto _ : state) {
    system.Rewind();
    context->reader.VolumeHandle = BenchPlatform::kVolume;
    context->reader.VolumePosition = 0;
    context->reader.InputCount = 0;
    extract(*context);
  }
  const std::uint8_t none = 0;
  if (molt::UpdateCrc32(context->RunningCrc, &none, 0) != expectedCrc)
    state.SkipWithError("wrong CRC");
  context->reader.VolumeHandle = platform::kInvalidFile;
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * outputSize));
}

// 1 MiB of empty fixed-code blocks, each 10 bits (not final, type 1, the
// end code), and a final one: no output at all, so only the cost of the
// blocks themselves shows, measured per byte of input.
const Sample& EmptyFixedBlocks() {
  static const Sample sample = [] {
    Sample made;
    std::uint32_t bits = 0;
    unsigned count = 0;
    const auto put = [&](std::uint32_t value, unsigned length) {
      bits |= value << count;
      for (count += length; count >= 8; count -= 8, bits >>= 8) {
        made.packed.push_back(static_cast<std::uint8_t>(bits));
      }
    };
    while (made.packed.size() < (1u << 20)) put(0b010, 3), put(0, 7);
    put(0b011, 3);
    put(0, 7);
    if (count > 0) put(0, 8 - count);
    made.scrambled = Scrambled(made.packed);
    return made;
  }();
  return sample;
}

// Per byte of output, or of input for a sample that has none.
std::size_t MeasuredBytes(const Sample& sample) {
  return sample.data.empty() ? sample.packed.size() : sample.data.size();
}

void OursInflateSample(benchmark::State& state, const Sample& sample) {
  MeasureRealPath(state, sample.scrambled, sample.crc, MeasuredBytes(sample),
                  [&](molt::Context& context) {
                    molt::InflateMember(context, static_cast<std::uint32_t>(sample.packed.size()),
                                        static_cast<std::uint32_t>(sample.data.size()));
                  });
}

void OursInflate(benchmark::State& state, SampleKind kind, int level) {
  OursInflateSample(state, GetSample(kind, level));
}

void ZlibInflateSample(benchmark::State& state, const Sample& sample, bool withCrc) {
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
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * MeasuredBytes(sample)));
}

void ZlibInflate(benchmark::State& state, SampleKind kind, int level, bool withCrc) {
  ZlibInflateSample(state, GetSample(kind, level), withCrc);
}

// libdeflate decodes the whole stream in one call; with `withCrc`, then
// libdeflate_crc32 over its output.
void LibdeflateInflate(benchmark::State& state, SampleKind kind, int level, bool withCrc) {
  const Sample& sample = GetSample(kind, level);
  libdeflate_decompressor* decompressor = libdeflate_alloc_decompressor();
  Bytes output(sample.data.size());
  std::uint32_t crc = 0;
  for (auto _ : state) {
    std::size_t written = 0;
    const libdeflate_result result =
        libdeflate_deflate_decompress(decompressor, sample.packed.data(), sample.packed.size(),
                                      output.data(), output.size(), &written);
    if (result != LIBDEFLATE_SUCCESS || written != output.size())
      state.SkipWithError("libdeflate failed");
    if (withCrc) crc = libdeflate_crc32(0, output.data(), written);
    benchmark::DoNotOptimize(output.data());
  }
  libdeflate_free_decompressor(decompressor);
  if (output != sample.data) state.SkipWithError("libdeflate decoded something else");
  if (withCrc && crc != sample.crc) state.SkipWithError("wrong CRC");
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * sample.data.size()));
}

// isal_inflate decodes the whole stream in one call, with its own CRC-32 of
// the output when `withCrc`.
void IsalInflate(benchmark::State& state, SampleKind kind, int level, bool withCrc) {
  const Sample& sample = GetSample(kind, level);
  isal_anchor::IsalInflater inflater;
  Bytes output(sample.data.size());
  std::uint32_t crc = 0;
  for (auto _ : state) {
    if (!inflater.Inflate(sample.packed.data(), sample.packed.size(), output.data(),
                          output.size(), withCrc ? &crc : nullptr))
      state.SkipWithError("isal_inflate failed");
    benchmark::DoNotOptimize(output.data());
  }
  if (output != sample.data) state.SkipWithError("isal_inflate decoded something else");
  if (withCrc && crc != sample.crc) state.SkipWithError("wrong CRC");
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * sample.data.size()));
}

// Runs `crcOfCall(register, data, length)` over the random sample in 32 KiB
// calls and checks the result against zlib's.
template <typename CrcOfCall>
void MeasureCrc(benchmark::State& state, CrcOfCall crcOfCall) {
  const Bytes& data = Original(SampleKind::Random);
  std::uint32_t crc = 0;
  for (auto _ : state) {
    crc = 0;
    for (std::size_t at = 0; at < data.size(); at += kOutputBuffer) {
      crc = crcOfCall(crc, data.data() + at, kOutputBuffer);
    }
    benchmark::DoNotOptimize(crc);
  }
  if (crc != crc32(0L, data.data(), static_cast<uInt>(data.size())))
    state.SkipWithError("wrong CRC");
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}

// UpdateCrc32 keeps the register before its complement; the others take and
// give the CRC-32 itself.
void OursCrc(benchmark::State& state) {
  MeasureCrc(state, [](std::uint32_t crc, const std::uint8_t* data, std::uint32_t length) {
    std::uint32_t running = ~crc;
    return molt::UpdateCrc32(running, data, static_cast<std::uint16_t>(length));
  });
}

// One form of ours, forced for the run.
class ForcedCrcForm {
 public:
  explicit ForcedCrcForm(molt::crc32_forms::CrcForm form)
      : before_(molt::crc32_forms::ActiveCrcForm()), usable_(molt::crc32_forms::UseCrcForm(form)) {}
  ~ForcedCrcForm() { molt::crc32_forms::UseCrcForm(before_); }
  bool usable() const { return usable_; }

 private:
  molt::crc32_forms::CrcForm before_;
  bool usable_;
};

void OursCrcForm(benchmark::State& state, molt::crc32_forms::CrcForm form) {
  const ForcedCrcForm forced(form);
  if (!forced.usable()) {
    state.SkipWithError(kLacksForm);
    return;
  }
  OursCrc(state);
}

void ZlibCrc(benchmark::State& state) {
  MeasureCrc(state, [](std::uint32_t crc, const std::uint8_t* data, std::uint32_t length) {
    return static_cast<std::uint32_t>(crc32(crc, data, length));
  });
}

void LibdeflateCrc(benchmark::State& state) {
  MeasureCrc(state, [](std::uint32_t crc, const std::uint8_t* data, std::uint32_t length) {
    return libdeflate_crc32(crc, data, length);
  });
}

void IsalCrc(benchmark::State& state) {
  MeasureCrc(state, [](std::uint32_t crc, const std::uint8_t* data, std::uint32_t length) {
    return isal_anchor::Crc32(crc, data, length);
  });
}

// The stored-data sample: random bytes, scrambled from volume offset 0.
struct StoredSample {
  Bytes scrambled;
  std::uint32_t crc = 0;
};

const StoredSample& GetStoredSample() {
  static const StoredSample sample = [] {
    StoredSample made;
    const Bytes& data = Original(SampleKind::Random);
    made.scrambled = Scrambled(data);
    made.crc = static_cast<std::uint32_t>(crc32(0L, data.data(), static_cast<uInt>(data.size())));
    return made;
  }();
  return sample;
}

// What a stored case does with one block of `length` volume bytes at file
// offset `at`; gives the CRC-32 register, carried on when the case has one.
using BlockStep = std::uint32_t (*)(molt::ReaderState& reader, const std::uint8_t* volume,
                                    std::uint32_t length, std::size_t at, std::uint32_t crc);

std::uint32_t ReadBlock(molt::ReaderState& reader, const std::uint8_t* volume,
                        std::uint32_t length, std::size_t, std::uint32_t crc) {
  std::memcpy(reader.InputBuffer, volume, length);
  benchmark::DoNotOptimize(reader.InputBuffer);
  return crc;
}

std::uint32_t ReadAndDescramble(molt::ReaderState& reader, const std::uint8_t* volume,
                                std::uint32_t length, std::size_t at, std::uint32_t crc) {
  std::memcpy(reader.InputBuffer, volume, length);
  molt::Descramble(reader, static_cast<std::uint16_t>(at), static_cast<std::uint16_t>(length),
                   reader.InputBuffer);
  benchmark::DoNotOptimize(reader.InputBuffer);
  return crc;
}

// The reader's block descrambled in place, then the CRC-32 over it.
std::uint32_t ReadDescrambleThenCrc(molt::ReaderState& reader, const std::uint8_t* volume,
                                    std::uint32_t length, std::size_t at, std::uint32_t crc) {
  ReadAndDescramble(reader, volume, length, at, crc);
  return molt::CarryCrc32(crc, reader.InputBuffer, length);
}

// The same in one DescrambleAndCrc over the block in place.
std::uint32_t ReadThenDescrambleAndCrc(molt::ReaderState& reader, const std::uint8_t* volume,
                                       std::uint32_t length, std::size_t at, std::uint32_t crc) {
  std::memcpy(reader.InputBuffer, volume, length);
  return molt::DescrambleAndCrc(molt::ReadyScrambleKey(reader), at, reader.InputBuffer,
                                reader.InputBuffer, length, crc);
}

// DescrambleAndCrc taking the scrambled bytes where they were read and
// leaving the plain ones in the buffer: memcpy's work and ours in one pass.
std::uint32_t DescrambleAndCrcFromTheVolume(molt::ReaderState& reader, const std::uint8_t* volume,
                                            std::uint32_t length, std::size_t at,
                                            std::uint32_t crc) {
  return molt::DescrambleAndCrc(molt::ReadyScrambleKey(reader), at, volume, reader.InputBuffer,
                                length, crc);
}

// Takes the stored sample block by block through `step` under `form`; the
// CRC-32 is checked when the case carries one.
void MeasureStored(benchmark::State& state, BlockStep step, bool checksCrc,
                   molt::crc32_forms::CrcForm form) {
  const ForcedCrcForm forced(form);
  if (!forced.usable()) {
    state.SkipWithError(kLacksForm);
    return;
  }
  const StoredSample& sample = GetStoredSample();
  auto reader = std::make_unique<molt::ReaderState>();
  std::uint32_t crc = molt::kCrcInitial;
  for (auto _ : state) {
    crc = molt::kCrcInitial;
    for (std::size_t at = 0; at < sample.scrambled.size(); at += kReaderBlock) {
      const auto length = static_cast<std::uint32_t>(
          std::min<std::size_t>(kReaderBlock, sample.scrambled.size() - at));
      crc = step(*reader, sample.scrambled.data() + at, length, at, crc);
      benchmark::ClobberMemory();
    }
    benchmark::DoNotOptimize(crc);
  }
  if (checksCrc && ~crc != sample.crc) state.SkipWithError("wrong CRC");
  state.SetBytesProcessed(
      static_cast<std::int64_t>(state.iterations() * sample.scrambled.size()));
}

// The real stored path: RefillInput, Descramble and CopyStoredData's CRC-32
// and writes (to the discarding WriteFile).
void StoredCopyStoredData(benchmark::State& state) {
  const StoredSample& sample = GetStoredSample();
  const auto size = static_cast<std::uint32_t>(sample.scrambled.size());
  MeasureRealPath(state, sample.scrambled, sample.crc, size,
                  [size](molt::Context& context) { molt::CopyStoredData(context, size); });
}

// Prints the usual table, then each case's figures beside its references.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  using ConsoleReporter::ConsoleReporter;

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred && run.error_message != kLacksForm)
        failures_.push_back(run.benchmark_name() + ": " + run.error_message);
      if (run.error_occurred || run.run_type != Run::RT_Iteration) continue;
      const auto it = run.counters.find("bytes_per_second");
      if (it == run.counters.end()) continue;
      // Names are "<implementation>/<case>".
      const std::string name = run.benchmark_name();
      const std::size_t slash = name.find('/');
      rates_[name.substr(slash + 1)][name.substr(0, slash)] = it->second.value / 1e6;
    }
  }

  // Every case that failed its checks, one line each on standard error.
  // False when there was one.
  bool TellFailures() const {
    for (const std::string& failure : failures_)
      std::fprintf(stderr, "decoder_bench: FAILED %s\n", failure.c_str());
    return failures_.empty();
  }

  // The decoder's figures in two tables, one row per sample: MB/s of output,
  // then ours / each anchor. The anchors `withCrc` (a CRC-32 over their
  // output, as ours carries one) come first, then those decoding `alone`.
  // A "-" is a case this build or run has no figure for; `note`, when not
  // empty, follows the tables.
  void PrintDecoderTables(const std::vector<std::string>& withCrc,
                          const std::vector<std::string>& alone, const std::string& note) const {
    std::vector<std::pair<std::string, const std::map<std::string, double>*>> rows;
    for (const auto& [what, rates] : rates_) {
      if (what.rfind(kInflatePrefix, 0) == 0)
        rows.emplace_back(what.substr(std::strlen(kInflatePrefix)), &rates);
    }
    if (rows.empty()) return;
    std::vector<std::string> anchors = withCrc;
    anchors.insert(anchors.end(), alone.begin(), alone.end());
    for (const bool ratios : {false, true}) {
      const int oursWidth = ratios ? 0 : kRateWidth;
      std::printf("\n%-*s%s%s\n", kNameWidth + oursWidth,
                  ratios ? "ours / anchor" : "MB/s of output",
                  Spanning("with a CRC-32 of the output", GroupWidth(withCrc)).c_str(),
                  Spanning("decoding alone", GroupWidth(alone)).c_str());
      std::printf("%-*s", kNameWidth, "");
      if (!ratios) std::printf("%*s", kRateWidth, "ours");
      for (const std::string& anchor : anchors)
        std::printf("%*s", ColumnWidth(anchor), anchor.c_str());
      std::printf("\n");
      for (const auto& [sample, rates] : rows) {
        const double ours = Rate(*rates, "ours");
        std::printf("%-*s", kNameWidth, sample.c_str());
        if (!ratios) PrintCell(ours, kRateWidth, 1);
        for (const std::string& anchor : anchors) {
          const double rate = Rate(*rates, anchor);
          PrintCell(ratios ? Ratio(ours, rate) : rate, ColumnWidth(anchor), ratios ? 2 : 1);
        }
        std::printf("\n");
      }
    }
    if (!note.empty()) std::printf("%s\n", note.c_str());
  }

  // One line per implementation of `what`, with its ratio to each reference.
  void PrintCase(const std::string& what, const std::vector<std::string>& references) const {
    const auto found = rates_.find(what);
    if (found == rates_.end()) return;
    std::printf("\n%-30s %9s", what.c_str(), "MB/s");
    for (const std::string& reference : references) std::printf(" %11s", ("/" + reference).c_str());
    std::printf("\n");
    for (const auto& [implementation, rate] : found->second) {
      std::printf("  %-28s %9.1f", implementation.c_str(), rate);
      for (const std::string& reference : references) {
        std::printf(" %11.2f", Ratio(rate, Rate(found->second, reference)));
      }
      std::printf("\n");
    }
  }

 private:
  static double Rate(const std::map<std::string, double>& rates, const std::string& name) {
    const auto it = rates.find(name);
    return it == rates.end() ? 0 : it->second;
  }
  static double Ratio(double rate, double reference) { return reference > 0 ? rate / reference : 0; }

  static constexpr const char* kInflatePrefix = "inflate ";
  static constexpr int kNameWidth = 16;
  static constexpr int kRateWidth = 8;
  static int ColumnWidth(const std::string& name) {
    return std::max(kRateWidth, static_cast<int>(name.size()) + 2);
  }
  static int GroupWidth(const std::vector<std::string>& names) {
    int width = 0;
    for (const std::string& name : names) width += ColumnWidth(name);
    return width;
  }
  // "--- label ---" over `width` columns, after one blank.
  static std::string Spanning(const std::string& label, int width) {
    const int dashes = std::max(0, width - 3 - static_cast<int>(label.size()));
    std::string line(1 + dashes / 2, '-');
    line.front() = ' ';
    line.append(1, ' ').append(label).append(1, ' ').append(dashes - dashes / 2, '-');
    return line;
  }
  // A figure, or "-" where there is none.
  static void PrintCell(double value, int width, int decimals) {
    if (value > 0) {
      std::printf("%*.*f", width, decimals, value);
    } else {
      std::printf("%*s", width, "-");
    }
  }

  std::map<std::string, std::map<std::string, double>> rates_;
  std::vector<std::string> failures_;
};

const char kCrcCase[] = "crc32 in 32 KiB calls";
const char kEmptyBlocksCase[] = "empty fixed blocks, MB/s of input";
const char kStoredCase[] = "stored data in 8 KiB blocks";

using molt::crc32_forms::CrcForm;
const std::pair<const char*, CrcForm> kCrcForms[] = {
    {"table", CrcForm::Table}, {"slices", CrcForm::Slices}, {"folding", CrcForm::Folding}};

const char* CrcFormName(CrcForm form) {
  for (const auto& [name, each] : kCrcForms) {
    if (each == form) return name;
  }
  return "?";
}

const char kIsalLeftOut[] = "left out of this build (KORU_BENCH_ISAL=OFF)";

// An anchor of the decoder: how it is measured, and whether this build has it.
struct DecoderAnchor {
  const char* name;
  void (*measure)(benchmark::State&, SampleKind, int, bool withCrc);
  bool withCrc;
  bool built;
};

// Which build and anchors the figures come from, printed first and kept in
// the run's context (--benchmark_out).
void TellBuild() {
  const std::string build = std::to_string(8 * sizeof(void*)) + "-bit build for " +
                            KORU_BENCH_PROCESSOR + " (" + std::to_string(sizeof(void*)) +
                            "-byte pointers), our CRC-32 form " +
                            CrcFormName(molt::crc32_forms::ActiveCrcForm());
  const char* isal = isal_anchor::Version();
  const std::string anchors = std::string("zlib ") + zlibVersion() + ", libdeflate " +
                              LIBDEFLATE_VERSION_STRING + ", isal " +
                              (isal != nullptr ? isal : kIsalLeftOut);
  std::printf("decoder_bench: %s\nanchors: %s\n", build.c_str(), anchors.c_str());
  std::fflush(stdout);
  benchmark::AddCustomContext("build", build);
  benchmark::AddCustomContext("anchors", anchors);
}

// Google Benchmark reads --benchmark_color only for a reporter it makes
// itself, so ours takes it from the arguments as the library reads them (the
// last one counts) before Initialize removes them: auto, also "default" and
// no flag, colours only a terminal; false, no, off, 0, f or n, none;
// anything else colours.
benchmark::ConsoleReporter::OutputOptions ConsoleOptions(int argc, char** argv) {
  const char flag[] = "--benchmark_color=";
  std::string value = "auto";
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], flag, sizeof flag - 1) == 0) value = argv[i] + sizeof flag - 1;
  }
  std::transform(value.begin(), value.end(), value.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  bool colour = true;
  if (value == "auto" || value == "default") {
    const char* term = std::getenv("TERM");
    colour = isatty(fileno(stdout)) != 0 && term != nullptr && *term != '\0' &&
             std::strcmp(term, "dumb") != 0;
  } else {
    for (const char* no : {"false", "no", "off", "0", "f", "n"}) {
      if (value == no) colour = false;
    }
  }
  return colour ? benchmark::ConsoleReporter::OO_Color : benchmark::ConsoleReporter::OO_None;
}

}  // namespace

int main(int argc, char** argv) {
  const bool isalBuilt = isal_anchor::Version() != nullptr;
  const DecoderAnchor anchors[] = {
      {"zlib+crc32", ZlibInflate, true, true},
      {"libdeflate+crc32", LibdeflateInflate, true, true},
      {"isal+crc32", IsalInflate, true, isalBuilt},
      {"zlib", ZlibInflate, false, true},
      {"libdeflate", LibdeflateInflate, false, true},
      {"isal", IsalInflate, false, isalBuilt},
  };
  std::vector<std::string> withCrc;
  std::vector<std::string> alone;
  for (const DecoderAnchor& anchor : anchors)
    (anchor.withCrc ? withCrc : alone).push_back(anchor.name);

  const SampleKind kinds[] = {SampleKind::Text, SampleKind::Binary, SampleKind::Random};
  for (SampleKind kind : kinds) {
    for (int level : {1, 6, 9}) {
      const std::string what = std::string("inflate ") + decoder_test::SampleName(kind) +
                               " level " + std::to_string(level);
      benchmark::RegisterBenchmark(("ours/" + what).c_str(), OursInflate, kind, level)
          ->Unit(benchmark::kMillisecond);
      for (const DecoderAnchor& anchor : anchors) {
        if (!anchor.built) continue;
        benchmark::RegisterBenchmark((anchor.name + ("/" + what)).c_str(), anchor.measure, kind,
                                     level, anchor.withCrc)
            ->Unit(benchmark::kMillisecond);
      }
    }
  }
  const std::string emptyBlocksCase = kEmptyBlocksCase;
  benchmark::RegisterBenchmark(("ours/" + emptyBlocksCase).c_str(), OursInflateSample,
                               EmptyFixedBlocks())
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark(("zlib/" + emptyBlocksCase).c_str(), ZlibInflateSample,
                               EmptyFixedBlocks(), false)
      ->Unit(benchmark::kMillisecond);
  const std::string crcCase = kCrcCase;
  benchmark::RegisterBenchmark(("ours/" + crcCase).c_str(), OursCrc)->Unit(benchmark::kMillisecond);
  for (const auto& [name, form] : kCrcForms) {
    benchmark::RegisterBenchmark(("ours " + std::string(name) + "/" + crcCase).c_str(),
                                 OursCrcForm, form)
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::RegisterBenchmark(("zlib/" + crcCase).c_str(), ZlibCrc)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark(("libdeflate/" + crcCase).c_str(), LibdeflateCrc)
      ->Unit(benchmark::kMillisecond);
  std::vector<std::string> crcReferences = {"zlib", "libdeflate"};
  if (isalBuilt) {
    benchmark::RegisterBenchmark(("isal/" + crcCase).c_str(), IsalCrc)
        ->Unit(benchmark::kMillisecond);
    crcReferences.push_back("isal");
  }

  const std::string storedCase = kStoredCase;
  const CrcForm fastest = molt::crc32_forms::ActiveCrcForm();
  const struct {
    std::string name;
    BlockStep step;
    bool checksCrc;
    CrcForm form;
  } storedCases[] = {
      {"memcpy", ReadBlock, false, fastest},
      {"descramble only", ReadAndDescramble, false, fastest},
      {"descramble, then crc", ReadDescrambleThenCrc, true, fastest},
      {"DescrambleAndCrc table", ReadThenDescrambleAndCrc, true, CrcForm::Table},
      {"DescrambleAndCrc slices", ReadThenDescrambleAndCrc, true, CrcForm::Slices},
      {"DescrambleAndCrc folding", ReadThenDescrambleAndCrc, true, CrcForm::Folding},
      {"DescrambleAndCrc from the volume", DescrambleAndCrcFromTheVolume, true, fastest},
  };
  for (const auto& stored : storedCases) {
    benchmark::RegisterBenchmark((stored.name + "/" + storedCase).c_str(), MeasureStored,
                                 stored.step, stored.checksCrc, stored.form)
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::RegisterBenchmark(("CopyStoredData/" + storedCase).c_str(), StoredCopyStoredData)
      ->Unit(benchmark::kMillisecond);

  RatioReporter reporter(ConsoleOptions(argc, argv));
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  TellBuild();
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintDecoderTables(withCrc, alone,
                              isalBuilt ? "" : std::string("isal: ") + kIsalLeftOut);
  reporter.PrintCase(kEmptyBlocksCase, {"zlib"});
  reporter.PrintCase(kCrcCase, crcReferences);
  reporter.PrintCase(kStoredCase, {"memcpy"});
  benchmark::Shutdown();
  return reporter.TellFailures() ? 0 : 1;
}

// libFuzzer target: the fuzzer's bytes are the packed data of one deflated
// entry, decoded in memory through the decoder tests' rig. Whatever the
// bytes, the decoder ends with 0 or 34, and the same stream decodes alike
// whether the reader hands it whole buffers (its fast loop runs), blocks of
// 7 to 17 bytes (the fast loop stops near every block's end and the plain
// loop takes the symbol that runs on into the next) or one byte at a time
// (only the plain loop can): same code, rejection, bytes, CRC-32 and place
// in the stream afterwards. Where zlib reads the stream to its end
// within the same output bound, our decoder reads it too, to the same bytes.
// Streams that zlib refuses are not compared: our decoder accepts some of them
// on purpose (incomplete codes, distances before the first byte).
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "decoder/decoder_rig.h"
#include "errors.h"
#include "fuzz_support.h"

namespace {

using decoder_test::Bytes;
using decoder_test::DecodeOutcome;
using fuzz_support::Fail;

// The entry's original size, and the most that zlib may write: far above
// anything an input of libFuzzer's sizes can expand to without a bound.
constexpr std::uint32_t kOutputBound = 1 << 20;

struct Reading {
  DecodeOutcome outcome;
  std::uint64_t position = 0;  // the reader's file offset once it yielded the next byte
};

Reading Decode(const Bytes& packed, std::vector<std::uint32_t> readSizes) {
  // A fresh rig each time: the window starts empty, as for a pack's first entry.
  decoder_test::DecoderRig rig;
  decoder_test::DecodeOptions options;
  options.readSizes = std::move(readSizes);
  Reading reading{rig.Decode(packed, kOutputBound, options)};
  const molt::ReaderState& reader = rig.context().reader;
  reading.position = reader.VolumePosition - reader.InputCount;
  return reading;
}

std::uint32_t Crc32(const Bytes& bytes) {
  return static_cast<std::uint32_t>(crc32(0L, bytes.data(), static_cast<uInt>(bytes.size())));
}

std::string_view View(const Bytes& bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

std::string Describe(const Reading& reading) {
  const DecodeOutcome& outcome = reading.outcome;
  return "error " + std::to_string(outcome.error) + ", rejection " +
         std::to_string(static_cast<int>(outcome.rejection)) + ", " +
         std::to_string(outcome.output.size()) + " bytes, CRC-32 " +
         std::to_string(outcome.crc) + ", next byte " + std::to_string(outcome.nextByte) +
         " at " + std::to_string(reading.position);
}

// Where two outputs part, for the report.
std::string FirstDifference(const Bytes& a, const Bytes& b) {
  const auto parted = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
  const auto at = static_cast<std::size_t>(parted.first - a.begin());
  return "outputs part at byte " + std::to_string(at) + ": " +
         fuzz_support::Hex(View(a).substr(at), 16) + " / " +
         fuzz_support::Hex(View(b).substr(at), 16);
}

// What holds for any reading of any stream.
void CheckOwnRules(const Reading& reading, const char* how) {
  const DecodeOutcome& outcome = reading.outcome;
  std::string broken;
  if (outcome.error != 0 && outcome.error != molt::ERR_INPUT_FORMAT) {
    broken = "ended with a code other than 0 and 34";
  } else if ((outcome.error == 0) != (outcome.rejection == molt::BadData::None)) {
    broken = "has a rejection reason exactly when it has no error";
  } else if (outcome.output.size() > kOutputBound) {
    broken = "wrote more than the original size";
  } else if (outcome.crc != Crc32(outcome.output)) {
    broken = "has a CRC-32 that is not the one of the bytes written";
  }
  if (!broken.empty()) Fail(std::string("decoding with ") + how + " " + broken + ": " + Describe(reading));
}

void CheckSame(const Reading& reading, const char* how, const Reading& single) {
  const DecodeOutcome& a = reading.outcome;
  const DecodeOutcome& b = single.outcome;
  if (a.error == b.error && a.rejection == b.rejection && a.output == b.output && a.crc == b.crc &&
      a.nextByte == b.nextByte && reading.position == single.position) {
    return;
  }
  std::string report = std::string(how) + " and 1-byte reads disagree\n  " + how + ": " +
                       Describe(reading) + "\n  1-byte reads: " + Describe(single);
  if (a.output != b.output) report += "\n  " + FirstDifference(a.output, b.output);
  Fail(report);
}

// zlib's reading of the stream (raw, window bits -15), compared with ours as
// it comes out, a window at a time: no buffer of the whole bound is filled
// for the many streams that zlib refuses early.
struct ZlibReading {
  bool ended = false;        // the stream's end within the bound
  std::size_t produced = 0;  // bytes zlib wrote
  std::optional<std::size_t> firstDifference;
};

ZlibReading ReadWithZlib(const Bytes& packed, const Bytes& ours) {
  z_stream stream{};
  if (inflateInit2(&stream, -15) != Z_OK) Fail("inflateInit2 failed");
  stream.next_in = const_cast<Bytef*>(packed.data());
  stream.avail_in = static_cast<uInt>(packed.size());
  static std::uint8_t window[1 << 15];
  ZlibReading reading;
  int result = Z_OK;
  do {
    stream.next_out = window;
    stream.avail_out = sizeof window;
    result = inflate(&stream, Z_NO_FLUSH);
    const std::size_t count = sizeof window - stream.avail_out;
    for (std::size_t i = 0; i < count && !reading.firstDifference; ++i) {
      const std::size_t at = reading.produced + i;
      if (at >= ours.size() || ours[at] != window[i]) reading.firstDifference = at;
    }
    reading.produced += count;
    // A window filled may have more behind it; anything else ends the reading.
  } while (result == Z_OK && stream.avail_out == 0 && reading.produced <= kOutputBound);
  inflateEnd(&stream);
  reading.ended = result == Z_STREAM_END && reading.produced <= kOutputBound;
  if (!reading.firstDifference && reading.produced < ours.size()) {
    reading.firstDifference = reading.produced;
  }
  return reading;
}

void CheckAgainstZlib(const Bytes& packed, const Reading& ours) {
  const ZlibReading reference = ReadWithZlib(packed, ours.outcome.output);
  if (!reference.ended || (ours.outcome.error == 0 && !reference.firstDifference)) return;
  std::string report = "zlib reads the stream to its end (" + std::to_string(reference.produced) +
                       " bytes), ours differs: " + Describe(ours);
  if (reference.firstDifference) {
    report += "\n  outputs part at byte " + std::to_string(*reference.firstDifference);
  }
  Fail(report);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Bytes packed(data, data + size);
  const Reading whole = Decode(packed, {});
  const Reading small = Decode(packed, {7, 8, 9, 16, 17, 10, 11, 12, 13, 14, 15});
  const Reading single = Decode(packed, {1});
  CheckOwnRules(whole, "whole buffers");
  CheckOwnRules(small, "small blocks");
  CheckOwnRules(single, "1-byte reads");
  CheckSame(whole, "whole buffers", single);
  CheckSame(small, "small blocks", single);
  CheckAgainstZlib(packed, whole);
  return 0;
}

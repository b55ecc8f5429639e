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
// on purpose (incomplete codes, distances before the first byte). A stream
// that ends before its packed size leaves the reader right after the packed
// size all the same.
//
// Then the same bytes as a few entries of one pack, one after the other
// through one decoder, as the files of a pack go: each reaches back into the
// history that the entries before it left, some have packed sizes that cut
// their stream short or run past its end, and original sizes that are the
// largest, zlib's own count or one less. Each entry decodes alike with whole
// buffers and 1-byte reads, and as zlib decodes it with that history as its
// dictionary.
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

// One entry through `rig`, whose window holds what the entries before it
// left; `packedSize` may be less than the bytes given.
Reading DecodeEntry(decoder_test::DecoderRig& rig, const Bytes& packed, std::uint32_t packedSize,
                    std::uint32_t originalSize, std::vector<std::uint32_t> readSizes) {
  decoder_test::DecodeOptions options;
  options.readSizes = std::move(readSizes);
  options.packedSize = packedSize;
  Reading reading{rig.Decode(packed, originalSize, options)};
  const molt::ReaderState& reader = rig.context().reader;
  reading.position = reader.VolumePosition - reader.InputCount;
  return reading;
}

Reading Decode(const Bytes& packed, std::vector<std::uint32_t> readSizes) {
  // A fresh rig each time: the window starts empty, as for a pack's first entry.
  decoder_test::DecoderRig rig;
  return DecodeEntry(rig, packed, static_cast<std::uint32_t>(packed.size()), kOutputBound,
                     std::move(readSizes));
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

// What holds for any reading of any stream: `bound` is the entry's original
// size, `following` the byte that stands right after its packed size.
void CheckOwnRules(const Reading& reading, const char* how, std::uint32_t bound = kOutputBound,
                   int following = decoder_test::kNextRecordByte) {
  const DecodeOutcome& outcome = reading.outcome;
  std::string broken;
  if (outcome.error != 0 && outcome.error != molt::ERR_INPUT_FORMAT) {
    broken = "ended with a code other than 0 and 34";
  } else if ((outcome.error == 0) != (outcome.rejection == molt::BadData::None)) {
    broken = "has a rejection reason exactly when it has no error";
  } else if (outcome.output.size() > bound) {
    broken = "wrote more than the original size";
  } else if (outcome.crc != Crc32(outcome.output)) {
    broken = "has a CRC-32 that is not the one of the bytes written";
  } else if (outcome.error == 0 && outcome.nextByte != following) {
    broken = "left the reader elsewhere than right after its packed size";
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

ZlibReading ReadWithZlib(const Bytes& packed, const Bytes& ours, const Bytes& history = {},
                         std::uint32_t bound = kOutputBound) {
  z_stream stream{};
  if (inflateInit2(&stream, -15) != Z_OK) Fail("inflateInit2 failed");
  if (!history.empty() &&
      inflateSetDictionary(&stream, history.data(), static_cast<uInt>(history.size())) != Z_OK) {
    Fail("inflateSetDictionary failed");
  }
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
  } while (result == Z_OK && stream.avail_out == 0 && reading.produced <= bound);
  inflateEnd(&stream);
  reading.ended = result == Z_STREAM_END && reading.produced <= bound;
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

// ---------------------------------------------------------------------------
// Several entries through one decoder

// One entry of the sequence: its bytes, the packed size it is given and its
// original size.
struct EntryPlan {
  Bytes bytes;
  std::uint32_t packedSize = 0;
  std::uint32_t originalSize = kOutputBound;
};

// The bytes zlib writes for a whole stream with `history` before it, when it
// reads it to its end within the largest bound.
std::optional<std::size_t> ZlibLength(const Bytes& packed, const Bytes& history) {
  const ZlibReading reading = ReadWithZlib(packed, {}, history);
  return reading.ended ? std::optional<std::size_t>(reading.produced) : std::nullopt;
}

// After two bytes of plan (how many entries; two bits of shape for each),
// the rest of the input is split into 2 to 4 entries.
std::vector<EntryPlan> PlanEntries(const Bytes& input, const Bytes& history) {
  if (input.size() < 4) return {};
  const std::size_t count = 2 + input[0] % 3;
  const std::uint8_t shapes = input[1];
  const Bytes rest(input.begin() + 2, input.end());
  std::vector<EntryPlan> plans;
  std::size_t offset = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t length = i + 1 == count ? rest.size() - offset : (rest.size() - offset) / (count - i);
    EntryPlan plan;
    plan.bytes.assign(rest.begin() + static_cast<std::ptrdiff_t>(offset),
                      rest.begin() + static_cast<std::ptrdiff_t>(offset + length));
    offset += length;
    plan.packedSize = static_cast<std::uint32_t>(length);
    switch ((shapes >> (2 * i)) & 3) {
      case 1:  // a packed size that cuts the stream short
        plan.packedSize = static_cast<std::uint32_t>(length - length / 3);
        break;
      case 2:  // zlib's own count as the original size
      case 3:  // one less
        if (const auto produced = ZlibLength(plan.bytes, history)) {
          const bool lessOne = ((shapes >> (2 * i)) & 3) == 3 && *produced > 0;
          plan.originalSize = static_cast<std::uint32_t>(*produced - (lessOne ? 1 : 0));
        }
        break;
      default:  // the whole part: the stream ends in it, or runs on
        break;
    }
    plans.push_back(std::move(plan));
  }
  return plans;
}

// The decoder's window as the entries so far left it: 32 KiB, zeros at
// first, each entry writing its bytes from the window's start on and
// wrapping round. An entry's matches that reach back before its first byte
// read it as it stands, which is zlib's reading with it as the dictionary.
void Keep(Bytes& window, const Bytes& output) {
  for (std::size_t i = 0; i < output.size(); ++i) window[i % window.size()] = output[i];
}

void CheckEntrySequence(const Bytes& input) {
  decoder_test::DecoderRig whole;
  decoder_test::DecoderRig single;
  Bytes history(32768, 0);
  // Sizes that depend on zlib's reading are planned with the first entry's
  // history: later ones may come out otherwise, which is a bound like any.
  for (const EntryPlan& plan : PlanEntries(input, history)) {
    const Reading a = DecodeEntry(whole, plan.bytes, plan.packedSize, plan.originalSize, {});
    const Reading b = DecodeEntry(single, plan.bytes, plan.packedSize, plan.originalSize, {1});
    const int following = plan.packedSize < plan.bytes.size() ? plan.bytes[plan.packedSize]
                                                              : decoder_test::kNextRecordByte;
    CheckOwnRules(a, "an entry after others, whole buffers,", plan.originalSize, following);
    CheckOwnRules(b, "an entry after others, 1-byte reads,", plan.originalSize, following);
    CheckSame(a, "an entry after others, whole buffers,", b);
    const Bytes given(plan.bytes.begin(), plan.bytes.begin() + plan.packedSize);
    const ZlibReading reference = ReadWithZlib(given, a.outcome.output, history, plan.originalSize);
    if (reference.ended && (a.outcome.error != 0 || reference.firstDifference)) {
      Fail("zlib reads an entry after others to its end (" + std::to_string(reference.produced) +
           " bytes, with the history as its dictionary), ours differs: " + Describe(a));
    }
    Keep(history, a.outcome.output);
  }
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
  CheckEntrySequence(packed);
  return 0;
}

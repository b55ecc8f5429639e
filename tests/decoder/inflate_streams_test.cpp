// Hand-built streams for the decoder's edges and rejections: each stream is
// written field by field and must give exactly the bytes, the reason for
// rejection and the reader position stated here.
#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

#include "decoder/bit_writer.h"
#include "decoder/decoder_rig.h"
#include "decoder/sample_data.h"
#include "decoder/zlib_streams.h"
#include "errors.h"
#include "inflate_fast.h"
#include "inflate_tables.h"

namespace decoder_test {
namespace {

using molt::BadData;
constexpr int kBadData = molt::ERR_INPUT_FORMAT;

const Huffman kFixedLitLen = FixedLitLenCode();
const Huffman kFixedDistance = FixedDistanceCode();

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

void PutStored(BitWriter& writer, const Bytes& data, bool final) {
  PutBlockHeader(writer, final, 0);
  writer.AlignToByte();
  const auto length = static_cast<std::uint32_t>(data.size());
  writer.Bits(length, 16).Bits(~length & 0xFFFF, 16);
  for (std::uint8_t byte : data) writer.Byte(byte);
}

void PutLiterals(BitWriter& writer, const Huffman& litLen, const Bytes& bytes) {
  for (std::uint8_t byte : bytes) litLen.Put(writer, byte);
}

// A final fixed block of literals.
Bytes FixedBlock(const Bytes& literals) {
  BitWriter writer;
  PutBlockHeader(writer, true, 1);
  PutLiterals(writer, kFixedLitLen, literals);
  kFixedLitLen.Put(writer, 256);
  return writer.bytes();
}

// Appends what a match writes, byte by byte as the window would.
void Repeat(Bytes& out, std::size_t length, std::size_t distance) {
  for (std::size_t i = 0; i < length; ++i) out.push_back(out[out.size() - distance]);
}

DecodeOptions OneByteBlocks() {
  DecodeOptions options;
  options.readSizes = {1};
  return options;
}

void ExpectOutput(const DecodeOutcome& outcome, const Bytes& expected) {
  EXPECT_EQ(outcome.error, 0);
  EXPECT_EQ(outcome.rejection, BadData::None);
  EXPECT_TRUE(outcome.output == expected) << "got " << outcome.output.size() << " bytes";
  EXPECT_EQ(outcome.crc, ZlibCrc32(expected));
  EXPECT_EQ(outcome.nextByte, kNextRecordByte);
}

void ExpectRejected(const DecodeOutcome& outcome, BadData reason, const Bytes& writtenFirst) {
  EXPECT_EQ(outcome.error, kBadData);
  EXPECT_EQ(outcome.rejection, reason);
  EXPECT_TRUE(outcome.output == writtenFirst) << "got " << outcome.output.size() << " bytes";
  EXPECT_EQ(outcome.crc, ZlibCrc32(writtenFirst));
}

// ---------------------------------------------------------------------------
// Input and the reader's position

TEST(InflateStreams, LastCodeAtAByteBoundaryTakesTheZeroFill) {
  // 3 header bits, six 9-bit literals and the 7-bit end: exactly 8 bytes.
  // The look-ahead then asks for a ninth byte, which must not come from the
  // reader: its next byte belongs to the next record.
  const Bytes literals = {144, 150, 200, 255, 170, 160};
  const Bytes packed = FixedBlock(literals);
  ASSERT_EQ(packed.size(), 8u);
  DecoderRig rig;
  ExpectOutput(rig.Decode(packed, 6), literals);
  ExpectOutput(rig.Decode(packed, 6, OneByteBlocks()), literals);
  // Ending inside a byte leaves the same position.
  ExpectOutput(rig.Decode(FixedBlock(Text("abcde")), 5), Text("abcde"));
}

TEST(InflateStreams, PackedSizeZeroIsBadDataWithNothingWritten) {
  // The fill bytes 0x00, 0x01 begin a stored block whose LEN would need a
  // third byte that the entry does not have.
  DecoderRig rig;
  const DecodeOutcome outcome = rig.Decode({}, 100);
  ExpectRejected(outcome, BadData::InputPastEnd, {});
  EXPECT_TRUE(outcome.writeSizes.empty());
  EXPECT_EQ(outcome.nextByte, kNextRecordByte);
}

TEST(InflateStreams, FillBytesAreOneZeroThenOnes) {
  // A stream whose last byte is 0x00 (the end code's last bits and padding)
  // still decodes with that byte cut off: the fill supplies it.
  const Bytes packed = FixedBlock(Text("abcde"));
  ASSERT_EQ(packed.back(), 0x00);
  DecodeOptions cut;
  cut.packedSize = static_cast<std::int64_t>(packed.size() - 1);
  DecoderRig rig;
  const DecodeOutcome outcome = rig.Decode(packed, 5, cut);
  EXPECT_EQ(outcome.error, 0);
  EXPECT_TRUE(outcome.output == Text("abcde"));
  EXPECT_EQ(outcome.nextByte, packed.back());  // the cut-off byte is still the reader's

  // Past those two fill bytes the stream is bad data, however large the
  // original size: a fixed block begun in one byte decodes as zlib decodes it
  // followed by 0x00, 0x01 and then stops, instead of writing made-up output.
  for (std::uint8_t first : {0x0B, 0x3B, 0x63, 0xF3}) {
    SCOPED_TRACE(static_cast<int>(first));
    Bytes filled = {first, 0x00};
    filled.resize(200, 0x01);
    const Bytes reference = ZlibInflatePrefix(filled, 1 << 20);
    const DecodeOutcome fill = rig.Decode({first}, 1 << 20);
    EXPECT_EQ(fill.error, kBadData);
    EXPECT_EQ(fill.rejection, BadData::InputPastEnd);
    EXPECT_LT(fill.output.size(), 1000u);
    const std::size_t common = std::min(fill.output.size(), reference.size());
    EXPECT_TRUE(Bytes(fill.output.begin(), fill.output.begin() + common) ==
                Bytes(reference.begin(), reference.begin() + common));
  }
}

TEST(InflateStreams, TruncatedEntryStopsOnTheFillBytesWithinItsBounds) {
  const Bytes data = MakeSample(SampleKind::Text, 50000, 4);
  for (int level : {0, 6}) {
    const Bytes packed = ZlibDeflate(data, level, Z_DEFAULT_STRATEGY);
    for (std::size_t keep : {packed.size() / 2, packed.size() - 1, std::size_t{3}}) {
      SCOPED_TRACE("level " + std::to_string(level) + ", keep " + std::to_string(keep));
      DecodeOptions options;
      options.packedSize = static_cast<std::int64_t>(keep);
      DecoderRig rig;
      const DecodeOutcome outcome =
          rig.Decode(packed, static_cast<std::uint32_t>(data.size()), options);
      EXPECT_TRUE(outcome.error == 0 || outcome.error == kBadData) << outcome.error;
      EXPECT_LE(outcome.output.size(), data.size());
      // Exactly the packed size was taken: the next byte is the first one cut off.
      EXPECT_EQ(outcome.nextByte, packed[keep]);
    }
  }
}

// ---------------------------------------------------------------------------
// Stored blocks and the window

TEST(InflateStreams, StoredBlocksOfEveryLength) {
  const Bytes longest = MakeSample(SampleKind::Random, 65535, 1);
  BitWriter writer;
  PutStored(writer, {}, false);      // LEN 0, NLEN 0xFFFF
  PutBlockHeader(writer, false, 1);  // a fixed block ends inside a byte
  PutLiterals(writer, kFixedLitLen, Text("xy"));
  kFixedLitLen.Put(writer, 256);
  PutStored(writer, longest, false);
  PutStored(writer, Text("end"), true);

  Bytes expected = Text("xy");
  expected.insert(expected.end(), longest.begin(), longest.end());
  const Bytes tail = Text("end");
  expected.insert(expected.end(), tail.begin(), tail.end());
  DecoderRig rig;
  ExpectOutput(rig.Decode(writer.bytes(), static_cast<std::uint32_t>(expected.size())), expected);
  ExpectOutput(
      rig.Decode(writer.bytes(), static_cast<std::uint32_t>(expected.size()), OneByteBlocks()),
      expected);
}

TEST(InflateStreams, WindowGoesOutInWholeWindows) {
  struct Case {
    std::size_t size;
    std::vector<std::uint32_t> writes;
  };
  const Case kCases[] = {
      {0, {}}, {1, {1}}, {32768, {32768}}, {32769, {32768, 1}}, {65536, {32768, 32768}}};
  for (const Case& item : kCases) {
    SCOPED_TRACE(item.size);
    const Bytes data = MakeSample(SampleKind::Binary, item.size, 2);
    DecoderRig rig;
    const DecodeOutcome outcome =
        rig.Decode(ZlibDeflate(data, 6, Z_DEFAULT_STRATEGY), static_cast<std::uint32_t>(item.size));
    ExpectOutput(outcome, data);
    EXPECT_EQ(outcome.writeSizes, item.writes);
  }
}

TEST(InflateStreams, LongestDistanceAndShortestRepeat) {
  const Bytes history = MakeSample(SampleKind::Random, 32768, 8);
  BitWriter writer;
  PutStored(writer, history, false);
  PutBlockHeader(writer, true, 1);
  PutMatch(writer, kFixedLitLen, kFixedDistance, 258, 32768);  // each byte onto itself
  PutMatch(writer, kFixedLitLen, kFixedDistance, 3, 32768);
  PutLiterals(writer, kFixedLitLen, Text("A"));
  PutMatch(writer, kFixedLitLen, kFixedDistance, 258, 1);
  PutMatch(writer, kFixedLitLen, kFixedDistance, 100,
           32767);  // source runs across the window's end
  // Enough after the matches that the fast loop takes them too.
  const Bytes after = MakeSample(SampleKind::Text, 64, 9);
  PutLiterals(writer, kFixedLitLen, after);
  kFixedLitLen.Put(writer, 256);

  Bytes expected = history;
  Repeat(expected, 258, 32768);
  Repeat(expected, 3, 32768);
  expected.push_back('A');
  Repeat(expected, 258, 1);
  Repeat(expected, 100, 32767);
  expected.insert(expected.end(), after.begin(), after.end());
  ASSERT_EQ(ZlibInflate(writer.bytes(), expected.size()), expected);
  DecoderRig rig;
  const auto size = static_cast<std::uint32_t>(expected.size());
  ExpectOutput(rig.Decode(writer.bytes(), size), expected);
  ExpectOutput(rig.Decode(writer.bytes(), size, OneByteBlocks()), expected);
}

TEST(InflateStreams, MatchesLeaveTheOlderHistoryAlone) {
  // After a full window, every short match is followed by one of distance
  // 32768, which reads the bytes just past it: bytes of the earlier pass
  // that no copy may have touched.
  const Bytes history = MakeSample(SampleKind::Random, 32768, 15);
  BitWriter writer;
  PutStored(writer, history, false);
  PutBlockHeader(writer, true, 1);
  Bytes expected = history;
  PutLiterals(writer, kFixedLitLen, Text("0123456789abcdefghij"));
  const Bytes start = Text("0123456789abcdefghij");
  expected.insert(expected.end(), start.begin(), start.end());
  for (unsigned length = 3; length <= 40; ++length) {
    for (unsigned distance : {1u, 2u, 3u, 7u, 8u, 9u, 16u, 20u}) {
      PutMatch(writer, kFixedLitLen, kFixedDistance, length, distance);
      Repeat(expected, length, distance);
      PutMatch(writer, kFixedLitLen, kFixedDistance, 12, 32768);
      Repeat(expected, 12, 32768);
    }
  }
  const Bytes tail(64, 'z');  // input enough for the fast loop to the end
  PutLiterals(writer, kFixedLitLen, tail);
  expected.insert(expected.end(), tail.begin(), tail.end());
  kFixedLitLen.Put(writer, 256);
  ASSERT_EQ(ZlibInflate(writer.bytes(), expected.size()), expected);
  DecoderRig rig;
  const auto size = static_cast<std::uint32_t>(expected.size());
  ExpectOutput(rig.Decode(writer.bytes(), size), expected);
  ExpectOutput(rig.Decode(writer.bytes(), size, OneByteBlocks()), expected);
}

TEST(InflateStreams, DistanceBeforeTheEntryReadsTheWindowAsItStands) {
  DecoderRig rig;
  // A fresh window holds zeros.
  BitWriter first;
  PutBlockHeader(first, true, 1);
  PutMatch(first, kFixedLitLen, kFixedDistance, 3, 1);
  kFixedLitLen.Put(first, 256);
  ExpectOutput(rig.Decode(first.bytes(), 3), Bytes(3, 0));

  // Then it holds what earlier entries left: 40000 bytes wrap the window,
  // so position 32668 holds byte 32668 of that entry.
  const Bytes earlier = MakeSample(SampleKind::Random, 40000, 12);
  ExpectOutput(rig.Decode(ZlibDeflate(earlier, 0, Z_DEFAULT_STRATEGY), 40000), earlier);
  BitWriter second;
  PutBlockHeader(second, true, 1);
  PutMatch(second, kFixedLitLen, kFixedDistance, 4, 100);
  kFixedLitLen.Put(second, 256);
  ExpectOutput(rig.Decode(second.bytes(), 4),
               Bytes(earlier.begin() + 32668, earlier.begin() + 32672));
}

// ---------------------------------------------------------------------------
// Dynamic block headers

TEST(InflateStreams, LargestCodeCountsAreAccepted) {
  const Huffman litLen = WidestLitLenCode();
  const Huffman distance = WidestDistanceCode();
  BitWriter writer;
  PutBlockHeader(writer, true, 2);
  PutDynamicCodes(writer, litLen, distance);
  PutLiterals(writer, litLen, Text("Hi!"));
  PutMatch(writer, litLen, distance, 5, 2);
  litLen.Put(writer, 256);
  Bytes expected = Text("Hi!");
  Repeat(expected, 5, 2);
  ASSERT_EQ(ZlibInflate(writer.bytes(), expected.size()), expected);
  DecoderRig rig;
  ExpectOutput(rig.Decode(writer.bytes(), 8), expected);
}

TEST(InflateStreams, CodeCountsBeyondTheLimitsAfterAllHeaderBits) {
  struct Case {
    unsigned hlit;
    unsigned hdist;
  };
  for (const Case& item : {Case{30, 0}, Case{31, 0}, Case{0, 30}, Case{0, 31}, Case{31, 31}}) {
    SCOPED_TRACE(std::to_string(item.hlit) + "/" + std::to_string(item.hdist));
    BitWriter writer;
    PutBlockHeader(writer, true, 2);
    writer.Bits(item.hlit, 5).Bits(item.hdist, 5).Bits(15, 4);
    writer.AlignToByte();
    for (std::uint8_t byte = 0xA3; byte < 0xB0; ++byte) writer.Byte(byte);
    DecoderRig rig;
    const DecodeOutcome outcome = rig.Decode(writer.bytes(), 100);
    ExpectRejected(outcome, BadData::CodeCounts, {});
    // 17 bits read and the 8-bit look-ahead: bytes 0 to 3 were taken.
    EXPECT_EQ(outcome.nextByte, writer.bytes()[4]);
  }
}

// Literal/length code of 'A' (3 bits), 'B' (2), end (1) and length 3 (3).
Huffman SmallLitLen(unsigned count = 258) {
  std::vector<std::uint8_t> lengths(count, 0);
  lengths['A'] = 3;
  lengths['B'] = 2;
  lengths[256] = 1;
  lengths[257] = 3;
  return Huffman(lengths);
}

// The code-length symbols that write `lengths` one by one, with runs of
// zeros as 17 or 18.
std::vector<CodeLengthSymbol> Spelled(const std::vector<std::uint8_t>& lengths) {
  std::vector<CodeLengthSymbol> symbols;
  for (std::size_t i = 0; i < lengths.size();) {
    std::size_t run = 0;
    while (i + run < lengths.size() && lengths[i + run] == 0 && run < 138) ++run;
    if (run >= 11) {
      symbols.push_back({18, static_cast<unsigned>(run - 11)});
    } else if (run >= 3) {
      symbols.push_back({17, static_cast<unsigned>(run - 3)});
    } else {
      symbols.push_back({lengths[i]});
      run = 1;
    }
    i += run;
  }
  return symbols;
}

TEST(InflateStreams, FirstDistanceRepeatTakesTheLastLiteralLengthLength) {
  // The distance lengths start with 16: three more of the last literal/length
  // length (3), then five more: eight 3-bit codes.
  const Huffman litLen = SmallLitLen();
  std::vector<CodeLengthSymbol> symbols = Spelled(litLen.lengths);
  symbols.push_back({16, 0});
  symbols.push_back({16, 2});
  const Huffman distance(std::vector<std::uint8_t>(8, 3));
  BitWriter writer;
  PutBlockHeader(writer, true, 2);
  PutDynamicHeader(writer, 258, 8, StandardCodeLengthCode(), symbols);
  PutLiterals(writer, litLen, Text("AB"));
  PutMatch(writer, litLen, distance, 3, 2);
  litLen.Put(writer, 256);
  Bytes expected = Text("AB");
  Repeat(expected, 3, 2);
  ASSERT_EQ(ZlibInflate(writer.bytes(), expected.size()), expected);
  DecoderRig rig;
  ExpectOutput(rig.Decode(writer.bytes(), 5), expected);
}

TEST(InflateStreams, VeryFirstRepeatRepeatsLengthZero) {
  // 16 before any length repeats 0: symbols 0-2 get no code. (zlib refuses
  // such a stream; this decoder reads it as the previous length 0.)
  std::vector<std::uint8_t> lengths(258, 0);
  lengths[3] = 1;  // byte 3: '0'
  lengths[256] = 2;
  lengths[257] = 2;
  const Huffman litLen(lengths);
  std::vector<CodeLengthSymbol> symbols = {{16, 0}};
  std::vector<std::uint8_t> rest(lengths.begin() + 3, lengths.end());
  for (const auto& symbol : Spelled(rest)) symbols.push_back(symbol);
  symbols.push_back({1});
  symbols.push_back({1});
  const Huffman distance(std::vector<std::uint8_t>{1, 1});
  BitWriter writer;
  PutBlockHeader(writer, true, 2);
  PutDynamicHeader(writer, 258, 2, StandardCodeLengthCode(), symbols);
  PutLiterals(writer, litLen, {3, 3});
  PutMatch(writer, litLen, distance, 3, 2);
  litLen.Put(writer, 256);
  DecoderRig rig;
  ExpectOutput(rig.Decode(writer.bytes(), 5), Bytes(5, 3));
}

TEST(InflateStreams, RepeatRunsOnFromLiteralLengthsIntoDistanceLengths) {
  // Literal/length symbols 258-261 and distance symbols 0-2 get no code from
  // one 17 that spans both runs; distance symbols 3 and 4 get 1 bit each.
  std::vector<std::uint8_t> litLenLengths(262, 0);
  litLenLengths['A'] = 3;
  litLenLengths['B'] = 2;
  litLenLengths[256] = 1;
  litLenLengths[257] = 3;
  const Huffman litLen(litLenLengths);
  const Huffman distance(std::vector<std::uint8_t>{0, 0, 0, 1, 1});
  std::vector<CodeLengthSymbol> symbols =
      Spelled(std::vector<std::uint8_t>(litLenLengths.begin(), litLenLengths.begin() + 258));
  symbols.push_back({17, 4});  // 7 zeros: 258-261, then distances 0-2
  symbols.push_back({1});
  symbols.push_back({1});

  auto build = [&](const std::vector<CodeLengthSymbol>& header) {
    BitWriter writer;
    PutBlockHeader(writer, true, 2);
    PutDynamicHeader(writer, 262, 5, StandardCodeLengthCode(), header);
    PutLiterals(writer, litLen, Text("ABBA"));
    PutMatch(writer, litLen, distance, 3, 4);
    PutMatch(writer, litLen, distance, 3, 6);
    litLen.Put(writer, 256);
    return writer.bytes();
  };
  Bytes expected = Text("ABBA");
  Repeat(expected, 3, 4);
  Repeat(expected, 3, 6);
  const Bytes packed = build(symbols);
  ASSERT_EQ(ZlibInflate(packed, expected.size()), expected);
  DecoderRig rig;
  ExpectOutput(rig.Decode(packed, 10), expected);

  // A repeat that runs past the last distance length.
  symbols.back() = {16, 0};  // three more 1s where only one length is left
  ExpectRejected(rig.Decode(build(symbols), 10), BadData::RepeatPastEnd, {});
}

TEST(InflateStreams, RepeatOneLengthPastTheLargestCountsIsRejected) {
  // 286 + 30 lengths, the largest counts: with two lengths left, a repeat of
  // three would write one length beyond every run.
  const Huffman litLen = WidestLitLenCode();
  const Huffman distance = WidestDistanceCode();
  std::vector<CodeLengthSymbol> symbols;
  for (auto length : litLen.lengths) symbols.push_back({length});
  for (std::size_t i = 0; i + 2 < distance.lengths.size(); ++i) {
    symbols.push_back({distance.lengths[i]});
  }
  symbols.push_back({16, 0});
  BitWriter writer;
  PutBlockHeader(writer, true, 2);
  PutDynamicHeader(writer, 286, 30, StandardCodeLengthCode(), symbols);
  writer.AlignToByte();
  for (int i = 0; i < 16; ++i) writer.Byte(0);
  DecoderRig rig;
  ExpectRejected(rig.Decode(writer.bytes(), 100), BadData::RepeatPastEnd, {});
}

// ---------------------------------------------------------------------------
// Codes that are not prefix codes, or leave patterns unused

TEST(InflateStreams, OverSubscribedCodesOfAllThreeKinds) {
  const Huffman litLen = SmallLitLen();
  const Huffman distance(std::vector<std::uint8_t>{1, 1});

  // Code-length code: three 1-bit codes.
  std::vector<std::uint8_t> codeLengthLengths(19, 0);
  codeLengthLengths[0] = codeLengthLengths[1] = codeLengthLengths[2] = 1;
  BitWriter codeLengths;
  PutBlockHeader(codeLengths, true, 2);
  PutDynamicHeader(codeLengths, 258, 2, Huffman(codeLengthLengths), {});

  // Literal/length code: 258 codes of 8 bits.
  BitWriter literals;
  PutBlockHeader(literals, true, 2);
  PutDynamicCodes(literals, Huffman(std::vector<std::uint8_t>(258, 8)), distance);

  // Distance code: three 1-bit codes.
  BitWriter distances;
  PutBlockHeader(distances, true, 2);
  PutDynamicCodes(distances, litLen, Huffman(std::vector<std::uint8_t>{1, 1, 1}));

  for (const BitWriter* writer : {&codeLengths, &literals, &distances}) {
    Bytes packed = writer->bytes();
    packed.resize(packed.size() + 40, 0);  // whatever follows is never used
    DecoderRig rig;
    ExpectRejected(rig.Decode(packed, 100), BadData::OverSubscribed, {});
  }
}

// The fixed codes are built once and kept for the fixed blocks after them,
// in later entries too; a dynamic block in between replaces them, even one
// rejected once its codes are half built.
TEST(InflateStreams, FixedCodesAreKeptUntilADynamicBlockReplacesThem) {
  BitWriter overSubscribed;  // literal/length code: 258 codes of 8 bits
  PutBlockHeader(overSubscribed, true, 2);
  PutDynamicCodes(overSubscribed, Huffman(std::vector<std::uint8_t>(258, 8)),
                  Huffman(std::vector<std::uint8_t>{1, 1}));
  Bytes rejected = overSubscribed.bytes();
  rejected.resize(rejected.size() + 40, 0);
  const Bytes text = MakeSample(SampleKind::Text, 20000, 8);
  const Bytes dynamic = ZlibDeflate(text, 9, Z_DEFAULT_STRATEGY);
  const Bytes fixedText = ZlibDeflate(text, 9, Z_FIXED);
  const Bytes fixed = FixedBlock(Text("fixed"));

  DecoderRig rig;  // one decoder, entry after entry
  ExpectOutput(rig.Decode(fixed, 5), Text("fixed"));
  ExpectOutput(rig.Decode(fixedText, 20000), text);
  ExpectOutput(rig.Decode(dynamic, 20000), text);
  ExpectOutput(rig.Decode(fixed, 5), Text("fixed"));
  ExpectRejected(rig.Decode(rejected, 100), BadData::OverSubscribed, {});
  ExpectOutput(rig.Decode(fixed, 5), Text("fixed"));
  ExpectOutput(rig.Decode(fixedText, 20000, OneByteBlocks()), text);

  // Many fixed blocks in one entry, empty ones among them.
  BitWriter blocks;
  for (int i = 0; i < 1000; ++i) {
    PutBlockHeader(blocks, false, 1);
    if (i % 100 == 0) PutLiterals(blocks, kFixedLitLen, Text("x"));
    kFixedLitLen.Put(blocks, 256);
  }
  PutBlockHeader(blocks, true, 1);
  kFixedLitLen.Put(blocks, 256);
  ExpectOutput(rig.Decode(blocks.bytes(), 10), Text("xxxxxxxxxx"));
}

TEST(InflateStreams, UnusedPatternsReadAsSymbolZeroOrAreRejected) {
  const Huffman distance(std::vector<std::uint8_t>{1, 1});
  struct Case {
    const char* name;
    std::vector<std::pair<unsigned, std::uint8_t>> codes;  // symbol, length
    bool accepted;
    Bytes output;
  };
  // Each code leaves patterns unused. After 'A' comes such a pattern: 11
  // when the code has no 9-bit codes (the table has no entry for it), else
  // the 9-bit code of 'B' with its last bit flipped (a node has no child
  // for it). It reads as byte 0 when byte 0 has a code, dropping the 2
  // bits of byte 0's length or the 9 bits walked; otherwise it is rejected.
  const Case kCases[] = {
      {"table, no symbol 0", {{'A', 1}, {256, 2}}, false, Text("A")},
      {"table, symbol 0", {{'A', 2}, {0, 2}, {256, 2}}, true, Bytes{'A', 0}},
      {"node, no symbol 0", {{'A', 1}, {256, 2}, {'B', 9}}, false, Text("A")},
      {"node, symbol 0", {{'A', 1}, {256, 2}, {0, 4}, {'B', 9}}, true, Bytes{'A', 0}},
  };
  for (const Case& item : kCases) {
    SCOPED_TRACE(item.name);
    std::vector<std::uint8_t> lengths(257, 0);
    for (const auto& [symbol, length] : item.codes) lengths[symbol] = length;
    const Huffman litLen(lengths);
    BitWriter writer;
    PutBlockHeader(writer, true, 2);
    PutDynamicCodes(writer, litLen, distance);
    litLen.Put(writer, 'A');
    if (lengths['B'] == 9) {
      writer.Code(litLen.codes['B'] ^ 1, 9);
    } else {
      writer.Code(3, 2);
    }
    litLen.Put(writer, 256);
    DecoderRig rig;
    const DecodeOutcome outcome = rig.Decode(writer.bytes(), 10);
    if (item.accepted) {
      ExpectOutput(outcome, item.output);
    } else {
      ExpectRejected(outcome, BadData::UnusedCode, item.output);
    }
  }
}

TEST(InflateStreams, UnusedPatternsNeverTakeMoreThanTheirCodeHolds) {
  // A code that leaves the 8-bit prefix 11111111 unused and gives symbol 0
  // no code, or one of 9 or 15 bits: such a symbol 0 lives in the nodes, so
  // the prefix, which reads as symbol 0 in the table, is no pattern of it
  // and is refused. A decoder that dropped symbol 0's length there would take
  // more bits than the bit buffer holds. The prefix comes after 1 to 8 'A's
  // (1 bit each), so that it meets the bit buffer at every alignment, and
  // is followed by an end of block and a block of each kind, in case the
  // decoder went on.
  enum class Code { LitLen, Distance };
  enum class Next { Fixed, Dynamic, Stored };
  BitWriter fixed;
  PutBlockHeader(fixed, true, 1);
  PutLiterals(fixed, kFixedLitLen, Text("xyz"));
  kFixedLitLen.Put(fixed, 256);
  BitWriter dynamic;
  PutBlockHeader(dynamic, true, 2);
  PutDynamicCodes(dynamic, SmallLitLen(), Huffman(std::vector<std::uint8_t>{1, 1}));
  PutLiterals(dynamic, SmallLitLen(), Text("AB"));
  SmallLitLen().Put(dynamic, 256);

  for (Code code : {Code::LitLen, Code::Distance}) {
    for (std::uint8_t zeroLength : {0, 9, 15}) {
      for (Next next : {Next::Fixed, Next::Dynamic, Next::Stored}) {
        for (unsigned before = 1; before <= 8; ++before) {
          SCOPED_TRACE((code == Code::LitLen ? "literal/length" : "distance") +
                       std::string(", symbol 0 of ") + std::to_string(zeroLength) +
                       " bits, block kind " + std::to_string(static_cast<int>(next)) + ", " +
                       std::to_string(before) + " literals before");
          // Literal/length: 'A' 0, end 10, and for the distance case length
          // 3 as 11. Distance: symbol 1 is 0, symbol 2 is 10. Symbol 0's
          // code, when it has one, begins 110 in the code that is tested.
          std::vector<std::uint8_t> litLenLengths(258, 0);
          litLenLengths['A'] = 1;
          litLenLengths[256] = 2;
          std::vector<std::uint8_t> distanceLengths = {0, 1, 2};
          if (code == Code::LitLen) {
            litLenLengths[0] = zeroLength;
          } else {
            litLenLengths[257] = 2;
            distanceLengths[0] = zeroLength;
          }
          const Huffman litLen(litLenLengths);
          BitWriter writer;
          PutBlockHeader(writer, false, 2);
          PutDynamicCodes(writer, litLen, Huffman(distanceLengths));
          const Bytes literals(before, 'A');
          PutLiterals(writer, litLen, literals);
          if (code == Code::Distance) litLen.Put(writer, 257);
          writer.Code(0xFF, 8);
          if (code == Code::LitLen) litLen.Put(writer, 256);
          if (next == Next::Stored) {
            PutStored(writer, Text("xyz"), true);
          } else {
            const BitWriter& following = next == Next::Fixed ? fixed : dynamic;
            for (std::size_t bit = 0; bit < following.bitCount(); ++bit) {
              writer.Bits((following.bytes()[bit / 8] >> (bit % 8)) & 1, 1);
            }
          }
          writer.AlignToByte();
          for (int i = 0; i < 32; ++i) writer.Byte(0xFF);  // room for the fast loop
          DecoderRig rig;
          ExpectRejected(rig.Decode(writer.bytes(), 100), BadData::UnusedCode, literals);
          ExpectRejected(rig.Decode(writer.bytes(), 100, OneByteBlocks()), BadData::UnusedCode,
                         literals);
        }
      }
    }
  }
}

TEST(InflateStreams, FastLoopDeclinesABitBufferItDoesNotKnow) {
  // With complete codes, a full input buffer and room in the window, only a
  // bit count outside 0 to 7 stands between the fast loop and a refill that
  // would move the input pointer by a made-up amount.
  auto state = std::make_unique<molt::DecoderState>();
  molt::ReaderState reader;
  for (unsigned symbol = 0; symbol < 288; ++symbol) {
    state->LitLenCode.lengths[symbol] = molt::inflate::FixedLitLenLength(symbol);
  }
  std::fill(std::begin(state->DistCode.lengths), std::end(state->DistCode.lengths), 5);
  ASSERT_TRUE(molt::inflate::BuildFastCodes(*state));
  reader.InputPointer = reader.InputBuffer;
  reader.InputCount = 64;
  state->InputLeft = 64;
  state->OutputLeft = 1000;
  for (std::uint8_t bitCount : {std::uint8_t{8}, std::uint8_t{250}}) {
    state->BitCount = bitCount;
    EXPECT_FALSE(molt::inflate::InflateCodesFast(*state, reader));
    EXPECT_EQ(reader.InputPointer, reader.InputBuffer);
    EXPECT_EQ(state->OutputPos, 0u);
  }
}

TEST(InflateStreams, UnusedPatternOfTheCodeLengthCodeIsRejected) {
  // Code-length symbols 1 (code 0) and 2 (code 10) only: the pattern 11
  // reaches no code, and symbol 0 has none to stand in for it.
  std::vector<std::uint8_t> codeLengthLengths(19, 0);
  codeLengthLengths[1] = 1;
  codeLengthLengths[2] = 2;
  BitWriter writer;
  PutBlockHeader(writer, true, 2);
  PutDynamicHeader(writer, 258, 2, Huffman(codeLengthLengths), {{1}, {2}});
  writer.Code(3, 2);
  writer.AlignToByte();
  for (int i = 0; i < 8; ++i) writer.Byte(0xFF);
  DecoderRig rig;
  ExpectRejected(rig.Decode(writer.bytes(), 100), BadData::UnusedCode, {});
}

TEST(InflateStreams, SingleDistanceCodeReadsBothPatterns) {
  // Distance symbol 0 alone, 1 bit long: pattern 0 is its code and pattern 1
  // reads as it too, each dropping one bit.
  std::vector<std::uint8_t> lengths(258, 0);
  lengths['A'] = 1;
  lengths[256] = 2;
  lengths[257] = 2;
  const Huffman litLen(lengths);
  BitWriter writer;
  PutBlockHeader(writer, true, 2);
  PutDynamicCodes(writer, litLen, Huffman(std::vector<std::uint8_t>{1}));
  litLen.Put(writer, 'A');
  litLen.Put(writer, 257);
  writer.Bits(0, 1);
  litLen.Put(writer, 257);
  writer.Bits(1, 1);
  litLen.Put(writer, 256);
  DecoderRig rig;
  ExpectOutput(rig.Decode(writer.bytes(), 7), Bytes(7, 'A'));
}

// ---------------------------------------------------------------------------
// Symbols and blocks that mean nothing

TEST(InflateStreams, SymbolsWithoutMeaningAreRejectedAfterWhatCameBefore) {
  struct Case {
    const char* name;
    unsigned lengthSymbol;
    unsigned distanceSymbol;  // used when lengthSymbol is 257
    BadData reason;
  };
  const Case kCases[] = {{"length 286", 286, 0, BadData::LengthSymbol},
                         {"length 287", 287, 0, BadData::LengthSymbol},
                         {"distance 30", 257, 30, BadData::DistanceSymbol},
                         {"distance 31", 257, 31, BadData::DistanceSymbol}};
  // Enough literals before, and bytes after, that the fast loop meets the
  // symbol as well as the plain one.
  const Bytes before = MakeSample(SampleKind::Text, 3000, 6);
  for (const Case& item : kCases) {
    SCOPED_TRACE(item.name);
    BitWriter writer;
    PutBlockHeader(writer, true, 1);
    PutLiterals(writer, kFixedLitLen, before);
    kFixedLitLen.Put(writer, item.lengthSymbol);
    if (item.lengthSymbol == 257) kFixedDistance.Put(writer, item.distanceSymbol);
    writer.AlignToByte();
    for (int i = 0; i < 64; ++i) writer.Byte(0);
    DecoderRig rig;
    ExpectRejected(rig.Decode(writer.bytes(), 10000), item.reason, before);
    ExpectRejected(rig.Decode(writer.bytes(), 10000, OneByteBlocks()), item.reason, before);
  }
}

TEST(InflateStreams, BadBlockHeadersEndTheEntryAfterEarlierBlocks) {
  BitWriter typeThree;
  PutStored(typeThree, Text("xyz"), false);
  PutBlockHeader(typeThree, true, 3);
  BitWriter lengthMismatch;
  PutStored(lengthMismatch, Text("xyz"), false);
  PutBlockHeader(lengthMismatch, true, 0);
  lengthMismatch.AlignToByte().Bits(5, 16).Bits(5, 16);
  DecoderRig rig;
  ExpectRejected(rig.Decode(typeThree.bytes(), 100), BadData::BlockType, Text("xyz"));
  ExpectRejected(rig.Decode(lengthMismatch.bytes(), 100), BadData::StoredLength, Text("xyz"));
}

// ---------------------------------------------------------------------------
// The bound of the original size

TEST(InflateStreams, OutputStopsAtTheOriginalSize) {
  const Bytes zeros(1 << 20, 0);
  const Bytes bomb = ZlibDeflate(zeros, 9, Z_DEFAULT_STRATEGY);
  ASSERT_LT(bomb.size(), 2000u);
  const Bytes stored = ZlibDeflate(MakeSample(SampleKind::Random, 50000, 3), 0, Z_DEFAULT_STRATEGY);
  const Bytes storedData = MakeSample(SampleKind::Random, 50000, 3);
  struct Case {
    const char* name;
    const Bytes& packed;
    const Bytes& data;
    std::uint32_t bound;
    std::vector<std::uint32_t> writes;
  };
  const Case kCases[] = {
      {"expanding stream", bomb, zeros, 1000, {1000}},
      {"expanding stream past a window", bomb, zeros, 40000, {32768, 7232}},
      {"inside a match", bomb, zeros, 100, {100}},
      {"stored block", stored, storedData, 40001, {32768, 7233}},
      {"nothing allowed", bomb, zeros, 0, {}},
  };
  for (const Case& item : kCases) {
    SCOPED_TRACE(item.name);
    const Bytes allowed(item.data.begin(), item.data.begin() + item.bound);
    for (const DecodeOptions& options : {DecodeOptions{}, OneByteBlocks()}) {
      DecoderRig rig;
      const DecodeOutcome outcome = rig.Decode(item.packed, item.bound, options);
      ExpectRejected(outcome, BadData::OutputTooLong, allowed);
      EXPECT_EQ(outcome.writeSizes, item.writes);
    }
  }
}

}  // namespace
}  // namespace decoder_test

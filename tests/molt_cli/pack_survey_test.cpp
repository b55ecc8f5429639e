// The survey walk behind molt list and molt test, and the replay behind
// molt extract's report: every entry in stream order, file data checked by
// the extractor's own code, and for every fault of a pack the very code that
// the extractor gives for it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "context.h"
#include "core/pack_survey.h"
#include "errors.h"
#include "extract.h"
#include "pack_writer.h"
#include "support/fault_platform.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using packwriter::Entry;

// What the walk told, as short strings: "d DOCS 0", "f DOCS\A.TXT 1".
struct Recorder final : molt::SurveyVisitor {
  std::vector<std::string> entries;
  std::vector<std::string> checked;
  std::vector<std::string> faults;  // "path code"
  std::vector<std::uint32_t> computedCrcs;

  void OnEntry(const molt::SurveyedEntry& entry) override {
    entries.push_back(std::string(entry.isDirectory ? "d " : "f ") + entry.path + " " +
                      std::to_string(entry.depth));
  }
  void OnFileChecked(const molt::SurveyedEntry& entry) override { checked.push_back(entry.path); }
  void OnEntryFault(const molt::SurveyedEntry& entry, const molt::EntryFault& fault) override {
    faults.push_back(entry.path + " " + std::to_string(fault.code));
    computedCrcs.push_back(fault.computedCrc);
  }
};

class PackSurveyTest : public ::testing::Test {
 protected:
  // Writes the pack as pack1.bin, pack2.bin...; returns the format.
  std::string Write(const packwriter::Pack& pack) {
    packwriter::WritePack(pack, dir / "pack%d.bin");
    return dir / "pack%d.bin";
  }
  std::string Write(const std::vector<Entry>& root) {
    packwriter::Pack pack;
    pack.root = root;
    return Write(pack);
  }

  molt::SurveyResult Survey(const std::string& format, molt::SurveyMode mode, Recorder& recorder) {
    const auto surveyor = std::make_unique<molt::PackSurveyor>(platform);
    return surveyor->Run(format.c_str(), mode, recorder);
  }

  // The extractor itself, into a fresh folder; `tree` gets what it made.
  int Extract(const std::string& format, std::set<std::string>* tree = nullptr) {
    const fs::path out = dir.path() / ("out" + std::to_string(++extractions));
    fs::create_directory(out);
    testing_support::FaultPlatform system;
    const auto context = std::make_unique<molt::Context>(system);
    const int code = molt::Molt(*context, format.c_str(), out.string().c_str(), nullptr, 0, "UNPACK");
    if (tree != nullptr) *tree = testing_support::ListTree(out);
    return code;
  }

  testing_support::TempDir dir;
  testing_support::FaultPlatform platform;
  int extractions = 0;
};

TEST_F(PackSurveyTest, VisitsEveryEntryInStreamOrderUnderItsOutputPath) {
  Entry hidden = packwriter::Directory("HIDDEN", {packwriter::File("IN.TXT", "in")});
  hidden.selectionMask = 4;  // not extracted without a filter, but listed
  const std::string format = Write({
      packwriter::Directory("DOCS", {packwriter::WithLongName(packwriter::File("LONG~1.TXT", "x"),
                                                              "Long name.txt"),
                                     packwriter::Directory("SUB", {packwriter::File("A.TXT", "a")})}),
      hidden,
      packwriter::DeflatedFile("Z.TXT", "zzzzzzzzzzzzzzzz"),
  });
  Recorder list;
  const molt::SurveyResult result = Survey(format, molt::SurveyMode::kList, list);
  EXPECT_EQ(result.code, 0);
  EXPECT_TRUE(result.opened);
  const std::vector<std::string> expected = {
      "d DOCS 0",     "f DOCS\\Long name.txt 1", "d DOCS\\SUB 1", "f DOCS\\SUB\\A.TXT 2",
      "d HIDDEN 0",   "f HIDDEN\\IN.TXT 1",      "f Z.TXT 0",
  };
  EXPECT_EQ(list.entries, expected);
  EXPECT_TRUE(list.checked.empty()) << "a listing decodes nothing";

  Recorder check;
  EXPECT_EQ(Survey(format, molt::SurveyMode::kCheck, check).code, 0);
  EXPECT_EQ(check.entries, expected);
  const std::vector<std::string> files = {"DOCS\\Long name.txt", "DOCS\\SUB\\A.TXT",
                                          "HIDDEN\\IN.TXT", "Z.TXT"};
  EXPECT_EQ(check.checked, files);
  EXPECT_TRUE(check.faults.empty());
}

TEST_F(PackSurveyTest, CheckGoesOnAfterAWrongCrcWithTheDecodedOne) {
  Entry bad = packwriter::DeflatedFile("BAD.TXT", "the data as it is");
  bad.crc = 0x12345678;
  Entry badStored = packwriter::File("BAD2.TXT", "stored");
  badStored.crc = 0;
  const std::string format =
      Write({bad, packwriter::File("GOOD.TXT", "good"), badStored, packwriter::File("LAST", "")});
  Recorder check;
  const molt::SurveyResult result = Survey(format, molt::SurveyMode::kCheck, check);
  EXPECT_EQ(result.code, 0);
  EXPECT_EQ(check.faults, (std::vector<std::string>{"BAD.TXT 45", "BAD2.TXT 45"}));
  EXPECT_EQ(check.computedCrcs,
            (std::vector<std::uint32_t>{packwriter::Crc32("the data as it is"),
                                        packwriter::Crc32("stored")}));
  EXPECT_EQ(check.checked, (std::vector<std::string>{"GOOD.TXT", "LAST"}));

  Recorder list;
  EXPECT_EQ(Survey(format, molt::SurveyMode::kList, list).code, 0) << "a listing checks no data";
}

TEST_F(PackSurveyTest, CheckNamesTheNamesThatTheExtractorRefuses) {
  const std::string format = Write({
      packwriter::File("..", "up"),
      packwriter::Directory("A:B", {packwriter::File("OK.TXT", "fine")}),
      packwriter::File("C\x01", "control"),
  });
  Recorder check;
  EXPECT_EQ(Survey(format, molt::SurveyMode::kCheck, check).code, 0);
  EXPECT_EQ(check.faults,
            (std::vector<std::string>{".. 34", "A:B 34", "C\x01 34"}));
  EXPECT_EQ(check.checked, (std::vector<std::string>{"..", "A:B\\OK.TXT", "C\x01"}));
  EXPECT_EQ(Extract(format), molt::ERR_INPUT_FORMAT) << "the extractor refuses the first";
}

TEST_F(PackSurveyTest, NeitherListNorCheckWritesAnything) {
  const std::string format = Write({packwriter::Directory("D", {packwriter::File("F", "f")}),
                                    packwriter::DeflatedFile("G", std::string(100000, 'g'))});
  const std::set<std::string> before = testing_support::ListTree(dir.path());
  const fs::path home = fs::current_path();
  fs::current_path(dir.path());  // where an output relative to nothing would land
  Recorder list;
  Recorder check;
  const int listed = Survey(format, molt::SurveyMode::kList, list).code;
  const int checked = Survey(format, molt::SurveyMode::kCheck, check).code;
  fs::current_path(home);
  EXPECT_EQ(listed, 0);
  EXPECT_EQ(checked, 0);
  EXPECT_EQ(check.checked.size(), 2u);
  EXPECT_EQ(testing_support::ListTree(dir.path()), before);
}

TEST_F(PackSurveyTest, TellsWhereAStreamFaultStopsTheWalk) {
  packwriter::Pack pack;
  pack.root = {packwriter::File("A.TXT", "aaaa"), packwriter::File("B.TXT", "bbbbbbbbbb")};
  const packwriter::Stream stream = packwriter::BuildStream(pack.root);
  pack.cutAt = stream.records.at(1).namesEnd + 3;  // inside B.TXT's data
  const std::string format = Write(pack);

  Recorder check;
  const molt::SurveyResult inData = Survey(format, molt::SurveyMode::kCheck, check);
  EXPECT_EQ(inData.code, molt::ERR_INPUT_EOF);
  EXPECT_EQ(inData.entryInWork, "B.TXT");
  EXPECT_EQ(inData.lastEntry, "B.TXT");
  ASSERT_EQ(inData.volumesOpened.size(), 1u);
  EXPECT_EQ(inData.volumesOpened[0], dir / "pack1.bin");

  Recorder list;
  EXPECT_EQ(Survey(format, molt::SurveyMode::kList, list).code, molt::ERR_INPUT_EOF)
      << "data cut off by the end of the pack";

  pack.cutAt = stream.records.at(1).start + 10;  // inside B.TXT's record
  const std::string inRecordFormat = Write(pack);
  Recorder again;
  const molt::SurveyResult inRecord =
      Survey(inRecordFormat, molt::SurveyMode::kList, again);
  EXPECT_EQ(inRecord.code, molt::ERR_INPUT_EOF);
  EXPECT_EQ(inRecord.entryInWork, "");
  EXPECT_EQ(inRecord.lastEntry, "A.TXT");
}

// For every fault of a pack, the first code that molt test meets is the code
// that the extractor returns for the same pack (all masks 0, so that it
// reads every entry too), and the extractor makes no entry that the survey
// does not list: hostile packs included, every command reads one stream.
struct FaultCase {
  const char* name;
  std::function<void(packwriter::Pack&)> damage;
  // Then, on the volume files written: (format, paths).
  std::function<void(const std::vector<std::string>&)> afterWriting;
  int code;
  int listCode;  // what molt list gives: faults of data are not its business
};

std::vector<Entry> FaultTree() {
  return {packwriter::Directory("D", {packwriter::File("S.TXT", "stored data"),
                                      packwriter::DeflatedFile("C.TXT", std::string(3000, 'c'))}),
          packwriter::File("LAST.TXT", "the end")};
}

// A complete file record with its data, as a stream would hold it.
std::string HiddenRecord() { return packwriter::BuildStream({packwriter::File("HIDDEN.TXT", "hidden")}).bytes; }

void FlipByte(const std::string& path, std::size_t offset) {
  std::string bytes = testing_support::ReadFileBytes(path);
  bytes.at(offset) ^= 0x01;
  testing_support::WriteFileBytes(path, bytes);
}

TEST_F(PackSurveyTest, EveryFaultGivesTheExtractorsOwnCode) {
  const auto noDamage = [](packwriter::Pack&) {};
  const auto nothingAfter = [](const std::vector<std::string>&) {};
  const std::vector<Entry> tree = FaultTree();
  const packwriter::Stream stream = packwriter::BuildStream(tree);
  const std::size_t storedData = stream.records.at(1).namesEnd;  // D/S.TXT's data
  const std::size_t deflatedData = stream.records.at(2).namesEnd;
  constexpr std::size_t kStreamStart = 48;  // of a single-volume pack

  const FaultCase cases[] = {
      {"a sound pack", noDamage, nothingAfter, 0, 0},
      {"a wrong CRC-32", [](packwriter::Pack& p) { p.root[0].children[0].crc = 1; }, nothingAfter,
       molt::ERR_CRC, 0},
      {"a flipped byte of stored data", noDamage,
       [&](const std::vector<std::string>& paths) { FlipByte(paths[0], kStreamStart + storedData + 2); },
       molt::ERR_CRC, 0},
      {"a flipped byte of DEFLATE data", noDamage,
       [&](const std::vector<std::string>& paths) { FlipByte(paths[0], kStreamStart + deflatedData + 1); },
       -1, 0},  // 34 or 45, whichever the decoder meets: the same in both
      {"an unknown tag", [](packwriter::Pack& p) { p.root.insert(p.root.begin() + 1, packwriter::Raw("XXXX")); },
       nothingAfter, molt::ERR_INPUT_FORMAT, molt::ERR_INPUT_FORMAT},
      {"DEFLATE data that is none",
       [](packwriter::Pack& p) {
         Entry& c = p.root[0].children[1];
         c.mode = packwriter::DataMode::kSupplied;
         c.packedData = "\xFF\xFF\xFF\xFF";
       },
       nothingAfter, molt::ERR_INPUT_FORMAT, 0},
      {"the stream cut inside a record", [&](packwriter::Pack& p) { p.cutAt = stream.records.at(3).start + 7; },
       nothingAfter, molt::ERR_INPUT_EOF, molt::ERR_INPUT_EOF},
      {"the stream cut inside stored data", [&](packwriter::Pack& p) { p.cutAt = stream.bytes.size() - 2; },
       nothingAfter, molt::ERR_INPUT_EOF, molt::ERR_INPUT_EOF},
      {"the stream cut inside a tag", [&](packwriter::Pack& p) { p.cutAt = stream.records.at(3).start + 2; },
       nothingAfter, molt::ERR_INPUT_EOF, molt::ERR_INPUT_EOF},
      // The data ends inside D, which promised an end tag.
      {"no end tag before the end", [](packwriter::Pack& p) { p.root[0].endTag = false; }, nothingAfter,
       molt::ERR_INPUT_EOF, molt::ERR_INPUT_EOF},
      {"the stream cut at a record boundary inside a folder",
       [&](packwriter::Pack& p) { p.cutAt = stream.records.at(2).end; }, nothingAfter, molt::ERR_INPUT_EOF,
       molt::ERR_INPUT_EOF},
      {"a masked file cut short at the end",
       [&](packwriter::Pack& p) {
         p.root[1].selectionMask = 1;
         p.cutAt = stream.bytes.size() - 2;
       },
       nothingAfter, molt::ERR_INPUT_EOF, molt::ERR_INPUT_EOF},
      // A whole record inside a file's packed bytes is data, never an entry.
      {"a record hidden after the end of a DEFLATE stream",
       [](packwriter::Pack& p) {
         Entry& c = p.root[0].children[1];
         c.mode = packwriter::DataMode::kSupplied;
         c.packedData = packwriter::DeflateRaw(c.data) + HiddenRecord();
       },
       nothingAfter, 0, 0},
      {"a record hidden in stored data past its size",
       [](packwriter::Pack& p) {
         Entry& s = p.root[0].children[0];
         s.mode = packwriter::DataMode::kSupplied;
         s.suppliedDeflated = false;
         s.packedData = s.data + HiddenRecord();
       },
       nothingAfter, molt::ERR_INPUT_FORMAT, 0},
      {"stored data shorter than its size",
       [](packwriter::Pack& p) { p.root[0].children[0].originalSize = 5; }, nothingAfter,
       molt::ERR_INPUT_FORMAT, 0},
      {"a folder's contents size one short",
       [&](packwriter::Pack& p) {
         p.root[0].contentsSize = static_cast<std::uint32_t>(stream.records.at(0).end -
                                                             stream.records.at(0).namesEnd - 1);
       },
       nothingAfter, molt::ERR_INPUT_FORMAT, molt::ERR_INPUT_FORMAT},
      {"a folder's contents size past its end tag",
       [&](packwriter::Pack& p) {
         p.root[0].contentsSize = static_cast<std::uint32_t>(stream.records.at(0).end -
                                                             stream.records.at(0).namesEnd + 4);
       },
       nothingAfter, molt::ERR_INPUT_FORMAT, molt::ERR_INPUT_FORMAT},
      {"a long name of size 0",
       [](packwriter::Pack& p) {
         p.root[1].longName = "x";
         p.root[1].longNameSize = 0;
       },
       nothingAfter, molt::ERR_INPUT_FORMAT, molt::ERR_INPUT_FORMAT},
      {"a short name of 16 bytes", [](packwriter::Pack& p) { p.root[1].shortName = "0123456789ABCDEF"; },
       nothingAfter, molt::ERR_INPUT_FORMAT, molt::ERR_INPUT_FORMAT},
      {"pack file version 257", [](packwriter::Pack& p) { p.version = 257; }, nothingAfter,
       molt::ERR_PACK_VERSION, molt::ERR_PACK_VERSION},
      {"a wrong signature", noDamage, [](const std::vector<std::string>& paths) { FlipByte(paths[0], 0); },
       molt::ERR_SIGNATURE, molt::ERR_SIGNATURE},
      {"a missing second volume",
       [](packwriter::Pack& p) {
         p.isSet = true;
         p.maxVolumeSize = 200;
       },
       [](const std::vector<std::string>& paths) { fs::remove(paths.at(1)); }, molt::ERR_INPUT_OPEN,
       molt::ERR_INPUT_OPEN},
      {"a wrong file number",
       [](packwriter::Pack& p) {
         p.isSet = true;
         p.maxVolumeSize = 200;
         p.fileNumberOverride[1] = 3;
       },
       nothingAfter, molt::ERR_FILE_NUMBER, molt::ERR_FILE_NUMBER},
      {"a last volume cut short",
       [](packwriter::Pack& p) {
         p.isSet = true;
         p.maxVolumeSize = 1000;
       },
       [](const std::vector<std::string>& paths) {
         const std::string last = testing_support::ReadFileBytes(paths.back());
         testing_support::WriteFileBytes(paths.back(), last.substr(0, last.size() - 1));
       },
       molt::ERR_INPUT_EOF, molt::ERR_INPUT_EOF},
  };
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.name);
    for (const char* old : {"pack1.bin", "pack2.bin", "pack3.bin", "pack4.bin", "pack5.bin"}) {
      fs::remove(dir.path() / old);
    }
    packwriter::Pack pack;
    pack.root = tree;
    // Packs of several volumes need data to spread: the same tree, bigger.
    c.damage(pack);
    if (pack.isSet) pack.root.push_back(packwriter::File("BIG.BIN", std::string(2500, 'b')));
    const std::vector<std::string> paths = packwriter::WritePack(pack, dir / "pack%d.bin");
    c.afterWriting(paths);
    const std::string format = dir / "pack%d.bin";

    Recorder check;
    const molt::SurveyResult result = Survey(format, molt::SurveyMode::kCheck, check);
    int first = result.code;
    if (!check.faults.empty()) first = std::stoi(check.faults.front().substr(check.faults.front().rfind(' ')));
    std::set<std::string> made;
    const int extracted = Extract(format, &made);
    EXPECT_EQ(first, extracted);
    if (c.code >= 0) {
      EXPECT_EQ(first, c.code);
    }
    std::set<std::string> listed;
    for (const std::string& entry : check.entries) {
      // "d PATH DEPTH" / "f PATH DEPTH", as the tree lists it.
      std::string path = entry.substr(2, entry.rfind(' ') - 2);
      std::replace(path.begin(), path.end(), '\\', '/');
      listed.insert(entry[0] == 'd' ? path + "/" : path);
    }
    for (const std::string& name : made) EXPECT_EQ(listed.count(name), 1u) << name << " was not listed";
    if (extracted == 0) {
      EXPECT_EQ(made, listed);
    }

    Recorder list;
    EXPECT_EQ(Survey(format, molt::SurveyMode::kList, list).code, c.listCode);
  }
}

TEST_F(PackSurveyTest, APathNoDestinationHoldsEndsAsInTheExtractor) {
  Entry deepest = packwriter::File("F", "f");
  for (int i = 0; i < 2100; ++i) deepest = packwriter::Directory("d", {deepest});
  const std::string format = Write({deepest});
  Recorder list;
  EXPECT_EQ(Survey(format, molt::SurveyMode::kList, list).code, molt::ERR_MAKE_DIRECTORY);
  EXPECT_EQ(Extract(format), molt::ERR_MAKE_DIRECTORY);
}

TEST_F(PackSurveyTest, AReplayTellsWhatTheExtractionMadeAndWhereItStopped) {
  Entry bad = packwriter::File("BAD.TXT", "bad");
  bad.crc = 7;
  Entry masked = packwriter::File("SKIP.TXT", "skipped");
  masked.selectionMask = 1;
  const std::string format =
      Write({packwriter::Directory("D", {packwriter::File("A.TXT", "a"), masked, bad}),
             packwriter::File("NEVER.TXT", "never")});
  const std::string out = dir / "nowhere";  // a replay makes nothing, so it need not exist
  const molt::ExtractionReplay replay = molt::ReplayExtraction(format.c_str(), out.c_str(), nullptr);
  EXPECT_EQ(replay.code, molt::ERR_CRC);
  const char separator = molt::platform::SystemPlatform().PathSeparator();
  const std::string d = out + separator + "D";
  ASSERT_EQ(replay.outputs.size(), 3u);
  EXPECT_EQ(replay.outputs[0].path, d);
  EXPECT_TRUE(replay.outputs[0].isDirectory);
  EXPECT_EQ(replay.outputs[1].path, d + separator + "A.TXT");
  EXPECT_TRUE(replay.outputs[1].complete);
  EXPECT_EQ(replay.outputs[1].bytesWritten, 1u);
  EXPECT_EQ(replay.outputs[2].path, d + separator + "BAD.TXT");
  EXPECT_FALSE(replay.outputs[2].complete);
  EXPECT_EQ(replay.outputs[2].bytesWritten, 3u);
  EXPECT_FALSE(fs::exists(out));
}

}  // namespace

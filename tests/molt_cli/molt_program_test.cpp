// The molt program as people run it: a process with arguments, standard
// output, standard error and an exit status, on packs that the pack writer
// builds in a temporary folder.
#include <gtest/gtest.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "pack_writer.h"
#include "support/temp_dir.h"
#include "system_text.h"

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace {

namespace fs = std::filesystem;
using packwriter::Entry;
using testing_support::ReadFileBytes;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

#ifdef _WIN32
constexpr char kSeparator = '\\';  // of the output paths the extractor opens
constexpr std::uint32_t kFileNotFound = 2;  // ERROR_FILE_NOT_FOUND
#else
constexpr char kSeparator = '/';
constexpr std::uint32_t kFileNotFound = ENOENT;
#endif

// What the system says of a missing file, after a failure's English text.
const std::string kNotFound = ": " + moltcli::SystemErrorText(kFileNotFound);

// --- running the program ----------------------------------------------------

struct Result {
  int status = -1;
  std::string out;
  std::string err;

  std::vector<std::string> ErrorLines() const {
    std::vector<std::string> lines;
    std::istringstream in(err);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
};

// Built by appending: GCC 12 warns (-Wrestrict) about "literal" + string here.
std::string Quoted(const std::string& text) {
  std::string quoted = "\"";
  quoted += text;
  quoted += '"';
  return quoted;
}

// Windows writes text with CR LF; the tests compare lines.
std::string WithoutCarriageReturns(std::string text) {
  std::string lines;
  for (char c : text) {
    if (c != '\r') lines += c;
  }
  return lines;
}

// Runs molt with these arguments through the shell, as molt-pack's tests do.
Result RunMolt(const TempDir& dir, const std::vector<std::string>& arguments) {
  std::string command = Quoted(fs::path(MOLT_PROGRAM).make_preferred().string());
  for (const std::string& argument : arguments) {
    command += ' ';
    command += Quoted(argument);
  }
  command += " >";
  command += Quoted(dir / "stdout.txt");
  command += " 2>";
  command += Quoted(dir / "stderr.txt");
#ifdef _WIN32
  // The command interpreter drops the first and the last quote of a line
  // that holds more than two.
  const int status = std::system(Quoted(command).c_str());
#else
  const int raw = std::system(command.c_str());
  const int status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
#endif
  return {status, WithoutCarriageReturns(ReadFileBytes(dir / "stdout.txt")),
          WithoutCarriageReturns(ReadFileBytes(dir / "stderr.txt"))};
}

void ReplaceAll(std::string& text, const std::string& word, const std::string& by) {
  for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + by.size())) {
    text.replace(at, word.size(), by);
  }
}

std::string Hex8(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(value));
  return text;
}

std::string Right10(std::uint64_t value) {
  char text[32];
  std::snprintf(text, sizeof text, "%10llu", static_cast<unsigned long long>(value));
  return text;
}

// A JSON document checked by a minimal reader: true when `text` is exactly
// one JSON value (RFC 8259) with nothing after it but white space, every
// string valid UTF-8 without raw control characters.
class JsonChecker {
 public:
  static bool IsDocument(const std::string& text) {
    JsonChecker checker(text);
    return checker.Value() && (checker.Space(), checker.at_ == text.size());
  }

 private:
  explicit JsonChecker(const std::string& text) : text_(text) {}

  void Space() {
    while (at_ < text_.size() && std::string(" \t\r\n").find(text_[at_]) != std::string::npos) ++at_;
  }
  bool Take(char c) {
    Space();
    if (at_ < text_.size() && text_[at_] == c) return ++at_, true;
    return false;
  }
  bool Word(const std::string& word) {
    if (text_.compare(at_, word.size(), word) != 0) return false;
    at_ += word.size();
    return true;
  }
  bool Value() {
    Space();
    if (at_ >= text_.size()) return false;
    switch (text_[at_]) {
      case '{': return Members('}', true);
      case '[': return Members(']', false);
      case '"': return String();
      case 't': return Word("true");
      case 'f': return Word("false");
      case 'n': return Word("null");
      default: return Number();
    }
  }
  bool Members(char close, bool named) {
    ++at_;
    if (Take(close)) return true;
    do {
      if (named && !(Space(), String() && Take(':'))) return false;
      if (!Value()) return false;
    } while (Take(','));
    return Take(close);
  }
  bool Number() {
    if (at_ < text_.size() && text_[at_] == '-') ++at_;
    const std::size_t digits = at_;
    while (at_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[at_]))) ++at_;
    if (at_ == digits) return false;
    return text_[digits] != '0' || at_ == digits + 1;  // no leading zeros
  }
  bool String() {
    if (at_ >= text_.size() || text_[at_] != '"') return false;
    ++at_;
    while (at_ < text_.size()) {
      const auto byte = static_cast<unsigned char>(text_[at_]);
      if (byte == '"') return ++at_, true;
      if (byte < 0x20) return false;
      if (byte == '\\') {
        if (++at_ >= text_.size()) return false;
        const char escape = text_[at_++];
        if (escape == 'u') {
          for (int i = 0; i < 4; ++i, ++at_) {
            if (at_ >= text_.size() || !std::isxdigit(static_cast<unsigned char>(text_[at_]))) return false;
          }
        } else if (std::string("\"\\/bfnrt").find(escape) == std::string::npos) {
          return false;
        }
        continue;
      }
      const int length = byte < 0x80 ? 1 : byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC2 ? 2 : 0;
      if (length == 0 || at_ + length > text_.size()) return false;
      for (int i = 1; i < length; ++i) {
        if ((static_cast<unsigned char>(text_[at_ + i]) & 0xC0) != 0x80) return false;
      }
      at_ += length;
    }
    return false;
  }

  const std::string& text_;
  std::size_t at_ = 0;
};

// --- the packs --------------------------------------------------------------

const packwriter::DosTimes kTimes = {
    packwriter::DosTime(13, 45, 30), packwriter::DosDate(2008, 3, 15), packwriter::DosDate(2008, 3, 15),
    packwriter::DosTime(13, 45, 30), packwriter::DosDate(2008, 3, 15)};

const std::string kLongText = [] {
  std::string text;
  for (int i = 0; i < 200; ++i) text += "The quick brown fox, line " + std::to_string(i) + ".\n";
  return text;
}();

Entry Stamped(Entry entry) {
  entry.times = kTimes;
  return entry;
}

// DOCS\ (a long-named deflated text, SUB\A.TXT stored), an empty file, a
// file with selection mask 2, and a read-only one.
std::vector<Entry> SmallTree() {
  Entry sub = Stamped(packwriter::Directory("SUB", {Stamped(packwriter::File("A.TXT", "0123456789"))}));
  sub.attributes = 0x10;
  Entry docs = Stamped(packwriter::Directory(
      "DOCS", {Stamped(packwriter::WithLongName(packwriter::DeflatedFile("README~1.TXT", kLongText),
                                                "Read me first.txt")),
               sub}));
  docs.attributes = 0x10;
  Entry masked = Stamped(packwriter::File("OPTION.BIN", "optional"));
  masked.selectionMask = 2;
  Entry readOnly = Stamped(packwriter::File("RO.DAT", "fixed"));
  readOnly.attributes = 0x21;
  return {docs, Stamped(packwriter::File("EMPTY.TXT", "")), masked, readOnly};
}

class MoltProgramTest : public ::testing::Test {
 protected:
  MoltProgramTest() {
    packwriter::Pack pack;
    pack.root = SmallTree();
    pack_ = packwriter::WritePack(pack, dir / "small.dat").front();
    const packwriter::Stream stream = packwriter::BuildStream(pack.root);
    // The packed size of the deflated text: what this zlib made of it.
    longPacked_ = packwriter::ListRecords(stream.bytes).at(1).packedSize;
    for (const packwriter::RecordSpan& record : stream.records) {
      if (record.path == "DOCS/SUB/A.TXT") aData_ = 48 + record.namesEnd;  // in the volume file
    }
  }

  Result Run(const std::vector<std::string>& arguments) { return RunMolt(dir, arguments); }

  // A fresh folder to extract into.
  std::string Out(const std::string& name = "out") {
    fs::create_directory(dir.path() / name);
    return dir / name;
  }

  // The small pack with one byte of A.TXT's data flipped.
  std::string FlippedPack() {
    std::string bytes = ReadFileBytes(pack_);
    bytes.at(aData_ + 3) ^= 0x01;
    WriteFileBytes(dir / "flipped.dat", bytes);
    return dir / "flipped.dat";
  }

  // A set of volumes v1.bin... whose last volume holds the tail of BIG.BIN's
  // data, and a list file naming them; the last volume is cut by one byte.
  std::string CutSet(bool cut = true) {
    packwriter::Pack pack;
    pack.root = SmallTree();
    pack.root.push_back(Stamped(packwriter::File("BIG.BIN", std::string(3000, 'b'))));
    pack.isSet = true;
    pack.maxVolumeSize = 1000;
    std::vector<std::string> names;
    for (int n = 1; n <= 8; ++n) names.push_back(dir / (std::string("v") + std::to_string(n) + ".bin"));
    const std::vector<std::string> volumes = packwriter::BuildVolumes(pack);
    names.resize(volumes.size());
    packwriter::WritePackWithList(pack, names, dir / "volumes.txt");
    if (cut) {
      const std::string last = ReadFileBytes(names.back());
      WriteFileBytes(names.back(), last.substr(0, last.size() - 1));
    }
    lastVolume_ = names.back();
    return dir / "v%d.bin";
  }

  TempDir dir;
  std::string pack_;
  std::uint32_t longPacked_ = 0;
  std::size_t aData_ = 0;
  std::string lastVolume_;
};

// --- list -------------------------------------------------------------------

TEST_F(MoltProgramTest, ListsEveryEntryAsText) {
  std::string expected =
      "Type       Size     Packed  Method    CRC-32    Mask      Attr   Last write (UTC)      Path\n"
      "dir           -          -  -         -         00000000  ---D-  2008-03-15T13:45:30Z  DOCS\n"
      "file LONGSIZE__ LONGPACKED  deflated  LONGCRC_  00000000  -----  2008-03-15T13:45:30Z  "
      "DOCS\\Read me first.txt [README~1.TXT]\n"
      "dir           -          -  -         -         00000000  ---D-  2008-03-15T13:45:30Z  DOCS\\SUB\n"
      "file         10         10  stored    a684c7c6  00000000  -----  2008-03-15T13:45:30Z  DOCS\\SUB\\A.TXT\n"
      "file          0          0  stored    00000000  00000000  -----  2008-03-15T13:45:30Z  EMPTY.TXT\n"
      "file          8          8  stored    OPTCRC__  00000002  -----  2008-03-15T13:45:30Z  OPTION.BIN\n"
      "file          5          5  stored    9ec9ce32  00000000  R---A  2008-03-15T13:45:30Z  RO.DAT\n"
      "5 files, 2 directories, TOTALSIZE bytes, TOTALPACKED packed\n";
  ReplaceAll(expected, "LONGSIZE__", Right10(kLongText.size()));
  ReplaceAll(expected, "TOTALSIZE", std::to_string(kLongText.size() + 23));
  ReplaceAll(expected, "LONGPACKED", Right10(longPacked_));
  ReplaceAll(expected, "LONGCRC_", Hex8(packwriter::Crc32(kLongText)));
  ReplaceAll(expected, "OPTCRC__", Hex8(packwriter::Crc32("optional")));
  ReplaceAll(expected, "TOTALPACKED", std::to_string(longPacked_ + 23));

  const Result result = Run({"list", pack_});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, expected);
  EXPECT_EQ(result.err, "");
}

TEST_F(MoltProgramTest, ListsEveryEntryAsOneJsonDocument) {
  std::string expected = R"({
  "pack": <PACK>,
  "code_page": <CODEPAGE>,
  "entries": [
    {"type": "directory", "path": "DOCS", "short_name": "DOCS", "long_name": null, "depth": 0, "contents_size": <DOCSSIZE>, "selection_mask": 0, "flags": 0, "attributes": 16, "attribute_letters": "---D-", "last_write": "2008-03-15T13:45:30Z"},
    {"type": "file", "path": "DOCS\\Read me first.txt", "short_name": "README~1.TXT", "long_name": "Read me first.txt", "depth": 1, "size": <LONGSIZE>, "packed_size": <LONGPACKED>, "method": "deflated", "crc32": <LONGCRC>, "selection_mask": 0, "flags": 129, "attributes": 0, "attribute_letters": "-----", "last_write": "2008-03-15T13:45:30Z"},
    {"type": "directory", "path": "DOCS\\SUB", "short_name": "SUB", "long_name": null, "depth": 1, "contents_size": <SUBSIZE>, "selection_mask": 0, "flags": 0, "attributes": 16, "attribute_letters": "---D-", "last_write": "2008-03-15T13:45:30Z"},
    {"type": "file", "path": "DOCS\\SUB\\A.TXT", "short_name": "A.TXT", "long_name": null, "depth": 2, "size": 10, "packed_size": 10, "method": "stored", "crc32": 2793719750, "selection_mask": 0, "flags": 0, "attributes": 0, "attribute_letters": "-----", "last_write": "2008-03-15T13:45:30Z"},
    {"type": "file", "path": "EMPTY.TXT", "short_name": "EMPTY.TXT", "long_name": null, "depth": 0, "size": 0, "packed_size": 0, "method": "stored", "crc32": 0, "selection_mask": 0, "flags": 0, "attributes": 0, "attribute_letters": "-----", "last_write": "2008-03-15T13:45:30Z"},
    {"type": "file", "path": "OPTION.BIN", "short_name": "OPTION.BIN", "long_name": null, "depth": 0, "size": 8, "packed_size": 8, "method": "stored", "crc32": <OPTCRC>, "selection_mask": 2, "flags": 0, "attributes": 0, "attribute_letters": "-----", "last_write": "2008-03-15T13:45:30Z"},
    {"type": "file", "path": "RO.DAT", "short_name": "RO.DAT", "long_name": null, "depth": 0, "size": 5, "packed_size": 5, "method": "stored", "crc32": 2664025650, "selection_mask": 0, "flags": 0, "attributes": 33, "attribute_letters": "R---A", "last_write": "2008-03-15T13:45:30Z"}
  ],
  "totals": {"files": 5, "directories": 2, "size": <TOTALSIZE>, "packed_size": <TOTALPACKED>},
  "error": null
}
)";
  std::string packJson = pack_;
  ReplaceAll(packJson, "\\", "\\\\");
  ReplaceAll(expected, "<PACK>", Quoted(packJson));
  ReplaceAll(expected, "<CODEPAGE>", Quoted(moltcli::NameCodePage()));  // the program's too
  const packwriter::Stream stream = packwriter::BuildStream(SmallTree());
  ReplaceAll(expected, "<DOCSSIZE>", std::to_string(stream.records.at(0).end - stream.records.at(0).namesEnd));
  ReplaceAll(expected, "<SUBSIZE>", std::to_string(stream.records.at(2).end - stream.records.at(2).namesEnd));
  ReplaceAll(expected, "<LONGPACKED>", std::to_string(longPacked_));
  ReplaceAll(expected, "<LONGSIZE>", std::to_string(kLongText.size()));
  ReplaceAll(expected, "<TOTALSIZE>", std::to_string(kLongText.size() + 23));
  ReplaceAll(expected, "<LONGCRC>", std::to_string(packwriter::Crc32(kLongText)));
  ReplaceAll(expected, "<OPTCRC>", std::to_string(packwriter::Crc32("optional")));
  ReplaceAll(expected, "<TOTALPACKED>", std::to_string(longPacked_ + 23));

  const Result result = Run({"list", "--json", pack_});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_TRUE(JsonChecker::IsDocument(result.out)) << result.out;
  EXPECT_EQ(result.out, expected);
}

TEST_F(MoltProgramTest, ListsTheSameThroughAListFileAndAVolumeFormat) {
  CutSet(false);
  const Result byFormat = Run({"list", dir / "v%d.bin"});
  const Result byList = Run({"list", std::string("@") + (dir / "volumes.txt")});
  EXPECT_EQ(byFormat.status, 0) << byFormat.err;
  EXPECT_EQ(byList.status, 0) << byList.err;
  EXPECT_EQ(byFormat.out, byList.out);
  EXPECT_NE(byFormat.out.find("  BIG.BIN\n"), std::string::npos) << byFormat.out;
}

// Names that no terminal line or JSON string may hold as they are: control
// characters, quotes and bytes that are no UTF-8.
TEST_F(MoltProgramTest, ListsHostileNamesSafely) {
  packwriter::Pack pack;
  pack.root = {packwriter::File("A\x01\"B", "x"),
               packwriter::WithLongName(packwriter::File("C", "y"), "tab\there\n\xFF\xFE")};
  const std::string path = packwriter::WritePack(pack, dir / "hostile.dat").front();

  // The text shows names as the JSON does, with their bytes beside a name
  // that it cannot give back exactly.
  const Result text = Run({"list", path});
  EXPECT_EQ(text.status, 0);
  EXPECT_NE(text.out.find("  A?\"B (hex 41012242)\n"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find(" (hex 74616209686572650afffe) [C]\n"), std::string::npos) << text.out;
#ifndef _WIN32
  EXPECT_NE(text.out.find("  tab?here?\xEF\xBF\xBD\xEF\xBF\xBD (hex 74616209686572650afffe) [C]\n"),
            std::string::npos)
      << text.out;
#endif

  const Result json = Run({"list", "--json", path});
  EXPECT_EQ(json.status, 0);
  EXPECT_TRUE(JsonChecker::IsDocument(json.out)) << json.out;
  EXPECT_NE(json.out.find(R"("path": "A\u0001\"B")"), std::string::npos) << json.out;
  EXPECT_EQ(json.out.find("path_hex\": \"41"), std::string::npos) << "that one converts exactly";
  // Whatever the code page makes of 0xFF 0xFE, the exact bytes are there.
  EXPECT_NE(json.out.find("\"path\": \"tab\\there\\n"), std::string::npos) << json.out;
  EXPECT_NE(json.out.find("\"path_hex\": \"74616209686572650afffe\""), std::string::npos)
      << json.out;
#ifndef _WIN32
  // Names taken as UTF-8: what is no UTF-8 is U+FFFD.
  EXPECT_NE(json.out.find("\"path\": \"tab\\there\\n\xEF\xBF\xBD\xEF\xBF\xBD\", "
                          "\"path_hex\": \"74616209686572650afffe\""),
            std::string::npos)
      << json.out;
#endif
}

// --- test -------------------------------------------------------------------

TEST_F(MoltProgramTest, TestChecksEveryFileAndWritesNothing) {
  const std::set<std::string> before = testing_support::ListTree(dir.path());
  const Result result = Run({"test", pack_});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, dir / "small.dat" + ": 5 files checked, all match their CRC-32\n");
  EXPECT_EQ(result.err, "");
  std::set<std::string> after = testing_support::ListTree(dir.path());
  after.erase("stdout.txt");
  after.erase("stderr.txt");
  EXPECT_EQ(after, before);

  const Result verbose = Run({"test", "--verbose", pack_});
  EXPECT_EQ(verbose.status, 0);
  EXPECT_NE(verbose.out.find("ok      DOCS\\SUB\\A.TXT\n"), std::string::npos) << verbose.out;
  EXPECT_NE(verbose.out.find("ok      OPTION.BIN\n"), std::string::npos) << "masks do not matter";
}

struct FailureCase {
  const char* name;
  std::vector<std::string> arguments;  // <PACK>, <FLIPPED>, <CUT>, <GAP>, <DIR>, <OUT> stand for paths
  int status;
  std::string errorLine;  // the one line on standard error, placeholders as above
};

TEST_F(MoltProgramTest, FailuresGiveTheCodeAndOneLine) {
  const std::string flipped = FlippedPack();
  const std::string cut = CutSet();
  const std::string out = Out();
  // The same set without its second volume.
  fs::copy_file(dir / "v1.bin", dir / "g1.bin");
  fs::copy_file(dir / "v3.bin", dir / "g3.bin");
  const std::string gap = dir / "g%d.bin";
  const std::string eof =
      "ERR_INPUT_EOF (35): the input file's data is not valid (EOF): the pack ends inside a "
      "record or a file's data";
  const std::string crc = "ERR_CRC (45): CRC error: the data does not match the file's CRC-32";
  const std::string sep(1, kSeparator);
  const FailureCase cases[] = {
      {"test: a flipped data byte", {"test", "<FLIPPED>"}, 45,
       "molt: DOCS\\SUB\\A.TXT: " + crc + "; recorded a684c7c6, decoded "},
      {"test: a cut last volume", {"test", "<CUT>"}, 35, "molt: BIG.BIN: " + eof + "; in volume <LAST>"},
      {"test: a cut last volume through its list", {"test", "@<DIR>/volumes.txt"}, 35,
       "molt: BIG.BIN: " + eof + "; in volume <LAST>"},
      {"test: no such pack", {"test", "<DIR>/missing.dat"}, 31,
       "molt: <DIR>/missing.dat: ERR_INPUT_OPEN (31): cannot open the input file" + kNotFound},
      {"test: no such list file", {"test", "@<DIR>/missing.txt"}, 31,
       "molt: <DIR>/missing.txt: ERR_INPUT_OPEN (31): cannot open the input file" + kNotFound},
      {"test: a missing middle volume", {"test", "<GAP>"}, 31,
       "molt: <DIR>" + sep + "g2.bin: ERR_INPUT_OPEN (31): cannot open the input file" + kNotFound + ";"},
      {"list: a cut last volume", {"list", "<CUT>"}, 35, "molt: BIG.BIN: " + eof + "; in volume <LAST>"},
      {"list: no such pack", {"list", "--json", "<DIR>/missing.dat"}, 31,
       "molt: <DIR>/missing.dat: ERR_INPUT_OPEN (31): cannot open the input file" + kNotFound},
      {"list: a missing middle volume", {"list", "<GAP>"}, 31,
       "molt: <DIR>" + sep + "g2.bin: ERR_INPUT_OPEN (31): cannot open the input file" + kNotFound + ";"},
      {"extract: no such pack", {"extract", "<DIR>/missing.dat", "<OUT>"}, 31,
       "molt: <DIR>/missing.dat: ERR_INPUT_OPEN (31): cannot open the input file" + kNotFound},
      {"extract: a missing middle volume", {"extract", "<GAP>", "<OUT>"}, 31,
       "molt: <DIR>" + sep + "g2.bin: ERR_INPUT_OPEN (31): cannot open the input file" + kNotFound + ";"},
      {"old form: no such pack", {"<DIR>/missing.dat", "<OUT>"}, 31,
       "molt: <DIR>/missing.dat: ERR_INPUT_OPEN (31): cannot open the input file" + kNotFound},
      {"extract: no such destination", {"extract", "<PACK>", "<DIR>/nowhere"}, 42,
       "molt: <DIR>/nowhere: ERR_MAKE_DIRECTORY (42): failed to create a folder" + kNotFound +
           "; the destination folder does not exist"},
      {"extract: a flipped data byte", {"extract", "<FLIPPED>", "<OUT>"}, 45,
       "molt: <OUT>" + sep + "DOCS" + sep + "SUB" + sep + "A.TXT: " + crc +
           "; the file was written whole, as decoded; 1 file extracted before it"},
      {"extract: a cut last volume", {"<CUT>", "<OUT>"}, 35,
       "molt: <OUT>" + sep + "BIG.BIN: " + eof +
           "; the file was written only in part; 4 files extracted before it"},
      {"extract: a filter that matches nothing", {"extract", "--filter", "DOCS/NONE", "<PACK>", "<OUT>"},
       41,
       "molt: DOCS/NONE: ERR_NOT_FOUND (41): the specified file was not found; no entry of the "
       "pack matches the filter"},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> arguments = c.arguments;
    std::string expected = c.errorLine;
    for (const auto& [word, value] : {std::pair<std::string, std::string>{"<FLIPPED>", flipped},
                                      {"<CUT>", cut},
                                      {"<GAP>", gap},
                                      {"<PACK>", pack_},
                                      {"<LAST>", lastVolume_},
                                      {"<OUT>", out},
                                      {"<DIR>", dir.path().string()}}) {
      for (std::string& argument : arguments) ReplaceAll(argument, word, value);
      ReplaceAll(expected, word, value);
    }
    const Result result = Run(arguments);
    EXPECT_EQ(result.status, c.status);
    const std::vector<std::string> lines = result.ErrorLines();
    ASSERT_EQ(lines.size(), 1u) << result.err;
    EXPECT_EQ(lines[0].substr(0, expected.size()), expected);
  }
}

TEST_F(MoltProgramTest, AFailedListStillEndsItsJsonDocument) {
  const std::string cut = CutSet();
  const Result result = Run({"list", "--json", cut});
  EXPECT_EQ(result.status, 35);
  EXPECT_TRUE(JsonChecker::IsDocument(result.out)) << result.out;
  EXPECT_NE(result.out.find(R"("error": {"code": 35, "name": "ERR_INPUT_EOF", "message": )"),
            std::string::npos)
      << result.out;
  EXPECT_NE(result.out.find(R"("path": "BIG.BIN")"), std::string::npos) << result.out;
}

// --- the sizes of a set's volumes ---------------------------------------------

// Files of one letter each, to lay over volumes.
std::vector<Entry> LetterFiles(const std::string& letters, std::size_t size) {
  std::vector<Entry> files;
  for (const char letter : letters) {
    files.push_back(Stamped(packwriter::File(std::string(1, letter) + ".BIN", std::string(size, letter))));
  }
  return files;
}

// Where each root record of these entries starts in their stream.
std::vector<std::size_t> RecordStarts(const std::vector<Entry>& root) {
  std::vector<std::size_t> starts;
  for (const packwriter::RecordSpan& record : packwriter::BuildStream(root).records) {
    if (record.path.find('/') == std::string::npos) starts.push_back(record.start);
  }
  return starts;
}

struct SizeCase {
  const char* name;
  packwriter::Pack pack;
  int cutVolume;          // from 0; -1 for the last
  std::size_t cutBytes;   // taken off that volume's end
  std::vector<std::string> arguments;  // <SET> stands for the volume format, <OUT> for a folder
  int status;             // -1: any failure
  std::string errorLine;  // the last line's start; <V1>, <V2>... stand for the volume
                          // paths, <LAST> for the last, <OUT> as above; empty: no line
};

// A set whose volumes are shorter or longer than its set block says, or one
// of whose volumes lost its tail, found whether or not the walk itself fails.
TEST_F(MoltProgramTest, TheVolumesSizesShowWhereTheDataEnds) {
  const std::string eof =
      "ERR_INPUT_EOF (35): the input file's data is not valid (EOF): the pack ends inside a "
      "record or a file's data; ";
  const std::string format = "ERR_INPUT_FORMAT (34): the input file's data is not valid (format); ";
  const std::string crc = "ERR_CRC (45): CRC error: the data does not match the file's CRC-32; ";

  // Volumes of 200 bytes but the last, as molt-pack makes them; the last
  // holds G.BIN's record whole, after the tail of F.BIN's.
  packwriter::Pack even;
  even.root = LetterFiles("ABCDE", 150);
  even.root.push_back(LetterFiles("F", 70).front());
  even.root.push_back(LetterFiles("G", 10).front());
  even.isSet = true;
  even.maxVolumeSize = 200;
  const std::vector<std::size_t> starts = RecordStarts(even.root);
  const std::size_t lastRecord = packwriter::BuildStream(even.root).bytes.size() - starts.back();
  const std::vector<std::string> evenVolumes = packwriter::BuildVolumes(even);
  ASSERT_GT(evenVolumes.size(), 3u);
  std::size_t evenTotal = 0;
  for (const std::string& volume : evenVolumes) evenTotal += volume.size();
  ASSERT_GT(evenVolumes.back().size(), 12 + lastRecord) << "G.BIN starts in the last volume";

  packwriter::Pack setOfOne;
  setOfOne.root = LetterFiles("AB", 50);
  setOfOne.isSet = true;
  packwriter::Pack single;
  single.root = LetterFiles("AB", 50);
  const std::vector<std::size_t> twoStarts = RecordStarts(setOfOne.root);
  const std::size_t secondRecord = twoStarts[1] - twoStarts[0];

  packwriter::Pack overstated = even;
  overstated.packSizeOverride = 10;

  // An end tag at the root ends the walk in volume 1, before the volume
  // that follows: that one was never read, and its size never taken.
  packwriter::Pack endTagFirst;
  endTagFirst.root = LetterFiles("AB", 50);
  endTagFirst.root.insert(endTagFirst.root.begin() + 1, packwriter::Raw(std::string("Dir ", 4)));
  endTagFirst.isSet = true;
  endTagFirst.splitAt = {RecordStarts(endTagFirst.root)[2]};

  const std::string fewer = "the volumes hold ";
  const std::string lastEnds =
      "; the data ends early in the last volume, volume " + std::to_string(evenVolumes.size());
  const std::string v2Ends = "the data of volume 2 ends early: it holds 170 bytes where volume 1 holds 200";
  const std::vector<SizeCase> cases = {
      {"test: the last volume lost a record", even, -1, lastRecord, {"test", "<SET>"}, 35,
       "molt: <LAST>: " + eof + fewer},
      {"list: the last volume lost a record", even, -1, lastRecord, {"list", "<SET>"}, 35,
       "molt: <LAST>: " + eof + fewer},
      {"list --json: the last volume lost a record", even, -1, lastRecord,
       {"list", "--json", "<SET>"}, 35, "molt: <LAST>: " + eof + fewer},
      {"test: a set of one lost a record", setOfOne, 0, secondRecord, {"test", "<SET>"}, 35,
       "molt: <V1>: " + eof + fewer},
      {"test: a whole set", even, 0, 0, {"test", "<SET>"}, 0, ""},
      {"test: a single volume has no set block", single, 0, secondRecord, {"test", "<SET>"}, 0, ""},
      {"extract: the set block is not the extractor's concern", even, -1, lastRecord,
       {"extract", "<SET>", "<OUT>"}, 0, ""},
      {"test: volumes larger than the set block says", overstated, 0, 0, {"test", "<SET>"}, 34,
       "molt: <V1>: " + format + "the volumes hold " + std::to_string(evenTotal) + " bytes, " +
           std::to_string(evenTotal - 10) + " more than the set block's pack size (10)"},
      {"test: an end tag before the last volume", endTagFirst, 0, 0, {"test", "<SET>"}, 0, ""},
      {"list: a middle volume cut short", even, 1, 30, {"list", "<SET>"}, -1, "molt: <V2>: ERR_INPUT_"},
      {"test: a middle volume cut short", even, 1, 30, {"test", "<SET>"}, 45, "molt: <V2>: ERR_INPUT_"},
      {"extract: a middle volume cut short", even, 1, 30, {"extract", "<SET>", "<OUT>"}, 45,
       "molt: <V2>: " + crc + v2Ends + "; it showed at <OUT>" + kSeparator + "B.BIN"},
      {"list: the last volume cut short inside a record", even, -1, 30, {"list", "<SET>"}, 35,
       "molt: <LAST>: " + eof + "after F.BIN"},
  };
  for (std::size_t n = 0; n < cases.size(); ++n) {
    const SizeCase& c = cases[n];
    SCOPED_TRACE(c.name);
    // Built by appending, which GCC 12 does not mistake for an overlapping copy.
    std::string name = "s";
    name.append(std::to_string(n)).append("v%d.bin");
    const std::string set = dir / name;
    const std::vector<std::string> volumes = packwriter::WritePack(c.pack, set);
    const std::string& cut = c.cutVolume < 0 ? volumes.back() : volumes.at(c.cutVolume);
    const std::string bytes = ReadFileBytes(cut);
    WriteFileBytes(cut, bytes.substr(0, bytes.size() - c.cutBytes));
    const std::string out = Out("out" + std::to_string(n));

    std::vector<std::string> arguments = c.arguments;
    for (std::string& argument : arguments) {
      ReplaceAll(argument, "<SET>", set);
      ReplaceAll(argument, "<OUT>", out);
    }
    std::string expected = c.errorLine;
    for (std::size_t v = volumes.size(); v > 0; --v) {
      ReplaceAll(expected, "<V" + std::to_string(v) + ">", volumes[v - 1]);
    }
    ReplaceAll(expected, "<LAST>", volumes.back());
    ReplaceAll(expected, "<OUT>", out);
    const Result result = Run(arguments);
    if (c.status >= 0) {
      EXPECT_EQ(result.status, c.status) << result.err;
    } else {
      EXPECT_NE(result.status, 0) << result.err;
    }
    if (expected.empty()) {
      EXPECT_EQ(result.err, "");
      continue;
    }
    const std::vector<std::string> lines = result.ErrorLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().substr(0, expected.size()), expected) << result.err;
    if (expected.find("<V2>: ERR_INPUT_") != std::string::npos) {
      EXPECT_NE(lines.back().find("; " + v2Ends + "; it showed at "), std::string::npos) << result.err;
    }
    if (expected.find(fewer) != std::string::npos && c.cutVolume < 0) {
      EXPECT_NE(lines.back().find(lastEnds), std::string::npos) << result.err;
    }
  }
}

// --- extract ----------------------------------------------------------------

const std::set<std::string> kExtractedTree = {
    "DOCS/", "DOCS/Read me first.txt", "DOCS/SUB/", "DOCS/SUB/A.TXT", "EMPTY.TXT", "RO.DAT"};

TEST_F(MoltProgramTest, ExtractsInTheOldAndTheNewForm) {
  const std::string old = Out("old");
  const Result oldForm = Run({pack_, old});
  EXPECT_EQ(oldForm.status, 0) << oldForm.err;
  EXPECT_EQ(oldForm.err, "");
  EXPECT_EQ(testing_support::ListTree(old), kExtractedTree) << "OPTION.BIN has selection mask 2";
  EXPECT_EQ(ReadFileBytes(fs::path(old) / "DOCS" / "Read me first.txt"), kLongText);

  const std::string fresh = Out("new");
  const Result newForm = Run({"extract", pack_, fresh});
  EXPECT_EQ(newForm.status, 0) << newForm.err;
  EXPECT_EQ(testing_support::ListTree(fresh), kExtractedTree);
  EXPECT_EQ(ReadFileBytes(fs::path(fresh) / "DOCS" / "SUB" / "A.TXT"), "0123456789");
}

TEST_F(MoltProgramTest, ExtractsWhatAFilterWithSlashesSelects) {
  const std::string one = Out("one");
  const Result file = Run({"extract", "--filter", "docs/sub/a.txt", pack_, one});
  EXPECT_EQ(file.status, 0) << file.err;
  EXPECT_EQ(testing_support::ListTree(one), (std::set<std::string>{"DOCS/", "DOCS/SUB/", "DOCS/SUB/A.TXT"}));

  const std::string masked = Out("masked");
  const Result selected = Run({"-f", "/OPTION.BIN", pack_, masked});
  EXPECT_EQ(selected.status, 0) << selected.err;
  EXPECT_EQ(testing_support::ListTree(masked), (std::set<std::string>{"OPTION.BIN"})) << "a filter passes the mask";
}

TEST_F(MoltProgramTest, QuietExtractionTellsByItsStatusAlone) {
  const std::string out = Out();
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"extract", "--quiet", dir / "missing.dat", out},
        {"extract", "-q", dir / "missing.dat", out},
        {"-q", dir / "missing.dat", out}}) {
    SCOPED_TRACE(testing::PrintToString(arguments));
    const Result result = Run(arguments);
    EXPECT_EQ(result.status, 31);
    EXPECT_EQ(result.err, "");
  }
}

// An output the system refuses: the line ends its English text with the
// system's reason.
TEST_F(MoltProgramTest, AnOutputThatCannotBeMadeTellsTheSystemsReason) {
  const std::string out = Out();
  fs::create_directory(fs::path(out) / "EMPTY.TXT");  // where a file is to go
  const Result result = Run({"extract", pack_, out});
  EXPECT_EQ(result.status, 43);
  const std::vector<std::string> lines = result.ErrorLines();
  ASSERT_EQ(lines.size(), 1u) << result.err;
  const std::string expected = "molt: " + out + kSeparator +
                               "EMPTY.TXT: ERR_OUTPUT_OPEN (43): cannot open an output file";
  EXPECT_EQ(lines[0].substr(0, expected.size()), expected);
#ifndef _WIN32
  // Under Wine the error code does not outlast the rest of the call, so the
  // reason is held to its text only here.
  EXPECT_EQ(lines[0].substr(expected.size()), ": " + std::string(std::strerror(EISDIR)) +
                                                  "; 2 files extracted before it");
#endif
}

#ifndef _WIN32
// A listing that cannot be written tells why (POSIX: /dev/full refuses every write).
TEST_F(MoltProgramTest, AListingThatCannotBeWrittenTellsTheSystemsReason) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  const std::string command = Quoted(MOLT_PROGRAM) + " list " + Quoted(pack_) + " >/dev/full 2>" +
                              Quoted(dir / "stderr.txt");
  const int raw = std::system(command.c_str());
  EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, 44);
  EXPECT_EQ(ReadFileBytes(dir / "stderr.txt"),
            "molt: standard output: ERR_WRITE_DISK_FULL (44): the disk is full: " +
                std::string(std::strerror(ENOSPC)) + "; the output could not be written\n");
}
#endif

// --- the command line -------------------------------------------------------

TEST_F(MoltProgramTest, UsageErrorsExitWith2AReasonAndAHint) {
  const std::vector<std::vector<std::string>> cases = {
      {"--bogus", pack_}, {}, {"list"}, {"list", "--filter", "x", pack_}, {"extract", pack_, "a", "b"},
      {"list", "--codepage", "1", pack_}, {"list", "-q", pack_}};
  for (const std::vector<std::string>& arguments : cases) {
    SCOPED_TRACE(testing::PrintToString(arguments));
    const Result result = Run(arguments);
    EXPECT_EQ(result.status, 2);
    const std::vector<std::string> lines = result.ErrorLines();
    ASSERT_EQ(lines.size(), 2u) << result.err;
    EXPECT_EQ(lines[0].rfind("molt: ", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1], "Try 'molt --help' for more information.");
    EXPECT_EQ(result.out, "");
  }
  EXPECT_EQ(Run({"--bogus", pack_}).ErrorLines().at(0), "molt: unknown option --bogus");
}

TEST_F(MoltProgramTest, HelpAndVersion) {
  const Result help = Run({"--help"});
  EXPECT_EQ(help.status, 0);
  for (const char* part : {"usage: molt list", "molt test", "molt extract", "Exit status:", "Examples:",
                           "--json", "--filter", "--codepage"}) {
    EXPECT_NE(help.out.find(part), std::string::npos) << part;
  }
  const Result version = Run({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, std::string("molt ") + MOLT_PROJECT_VERSION + "\n");
}

// --- code page 932 ----------------------------------------------------------

// 'ソフト.TXT' in code page 932: the trail byte of 'ソ' is 0x5C, a backslash
// when the bytes are read one by one.
const std::string kSoftName = "\x83\x5C\x83\x74\x83\x67.TXT";

TEST_F(MoltProgramTest, CodePage932ReadsDoubleByteNames) {
  packwriter::Pack pack;
  pack.root = {packwriter::File(kSoftName, "soft")};
  const std::string path = packwriter::WritePack(pack, dir / "932.dat").front();
#ifdef _WIN32
  // Windows reads names in the system's code page, which only --codepage
  // of the same number is allowed to name.
  if (moltcli::NameCodePage() != "ansi-932") GTEST_SKIP() << "the system's code page is not 932";
  const std::string selected = "ansi-932";
#else
  const std::string selected = "932";
  const Result single = Run({"test", path});
  EXPECT_EQ(single.status, 34) << "single bytes: the name holds a backslash";
  EXPECT_NE(single.err.find("ERR_INPUT_FORMAT (34): the input file's data is not valid (format); "
                            "the extractor refuses this name"),
            std::string::npos)
      << single.err;
  const Result bytes = Run({"list", "--json", path});
  EXPECT_NE(bytes.out.find("\"path_hex\": \"835c837483672e545854\""), std::string::npos) << bytes.out;
  EXPECT_NE(Run({"list", path}).out.find(" (hex 835c837483672e545854)\n"), std::string::npos);
#endif

  const Result tested = Run({"test", "--codepage", "932", path});
  EXPECT_EQ(tested.status, 0) << tested.err;

  const Result text = Run({"list", "--codepage", "932", path});
  EXPECT_EQ(text.status, 0);
  EXPECT_NE(text.out.find("  \xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88.TXT\n"), std::string::npos)
      << text.out;

  const Result json = Run({"list", "--json", "--codepage", "932", path});
  EXPECT_EQ(json.status, 0);
  EXPECT_NE(json.out.find("\"code_page\": \"" + selected + "\""), std::string::npos) << json.out;
  EXPECT_NE(json.out.find("\"path\": \"\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88.TXT\","),
            std::string::npos)
      << json.out;
  EXPECT_EQ(json.out.find("path_hex"), std::string::npos);

  const std::string out = Out();
  const Result extracted = Run({"extract", "--codepage", "932", path, out});
  EXPECT_EQ(extracted.status, 0) << extracted.err;
  EXPECT_EQ(testing_support::ListTree(out).size(), 1u);
#ifndef _WIN32
  EXPECT_EQ(ReadFileBytes(fs::path(out) / kSoftName), "soft");
#endif
}

}  // namespace

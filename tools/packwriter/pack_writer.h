// The pack writer: builds packs from a description of a tree, byte for byte
// the same for the same description. It writes what it is told, hostile packs
// included (over-long names, wrong sizes and CRCs, missing end tags, raw bytes
// anywhere, cut streams, wrong file numbers), so tests can describe both the
// packs the extractor must read and the ones it must refuse.
//
// Byte strings are std::string throughout; every byte value is allowed.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace packwriter {

// A description the writer cannot carry out (a volume size too small for its
// headers, a bad volume-name format, a file that cannot be written...).
class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The five MS-DOS date and time words of an entry.
struct DosTimes {
  std::uint16_t creationTime = 0;
  std::uint16_t creationDate = 0;
  std::uint16_t lastAccessDate = 0;
  std::uint16_t lastWriteTime = 0;
  std::uint16_t lastWriteDate = 0;
};

// MS-DOS words from calendar fields (no range checks: tests may want odd values).
std::uint16_t DosDate(int year, int month, int day);
std::uint16_t DosTime(int hour, int minute, int second);

// How a file's data is put into the stream.
enum class DataMode {
  kStored,    // the contents themselves
  kDeflate,   // raw DEFLATE of the contents (level, strategy)
  kSupplied,  // `packedData` verbatim; ENTRY_DEFLATED as `suppliedDeflated` says
};

// One item of a record stream: a directory, a file, or raw bytes.
struct Entry {
  enum class Kind { kDirectory, kFile, kRaw };
  Kind kind = Kind::kFile;

  // Names. The short name is written as given plus a NUL, whatever its length.
  // A long name sets ENTRY_LONG_NAME; its size field is strlen + 1 (up to a
  // NUL inside it, if any) unless `longNameSize` says otherwise.
  std::string shortName;
  std::optional<std::string> longName;
  std::optional<std::uint16_t> longNameSize;
  std::uint16_t shortNameField = 0;  // the 2-byte field before the short name

  // Common part.
  std::uint32_t selectionMask = 0;
  std::uint16_t extraFlags = 0;               // ORed into the computed flags
  std::optional<std::uint16_t> flags;         // replaces the computed flags
  std::uint16_t attributes = 0;
  std::uint16_t reserved = 0;
  DosTimes times;

  // Files.
  std::string data;  // the contents (what CRC-32 and original size describe)
  DataMode mode = DataMode::kStored;
  int level = 6;      // zlib level for kDeflate
  int strategy = 0;   // zlib strategy for kDeflate (Z_DEFAULT_STRATEGY)
  std::string packedData;        // for kSupplied
  bool suppliedDeflated = true;  // for kSupplied: set ENTRY_DEFLATED
  std::optional<std::uint32_t> crc;           // default: zlib crc32 of `data`
  std::optional<std::uint32_t> packedSize;    // default: bytes of data in the stream
  std::optional<std::uint32_t> originalSize;  // default: data.size()

  // Directories.
  std::vector<Entry> children;
  std::optional<std::uint32_t> contentsSize;  // default: bytes after the names
                                              // up to and including the end tag
  bool endTag = true;  // false: no TAG_END_DIRECTORY is written

  // Raw items: these bytes, verbatim.
  std::string raw;
};

// Factories for the common cases; tweak the fields of the result for the rest.
Entry File(std::string shortName, std::string data);
Entry DeflatedFile(std::string shortName, std::string data, int level = 6,
                   int strategy = 0);
Entry Directory(std::string shortName, std::vector<Entry> children = {});
Entry Raw(std::string bytes);
// The entry with a long name added (ENTRY_LONG_NAME); its short name stays.
Entry WithLongName(Entry entry, std::string longName);

// Where one item landed in the plain stream (offsets into Stream::bytes).
struct RecordSpan {
  Entry::Kind kind = Entry::Kind::kFile;
  std::string path;         // short names from the root, joined by '/'; empty for raw items
  std::size_t start = 0;    // the first byte of the tag (of the raw bytes)
  std::size_t namesEnd = 0; // after the names: a file's data or a directory's contents start here
  std::size_t end = 0;      // after the file's data / the directory's end tag (or its
                            // last child when it has none) / the raw bytes
};

// A record stream, unscrambled, with its items in stream order.
struct Stream {
  std::string bytes;
  std::vector<RecordSpan> records;
};

Stream BuildStream(const std::vector<Entry>& root);

// A whole pack.
struct Pack {
  std::uint16_t version = 0x0100;
  std::uint32_t productNumber = 0;
  std::array<std::uint8_t, 36> archiveBlock{};

  std::vector<Entry> root;
  // When set, used as the record stream instead of building `root`.
  std::optional<std::string> streamOverride;
  // When set, the stream is cut to this many bytes (if longer).
  std::optional<std::size_t> cutAt;

  // Volumes. A single-volume pack has file number 0 and no set block. A set
  // has volumes numbered 1..N, FILE_NUMBER_LAST on the last one, and the set
  // block in volume 1. A set is split at `splitAt` (stream offsets where the
  // next volume starts, ascending) or else by `maxVolumeSize` (bytes of each
  // volume file, headers included); with neither it is a set of one volume.
  bool isSet = false;
  std::vector<std::size_t> splitAt;
  std::size_t maxVolumeSize = 0;
  std::map<std::size_t, std::uint16_t> fileNumberOverride;  // key: volume index from 0
  std::optional<std::uint32_t> packSizeOverride;  // default: total bytes of all volume files
  std::array<std::uint8_t, 12> setBlockTail{};    // bytes 16..27 of volume 1
};

// The volume files, unscrambled and scrambled.
std::vector<std::string> BuildPlainVolumes(const Pack& pack);
std::vector<std::string> BuildVolumes(const Pack& pack);

// XORs each byte with the key byte of its offset in its volume file; the same
// call scrambles and descrambles. `fileOffset` is the offset of bytes[0].
void Scramble(std::string& bytes, std::uint64_t fileOffset = 0);

// The record stream of a pack, from its scrambled volume files: descrambled,
// headers (and set block and archive block) dropped, volumes joined.
std::string StreamFromVolumes(const std::vector<std::string>& volumes);

// Volume k's name from a printf-style format, by the extractor's own rule:
// '%%' for a percent sign and at most one conversion '%' [flags '-+ 0#']
// [width] one of 'd i u x X o'. Throws Error for anything else, and for a
// number beyond 16 bits.
std::string FormatVolumeName(const std::string& format, unsigned volumeNumber);

// Writes the volume files named by `format` (volume k gets number k, from 1;
// a single-volume pack is formatted with 1). Returns the paths written.
std::vector<std::string> WritePack(const Pack& pack, const std::string& format);

// Writes the volume files under the given paths (one per volume, else Error)
// and a list file holding those paths, one per line with "\n" endings.
// Returns the volume paths written.
std::vector<std::string> WritePackWithList(const Pack& pack,
                                           const std::vector<std::string>& volumePaths,
                                           const std::string& listPath);

// The text of a list file naming these volumes.
std::string ListFileText(const std::vector<std::string>& names);

// Helpers shared with tests and tools.
std::uint32_t Crc32(const std::string& data);
std::string DeflateRaw(const std::string& data, int level = 6, int strategy = 0);
std::string InflateRaw(const std::string& packed);  // throws Error on a bad stream

// A plain reading of a well-formed record stream, for checks in tests and
// tools. Throws Error where the stream is not well formed.
struct ListedRecord {
  Entry::Kind kind = Entry::Kind::kFile;
  std::string path;  // names from the root (long name if any, else short), joined by '/'
  std::string shortName;
  std::optional<std::string> longName;
  std::uint16_t flags = 0;
  std::uint16_t attributes = 0;
  DosTimes times;
  std::uint32_t selectionMask = 0;
  std::uint32_t crc = 0;           // files
  std::uint32_t packedSize = 0;    // files
  std::uint32_t size = 0;          // files: original size; directories: contents size
  std::string packedData;          // files
};
std::vector<ListedRecord> ListRecords(const std::string& plainStream);

}  // namespace packwriter

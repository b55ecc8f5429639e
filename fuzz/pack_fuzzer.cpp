// libFuzzer target: the fuzzer's bytes become the record stream of a
// single-volume pack, which the extractor unpacks into a scratch folder.
// Built twice: as a whole stream (records and data), and with
// MOLT_FUZZ_DEFLATE, where the bytes are the data of one compressed file so
// that the decoder is reached at once.
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "context.h"
#include "extract.h"
#include "pack_format.h"

namespace {

namespace fs = std::filesystem;

void Put16(std::string& out, std::uint16_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>(value >> 8);
}

void Put32(std::string& out, std::uint32_t value) {
  Put16(out, static_cast<std::uint16_t>(value & 0xFFFF));
  Put16(out, static_cast<std::uint16_t>(value >> 16));
}

#ifdef MOLT_FUZZ_DEFLATE
// One file record whose data is the given DEFLATE stream.
std::string DeflatedFileRecord(const std::uint8_t* data, std::size_t size) {
  std::string record;
  Put32(record, molt::TAG_FILE);
  Put32(record, 0);                     // selection mask
  Put16(record, molt::ENTRY_DEFLATED);  // flags
  for (int i = 0; i < 7; ++i) Put16(record, 0);  // attributes, reserved, times
  Put32(record, 0);                              // CRC-32
  Put32(record, static_cast<std::uint32_t>(size));
  Put32(record, 1 << 20);  // original size: the output bound
  Put16(record, 0);
  record += std::string("f\0", 2);
  record.append(reinterpret_cast<const char*>(data), size);
  return record;
}
#endif

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

const fs::path& Scratch() {
  static const fs::path scratch = [] {
    fs::path path = fs::temp_directory_path() / ("molt-fuzz-" + std::to_string(::getpid()));
    fs::create_directories(path);
    return path;
  }();
  return scratch;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
#ifdef MOLT_FUZZ_DEFLATE
  const std::string stream = DeflatedFileRecord(data, size);
#else
  const std::string stream(reinterpret_cast<const char*>(data), size);
#endif
  const fs::path pack = Scratch() / "pack.bin";
  const fs::path out = Scratch() / "out";
  {
    std::ofstream file(pack, std::ios::binary | std::ios::trunc);
    const std::string volume = Volume(stream);
    file.write(volume.data(), static_cast<std::streamsize>(volume.size()));
  }
  std::error_code ignored;
  fs::remove_all(out, ignored);
  fs::create_directory(out);
  // A fresh extractor each time, as a freshly loaded library would be.
  auto context = std::make_unique<molt::Context>(molt::platform::SystemPlatform());
  molt::Molt(*context, pack.c_str(), out.c_str(), nullptr, 2, "UNPACK");
  return 0;
}

// The example pack of the format: a directory 'DOCS' holding a stored 10-byte
// file 'A.TXT', no long names, in a single volume of 141 bytes.
#include <gtest/gtest.h>

#include "bytes_at.h"
#include "pack_writer.h"

namespace {

std::vector<std::string> ExampleVolumes() {
  packwriter::Pack pack;
  pack.root = {packwriter::Directory("DOCS", {packwriter::File("A.TXT", "0123456789")})};
  return packwriter::BuildVolumes(pack);
}

TEST(FormatExample, IsOneVolumeOf141Bytes) {
  const std::vector<std::string> volumes = ExampleVolumes();
  ASSERT_EQ(volumes.size(), 1u);
  EXPECT_EQ(volumes[0].size(), 141u);
}

TEST(FormatExample, MatchesTheLayoutByteForByte) {
  const std::string plain = Unscrambled(ExampleVolumes().at(0));
  ASSERT_EQ(plain.size(), 141u);

  // Volume header, file number 0; then the archive block at 12, all zeros here.
  EXPECT_EQ(plain.substr(0, 4), "lvrO");
  EXPECT_EQ(U16At(plain, 4), 0x0100);
  EXPECT_EQ(U16At(plain, 6), 0);
  EXPECT_EQ(plain.substr(12, 36), std::string(36, '\0'));

  // 'DOCS': tag, common part (flags 0), contents size 58 (offsets 83..140), names.
  EXPECT_EQ(plain.substr(48, 4), " riD");
  EXPECT_EQ(plain.substr(52, 20), std::string(20, '\0'));
  EXPECT_EQ(U32At(plain, 72), 58u);
  EXPECT_EQ(U16At(plain, 76), 0);
  EXPECT_EQ(plain.substr(78, 5), std::string("DOCS\0", 5));

  // 'A.TXT': tag, common part (flags 0: stored), CRC-32, packed and original size, names, data.
  EXPECT_EQ(plain.substr(83, 4), "eliF");
  EXPECT_EQ(plain.substr(87, 20), std::string(20, '\0'));
  EXPECT_EQ(U32At(plain, 107), 0xA684C7C6u);  // CRC-32 of "0123456789"
  EXPECT_EQ(U32At(plain, 111), 10u);
  EXPECT_EQ(U32At(plain, 115), 10u);
  EXPECT_EQ(U16At(plain, 119), 0);
  EXPECT_EQ(plain.substr(121, 6), std::string("A.TXT\0", 6));
  EXPECT_EQ(plain.substr(127, 10), "0123456789");

  EXPECT_EQ(plain.substr(137, 4), "Dir ");
}

TEST(FormatExample, EveryByteIsScrambledWithTheKeyOfItsOffset) {
  const std::string volume = ExampleVolumes().at(0);
  // The signature is known plain text, so these bytes are the key itself XOR "lvrO".
  const std::string signature = "lvrO";
  for (std::size_t i = 0; i < signature.size(); ++i) {
    EXPECT_EQ(static_cast<std::uint8_t>(volume[i]),
              static_cast<std::uint8_t>(signature[i]) ^ KeyByteAt(i))
        << "offset " << i;
  }
  // The tag at offset 48 starts again at key index 0.
  EXPECT_EQ(static_cast<std::uint8_t>(volume[48]), static_cast<std::uint8_t>(' ') ^ KeyByteAt(0));
}

}  // namespace

// Reading the machine type from a PE header, on well-formed and damaged images.
#include "pe_machine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace launcher {
namespace {

std::vector<unsigned char> Image(uint16_t machine, uint16_t characteristics, uint32_t ntOffset = 0x80) {
  std::vector<unsigned char> bytes(0x200, 0);
  bytes[0] = 'M';
  bytes[1] = 'Z';
  for (int i = 0; i < 4; ++i) bytes[0x3c + i] = static_cast<unsigned char>(ntOffset >> (8 * i));
  if (ntOffset + 24 <= bytes.size()) {
    bytes[ntOffset] = 'P';
    bytes[ntOffset + 1] = 'E';
    bytes[ntOffset + 4] = static_cast<unsigned char>(machine);
    bytes[ntOffset + 5] = static_cast<unsigned char>(machine >> 8);
    bytes[ntOffset + 22] = static_cast<unsigned char>(characteristics);
    bytes[ntOffset + 23] = static_cast<unsigned char>(characteristics >> 8);
  }
  return bytes;
}

TEST(PeHeader, ReadsMachineAndDllFlag) {
  struct Case {
    uint16_t machine, characteristics;
    bool dll;
  } cases[] = {{0x8664, 0x2022, true}, {0x014c, 0x2102, true}, {0x014c, 0x0102, false}, {0xaa64, 0x2022, true}};
  for (const Case& c : cases) {
    const auto image = Image(c.machine, c.characteristics);
    const PeImageInfo info = ParsePeHeader(image.data(), image.size());
    EXPECT_TRUE(info.isPe);
    EXPECT_EQ(c.machine, info.machine);
    EXPECT_EQ(c.dll, info.isDll);
  }
}

TEST(PeHeader, RejectsWhatIsNotAPeImage) {
  const std::string text = "this is not a library\r\n";
  EXPECT_FALSE(ParsePeHeader(reinterpret_cast<const unsigned char*>(text.data()), text.size()).isPe);
  auto outside = Image(0x8664, 0x2022, 0x7ffffff0);  // header offset beyond the file
  EXPECT_FALSE(ParsePeHeader(outside.data(), outside.size()).isPe);
  auto late = Image(0x8664, 0x2022, 0x1f0);  // no room for the file header
  EXPECT_FALSE(ParsePeHeader(late.data(), late.size()).isPe);
  auto noSignature = Image(0x8664, 0x2022);
  noSignature[0x80] = 'X';
  EXPECT_FALSE(ParsePeHeader(noSignature.data(), noSignature.size()).isPe);
  EXPECT_FALSE(ParsePeHeader(noSignature.data(), 10).isPe);
}

TEST(PeHeader, NamesArchitectures) {
  char name[64];
  DescribeMachine(0x8664, name, sizeof name);
  EXPECT_STREQ("x64 (64-bit)", name);
  DescribeMachine(0x014c, name, sizeof name);
  EXPECT_STREQ("x86 (32-bit)", name);
  DescribeMachine(0x1234, name, sizeof name);
  EXPECT_STREQ("unknown machine 0x1234", name);
}

}  // namespace
}  // namespace launcher

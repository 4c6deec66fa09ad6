#include "engine/PeImage.h"

#include <gtest/gtest.h>

#include <string>

namespace vx {
namespace {

void Put32(std::string& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
void Put16(std::string& b, size_t at, uint16_t v) {
  b[at] = static_cast<char>(v & 0xFF);
  b[at + 1] = static_cast<char>(v >> 8);
}

// Headers of an image with the given optional-header size and sections (raw offset, raw size).
std::string Image(uint16_t optionalSize, std::initializer_list<std::pair<uint32_t, uint32_t>> sections) {
  std::string b(1024, '\0');
  b[0] = 'M';
  b[1] = 'Z';
  Put32(b, 0x3C, 0x80);
  b.replace(0x80, 4, std::string("PE\0\0", 4));
  Put16(b, 0x84 + 2, static_cast<uint16_t>(sections.size()));
  Put16(b, 0x84 + 16, optionalSize);
  size_t table = 0x84 + 20 + optionalSize;
  for (auto [offset, size] : sections) {
    Put32(b, table + 16, size);
    Put32(b, table + 20, offset);
    table += 40;
  }
  return b;
}

TEST(PeImage, EndIsTheFurthestSectionOfEitherLayout) {
  // 224 bytes: the 32-bit optional header; 240 bytes: the 64-bit one.
  EXPECT_EQ(PeImageEnd(Image(224, {{0x400, 0x200}, {0x1000, 0x800}, {0x600, 0x100}})), 0x1800u);
  EXPECT_EQ(PeImageEnd(Image(240, {{0x400, 0x10000}, {0x10400, 0x200}})), 0x10600u);
  EXPECT_EQ(PeImageEnd(Image(240, {})), 0u);
}

TEST(PeImage, DamagedHeadersAreRefusedNotReadPast) {
  std::string image = Image(224, {{0x400, 0x200}});
  EXPECT_EQ(PeImageEnd(image.substr(0, 0x84 + 20 + 224 + 20)), std::nullopt);  // section header cut short
  std::string farAway = image;
  Put32(farAway, 0x3C, 0xFFFFFFF0);
  EXPECT_EQ(PeImageEnd(farAway), std::nullopt);
  std::string manySections = image;
  Put16(manySections, 0x84 + 2, 0xFFFF);
  EXPECT_EQ(PeImageEnd(manySections), std::nullopt);
  EXPECT_EQ(PeImageEnd("MZ"), std::nullopt);
  EXPECT_EQ(PeImageEnd("not an image at all"), std::nullopt);
  EXPECT_EQ(PeImageEnd(""), std::nullopt);
}

}  // namespace
}  // namespace vx

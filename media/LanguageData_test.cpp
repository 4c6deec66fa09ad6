#include "media/LanguageData.h"

#include <gtest/gtest.h>

namespace vx {
namespace {

// A PE file whose one section ends at imageEnd, padded to that size.
std::string Library(uint32_t imageEnd) {
  std::string b(imageEnd, '\0');
  b[0] = 'M';
  b[1] = 'Z';
  auto put = [&](size_t at, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  put(0x3C, 0x80, 4);
  b.replace(0x80, 4, std::string("PE\0\0", 4));
  put(0x84 + 2, 1, 2);      // one section
  put(0x84 + 16, 240, 2);   // 64-bit optional header
  size_t section = 0x84 + 20 + 240;
  put(section + 16, imageEnd - 0x200, 4);  // raw size
  put(section + 20, 0x200, 4);             // raw offset
  return b;
}

TEST(LanguageData, AppendedAfterTheImageAndReadBack) {
  const std::string library = Library(0x800);
  EXPECT_EQ(DataAfterImage(library), std::nullopt);  // nothing appended

  auto withData = WithLanguageData(library, "line 1\r\nline 2\r\n");
  ASSERT_TRUE(withData);
  EXPECT_EQ(withData->size(), 0x800u + 16);
  EXPECT_EQ(DataAfterImage(*withData), std::optional<std::string_view>("line 1\r\nline 2\r\n"));

  // Appending again replaces the earlier data instead of stacking it.
  auto replaced = WithLanguageData(*withData, "other");
  ASSERT_TRUE(replaced);
  EXPECT_EQ(DataAfterImage(*replaced), std::optional<std::string_view>("other"));

  // Not an image: nothing read, nothing written.
  EXPECT_EQ(DataAfterImage("plain text, no headers"), std::nullopt);
  EXPECT_EQ(WithLanguageData("plain text", "x"), std::nullopt);
  // An image cut short before its end carries nothing.
  EXPECT_EQ(DataAfterImage(library.substr(0, 0x600)), std::nullopt);
}

}  // namespace
}  // namespace vx

#include "script/Text.h"

#include <gtest/gtest.h>

namespace vx {
namespace {

TEST(Text, Utf8RoundTripKeepsEveryPlane) {
  const std::string utf8 = "Program Files \xC3\xA9\xE2\x82\xAC \xF0\x9F\x98\x80 \xD0\x96";
  Text text = Utf8ToText(utf8);
  EXPECT_EQ(text.size(), 21u);  // the emoji counts two UTF-16 code units
  EXPECT_EQ(TextToUtf8(text), utf8);
}

TEST(Text, MalformedUtf8BecomesReplacementCharacters) {
  EXPECT_EQ(Utf8ToText("a\xC3"), u"a\uFFFD");
  EXPECT_EQ(Utf8ToText("\xE2\x82"), u"\uFFFD\uFFFD");
  EXPECT_EQ(Utf8ToText("\xC0\x80"), u"\uFFFD\uFFFD");  // overlong NUL
  EXPECT_EQ(Utf8ToText("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");  // encoded surrogate
}

TEST(Text, CaseFoldingIsOneUnitForOneUnit) {
  EXPECT_EQ(LowerText(u"C:\\PROGRAM FILES\\ÄÖÜ ŁÓDŹ ДОМ"), u"c:\\program files\\äöü łódź дом");
  EXPECT_EQ(UpperText(u"straße ÿ"), u"STRAßE Ÿ");
  EXPECT_TRUE(SameText(u"TargetDir", u"TARGETDIR"));
  EXPECT_FALSE(SameText(u"TargetDir", u"TARGETDIR2"));
  EXPECT_EQ(LowerChar(u'×'), u'×');
}

TEST(Text, WholeNumbers) {
  struct Case { const char16_t* text; std::optional<int32_t> value; };
  const Case cases[] = {
      {u"0", 0}, {u" 42 ", 42}, {u"-2147483648", INT32_MIN}, {u"2147483647", INT32_MAX},
      {u"2147483648", std::nullopt}, {u"", std::nullopt}, {u"-", std::nullopt}, {u"12a", std::nullopt},
      {u"+7", 7}, {u"0x10", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(TextToInt32(c.text), c.value) << TextToUtf8(c.text);
  EXPECT_EQ(TextToInt64(u"9223372036854775807"), INT64_MAX);
  EXPECT_EQ(TextToInt64(u"-9223372036854775808"), INT64_MIN);
}

}  // namespace
}  // namespace vx

#include "media/ArchiveRules.h"

#include <gtest/gtest.h>

#include "oxalib/OxaInterface.h"

namespace vx {
namespace {

const char* kLevel2 = "-ms=on -mhc=on -m0=BCJ2 -m1=LZMA2 -m1d=23 -m1mf=bt4 -m1fb=64 ";
const char* kLevel3 =
    "-ms=on -mhc=on -m0=BCJ2 -m1=LZMA2 -m1d=25 -m1mf=bt4 -m1fb=64 -m2=LZMA2 -m2d=20 -m2mf=bt4 "
    "-m2fb=64 -m3=LZMA2 -m3d=20 -m3mf=bt4 -m3fb=64 -mb0:1 -mb0s1:2 -mb0s2:3 ";
const char* kLevel4 =
    "-ms=on -mhc=on -m0=BCJ2 -m1=LZMA2 -m1d=26 -m1mf=bt4 -m1fb=64 -m2=LZMA2 -m2d=20 -m2mf=bt4 "
    "-m2fb=64 -m3=LZMA2 -m3d=20 -m3mf=bt4 -m3fb=64 -mb0:1 -mb0s1:2 -mb0s2:3 ";

TEST(CompressionSwitches, EveryLevelAndProcessorCount) {
  struct Case {
    const char* level;
    bool encrypt;
    unsigned processors;
    std::string expected;
  };
  const Case cases[] = {
      // The worked example: level 2, four processors, headers not encrypted.
      {"2", false, 4, std::string("-ssw -mhe=off -mmt=4 ") + kLevel2},
      {"0", true, 1, "-ssw -mhe=on -mmt=off -ms=off -mhc=off -m0=None -m0=Copy "},
      {"0", false, 2, "-ssw -mhe=off -mmt=2 -ms=off -mhc=off -m0=None -m0=Copy "},
      {"1", true, 8, "-ssw -mhe=on -mmt=8 -ms=on -mhc=on -m0=BCJ2 -m1=LZMA2 -m1d=23 -m1mf=hc4 -m1fb=64 "},
      {"1", false, 0, "-ssw -mhe=off -mmt=off -ms=on -mhc=on -m0=BCJ2 -m1=LZMA2 -m1d=23 -m1mf=hc4 -m1fb=64 "},
      {"2", true, 1, std::string("-ssw -mhe=on -mmt=off ") + kLevel2},
      {"2", true, 16, std::string("-ssw -mhe=on -mmt=16 ") + kLevel2},
      // Level 3 (dictionary 2^25): three threads from three processors up, else the count.
      {"3", true, 2, std::string("-ssw -mhe=on -mmt=2 ") + kLevel3},
      {"3", true, 3, std::string("-ssw -mhe=on -mmt=3 ") + kLevel3},
      {"3", false, 12, std::string("-ssw -mhe=off -mmt=3 ") + kLevel3},
      {"3", false, 1, std::string("-ssw -mhe=off -mmt=off ") + kLevel3},
      // Levels 4 to 6 (dictionary 2^26): two threads whatever the count above one.
      {"4", true, 2, std::string("-ssw -mhe=on -mmt=2 ") + kLevel4},
      {"4", true, 64, std::string("-ssw -mhe=on -mmt=2 ") + kLevel4},
      {"5", false, 4, std::string("-ssw -mhe=off -mmt=2 ") + kLevel4},
      {"6", false, 1, std::string("-ssw -mhe=off -mmt=off ") + kLevel4},
      // Any other text is level 4.
      {"9", true, 4, std::string("-ssw -mhe=on -mmt=2 ") + kLevel4},
      {"", false, 3, std::string("-ssw -mhe=off -mmt=2 ") + kLevel4},
      {"ultra", true, 1, std::string("-ssw -mhe=on -mmt=off ") + kLevel4},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TextToUtf8(CompressionSwitches(T(c.level), c.encrypt, c.processors)), c.expected)
        << "level " << c.level << " encrypt " << c.encrypt << " processors " << c.processors;
  }
}

TEST(CompressionSwitches, RecognizesLevelAndHeaderFlag) {
  struct Case {
    std::string switches;
    int level;
    bool encrypt;
  };
  const unsigned n = 4;
  const Case cases[] = {
      {TextToUtf8(CompressionSwitches(u"2", false, n)), 2, false},
      {TextToUtf8(CompressionSwitches(u"3", true, n)), 3, true},
      // Levels 4, 5 and 6 share their text; the first in the search order wins.
      {TextToUtf8(CompressionSwitches(u"6", false, n)), 4, false},
      {TextToUtf8(UpperText(CompressionSwitches(u"3", false, n))), 3, false},
      // Levels 0 and 1 and foreign texts have no lower level: 0 with encrypted headers.
      {TextToUtf8(CompressionSwitches(u"1", false, n)), 0, true},
      {TextToUtf8(CompressionSwitches(u"0", false, n)), 0, true},
      {"-mx=9", 0, true},
      // Made for another processor count: not recognised.
      {TextToUtf8(CompressionSwitches(u"2", false, 8)), 0, true},
  };
  for (const Case& c : cases) {
    RecognizedSwitches r = RecognizeSwitches(Utf8ToText(c.switches), n);
    EXPECT_EQ(r.level, c.level) << c.switches;
    EXPECT_EQ(r.encryptHeaders, c.encrypt) << c.switches;
  }
}

TEST(CompressionSwitches, RetryLadderOfBothColumns) {
  struct Case {
    int d;
    bool wide;
    const char* retries[3];
  };
  const Case cases[] = {
      {3, false, {"2", "1", "1"}},
      {4, false, {"3", "2", "1"}},
      {2, false, {"1", "0", "1"}},
      {6, false, {"5", "4", "1"}},
      {2, true, {"6", "5", "2"}},
      {4, true, {"6", "5", "2"}},
      {5, true, {"4", "3", "2"}},
      {6, true, {"5", "4", "2"}},
  };
  for (const Case& c : cases) {
    for (int retry = 1; retry <= 3; ++retry) {
      EXPECT_EQ(TextToUtf8(RetryLevel(c.d, retry, c.wide)), c.retries[retry - 1])
          << "d " << c.d << " wide " << c.wide << " retry " << retry;
    }
  }
}

TEST(ItemLists, NormalizeAndRemoveDuplicates) {
  EXPECT_EQ(NormalizeItemPath(u"C:\\data\\*.*"), u"C:\\data\\*");
  EXPECT_EQ(NormalizeItemPath(u"C:\\*.*\\*.*"), u"C:\\*\\*.*");  // only the first
  EXPECT_EQ(NormalizeItemPath(u"C:\\data\\a.txt"), u"C:\\data\\a.txt");

  std::vector<Text> items = {u"a.txt", u"B.txt", u"A.TXT", u"c", u"b.txt"};
  EXPECT_EQ(RemoveDuplicateItems(items), (std::vector<Text>{u"A.TXT", u"c", u"b.txt"}));
}

TEST(SwitchText, BecomesHandlerProperties) {
  auto parsed = ParseSwitchText(u"-ssw -mhe=on -mmt=3 -m0=BCJ2 -mb0s1:2 -mx=9  -m1d=26");
  ASSERT_TRUE(parsed);
  EXPECT_TRUE(parsed->shareForWrite);
  const std::vector<std::pair<Text, Text>> expected = {
      {u"he", u"on"}, {u"mt", u"3"}, {u"0", u"BCJ2"}, {u"b0s1:2", u""}, {u"x", u"9"}, {u"1d", u"26"}};
  EXPECT_EQ(parsed->properties, expected);

  auto none = ParseSwitchText(u"");
  ASSERT_TRUE(none);
  EXPECT_FALSE(none->shareForWrite);
  EXPECT_TRUE(none->properties.empty());

  for (const char16_t* bad : {u"-p secret", u"mx=9", u"-m", u"-m=on", u"-sdel", u"-"}) {
    EXPECT_FALSE(ParseSwitchText(bad)) << TextToUtf8(bad);
  }
  // Every level's text is accepted.
  for (const char16_t* level : {u"0", u"1", u"2", u"3", u"4"}) {
    EXPECT_TRUE(ParseSwitchText(CompressionSwitches(level, true, 4))) << TextToUtf8(level);
  }
}

TEST(EntryPaths, NeverLeaveTheTargetFolder) {
  struct Case {
    const char16_t* entry;
    const char16_t* tree;  // nullptr: refused
    const char16_t* flat;
  };
  const Case cases[] = {
      {u"a.txt", u"a.txt", u"a.txt"},
      {u"dir/sub/b.bin", u"dir\\sub\\b.bin", u"b.bin"},
      {u"dir\\.\\c", u"dir\\c", u"c"},
      {u"dir//d", u"dir\\d", u"d"},
      {u"dir/", u"dir", u"dir"},
      {u"..\\evil.txt", nullptr, nullptr},
      {u"dir/../../evil.txt", nullptr, nullptr},
      {u"dir/..", nullptr, nullptr},
      {u"dir/... /x", nullptr, nullptr},
      {u"\\Windows\\evil.dll", nullptr, nullptr},
      {u"/etc/passwd", nullptr, nullptr},
      {u"\\\\server\\share\\x", nullptr, nullptr},
      {u"C:\\evil.txt", nullptr, nullptr},
      {u"C:evil.txt", nullptr, nullptr},
      {u"file.txt:stream", nullptr, nullptr},
      {u"dir/CON", nullptr, nullptr},
      {u"nul.txt", nullptr, nullptr},
      {u"LPT1", nullptr, nullptr},
      {u"console.txt", u"console.txt", u"console.txt"},
      {u"..a\\b..", u"..a\\b..", u"b.."},
      {u"", nullptr, nullptr},
      {u".", nullptr, nullptr},
  };
  for (const Case& c : cases) {
    auto tree = SafeEntryPath(c.entry, false);
    auto flat = SafeEntryPath(c.entry, true);
    if (c.tree) {
      ASSERT_TRUE(tree) << TextToUtf8(c.entry);
      EXPECT_EQ(*tree, c.tree);
      ASSERT_TRUE(flat) << TextToUtf8(c.entry);
      EXPECT_EQ(*flat, c.flat);
    } else {
      EXPECT_FALSE(tree) << TextToUtf8(c.entry);
      EXPECT_FALSE(flat) << TextToUtf8(c.entry);
    }
  }
}

TEST(EntryPaths, ItemsSelectEntriesAndFolders) {
  struct Case {
    const char16_t* item;
    const char16_t* entry;
    bool selected;
  };
  const Case cases[] = {
      {u"docs\\readme.txt", u"docs\\readme.txt", true},
      {u"DOCS/README.TXT", u"docs\\readme.txt", true},
      {u"docs", u"docs\\readme.txt", true},
      {u"docs\\", u"docs\\sub\\x", true},
      {u"doc", u"docs\\readme.txt", false},
      {u"docs\\readme", u"docs\\readme.txt", false},
      {u"*", u"a\\b\\c.txt", true},
      {u"*.txt", u"readme.txt", true},
      {u"*.txt", u"readme.bin", false},
      {u"d?cs", u"docs\\x.bin", true},
      {u"docs\\*.txt", u"docs\\a.txt", true},
      {u"docs\\*.txt", u"other\\a.txt", false},
      {u"", u"a", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ItemSelectsEntry(c.item, c.entry), c.selected)
        << TextToUtf8(c.item) << " / " << TextToUtf8(c.entry);
  }
}

TEST(OutOfProcessFiles, RoundTrip) {
  ExtractParameters p{u"C:\\media\\block \u00e9.7zip", u"p\u00e4ss", u"C:\\target\\", true, false};
  std::string text = FormatExtractParameters(p);
  EXPECT_EQ(text, "C:\\media\\block \xC3\xA9.7zip\r\np\xC3\xA4ss\r\nC:\\target\\\r\nTRUE\r\nFALSE\r\n");
  ExtractParameters back = ParseExtractParameters("\xEF\xBB\xBF" + text);
  EXPECT_EQ(back.archive, p.archive);
  EXPECT_EQ(back.password, p.password);
  EXPECT_EQ(back.targetFolder, p.targetFolder);
  EXPECT_TRUE(back.noPaths);
  EXPECT_FALSE(back.overwriteAll);

  // A short or foreign file reads missing values as empty and flags as false.
  ExtractParameters partial = ParseExtractParameters("only.7z\nsecret");
  EXPECT_EQ(partial.archive, u"only.7z");
  EXPECT_EQ(partial.password, u"secret");
  EXPECT_TRUE(partial.targetFolder.empty());
  EXPECT_FALSE(partial.noPaths);

  EXPECT_EQ(FormatItemLines({}), "");
  EXPECT_EQ(ParseItemLines(FormatItemLines({u"a\\b.txt", u"c d"})), (std::vector<Text>{u"a\\b.txt", u"c d"}));
  EXPECT_TRUE(ParseItemLines("\r\n\r\n").empty());

  EXPECT_EQ(FirstLine("\xEF\xBB\xBF#1018\r\nmore"), u"#1018");
  EXPECT_EQ(FirstLine("\r\n"), u"");
  EXPECT_EQ(FirstLine(""), u"");
}

TEST(LibraryInterface, ErrorTexts) {
  EXPECT_EQ(ArchiveErrorText(oxa::kErrorOutOfMemory), u"#1018");
  EXPECT_EQ(ArchiveErrorText(oxa::kErrorExtractorNotStarted), u"#1016");
  EXPECT_EQ(ArchiveErrorText(oxa::kErrorUnsupportedOrPassword),
            u"The archive cannot be opened: unsupported archive or incorrect password");
}

TEST(LibraryInterface, NoPathsFlagFlattens) {
  EXPECT_EQ(oxa::PathModeFor(false), oxa::kPathModeKeepTree);
  EXPECT_EQ(oxa::PathModeFor(true), oxa::kPathModeFlatten);
  EXPECT_EQ(sizeof(oxa::ListEntry), 48u);
}

}  // namespace
}  // namespace vx

#include "engine/CommandLine.h"

#include <gtest/gtest.h>

namespace vx {
namespace {

StartupValues Read(TextView raw) {
  StartupValues values;
  ReadSwitches(SplitCommandLine(raw), values);
  return values;
}

TEST(CommandLine, SplitsOnBlanksAndDropsQuotes) {
  EXPECT_EQ(SplitCommandLine(u"\"C:\\My Setups\\setup.exe\"  /s   \"/l=C:\\My Logs\\a.log\" A=\"b c\""),
            (std::vector<Text>{u"C:\\My Setups\\setup.exe", u"/s", u"/l=C:\\My Logs\\a.log", u"A=b c"}));
  EXPECT_EQ(SplitCommandLine(u"  "), std::vector<Text>{});
}

TEST(CommandLine, RestIsTheRawTextAfterTheProgram) {
  struct Case { const char16_t* raw; const char16_t* rest; };
  const Case cases[] = {
      {u"\"C:\\a b\\setup.exe\" /s /l=x", u"/s /l=x"},
      {u"\"C:\\a b\\setup.exe\"", u""},
      {u"setup.exe /s  A=1", u"/s  A=1"},
      {u"setup.exe", u""},
      {u"\"unclosed", u""},
  };
  for (const auto& c : cases) EXPECT_EQ(CommandLineRest(c.raw), c.rest) << TextToUtf8(c.raw);
}

TEST(CommandLine, SilentOnlyForTheWholeSwitch) {
  struct Case { const char16_t* raw; bool silent; bool update; };
  const Case cases[] = {
      {u"setup.exe /s", true, false},      {u"setup.exe -S", true, false},
      {u"setup.exe /QN", true, false},     {u"setup.exe -qn", true, false},
      {u"setup.exe /super", false, false}, {u"setup.exe /silent", false, false},
      {u"setup.exe s", false, false},      {u"setup.exe /update", false, true},
      {u"setup.exe -UpdateSetup", false, true}, {u"setup.exe /updates", false, false},
  };
  for (const auto& c : cases) {
    StartupValues v = Read(c.raw);
    EXPECT_EQ(v.silent, c.silent) << TextToUtf8(c.raw);
    EXPECT_EQ(v.update, c.update) << TextToUtf8(c.raw);
  }
}

TEST(CommandLine, ValueSwitchesAreLowerCasedAndTheFirstOneWins) {
  StartupValues v = Read(u"setup.exe /L=C:\\Logs\\Setup.LOG -l=second.log /g=C:\\Policy\\P.xml /m=D:\\Wrap\\Sfx.EXE -p=\\\\Server\\Share");
  EXPECT_EQ(v.logPath, u"c:\\logs\\setup.log");
  EXPECT_EQ(v.policyPath, u"c:\\policy\\p.xml");
  EXPECT_EQ(v.wrapperPath, u"d:\\wrap\\sfx.exe");
  EXPECT_EQ(v.sourceOverride, u"\\\\server\\share");
  EXPECT_EQ(Read(u"setup.exe -l=x.log /l=y.log").logPath, u"x.log");
  EXPECT_EQ(Read(u"setup.exe /s").logPath, u"");
}

TEST(CommandLine, AssignmentsKeepTheirValueAndOrder) {
  StartupValues v = Read(u"setup.exe installdir=C:\\Program Files\\Acme /s Mode=Full=Yes /x=1 -y=2 EMPTY=");
  ASSERT_EQ(v.assignments.size(), 3u);
  EXPECT_EQ(v.assignments[0], (std::pair<Text, Text>{u"INSTALLDIR", u"C:\\Program"}));
  EXPECT_EQ(v.assignments[1], (std::pair<Text, Text>{u"MODE", u"Full=Yes"}));
  EXPECT_EQ(v.assignments[2], (std::pair<Text, Text>{u"EMPTY", u""}));
  EXPECT_TRUE(v.silent);
}

TEST(CommandLine, ExtractionModeIsExactCase) {
  EXPECT_TRUE(IsExtractionMode(SplitCommandLine(u"setup.exe OutOfProcessExtract C:\\p.txt")));
  EXPECT_FALSE(IsExtractionMode(SplitCommandLine(u"setup.exe outofprocessextract C:\\p.txt")));
  EXPECT_FALSE(IsExtractionMode(SplitCommandLine(u"setup.exe")));
}

}  // namespace
}  // namespace vx

#include "tools/oxac/Compile.h"

#include <gtest/gtest.h>

#include <set>

#include "tools/oxac/Guid.h"
#include "tools/oxac/MediaPassword.h"
#include "tools/oxac/TestFiles.h"

namespace vx::oxac {
namespace {

using testing::kMinimalSettings;
using testing::TempFolder;

TEST(StatementIdentifiers, AreEngineGuidsStableAndDistinct) {
  // The engine's form: braces, upper case; normalizing such a text leaves it as it is.
  const auto engineForm = [](const std::string& id) { return NormalizeGuid(id) == id && id.size() == 38; };
  std::set<std::string> seen;
  for (size_t n = 0; n < 20000; ++n) {
    const std::string id = StatementIdentifier("{11111111-2222-3333-4444-555555555555}", n);
    ASSERT_TRUE(engineForm(id)) << id;
    ASSERT_TRUE(seen.insert(id).second) << "repeated at " << n;
  }
  EXPECT_EQ(StatementIdentifier("{11111111-2222-3333-4444-555555555555}", 7),
            StatementIdentifier("{11111111-2222-3333-4444-555555555555}", 7));
  // Letter case of the product code does not matter; another product gets other identifiers.
  EXPECT_EQ(StatementIdentifier("{aaaaaaaa-2222-3333-4444-555555555555}", 3),
            StatementIdentifier("{AAAAAAAA-2222-3333-4444-555555555555}", 3));
  EXPECT_NE(StatementIdentifier("{11111111-2222-3333-4444-555555555555}", 0),
            StatementIdentifier("{11111111-2222-3333-4444-555555555556}", 0));
  EXPECT_NE(RandomGuid(), RandomGuid());
  EXPECT_TRUE(engineForm(RandomGuid()));
}

TEST(Guids, NormalizeAcceptsBracedOrBareInAnyCase) {
  EXPECT_EQ(NormalizeGuid("0d3e6f5a-8b1c-4c2d-9e7f-1a2b3c4d5e6f"), "{0D3E6F5A-8B1C-4C2D-9E7F-1A2B3C4D5E6F}");
  EXPECT_EQ(NormalizeGuid("{0D3E6F5A-8B1C-4C2D-9E7F-1A2B3C4D5E6F}"), "{0D3E6F5A-8B1C-4C2D-9E7F-1A2B3C4D5E6F}");
  for (const char* bad : {"", "{}", "{0D3E6F5A-8B1C-4C2D-9E7F-1A2B3C4D5E6}", "0D3E6F5A-8B1C-4C2D-9E7F-1A2B3C4D5E6G",
                          "{0D3E6F5A+8B1C-4C2D-9E7F-1A2B3C4D5E6F}", "(0D3E6F5A-8B1C-4C2D-9E7F-1A2B3C4D5E6F)"})
    EXPECT_EQ(NormalizeGuid(bad), std::nullopt) << bad;
}

// The engine's reading of a stored password: hex pairs (high digit first) to characters, each
// XOR-ed with its position, then hex pairs again with the second character as the high digit.
Text DecodeAsTheEngineDoes(TextView stored) {
  const auto digit = [](char16_t c) { return c <= u'9' ? c - u'0' : c - u'A' + 10; };
  Text swapped;
  for (size_t i = 0; i + 1 < stored.size(); i += 2)
    swapped += static_cast<char16_t>(((digit(stored[i]) << 4) | digit(stored[i + 1])) ^ (i / 2));
  Text password;
  for (size_t i = 0; i + 1 < swapped.size(); i += 2)
    password += static_cast<char16_t>((digit(swapped[i + 1]) << 4) | digit(swapped[i]));
  return password;
}

TEST(MediaPasswords, DecodeToThePasswordAndRefuseWhatCannotBeStored) {
  Text longest(kMaxMediaPasswordLength, u'\xFF');
  for (const Text& password : {Text(), Text(u"secret"), Text(u"P@ss \"w\xF6rd\" 123"), longest}) {
    auto stored = EncodeMediaPassword(password);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->size(), password.size() * 4);
    EXPECT_EQ(DecodeAsTheEngineDoes(*stored), password);
  }
  // "a" is 0x61: low digit first gives "16"; '1' ^ 0 = 0x31 and '6' ^ 1 = 0x37.
  EXPECT_EQ(EncodeMediaPassword(u"a"), Text(u"3137"));
  EXPECT_EQ(EncodeMediaPassword(u"\x100"), std::nullopt);
  EXPECT_EQ(EncodeMediaPassword(longest + u"x"), std::nullopt);
}

CompiledScript CompileText(const TempFolder& dir, const std::string& text) {
  return CompileProject(LoadProject(dir.Write("p.oxp", std::string(kMinimalSettings) + text), "p.oxp"));
}

TEST(Compile, FillsEveryStatementTableInOrder) {
  TempFolder dir;
  dir.Write("sub/b.oxs", "Return from Include Script \"$\"\n");
  const CompiledScript s = CompileText(dir,
                                       "Set Variable \"A\" \"$\"\n"                  // 3
                                       "~ Comment \"off\"\n"                         // 4
                                       "include \"sub\\b.oxs\" RES\n"                // 5
                                       "Install Files \"\" \"\" \"$TARGETDIR$\"\n"   // 6
                                       "  @media OFFLINE\n  @header 1f3a\n  @file \"OFFLINE\\1F3A\\0\\a.txt\"\n"
                                       "  @file \"OFFLINE\\1F3A\\0\\b.txt\" \"sub\\\"\n"
                                       "Write Registry \"1\"\n  @header A\n"       // 11
                                       "End\n");                                      // 13
  EXPECT_EQ(s.commands.Lines(), (std::vector<Text>{u"Set Variable", u"Comment", u"Comment", u"Return from Include Script",
                                                   u"Comment", u"Install Files", u"Write Registry", u"End"}));
  EXPECT_EQ(s.flags.Lines(), (std::vector<Text>{u"", u"C", u"", u"", u"", u"", u"", u""}));
  EXPECT_EQ(s.mediaFolders.Lines(), (std::vector<Text>{u"", u"", u"", u"", u"", u"OFFLINE\\", u"", u""}));
  EXPECT_EQ(s.sourceReferences.Lines(), (std::vector<Text>{u"p.oxp*3", u"p.oxp*4", u"p.oxp*5", u"sub\\b.oxs*0", u"p.oxp*5",
                                                           u"p.oxp*6", u"p.oxp*11", u"p.oxp*13"}));
  EXPECT_EQ(s.includeContexts.Lines(), (std::vector<Text>{u"0*0", u"0*0", u"RES*1", u"RES*1", u"0*0", u"0*0", u"0*0", u"0*0"}));
  for (size_t n = 0; n < s.StatementCount(); ++n)
    EXPECT_EQ(s.identifiers.Get(n), Utf8ToText(StatementIdentifier("{11111111-2222-3333-4444-555555555555}", n)));
  EXPECT_EQ(s.Parameter(0, 2), u"$");
  EXPECT_EQ(s.Parameter(5, 3), u"$TARGETDIR$");
  EXPECT_EQ(s.commandHeaders.Lines(), (std::vector<Text>{u"1F3A", u"5", u"A", u"6"}));
  EXPECT_EQ(s.nativeFileTable.Lines(), (std::vector<Text>{u"1F3A", u"NEWHEADER", u"OFFLINE\\1F3A\\0\\a.txt", u"",
                                                          u"OFFLINE\\1F3A\\0\\b.txt", u"sub\\"}));
}

TEST(Compile, ParametersLeaveNoStatementWithoutItsBlock) {
  // Statements without parameters have no block; the others have theirs in statement order.
  TempFolder dir;
  const CompiledScript s = CompileText(dir, "Else\nComment \"\"\nEnd\nComment \"a\" \"\" \"$\"\n");
  const auto& ids = s.identifiers.Lines();
  EXPECT_EQ(s.parameters.List(0).Lines(), (std::vector<Text>{ids[1], u"", ids[3], u"a", u"", u"$"}));
}

TEST(Compile, RefusesLinesTheEngineWouldMisread) {
  const std::string id0 = StatementIdentifier("{11111111-2222-3333-4444-555555555555}", 0);
  const std::pair<std::string, std::string> cases[] = {
      // A parameter equal to a statement identifier would be found as that statement's block.
      {"Comment \"x\"\nSet Variable \"A\" \"" + id0 + "\"\n", "p.oxp:5: a parameter reads " + id0},
      // A file line equal to a group key would be taken for the group's start.
      {"Install Files \"a\"\n@header 1F\n@file \"OFFLINE\\1F\\0\\x\" \"1f\"\n", "p.oxp:4: the file line '1f' reads as a file group key"},
      {"Install Files \"a\"\n@header 1F\n@file \"NEWHEADER\"\n", "p.oxp:4: the file line 'NEWHEADER'"},
  };
  for (const auto& [text, message] : cases) {
    SCOPED_TRACE(text);
    TempFolder dir;
    try {
      (void)CompileText(dir, text);
      ADD_FAILURE() << "no error";
    } catch (const SourceError& error) {
      EXPECT_EQ(std::string(error.what()).rfind(message, 0), 0u) << error.what();
    }
  }
}

TEST(Compile, WrittenScriptLoadsBackWithEveryProductList) {
  TempFolder dir;
  const Project project = LoadProject(dir.Write("p.oxp", std::string(kMinimalSettings) +
                                                             "@plugin \"Zip It\"\n@build-value SINGLEINSTANCE \"TRUE\"\n"
                                                             "@component \"Docs\" 5000\n@media-password \"offline\" \"pw\"\n"
                                                             "@media-file \"b1\" \"x.exe\" \"OFFLINE\\bin\\\"\n"
                                                             "Zip It \"$\" \"$DOLLAR$ stays\"\n"),
                                      "p.oxp");
  const CompiledScript loaded = LoadCompiledScript(CompiledScriptBytes(project));
  EXPECT_EQ(loaded.Parameter(0, 1), u"$");
  EXPECT_EQ(loaded.Parameter(0, 2), u"$DOLLAR$ stays");
  EXPECT_EQ(loaded.pluginCommands.Lines(), std::vector<Text>{u"Zip It"});
  EXPECT_EQ(loaded.buildVariables.Lines(), (std::vector<Text>{u"SINGLEINSTANCE", u"TRUE"}));
  EXPECT_EQ(loaded.BuildValue(u"#SINGLEINSTANCE#"), u"TRUE");
  EXPECT_EQ(loaded.components.Lines(), (std::vector<Text>{u"Docs", u"5000"}));
  ASSERT_EQ(loaded.mediaPasswords.Count(), 2u);
  EXPECT_EQ(DecodeAsTheEngineDoes(loaded.mediaPasswords.Get(1)), u"pw");
  EXPECT_EQ(loaded.mediaFiles.Lines(), (std::vector<Text>{u"b1", u"x.exe", u"OFFLINE\\bin\\"}));
}

TEST(Compile, ScriptsTheEngineWouldRefuseAreReportedAtTheirSourceLine) {
  const std::string refused = "the engine would refuse to run this script (exit code 314): ";
  const std::pair<std::string, std::string> cases[] = {
      {"Comment \"a\"\nBreak\n", "p.oxp:5: " + refused + "Break not allowed outside of LOOP scope"},
      {"Convert Path \"NOPE\" \"\"\n", "p.oxp:4: " + refused + "Variable not defined: NOPE"},
      {"include \"b.oxs\"\n", "b.oxs:2: " + refused + "Continue not allowed outside of LOOP scope"},
      {"If \"SILENT\" \"0\" \"TRUE\" \"FALSE\"\n", "p.oxp: " + refused + "Insufficient END statements"},
  };
  for (const auto& [text, message] : cases) {
    SCOPED_TRACE(text);
    TempFolder dir;
    dir.Write("b.oxs", "Comment \"x\"\nContinue\n");
    const Project project = LoadProject(dir.Write("p.oxp", std::string(kMinimalSettings) + text), "p.oxp");
    try {
      (void)CompiledScriptBytes(project);
      ADD_FAILURE() << "no error";
    } catch (const SourceError& error) {
      EXPECT_EQ(error.what(), message);
    }
  }
  // Disabled statements take no part, as in the engine.
  TempFolder dir;
  const Project fine = LoadProject(dir.Write("p.oxp", std::string(kMinimalSettings) + "~ Break\n"), "p.oxp");
  EXPECT_NO_THROW((void)CompiledScriptBytes(fine));
}

}  // namespace
}  // namespace vx::oxac

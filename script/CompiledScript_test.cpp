#include "script/CompiledScript.h"

#include <gtest/gtest.h>

#include "script/EngineError.h"

namespace vx {
namespace {

// A small compiled script as the authoring compiler lays it out: three statements, the second one
// with parameters holding the lone-dollar markers, every fixed line and list filled.
std::string Join(std::initializer_list<const char*> lines) {
  std::string out;
  for (const char* line : lines) out.append(line).append("\r\n");
  return out;
}

const std::string kScript = Join({
    // 1 commands
    "Comment", "Set Variable", "Label", "$",
    // 2 identifiers
    "{00000000-0000-0000-0000-000000000001}", "{00000000-0000-0000-0000-000000000002}",
    "{00000000-0000-0000-0000-000000000003}", "$",
    // 3 parameter blocks (free order)
    "{00000000-0000-0000-0000-000000000003}", "DONE",
    "{00000000-0000-0000-0000-000000000002}", "PRICE", "$WILD_DOLLAR$", "$dollar$", "costs $DOLLAR$ x", "$",
    // 4 flags
    "C", "", "", "$",
    // 5 product code, title, plug-ins
    "{11111111-2222-3333-4444-555555555555}", "Acme Tools", "Zip It", "$",
    // 6 publisher .. version, passwords
    "Acme Inc.", "help@acme.example", "https://acme.example/help", "https://acme.example/update", "Nice tools", "1.2.3",
    "offline", "c2VjcmV0", "$",
    // 7 media folders
    "", "disk1\\", "", "$",
    // 8 package kind, components
    "2", "Documentation", "5000000", "$",
    // 9 revision code, media files
    "{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}", "block1", "bin\\tool.exe", "OFFLINE\\bin\\", "$",
    // 10 ask language, default language, headers
    "TRUE", "English", "12", "2", "1F", "0", "$",
    // 11 build variables
    "#SINGLEINSTANCE#", "TRUE", "$",
    // 12 code page, source references
    "1252 trailing text", "C:\\src\\main.oxs*0", "C:\\src\\main.oxs*1", "C:\\src\\lib.oxs*x", "$",
    // 13 native total size, file table
    "4294967296", "$",
    // 14 include contexts
    "0*0", "0*0", "RESULT*1", "$",
});

TEST(CompiledScript, LoadsEverySection) {
  CompiledScript s = LoadCompiledScript(kScript);
  ASSERT_EQ(s.StatementCount(), 3u);
  EXPECT_EQ(s.commands.Get(1), u"Set Variable");
  EXPECT_TRUE(s.IsCommentedOut(0));
  EXPECT_FALSE(s.IsCommentedOut(1));
  EXPECT_EQ(s.mediaFolders.Get(1), u"disk1\\");
  EXPECT_EQ(s.product.productCode, u"{11111111-2222-3333-4444-555555555555}");
  EXPECT_EQ(s.product.title, u"Acme Tools");
  EXPECT_EQ(s.product.version, u"1.2.3");
  EXPECT_EQ(s.product.packageKind, 2);
  EXPECT_EQ(s.product.revisionCode, u"{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}");
  EXPECT_TRUE(s.product.askLanguage);
  EXPECT_EQ(s.product.defaultLanguage, u"English");
  EXPECT_EQ(s.product.codePage, 1252);
  EXPECT_EQ(s.product.nativeTotalSize, 4294967296LL);
  EXPECT_EQ(s.pluginCommands.Lines(), std::vector<Text>{u"Zip It"});
  EXPECT_EQ(s.mediaPasswords.Count(), 2u);
  EXPECT_EQ(s.components.Get(1), u"5000000");
  EXPECT_EQ(s.mediaFiles.Count(), 3u);
  EXPECT_EQ(s.buildVariables.Get(0), u"#SINGLEINSTANCE#");
  EXPECT_TRUE(s.nativeFileTable.Empty());
}

TEST(CompiledScript, ByteOrderMarkIsOptional) {
  CompiledScript with = LoadCompiledScript("\xEF\xBB\xBF" + kScript);
  CompiledScript without = LoadCompiledScript(kScript);
  EXPECT_EQ(with.commands.Lines(), without.commands.Lines());
  EXPECT_EQ(without.commands.Get(0), u"Comment");  // the first name is not shortened
}

TEST(CompiledScript, ParametersAreFoundByIdentifierWithoutRegardToCase) {
  CompiledScript s = LoadCompiledScript(kScript);
  EXPECT_EQ(s.Parameter(1, 1), u"PRICE");
  EXPECT_EQ(s.Parameter(1, 2), u"$");          // "$WILD_DOLLAR$"
  EXPECT_EQ(s.Parameter(1, 3), u"$");          // "$dollar$", case ignored
  EXPECT_EQ(s.Parameter(1, 4), u"costs $DOLLAR$ x");  // only a whole line is a marker
  EXPECT_EQ(s.Parameter(1, 0), u"{00000000-0000-0000-0000-000000000002}");
  EXPECT_EQ(s.parameters.Parameter(u"{00000000-0000-0000-0000-00000000000a}", 1), u"");
  EXPECT_EQ(s.Parameter(0, 1), u"");  // a statement without a block reads empty text
  // Past its own block a read runs into the next block, and past the list it fails.
  EXPECT_EQ(s.Parameter(2, 2), u"{00000000-0000-0000-0000-000000000002}");
  EXPECT_THROW((void)s.Parameter(1, 5), EngineError);
  try {
    (void)s.Parameter(1, 5);
  } catch (const EngineError& e) {
    EXPECT_EQ(e.Message(), u"List index out of bounds (7)");
  }
}

TEST(CompiledScript, HeadersAreFoundByTheirStatementNumber) {
  CompiledScript s = LoadCompiledScript(kScript);
  EXPECT_EQ(s.Header(2), u"12");
  // Header "12" of statement 2 must not be taken for the number line of statement 12.
  EXPECT_EQ(s.Header(12), u"");
  EXPECT_EQ(s.Header(0), u"1F");
  EXPECT_EQ(s.Header(1), u"");
}

TEST(CompiledScript, SourceReferencesAndIncludeContexts) {
  CompiledScript s = LoadCompiledScript(kScript);
  EXPECT_EQ(s.SourceFile(1), u"C:\\src\\main.oxs");
  EXPECT_EQ(s.SourceLine(1), 1);
  EXPECT_EQ(s.SourceLine(2), 0);  // not a number
  EXPECT_EQ(s.IncludeVariable(2), u"RESULT");
  EXPECT_EQ(s.IncludeDepth(2), 1);
  EXPECT_EQ(s.IncludeDepth(0), 0);
  EXPECT_EQ(s.SourceFile(99), u"");
}

TEST(CompiledScript, EveryTruncationIsReportedNeverReadPast) {
  // Cut the file after every line: each prefix that lacks the fourteenth "$" must be refused.
  size_t lines = 0;
  for (size_t cut = 0; cut < kScript.size(); ++cut) {
    if (cut > 0 && kScript[cut - 1] != '\n') continue;
    ++lines;
    std::string prefix = kScript.substr(0, cut);
    try {
      (void)LoadCompiledScript(prefix);
      ADD_FAILURE() << "a script cut after " << lines << " lines loaded";
    } catch (const EngineError& e) {
      EXPECT_NE(e.Message().find(u"truncated"), Text::npos) << e.what();
    }
  }
  // Cut in the middle of the last "$" line's line break: the "$" is still a whole line.
  EXPECT_NO_THROW((void)LoadCompiledScript(kScript.substr(0, kScript.size() - 1)));
}

TEST(CompiledScript, DamagedScriptsAreRefusedWithTheSection) {
  std::string badKind = kScript;
  badKind.replace(badKind.find("\r\n2\r\nDocumentation"), 5, "\r\nX\r\n");
  try {
    (void)LoadCompiledScript(badKind);
    ADD_FAILURE();
  } catch (const EngineError& e) {
    EXPECT_NE(std::string(e.what()).find("section 8"), std::string::npos) << e.what();
  }
  std::string shortFlags = kScript;
  shortFlags.replace(shortFlags.find("C\r\n\r\n\r\n$"), 9, "C\r\n\r\n$");
  EXPECT_THROW((void)LoadCompiledScript(shortFlags), EngineError);
}

TEST(CompiledScript, TrailingDataAfterTheLastSectionIsIgnored) {
  std::string signed_ = kScript + std::string(5, '\0') + "\x30\x82\x01\x02 certificate";
  EXPECT_EQ(LoadCompiledScript(signed_).StatementCount(), 3u);
}

TEST(CompiledScript, WriterRoundTripsEverySection) {
  CompiledScript s = LoadCompiledScript(kScript);
  std::string written = WriteCompiledScript(s);
  CompiledScript again = LoadCompiledScript(written);
  for (auto member : {&CompiledScript::commands, &CompiledScript::identifiers, &CompiledScript::flags,
                      &CompiledScript::mediaFolders, &CompiledScript::sourceReferences, &CompiledScript::includeContexts,
                      &CompiledScript::pluginCommands, &CompiledScript::mediaPasswords, &CompiledScript::components,
                      &CompiledScript::mediaFiles, &CompiledScript::commandHeaders, &CompiledScript::buildVariables,
                      &CompiledScript::nativeFileTable})
    EXPECT_EQ((again.*member).Lines(), (s.*member).Lines());
  EXPECT_EQ(again.parameters.List(0).Lines(), s.parameters.List(0).Lines());
  EXPECT_EQ(again.product.title, s.product.title);
  EXPECT_EQ(again.product.codePage, 1252);
  EXPECT_EQ(WriteCompiledScript(again), written);
  // The writer encodes a lone "$" parameter and refuses what the format cannot carry.
  EXPECT_NE(written.find("\r\n$WILD_DOLLAR$\r\n"), std::string::npos);
  s.buildVariables.Add(u"$");
  EXPECT_THROW((void)WriteCompiledScript(s), EngineError);
}

TEST(CompiledScript, BuildValueSubstitution) {
  CompiledScript s;
  s.buildVariables = TextList({u"SINGLEINSTANCE", u"TRUE", u"A", u"#B#", u"B", u"bee", u"LOOP", u"x#LOOP#"});
  EXPECT_EQ(s.BuildValue(u"#singleinstance#"), u"TRUE");
  EXPECT_EQ(s.BuildValue(u"#A#/#b#"), u"bee/bee");
  EXPECT_EQ(s.BuildValue(u"#CACHESOURCES#"), u"#CACHESOURCES#");  // not a build variable
  EXPECT_EQ(s.BuildValue(u"no signs"), u"no signs");
  Text looped = s.BuildValue(u"#LOOP#");  // refers to itself: bounded, not endless
  EXPECT_TRUE(StartsWith(looped, u"xxxx"));
}

}  // namespace
}  // namespace vx

#include "script/CommandTable.h"

#include <gtest/gtest.h>

#include <set>

#include "platform/RunFacts.h"
#include "script/CommandViews.h"
#include "script/EngineError.h"
#include "script/TestScript.h"

namespace vx {
namespace {

using testing::MakeScript;
using testing::Statement;

std::string ran;

void Builtin(CommandContext& ctx) { ran += "builtin:" + TextToUtf8(ctx.Command()) + ";"; }
void Plugin(CommandContext& ctx) { ran += "plugin:" + TextToUtf8(ctx.Command()) + ";"; }

class CommandTableTest : public ::testing::Test {
 protected:
  CommandTableTest() : run(exitCode) {
    table.Bind(u"Comment", &Builtin);
    table.BindPlugin(&Plugin);
    ran.clear();
  }

  std::string Dispatch(const CompiledScript& script, size_t n) {
    ran.clear();
    CommandContext ctx(script, n, vars, trace, run);
    DispatchStatement(table, ctx);
    return ran;
  }

  int exitCode = 0;
  ScriptRun run;
  CommandTable table;
  TVariableManager vars{false};
  RunTrace trace;
};

TEST_F(CommandTableTest, DispatchFindsPluginBuiltinOrNothing) {
  CompiledScript script = MakeScript({{"Comment", {}},
                                      {"comment", {}},
                                      {"Zip It", {}},
                                      {"Code Folding Region", {}},
                                      {"Zip It", {}, true},
                                      {"Message Of The Day", {}}});
  script.pluginCommands.Add(u"zip it");
  script.pluginCommands.Add(u"Message of the Day");
  EXPECT_EQ(Dispatch(script, 0), "builtin:Comment;");
  EXPECT_EQ(Dispatch(script, 1), "") << "built-in names match case-sensitively";
  EXPECT_EQ(Dispatch(script, 2), "plugin:Zip It;") << "plug-in names match ignoring case";
  EXPECT_EQ(Dispatch(script, 3), "") << "unknown names are ignored";
  EXPECT_EQ(Dispatch(script, 4), "") << "a disabled statement runs nothing, not even a plug-in";
  EXPECT_EQ(Dispatch(script, 5), "plugin:Message Of The Day;");

  script.pluginCommands.Add(u"COMMENT");
  EXPECT_EQ(Dispatch(script, 0), "plugin:Comment;") << "a listed plug-in name wins over a built-in one";
}

TEST_F(CommandTableTest, DispatchSetsAbortFromTheCancelState) {
  const CompiledScript script = MakeScript({{"Comment", {}}});
  for (const auto& [cancelled, abort] : {std::pair{u"TRUE", u"TRUE"}, {u"-1", u"TRUE"}, {u"FALSE", u"FALSE"}}) {
    vars.Store(u"ZURI_IsCancelled", cancelled);
    (void)Dispatch(script, 0);
    EXPECT_EQ(vars.Get(u"ABORT"), abort);
  }
}

TEST_F(CommandTableTest, EveryBuiltinNameIsKnownAndUnboundOnesSayTheyAreMissing) {
  const auto& names = CommandTable::BuiltinNames();
  EXPECT_EQ(names.size(), 135u);
  EXPECT_EQ(std::set<Text>(names.begin(), names.end()).size(), names.size());
  for (const Text& name : names) EXPECT_NE(table.Find(name), nullptr) << TextToUtf8(name);
  EXPECT_EQ(table.Find(u"Code Folding Region"), nullptr);
  EXPECT_THROW(table.Bind(u"Parse string", &Builtin), EngineError);

  const CompiledScript script = MakeScript({{"Read Registry", {}}});
  try {
    (void)Dispatch(script, 0);
    ADD_FAILURE() << "an unbound built-in ran silently";
  } catch (const EngineError& e) {
    EXPECT_EQ(e.Message(), u"The command 'Read Registry' is not available in this build");
  }
}

TEST_F(CommandTableTest, ParameterReadings) {
  vars.Define(u"DIR", u"C:\\\\Acme", u"Test");
  vars.Define(u"YES", u"TRUE", u"Test");
  const CompiledScript script = MakeScript({{"Comment",
                                             {"$DIR$\\\\bin", "\\\\server\\\\share", "TRUE", "true", "-1", "$YES$", "1",
                                              " 42 ", "x", "$NAME$", "NAME", "$A$B$", "9223372036854775807"}}});
  CommandContext ctx(script, 0, vars, trace, run);
  EXPECT_EQ(ctx.Literal(1), u"$DIR$\\\\bin");
  EXPECT_EQ(ctx.Expanded(1), u"C:\\\\Acme\\\\bin");
  EXPECT_EQ(ctx.Normalized(1), u"C:\\Acme\\bin");
  EXPECT_EQ(ctx.Normalized(2), u"\\\\server\\share") << "a leading network pair stays";
  EXPECT_TRUE(ctx.Flag(3));
  EXPECT_TRUE(ctx.Flag(4));
  EXPECT_TRUE(ctx.Flag(5));
  EXPECT_FALSE(ctx.Flag(6)) << "flags are never expanded";
  EXPECT_FALSE(ctx.Flag(7));
  EXPECT_EQ(ctx.Number(8), 42);
  EXPECT_THROW((void)ctx.Number(9), EngineError);
  EXPECT_EQ(ctx.Number64(13), INT64_MAX);
  EXPECT_EQ(ctx.NameOrReference(10), u"NAME");
  EXPECT_EQ(ctx.NameOrReference(11), u"NAME");
  EXPECT_EQ(ctx.NameOrReference(12), u"$A$B$");
  EXPECT_EQ(ctx.PlainName(10), u"$NAME$");
  EXPECT_EQ(ctx.Literal(0), testing::Identifier(0));
  EXPECT_EQ(ctx.Reason(), u"Comment Action");
}

TEST_F(CommandTableTest, ResultWriting) {
  const CompiledScript script = MakeScript({{"Comment", {}}});
  CommandContext ctx(script, 0, vars, trace, run);
  ctx.Write(u"result", u"value");
  EXPECT_EQ(vars.Get(u"RESULT"), u"value");
  std::vector<Text> names;
  TextList list;
  vars.Names(list);
  EXPECT_EQ(list.IndexOf(u"RESULT") >= 0 && list.At(static_cast<size_t>(list.IndexOf(u"RESULT"))) == u"RESULT", true)
      << "names are stored upper-cased";
  ctx.Write(u"result", u"$Result$");
  EXPECT_EQ(vars.Get(u"RESULT"), u"") << "a result that is the variable's own reference empties it";

  vars.Define(u"FIXED", u"from the command line", kOriginCommandLine);
  vars.SetCommandLineNames({u"FIXED"});
  vars.SetSilent(true);
  ctx.Write(u"Fixed", u"changed");
  EXPECT_EQ(vars.Get(u"FIXED"), u"from the command line");

  ctx.CreateFirst(u"made");
  EXPECT_TRUE(vars.Exists(u"MADE"));
  vars.Set(u"MADE", u"kept", u"Test");
  ctx.CreateFirst(u"made");
  EXPECT_EQ(vars.Get(u"MADE"), u"kept");
}

TEST_F(CommandTableTest, Set64BitMode) {
  RegisterFlowCommands(table);
  struct Case {
    std::vector<std::string> parameters;
    const char16_t* mode;
  };
  const Case cases[] = {
      {{"TRUE", "TRUE", "TRUE"}, u"x64"}, {{"true", "FALSE", "FALSE"}, u"x64"}, {{"FALSE", "TRUE", "FALSE"}, u"ia64"},
      {{"-1", "-1", "-1"}, u"ia64"},     {{"TRUE", "FALSE", "FALSE"}, u"Win32"},
  };
  for (const Case& c : cases) {
    const CompiledScript script = MakeScript({{"Set 64 Bit Mode", c.parameters}});
    (void)Dispatch(script, 0);
    EXPECT_EQ(run.BitnessMode(), c.mode) << c.parameters[0] << c.parameters[1] << c.parameters[2];
  }
}

TEST(CommandViewsTest, RegistryBitsFollowTheModeOnlyOn64BitWindows) {
  struct Case {
    bool wow64;
    const char16_t* mode;
    uint32_t during;
    uint32_t after;
  };
  const Case cases[] = {
      {true, u"x64", kKeyWow64_64Key, kKeyWow64_32Key},
      {true, u"Win32", kKeyWow64_32Key, kKeyWow64_32Key},
      {false, u"x64", 0, 0},
  };
  for (const Case& c : cases) {
    platform::SetWow64ForTesting(c.wow64);
    {
      RegistryViewSwitch view(c.mode);
      EXPECT_EQ(RegistryViewBits(), c.during);
      FileSystemViewSwitch files(c.mode);
      EXPECT_FALSE(files.Disabled()) << "the host has no redirection to switch";
    }
    EXPECT_EQ(RegistryViewBits(), c.after);
  }
  platform::SetWow64ForTesting(std::nullopt);
}

}  // namespace
}  // namespace vx

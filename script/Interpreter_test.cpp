#include "script/Interpreter.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fstream>

#include "script/ControlFlow.h"
#include "script/EngineError.h"
#include "script/ScriptCompile.h"
#include "script/TestScript.h"
#include "script/VariableManager.h"

namespace vx {
namespace {

using testing::MakeScript;
using testing::Statement;

// The results the next "Display Dialog" statements report, and the dialogs shown.
std::deque<int> dialogResults;
std::string dialogsShown;

void FakeDisplayDialog(CommandContext& ctx) {
  dialogsShown += TextToUtf8(ctx.Literal(1));
  const int result = dialogResults.empty() ? 6 : dialogResults.front();
  if (!dialogResults.empty()) dialogResults.pop_front();
  ctx.Run().SetDialogResult(result);
}

void FailingCommand(CommandContext&) { throw EngineError(u"the disk is on fire"); }

CommandTable TestTable() {
  CommandTable table;
  RegisterFlowCommands(table);
  table.Bind(u"Display Dialog", &FakeDisplayDialog);
  table.Bind(u"Hide Dialog", &FailingCommand);
  return table;
}

Statement Add(const std::string& letter) { return {"Set Variable", {"TRAIL", "$TRAIL$" + letter}}; }
Statement Set(const std::string& name, const std::string& value) { return {"Set Variable", {name, value}}; }
Statement If(const std::string& command, const std::string& var, const std::string& code, const std::string& value) {
  return {command, {var, code, value, "FALSE"}};
}
Statement Plain(const std::string& command, std::vector<std::string> parameters = {}) {
  return {command, std::move(parameters)};
}

struct RunResult {
  int exitCode = 0;
  RunOutcome outcome;
  std::string trail;
  std::string trace;
};

class InterpreterTest : public ::testing::Test {
 protected:
  InterpreterTest() {
    folder = std::filesystem::temp_directory_path() /
             ("vx-interp-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    startup.tempFolder = Utf8ToText(folder.string() + "/");
    startup.exeFolder = startup.tempFolder;
    startup.exeName = u"setup.exe";
    startup.silent = true;
    dialogResults.clear();
    dialogsShown.clear();
  }
  ~InterpreterTest() override { std::filesystem::remove_all(folder); }

  // Runs the script, whose first statement should declare TRAIL, with the test table.
  RunResult Run(CompiledScript& script) {
    const CompileResult compiled = CompileScript(script);
    EXPECT_TRUE(compiled.Accepted()) << TextToUtf8(compiled.message) << " at " << compiled.result;
    RunResult result;
    if (!compiled.Accepted()) return result;
    const CommandTable table = TestTable();
    const Text tracePath = startup.tempFolder + u"trace.log";
    startup.logPath = tracePath;
    RunTrace trace(tracePath);
    RunRequest request{script, startup, trace, u"setup.msi", &table, &facts, nullptr, nullptr};
    result.outcome = RunScript(request, result.exitCode);
    result.trail = TextToUtf8(ProcessVariables().Get(u"TRAIL"));
    std::ifstream in(folder / "trace.log", std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
      if (bytes[i] != '\r') result.trace += bytes[i];  // the ASCII half of each UTF-16 unit
    return result;
  }

  RunResult Run(const std::vector<Statement>& statements) {
    CompiledScript script = MakeScript(statements);
    return Run(script);
  }

  std::filesystem::path folder;
  StartupValues startup;
  platform::FixedSystemFacts facts;
};

struct FlowCase {
  const char* name;
  std::vector<Statement> statements;
  std::string trail;
};

TEST_F(InterpreterTest, BlockStatementsRunTheRightStatements) {
  const FlowCase cases[] = {
      {"only the first true Else If runs",
       {Set("TRAIL", ""), Set("N", "2"), If("If", "N", "0", "1"), Add("a"), If("Else If", "N", "0", "2"), Add("b"),
        If("Else If", "N", "0", "2"), Add("c"), Plain("Else"), Add("d"), Plain("End"), Add("z")},
       "bz"},
      {"a false If without other branches continues after its End",
       {Set("TRAIL", ""), Set("N", "2"), If("If", "N", "0", "1"), Add("a"), Plain("End"), Add("z")},
       "z"},
      {"a true If skips its Else branch",
       {Set("TRAIL", ""), Set("N", "1"), If("If", "N", "0", "1"), Add("a"), Plain("Else"), Add("b"), Plain("End"),
        Add("z")},
       "az"},
      {"a false chain runs its Else",
       {Set("TRAIL", ""), Set("N", "9"), If("If", "N", "0", "1"), Add("a"), If("Else If", "N", "0", "2"), Add("b"),
        Plain("Else"), Add("c"), Plain("End"), Add("z")},
       "cz"},
      {"a commented End in a skipped branch closes nothing",
       {Set("TRAIL", ""), Set("N", "2"), If("If", "N", "0", "1"), Add("a"), {"End", {}, true}, Add("b"),
        Plain("End"), Add("z")},
       "z"},
      {"nested chains inside a skipped branch are passed over whole",
       {Set("TRAIL", ""), Set("N", "2"), If("If", "N", "0", "1"), If("If", "N", "0", "2"), Add("a"), Plain("Else"),
        Add("b"), Plain("End"), Plain("Else"), Add("c"), Plain("End"), Add("z")},
       "cz"},
      {"Break inside an If inside a While leaves the loop after its Wend",
       {Set("TRAIL", ""), Set("N", "0"), If("While", "N", "0", "0"), Add("w"), If("If", "N", "0", "0"), Plain("Break"),
        Add("x"), Plain("End"), Add("y"), Plain("Wend"), Add("z")},
       "wz"},
      {"While runs while its condition holds",
       {Set("TRAIL", ""), Set("N", "0"), If("While", "N", "0", "0"), Add("w"), Set("N", "1"), Plain("Wend"),
        Add("z")},
       "wz"},
      {"Until loops back to its Repeat until the condition holds",
       {Set("TRAIL", ""), Set("N", ""), Plain("Repeat"), Set("N", "$N$r"), Add("r"), If("Until", "N", "0", "rrr"),
        Add("z")},
       "rrrz"},
      {"a Repeat run three times, then Break in the enclosing While leaves the While",
       {Set("TRAIL", ""), Set("N", "0"), Set("M", ""), If("While", "N", "0", "0"), Plain("Repeat"), Set("M", "$M$r"),
        Add("r"), If("Until", "M", "0", "rrr"), Plain("Break"), Add("x"), Plain("Wend"), Add("z")},
       "rrrz"},
      {"Continue in a While goes back to its condition",
       {Set("TRAIL", ""), Set("N", ""), If("While", "N", "0", ""), Set("N", "1"), Add("a"), Plain("Continue"),
        Add("x"), Plain("Wend"), Add("z")},
       "az"},
      {"For Each skips empty items and ends with its variable gone",
       {Set("TRAIL", ""), Plain("For Each", {"$ITEM$", ";", "a;;b;"}), Add("$ITEM$"), Plain("Next"),
        If("If", "ITEM", "5", ""), Add("still"), Plain("End"), Add("z")},
       "abz"},
      {"For Each with an empty separator makes one turn over the whole list",
       {Set("TRAIL", ""), Plain("For Each", {"ITEM", "", "a;b"}), Add("[$ITEM$]"), Plain("Next"), Add("z")},
       "[a;b]z"},
      {"For Each over an empty list makes no turn",
       {Set("TRAIL", ""), Plain("For Each", {"ITEM", ";", ""}), Add("x"), Plain("Next"), Add("z")},
       "z"},
      {"Break in For Each ends the list; a later loop over the variable starts afresh",
       {Set("TRAIL", ""), Plain("For Each", {"ITEM", ";", "a;b;c"}), Add("$ITEM$"), Plain("Break"), Plain("Next"),
        Plain("For Each", {"ITEM", ";", "x;y"}), Add("$ITEM$"), Plain("Next")},
       "axy"},
      {"Continue in For Each takes the next item",
       {Set("TRAIL", ""), Plain("For Each", {"ITEM", ";", "a;b"}), Add("$ITEM$"), Plain("Continue"), Add("x"),
        Plain("Next"), Add("z")},
       "abz"},
      {"GoTo Label out of a For Each leaves its list behind",
       {Set("TRAIL", ""), Set("LIST", "a;b;c"), Plain("Label", {"top"}), Plain("For Each", {"ITEM", ";", "$LIST$"}),
        Add("$ITEM$"), If("If", "ITEM", "0", "b"), Set("LIST", "x;y"), Plain("GoTo Label", {"TOP"}), Plain("End"),
        Plain("Next"), Add("z")},
       "abxyz"},
      {"GoTo Label jumps forward over statements",
       {Set("TRAIL", ""), Plain("GoTo Label", {"later"}), Add("x"), Plain("Label", {"Later"}), Add("z")},
       "z"},
      {"unknown and commented statements do nothing",
       {Set("TRAIL", ""), Plain("Code Folding Region", {"x"}), {"Hide Dialog", {}, true}, Plain("Ignore"), Add("z")},
       "z"},
      {"a last statement commented out ends the run after the one before",
       {Set("TRAIL", ""), Add("a"), {"Hide Dialog", {}, true}},
       "a"},
  };
  for (const FlowCase& c : cases) {
    SCOPED_TRACE(c.name);
    const RunResult r = Run(c.statements);
    EXPECT_EQ(r.trail, c.trail);
    EXPECT_FALSE(r.outcome.runtimeError) << r.trace;
  }
}

struct WizardCase {
  const char* name;
  std::deque<int> results;
  std::string shown;
};

TEST_F(InterpreterTest, WizardLoopNavigatesByDialogResult) {
  const WizardCase cases[] = {
      {"Next on every page", {6, 6, 6}, "123"},
      {"Back on the first page leaves the loop", {7}, "1"},
      {"Back and forth", {6, 7, 6, 6, 6}, "12123"},
      {"Cancel leaves the loop", {6, 2}, "12"},
      {"another result keeps the direction", {6, 0, 7, 7, 7}, "12321"},
  };
  for (const WizardCase& c : cases) {
    SCOPED_TRACE(c.name);
    dialogResults = c.results;
    dialogsShown.clear();
    const RunResult r =
        Run({Set("TRAIL", ""), Plain("Wizard Loop"), Plain("Display Dialog", {"1", "", "", ""}), Plain("Comment", {"between"}),
             Plain("Display Dialog", {"2", "", "", ""}), {"Display Dialog", {"x", "", "", ""}, true}, Plain("Display Dialog", {"3", "", "", ""}),
             Plain("End"), Add("z")});
    EXPECT_EQ(dialogsShown, c.shown);
    EXPECT_EQ(r.trail, "z");
  }
}

// Statements of an included file: its context and source reference.
void Include(CompiledScript& script, size_t from, size_t to, const char* context, const char* file) {
  auto& contexts = script.includeContexts.MutableLines();
  auto& references = script.sourceReferences.MutableLines();
  for (size_t n = from; n <= to; ++n) {
    contexts[n] = Utf8ToText(context);
    references[n] = Utf8ToText(file) + u"*" + IntToText(static_cast<int64_t>(n - from));
  }
}

TEST_F(InterpreterTest, ReturnFromIncludeContinuesInTheIncludingScript) {
  CompiledScript script = MakeScript({Set("TRAIL", ""), Set("R", ""), Plain("Comment", {"Begin include"}), Add("i"),
                                      Plain("Return from Include Script", {"done $TRAIL$"}), Add("x"),
                                      Plain("Comment", {"End include"}), Add("m"),
                                      Plain("Return from Include Script", {"ignored"}), Add("z")});
  Include(script, 2, 5, "R*1", "lib\\part.oxs");
  const RunResult r = Run(script);
  EXPECT_EQ(r.trail, "imz");
  EXPECT_EQ(ProcessVariables().Get(u"R"), u"done i");
}

TEST_F(InterpreterTest, AForEachLeftByTheEndOfAnIncludeLeavesNoList) {
  // The same file included twice; the first inclusion returns from inside the loop.
  std::vector<Statement> statements = {Set("TRAIL", ""), Set("LIST", "a;b")};
  for (int round = 0; round < 2; ++round) {
    const std::vector<Statement> part = {Plain("Comment", {"Begin include"}), Plain("For Each", {"ITEM", ";", "$LIST$"}),
                                         Add("$ITEM$"), Plain("Return from Include Script", {""}), Plain("Next"),
                                         Plain("Comment", {"End include"}), Set("LIST", "x;y")};
    statements.insert(statements.end(), part.begin(), part.end());
  }
  CompiledScript script = MakeScript(statements);
  Include(script, 2, 6, "*1", "part.oxs");
  Include(script, 9, 13, "*1", "part.oxs");
  EXPECT_EQ(Run(script).trail, "ax");
}

TEST_F(InterpreterTest, ExitCodeComesFromTerminateWithExitCode) {
  const std::pair<const char*, int> cases[] = {{"3010", 3010}, {"abc", 0}, {"$CODE$", 42}, {"-1", -1}};
  for (const auto& [parameter, expected] : cases) {
    SCOPED_TRACE(parameter);
    const RunResult r = Run({Set("TRAIL", ""), Set("CODE", "42"), Plain("Terminate with Exit Code", {parameter}),
                             Add("x")});
    EXPECT_EQ(r.exitCode, expected);
    EXPECT_EQ(r.trail, "");
    EXPECT_NE(r.trace.find("    </ExitScript>"), std::string::npos);
  }
  const RunResult r = Run({Set("TRAIL", ""), Plain("Terminate Install"), Add("x")});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.trail, "");
}

TEST_F(InterpreterTest, RuntimeErrorNamesTheIncludedFileAndLine) {
  CompiledScript script = MakeScript({Set("TRAIL", ""), Plain("Comment", {"Begin include"}), Add("a"), Add("b"),
                                      Plain("Hide Dialog"), Plain("Comment", {"End include"}), Add("z")});
  Include(script, 1, 4, "*1", "lib\\checks.oxs");
  const RunResult r = Run(script);
  EXPECT_TRUE(r.outcome.runtimeError);
  EXPECT_EQ(r.trail, "ab");
  EXPECT_NE(r.trace.find("Runtime error in setup script: the disk is on fire [Source File: checks, Line Number: 4]"),
            std::string::npos)
      << r.trace;
  // The script ends without its closing lines.
  EXPECT_EQ(r.trace.find("</zuri>"), std::string::npos);
  EXPECT_EQ(RuntimeErrorText(script, 4, u"boom"),
            u"Runtime error in setup script:\r\rSource File: checks\rLine Number: 4\r\rboom");
}

TEST_F(InterpreterTest, SingleInstanceMarkerLivesAsLongAsTheRun) {
  CompiledScript script = MakeScript({Set("TRAIL", ""), Plain("If", {"MARK", "5", "", "FALSE"}), Add("x"), Plain("End")});
  script.product.revisionCode = u"{REV}";
  script.buildVariables.Add(u"SINGLEINSTANCE");
  script.buildVariables.Add(u"true");
  const std::filesystem::path marker = folder / "{REV}.oxa";

  RunResult r = Run(script);
  EXPECT_FALSE(r.outcome.secondInstance);
  EXPECT_FALSE(std::filesystem::exists(marker)) << "the exit-script step removes the marker";

  { std::ofstream(marker).put('x'); }
  r = Run(script);
  EXPECT_TRUE(r.outcome.secondInstance);
  EXPECT_TRUE(std::filesystem::exists(marker)) << "the first run's marker stays";
  EXPECT_EQ(r.trace.find("<zuri>"), std::string::npos);
}

TEST_F(InterpreterTest, CommandLineAssignmentsAndEngineCache) {
  startup.assignments = {{u"GREETING", u"hi"}};
  CompiledScript script = MakeScript({Set("TRAIL", "$GREETING$"), Set("GREETING", "changed"), Add("-$GREETING$")});
  script.product.revisionCode = u"{REV}";
  const RunResult r = Run(script);
  EXPECT_EQ(r.trail, "hi-hi") << "a silent run keeps what the command line set";
  EXPECT_EQ(ProcessVariables().Get(u"ENGINECACHE"), u"{REV}\\");
  EXPECT_EQ(ProcessVariables().Get(u"UNINSTALLLINK"), u"{REV}\\setup.exe");
}

TEST_F(InterpreterTest, CacheOverrideCreatesAndRemovesItsFolders) {
  const std::string cache = folder.string() + "/cache/deeper";
  CompiledScript script = MakeScript({Set("TRAIL", ""), Set("OVERRIDECACHE", cache), Add("a"), Add("b")});
  script.product.revisionCode = u"{REV}";
  Run(script);
  EXPECT_EQ(TextToUtf8(ProcessVariables().Get(u"OVERRIDECACHE")), cache + "\\");
  EXPECT_FALSE(std::filesystem::exists(folder / "cache")) << "the folders made to test the value go again";
  EXPECT_EQ(TextToUtf8(ProcessVariables().Get(u"ENGINECACHE")), cache + "\\{REV}\\");
}

TEST(ControlFlowTest, SearchesWithoutAPartnerAreErrorsOfTheStatement) {
  struct Case {
    const char* name;
    std::vector<Statement> statements;
    void (ControlFlow::*step)(size_t);
    size_t at;
  };
  const Case cases[] = {
      {"While without Wend", {Plain("While", {"N", "0", "x", "FALSE"}), Plain("Comment")}, &ControlFlow::While, 0},
      {"Wend without While", {Plain("Comment"), Plain("Wend")}, &ControlFlow::Wend, 1},
      {"Next without For Each", {Plain("Next")}, &ControlFlow::Next, 0},
      {"Break outside a loop", {Plain("Break")}, &ControlFlow::Break, 0},
      {"GoTo an unknown label", {Plain("GoTo Label", {"nowhere"})}, &ControlFlow::GoToLabel, 0},
      {"Return with no including statement", {Plain("Return from Include Script", {""})},
       &ControlFlow::ReturnFromInclude, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CompiledScript script = MakeScript(c.statements);
    script.includeContexts.MutableLines()[0] = u"*1";
    TVariableManager vars(false);
    vars.Define(u"N", u"1", u"Test");
    ControlFlow flow(script, vars);
    EXPECT_THROW((flow.*c.step)(c.at), EngineError);
  }
  // An If whose chain never ends fails at the next fetch, not by running off the table.
  CompiledScript script = MakeScript({Plain("If", {"N", "0", "x", "FALSE"}), Plain("Comment")});
  TVariableManager vars(false);
  vars.Define(u"N", u"1", u"Test");
  ControlFlow flow(script, vars);
  ASSERT_EQ(flow.Fetch(), 0u);
  flow.If(0);
  EXPECT_THROW((void)flow.Fetch(), EngineError);
}

}  // namespace
}  // namespace vx

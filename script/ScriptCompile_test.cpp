#include "script/ScriptCompile.h"

#include <gtest/gtest.h>

#include "script/TestScript.h"
#include "script/VariableManager.h"

namespace vx {
namespace {

using testing::MakeScript;
using testing::Statement;

struct Case {
  const char* what;
  std::vector<Statement> statements;
  int32_t result;
  std::string message;
};

constexpr int32_t kOk = kCompileAccepted;
const std::string kAccepted = "Script compiled successfully";

void ExpectCompiles(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    const CompileResult r = CompileScript(MakeScript(c.statements));
    EXPECT_EQ(r.result, c.result) << c.what;
    EXPECT_EQ(TextToUtf8(r.message), c.message) << c.what;
  }
}

Statement If(std::string variable, std::string code = "0", std::string value = "") {
  return {"If", {std::move(variable), std::move(code), std::move(value), "FALSE"}};
}
Statement While(std::string variable) { return {"While", {std::move(variable), "0", "", "FALSE"}}; }
Statement Until(std::string variable) { return {"Until", {std::move(variable), "0", "", "FALSE"}}; }
Statement ForEach(std::string variable) { return {"For Each", {std::move(variable), ";", "a;b"}}; }
Statement Plain(std::string command) { return {std::move(command), {}}; }
Statement Commented(Statement s) {
  s.commentedOut = true;
  return s;
}

TEST(CompileScript, BlockStructure) {
  ExpectCompiles({
      {"balanced blocks", {If("SILENT"), While("SILENT"), Plain("Break"), Plain("Wend"), Plain("End")}, kOk, kAccepted},
      {"Break in an If in a While", {While("SILENT"), If("SILENT"), Plain("Break"), Plain("End"), Plain("Wend")}, kOk,
       kAccepted},
      {"Continue in a Repeat", {Plain("Repeat"), Plain("Continue"), Until("SILENT")}, kOk, kAccepted},
      {"Break at top level", {Plain("Comment"), Plain("Break")}, 1, "Break not allowed outside of LOOP scope"},
      {"Continue after the loop closed",
       {While("SILENT"), Plain("Wend"), Plain("Continue")}, 2, "Continue not allowed outside of LOOP scope"},
      {"wizard loop holding an If",
       {Plain("Wizard Loop"), If("SILENT"), Plain("End"), Plain("End")}, 3,
       "IF conditional closed outside of IF conditional scope"},
      {"End closing a While's scope",
       {If("SILENT"), While("SILENT"), Plain("End"), Plain("Wend")}, 2, "IF conditional closed outside of LOOP scope"},
      {"Wend across an If",
       {While("SILENT"), If("SILENT"), Plain("Wend"), Plain("End")}, 2,
       "WHILE loop closed outside of CONDITIONAL or REPEAT or FOR EACH loop scope"},
      {"stray Wend", {Plain("Wend")}, 0, "WHILE loop closed outside of WHILE loop scope"},
      {"Until across an If",
       {Plain("Repeat"), If("SILENT"), Until("SILENT"), Plain("End")}, 2,
       "REPEAT loop closed outside of CONDITIONAL or WHILE or FOR EACH loop scope"},
      {"stray Until", {Until("SILENT")}, 0, "REPEAT loop closed outside of REPEAT loop scope"},
      {"Next across a While",
       {ForEach("I"), While("SILENT"), Plain("Next"), Plain("Wend")}, 2,
       "FOR EACH loop closed outside of CONDITIONAL or REPEAT or WHILE loop scope"},
      {"stray Next", {Plain("Next")}, 0, "FOR EACH loop closed outside of FOR EACH loop scope"},
      {"nested For Each on one variable",
       {ForEach("I"), ForEach("i"), Plain("Next"), Plain("Next")}, 1,
       "FOR EACH variable re-used inside nested FOR EACH loop"},
      {"consecutive For Each on one variable",
       {ForEach("I"), Plain("Next"), ForEach("I"), Plain("Next")}, kOk, kAccepted},
      {"Label inside an If",
       {If("SILENT"), {"Label", {"Inside"}}, Plain("End")}, 1,
       "LABEL statements cannot be nested inside loops/conditionals"},
      {"commented statements take no part",
       {Commented(Plain("Break")), If("SILENT"), Plain("End"), Commented(Plain("End")), Commented(Plain("Wend"))}, kOk,
       kAccepted},
  });
}

TEST(CompileScript, CountChecks) {
  ExpectCompiles({
      {"one End more than openers",
       {Plain("Wizard Loop"), {"Display Dialog", {"Welcome", "", "", ""}}, Plain("End"), Plain("End")},
       kCompileCountMismatch, "Too many END statements"},
      {"If left open", {If("SILENT")}, kCompileCountMismatch, "Insufficient END statements"},
      {"While left open", {While("SILENT")}, kCompileCountMismatch, "Insufficient WEND statements"},
      {"Repeat left open", {Plain("Repeat")}, kCompileCountMismatch, "Insufficient UNTIL statements"},
      {"For Each left open", {ForEach("I")}, kCompileCountMismatch, "Insufficient NEXT statements"},
  });
  EXPECT_EQ(kCompileCountMismatch, 0x7FFFFFFC);
}

TEST(CompileScript, Labels) {
  ExpectCompiles({
      {"forward jump", {{"GoTo Label", {"Done"}}, {"Label", {"DONE"}}}, kOk, kAccepted},
      {"label defined twice", {{"Label", {"Again"}}, Plain("Comment"), {"Label", {"again"}}}, 2,
       "LABEL re-defined: again"},
      {"jump to nowhere", {{"Label", {"Here"}}, {"GoTo Label", {"Nowhere"}}}, 1, "LABEL undefined: Nowhere"},
  });
}

TEST(CompileScript, VariablesCountAsDeclaredInFileOrder) {
  ExpectCompiles({
      {"read before written",
       {{"Convert Path", {"WINDIR", "FALSE"}}, {"Get System Settings", {"WINDIR", "1"}}}, 0,
       "Variable not defined: WINDIR"},
      {"written before read",
       {{"Get System Settings", {"windir", "1"}}, {"Convert Path", {"WINDIR", "FALSE"}}}, kOk, kAccepted},
      {"persisted Set Variable is declared up front",
       {{"Convert Case", {"SAVED", "TRUE"}}, {"Set Variable", {"SAVED$ZURI$ZURI$TRUE", "x"}}}, kOk, kAccepted},
      {"not persisted: declared where it stands",
       {{"Convert Case", {"SAVED", "TRUE"}}, {"Set Variable", {"SAVED$ZURI$ZURI$FALSE", "x"}}}, 0,
       "Variable not defined: SAVED"},
      {"Set Variable target as a reference",
       {{"Set Variable", {"$COUNT$", "1"}}, If("COUNT"), Plain("End")}, kOk, kAccepted},
      {"engine names", {If("TARGETDIR"), Plain("End"), If("$ZURI_DISABLEROLLBACK$"), Plain("End")}, kOk, kAccepted},
      {"run-time name of a setting", {If("ZURI_DISABLE_ROLLBACK"), Plain("End")}, 0,
       "Variable not defined: ZURI_DISABLE_ROLLBACK"},
      {"Run Program's exit-code variable is parameter 5",
       {{"Run Program", {"app.exe", "FALSE", "", "TRUE", "EXITCODE"}}, If("EXITCODE", "0", "0"), Plain("End")}, kOk,
       kAccepted},
      {"Run Program's wait flag declares nothing",
       {{"Run Program", {"app.exe", "FALSE", "", "WAITED", ""}}, If("WAITED"), Plain("End")}, 1,
       "Variable not defined: WAITED"},
      {"Replace String accepts a reference",
       {{"Set Variable", {"S", "abc"}}, {"Replace String", {"$S$", "a", "b", "FALSE", "TRUE"}}}, kOk, kAccepted},
      {"Extract Path on an unknown variable", {{"Extract Path", {"P", "1"}}}, 0, "Variable not defined: P"},
      {"required result missing", {{"Get System Settings", {"", "1"}}}, 0, "Variable required"},
      {"Set Variable without a name", {{"Set Variable", {"$ZURI$ZURI$TRUE", "x"}}}, 0, "Variable required"},
      {"optional result declared",
       {{"Terminate Process", {"app.exe", "KILLED"}}, If("KILLED"), Plain("End")}, kOk, kAccepted},
  });
}

TEST(CompileScript, ConditionsAndLoops) {
  ExpectCompiles({
      {"condition without variable", {If(""), Plain("End")}, 0, "Variable required"},
      {"code 5 needs no declaration", {If("UNKNOWN", "5"), Plain("End")}, kOk, kAccepted},
      {"undefined variable", {{"Else If", {"UNKNOWN", "0", "", "FALSE"}}}, 0, "Variable not defined: UNKNOWN"},
      {"undefined reference as value", {If("SILENT", "0", "$UNKNOWN$"), Plain("End")}, 0,
       "Variable not defined: $UNKNOWN$"},
      {"value with more than one reference is not checked", {If("SILENT", "0", "a $UNKNOWN$"), Plain("End")}, kOk,
       kAccepted},
      {"While on an undefined variable", {While("NOPE"), Plain("Wend")}, 0, "Variable not defined: NOPE"},
      {"Until on an undefined variable", {Plain("Repeat"), Until("NOPE")}, 1, "Variable not defined: NOPE"},
      {"loop variable lives inside its loop",
       {ForEach("ITEM"), If("ITEM"), Plain("End"), Plain("Next"), ForEach("$ITEM$"), Plain("Next")}, kOk, kAccepted},
      {"loop variable is gone after Next", {ForEach("ITEM"), Plain("Next"), If("ITEM"), Plain("End")}, 2,
       "Variable not defined: ITEM"},
      {"For Each over a defined variable", {{"Set Variable", {"ITEM", "x"}}, ForEach("ITEM"), Plain("Next")}, 1,
       "FOR EACH variable previously defined outside FOR EACH loop"},
      {"For Each without variable", {ForEach(""), Plain("Next")}, 0, "Variable required"},
  });
}

TEST(CompileScript, CommandSpecificChecks) {
  const std::string installFiles =
      "A target folder must be specified for files that are being installed.\r"
      "The value $TARGETDIR$ represents the destination folder chosen by the user.";
  const std::string syntax =
      "Syntax error in expression. Please review the help topic \"Evaluate Expression\" for the correct syntax.";
  ExpectCompiles({
      {"web block with a path", {{"Web Media Block", {"C:\\media\\block1", "https://x.example/b1"}}}, kOk, kAccepted},
      {"web block name with a slash", {{"Web Media Block", {"disk/1", "https://x"}}}, 0,
       "Web Media Block name must be a legal file name"},
      {"web block name with a question mark", {{"Web Media Block", {"a?b", "https://x"}}}, 0,
       "Web Media Block name must be a legal file name"},
      {"web block without URL", {{"Web Media Block", {"block1", ""}}}, 0,
       "Web Media Block must have at least one download URL"},
      {"web block without name", {{"Web Media Block", {"", ""}}}, kOk, kAccepted},
      {"Mathematics seeding needs no result", {{"Mathematics", {"1", "2", "13", ""}}}, kOk, kAccepted},
      {"Mathematics needs a result", {{"Mathematics", {"1", "2", "1", ""}}}, 0, "Variable required"},
      {"Mathematics declares its result", {{"Mathematics", {"1", "2", "1", "SUM"}}, {"Convert Case", {"SUM", "TRUE"}}},
       kOk, kAccepted},
      {"Parse String without results", {{"Parse String", {"a;b", ";", "", "", "0", "FALSE", "FALSE"}}}, 0,
       "Variable required"},
      {"Parse String second part only",
       {{"Parse String", {"a;b", ";", "", "REST", "0", "FALSE", "FALSE"}}, {"Convert Case", {"REST", "TRUE"}}}, kOk,
       kAccepted},
      {"Delete Files without a mode", {{"Delete Files", {"C:\\x", "*.*", "FALSE", "FALSE"}}}, 0,
       "At least one delete mode must be selected"},
      {"Delete Files with mode -1", {{"Delete Files", {"C:\\x", "*.*", "FALSE", "-1"}}}, kOk, kAccepted},
      {"Install Files without target", {{"Install Files", {"data\\*.*", "", ""}}}, 0, installFiles},
      {"expression with references", {{"Evaluate Expression", {"$SILENT$ = \"TRUE\" or $LOGGED$ <> \"\"", "R"}}}, kOk,
       kAccepted},
      {"malformed expression", {{"Evaluate Expression", {"$SILENT$ == \"TRUE\"", "R"}}}, 0, syntax},
      {"expression without result", {{"Evaluate Expression", {"\"a\" = \"a\"", ""}}}, 0, "Variable required"},
      {"registry result before the bar",
       {{"Read Registry", {"KEYVAL|HKLM|x", "", ""}}, {"Convert Case", {"KEYVAL", "TRUE"}}}, kOk, kAccepted},
      {"registry without result", {{"Check Registry", {"|HKLM|x", "", ""}}}, 0, "Variable required"},
      {"dialog without name", {{"Display Dialog", {"", "", "", ""}}}, 0, "Dialog name not specified"},
      {"dialog watching an unknown variable", {{"Display Dialog", {"Welcome", "", "", "$NOPE$"}}}, 0,
       "Variable not defined: $NOPE$"},
      {"dialog declares its result",
       {{"Display Dialog", {"Welcome", "CHOICE", "", "$CHOICE$"}}}, kOk, kAccepted},
      {"restore point without result", {{"System Restore", {"TRUE", "Acme", ""}}}, 0, "Variable required"},
      {"restore point removal", {{"System Restore", {"FALSE", "Acme", ""}}}, kOk, kAccepted},
      {"wizard loop with another command",
       {Plain("Wizard Loop"), {"Display Dialog", {"A", "", "", ""}}, Plain("Comment"),
        {"Set Variable", {"X", "1"}}, Plain("End")},
       3, "Statements other than DISPLAY DIALOG not allowed inside WIZARD LOOP"},
      {"wizard loop with dialogs, comments and ignored statements",
       {Plain("Wizard Loop"), {"Display Dialog", {"A", "", "", ""}}, Plain("Ignore"),
        Commented({"Set Variable", {"X", "1"}}), Plain("End"), {"Set Variable", {"X", "1"}}},
       kOk, kAccepted},
  });
}

TEST(CompileScript, ChangeStateListAndStore) {
  const CompiledScript script = MakeScript({
      {"Install Files", {"data\\*.*", "", "$TARGETDIR$"}},
      Commented({"Write Registry", {"x"}}),
      {"Set Variable", {"X", "1"}},
      {"Create Shortcut", {"x"}},
      Plain("Unknown Editor Statement"),
  });
  TVariableManager store;
  store.Store(u"LEFTOVER", u"x");
  const CompileResult r = CompileScript(script, store);
  ASSERT_TRUE(r.Accepted()) << TextToUtf8(r.message);
  EXPECT_EQ(r.changeStates, (std::vector<Text>{u"FALSE", u"SKIP", u"SKIP", u"FALSE", u"SKIP"}));
  EXPECT_FALSE(store.Exists(u"LEFTOVER"));  // the store is emptied first
  EXPECT_TRUE(store.Exists(u"X"));
  EXPECT_TRUE(store.Exists(u"SAVEDATA"));
}

TEST(CompileScript, MissingParametersReadAsEmpty) {
  // The last block of the parameter list ends early: reading on must not fail the check itself.
  const CompileResult r = CompileScript(MakeScript({{"Run Program", {"app.exe", "FALSE"}}}));
  EXPECT_TRUE(r.Accepted()) << TextToUtf8(r.message);
  const CompileResult bad = CompileScript(MakeScript({{"Get Temporary File", {}}}));
  EXPECT_EQ(bad.result, 0);
  EXPECT_EQ(bad.message, u"Variable required");
}

}  // namespace
}  // namespace vx

#include "state/ComponentCommands.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/FileIO.h"
#include "script/EngineError.h"
#include "script/TestScript.h"
#include "state/ComponentState.h"
#include "state/Components.h"

namespace vx {
namespace {

using testing::MakeScript;
using testing::Statement;

class ComponentCommandsTest : public ::testing::Test {
 protected:
  ComponentCommandsTest() : run(exitCode) {
    RegisterComponentCommands(table);
    ProcessComponents() = TComponentModel();
    ProcessComponents().Reset(TextList({u"ZURI-PREDEF-COMPONENT", u"1000", u"Program", u"5000000", u"Docs", u"300"}));
    ProcessComponents().Define(kPredefinedComponent, true, u"");
    ProcessPersistedVariables().Clear();
    folder = std::filesystem::temp_directory_path() /
             ("vx-components-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
  }
  ~ComponentCommandsTest() override {
    std::filesystem::remove_all(folder);
    ProcessComponents() = TComponentModel();
    ProcessPersistedVariables().Clear();
  }

  void RunAll(const std::vector<Statement>& statements) {
    const CompiledScript script = MakeScript(statements);
    for (size_t n = 0; n < script.StatementCount(); ++n) {
      CommandContext ctx(script, n, vars, trace, run);
      DispatchStatement(table, ctx);
    }
  }

  std::string File(const char* name) const { return (folder / name).string(); }

  int exitCode = 0;
  ScriptRun run;
  CommandTable table;
  TVariableManager vars{false};
  RunTrace trace;
  std::filesystem::path folder;
};

TEST_F(ComponentCommandsTest, StateAndSpaceAnswers) {
  vars.Define(u"PART", u"Docs", u"test");
  RunAll({
      {"Define Component", {"Program", "TRUE", "Main files of $PART$"}},
      {"Define Component", {"$PART$", "FALSE", ""}},
      {"Define Component", {"Program", "FALSE", "second description"}},
      {"Get Component State", {"program", "PROGRAM_ON"}},
      {"Get Component State", {"Docs", "$DOCS_ON$"}},
      {"Get Component Space", {"", "REQUIRED"}},
      {"Get Component Space", {"$PART$", "DOCS_SIZE"}},
      {"Get Component Space", {"Nowhere", "NOWHERE_SIZE"}},
      {"Set Component Space", {"Docs", "12 kB"}},
      {"Get Component Space", {"Docs", "DOCS_SIZE_AFTER_TEXT"}},
      {"Set Component Space", {"Docs", "4096"}},
      {"Set Component State", {"Docs", "-1"}},
      {"Get Component Space", {"", "REQUIRED_WITH_DOCS"}},
      {"Delete Component", {"Program"}},
      {"Get Component State", {"Program", "PROGRAM_AFTER_DELETE"}},
      {"Get Component Space", {"", "REQUIRED_AFTER_DELETE"}},
      {"Set Component Choice", {"Docs", "FALSE"}},
      {"Set Component Visibility", {"Docs", "false"}},
  });
  struct Case {
    const char16_t* variable;
    const char16_t* value;
  };
  const Case cases[] = {
      {u"PROGRAM_ON", u"TRUE"},         {u"DOCS_ON", u"FALSE"},
      {u"REQUIRED", u"5001000"},        {u"DOCS_SIZE", u"300"},
      {u"NOWHERE_SIZE", u"0"},          {u"DOCS_SIZE_AFTER_TEXT", u"300"},
      {u"REQUIRED_WITH_DOCS", u"5005096"}, {u"PROGRAM_AFTER_DELETE", u"FALSE"},
      {u"REQUIRED_AFTER_DELETE", u"5096"},
  };
  for (const Case& c : cases) EXPECT_EQ(vars.Get(c.variable), c.value) << TextToUtf8(c.variable);
  const TComponentModel& model = ProcessComponents();
  EXPECT_EQ(model.Description(u"Program"), u"second description");
  EXPECT_TRUE(model.IsFixed(u"Docs"));
  EXPECT_TRUE(model.IsHidden(u"Docs"));  // "false" in lower case is not a true flag: hidden
}

TEST_F(ComponentCommandsTest, SavedSelectionsLoadIntoALaterRun) {
  vars.Define(u"TARGETDIR", u"C:\\Acme\\", u"test");
  vars.Define(u"ALLUSERS", u"TRUE", u"test");
  vars.Define(u"STARTMENU", u"Acme", u"test");
  vars.Define(u"FLAVOUR", u"two\r\nlines", u"test");
  ProcessPersistedVariables().Add(u"FLAVOUR");
  run.SetBitnessMode(kModeX64);
  const std::string path = File("choice.dat");
  RunAll({
      {"Define Component", {"Program", "TRUE", ""}},
      {"Define Component", {"Docs", "TRUE", ""}},
      {"Set Component State", {"Docs", "FALSE"}},
      {"Set Component Visibility", {"Program", "FALSE"}},
      {"Save Feature Selections", {path}},
  });
  const auto saved = platform::ReadWholeFile(Utf8ToText(path));
  ASSERT_TRUE(saved.has_value());
  EXPECT_NE(saved->find("Acme\r\n\r\nFLAVOUR\r\ntwo$NEWLINE$lines\r\nZURI64WOW\r\nx64\r\n"), std::string::npos)
      << "the data folder line of saved selections is empty";

  // A later run: other defaults, one more component, and a component the file does not know.
  ProcessComponents().Reset(TextList());
  ProcessPersistedVariables().Clear();
  vars.Set(u"TARGETDIR", u"D:\\Other\\", u"test");
  vars.Delete(u"FLAVOUR");
  run.SetBitnessMode(kModeWin32);
  RunAll({
      {"Define Component", {"Docs", "TRUE", ""}},
      {"Define Component", {"Extra", "TRUE", ""}},
      {"Load Feature Selections", {path}},
      {"Load Feature Selections", {File("absent.dat")}},
      {"Get Component State", {"Docs", "DOCS"}},
      {"Get Component State", {"Extra", "EXTRA"}},
      {"Get Component State", {"Program", "PROGRAM"}},
  });
  EXPECT_EQ(vars.Get(u"DOCS"), u"FALSE");
  EXPECT_EQ(vars.Get(u"EXTRA"), u"TRUE");
  EXPECT_EQ(vars.Get(u"PROGRAM"), u"FALSE");  // not defined in this run: the file's entry is ignored
  EXPECT_EQ(vars.Get(u"TARGETDIR"), u"C:\\Acme\\");
  EXPECT_EQ(vars.Get(u"FLAVOUR"), u"two\r\nlines");
  EXPECT_EQ(ProcessPersistedVariables().Names(), std::vector<Text>{u"FLAVOUR"});
  EXPECT_EQ(run.BitnessMode(), kModeX64);
  EXPECT_EQ(ProcessComponents().HiddenNames(), std::vector<Text>{u"Program"});
}

TEST_F(ComponentCommandsTest, DamagedOrUnwritableFilesEndTheStatementWithAClearError) {
  const std::string damaged = File("damaged.dat");
  ASSERT_TRUE(platform::AppendToFile(Utf8ToText(damaged), "Program\r\n$\r\nTRUE\r\n", true));
  EXPECT_THROW(RunAll({{"Load Feature Selections", {damaged}}}), EngineError);
  try {
    RunAll({{"Save Feature Selections", {File("no-such-folder/choice.dat")}}});
    ADD_FAILURE() << "no error";
  } catch (const EngineError& e) {
    EXPECT_NE(std::string(e.what()).find("Cannot write the feature selections to"), std::string::npos);
  }
}

}  // namespace
}  // namespace vx

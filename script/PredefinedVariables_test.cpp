#include "script/PredefinedVariables.h"

#include <gtest/gtest.h>

#include "script/TestScript.h"

namespace vx {
namespace {

class PredefinedVariablesTest : public ::testing::Test {
 protected:
  PredefinedVariablesTest() {
    script = testing::MakeScript({});
    script.product.title = u"Acme Tools";
    script.product.publisher = u"Acme Inc.";
    script.product.version = u"1.2.3";
    startup.exeFolder = u"C:\\dist\\";
    startup.exeName = u"setup.exe";
    startup.tempFolder = u"C:\\Temp\\";
    startup.supportFolder = u"C:\\Temp\\oxa1234\\";
    startup.commandLineRest = u"/s NATIVE_ENGINE=TRUE";
    startup.logPath = u"c:\\logs\\run.log";
    facts.owner = u"Jo Owner";
    facts.organization = u"Jo's Shop";
    facts.elevatedAdministrator = true;
  }

  void DefineAll() {
    const PredefinedSources from{script, startup, facts, u"C:\\Temp\\oxa1234\\setup.msi"};
    StoreProgressVariables(vars, 4242);
    DefinePreInitializationVariables(vars, from);
    ASSERT_TRUE(DefineInitializationVariables(vars, from));
    ApplyCommandLineAssignments(vars, startup);
  }

  CompiledScript script;
  StartupValues startup;
  platform::FixedSystemFacts facts;
  TVariableManager vars;
};

TEST_F(PredefinedVariablesTest, InitialValues) {
  DefineAll();
  struct Case {
    const char16_t* name;
    const char16_t* value;
  };
  const Case cases[] = {
      {u"ZURI_thProgress", u"0"}, {u"ZURI_thMax", u"100"}, {u"ZURI_thFinished", u"FALSE"},
      {u"ZURI_IsCancelled", u"FALSE"}, {u"ZURI_LastDelegateTick", u"4242"}, {u"ZURI_LastActiveTick", u"4242"},
      {u"TARGETDIR", u""}, {u"STARTMENU", u"Acme Tools"}, {u"ALLUSERS", u"TRUE"},
      {u"ZURI_TIMEOUT", u"10"}, {u"ZURI_COMPRESS_INSTALLER_CACHE", u"FALSE"}, {u"ZURI_DISABLE_ROLLBACK", u"FALSE"},
      {u"ZURI_DISABLE_VISTA_RESTART_MANAGER", u"FALSE"}, {u"NATIVE_ENGINE", u"FALSE"}, {u"NATIVE_ROLLBACK", u"TRUE"},
      {u"NATIVE_HARDLINK", u"TRUE"}, {u"NATIVE_ERROR", u"PROMPT"}, {u"NATIVE_OVERWRITE", u"PROMPT"},
      {u"NATIVE_OVERWRITE_OLDER", u"FALSE"}, {u"NATIVE_PROGRESS", u"0"}, {u"DELAYUNTIL_APPLYCHANGES", u"FALSE"},
      {u"NATIVE_OVERRIDE_PERMISSIONS", u"FALSE"}, {u"NATIVE_OVERRIDE_NON_RESTORABLE_PERMISSIONS", u"FALSE"},
      {u"IISHOST", u"localhost"}, {u"OVERRIDECACHE", u""}, {u"SELECTED", u"0"}, {u"WINDOWHANDLE", u"0"},
      {u"EXEFILE", u"C:\\dist\\setup.exe"}, {u"EXEDIR", u"C:\\dist\\"}, {u"ROOTDIR", u"C:\\dist\\"},
      {u"CUSTOM_TASKBAR_PROGRESS_ENABLED", u"FALSE"}, {u"CUSTOM_TASKBAR_PROGRESS_PERCENT", u"0"},
      {u"CUSTOM_TASKBAR_PROGRESS_MAX", u"100"}, {u"ABORT", u"FALSE"}, {u"PROGRESS", u"0"}, {u"LICENSE", u"FALSE"},
      {u"USERNAME", u"Jo Owner"}, {u"USERCOMPANY", u"Jo's Shop"}, {u"REBOOTCOMPUTER", u"FALSE"}, {u"RUNAPP", u"TRUE"},
      {u"WIZARD", u"NEXT"}, {u"FX", u"SLIDE"}, {u"FXGROUND", u"BACKGROUND"}, {u"FXTIME", u"1000"},
      {u"VERSION", u"1.2.3"}, {u"SILENT", u"FALSE"}, {u"LOGGED", u"c:\\logs\\run.log"},
      {u"CMDLINE", u"/s NATIVE_ENGINE=TRUE"}, {u"REBOOTNOW", u"OK"}, {u"SFXPATH", u""}, {u"SFXFILE", u""},
      {u"GPOPATH", u""}, {u"SETUPPATH", u"$EXEDIR$"}, {u"COMPLETE", u"TRUE"}, {u"NEWLINE", u"\r\n"},
      {u"MINIMUM", u"FALSE"}, {u"PERSONALIZED", u"FALSE"}, {u"MODIFY", u"TRUE"}, {u"GLASS", u"TRUE"},
      {u"REPAIR", u"FALSE"}, {u"REMOVE", u"FALSE"}, {u"TITLE", u"Acme Tools"}, {u"COMPANY", u"Acme Inc."},
      {u"ADVERTISE", u"FALSE"}, {u"DATE", u"2026-01-02"}, {u"TIME", u"03:04:05"}, {u"TEMPDIR", u"C:\\Temp\\"},
      {u"ABORTONERROR", u"TRUE"}, {u"ABORTEDONERROR", u"FALSE"}, {u"SAVEDATA", u"FALSE"},
      {u"SUPPORTDIR", u"C:\\Temp\\oxa1234\\"}, {u"MSIFILE", u"C:\\Temp\\oxa1234\\setup.msi"}, {u"LANGUAGE", u""},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(vars.Exists(c.name)) << TextToUtf8(c.name);
    EXPECT_EQ(vars.Get(c.name), c.value) << TextToUtf8(c.name);
  }
  for (const char16_t* empty : {u"CHARSET_OVERRIDE", u"NATIVE_LOGGING", u"MYAHLOGO", u"PROGRESSTEXT",
                                u"PROGRESSMODE", u"LASTERROR", u"COPYWEBLOCK", u"ZURI_thProgressText"})
    EXPECT_TRUE(vars.Exists(empty) && vars.Get(empty).empty()) << TextToUtf8(empty);
  EXPECT_EQ(vars.Expand(u"$SETUPPATH$"), u"C:\\dist\\");
  EXPECT_EQ(vars.Expand(u"a$NEWLINE$b"), u"a\r\nb");
}

TEST_F(PredefinedVariablesTest, SetupPathFollowsPolicyThenWrapperThenExecutable) {
  struct Case {
    const char16_t* policy;
    const char16_t* wrapper;
    const char16_t* setupPath;
    const char16_t* expanded;
    const char16_t* sfxFile;
  };
  const Case cases[] = {
      {u"", u"", u"$EXEDIR$", u"C:\\dist\\", u""},
      {u"", u"d:\\wrap\\acme.exe", u"$SFXPATH$", u"d:\\wrap\\", u"acme.exe"},
      {u"\\\\gpo\\share\\acme.msi", u"d:\\wrap\\acme.exe", u"$GPOPATH$", u"\\\\gpo\\share\\", u"acme.exe"},
  };
  for (const Case& c : cases) {
    vars.Clear();
    startup.policyPath = c.policy;
    startup.wrapperPath = c.wrapper;
    DefineAll();
    EXPECT_EQ(vars.Get(u"SETUPPATH"), c.setupPath);
    EXPECT_EQ(vars.Expand(u"$SETUPPATH$"), c.expanded);
    EXPECT_EQ(vars.Get(u"SFXFILE"), c.sfxFile);
  }
}

TEST_F(PredefinedVariablesTest, GlassAndAllUsersFollowTheMachine) {
  struct Case {
    uint32_t major;
    bool composition;
    bool styles;
    const char16_t* glass;
  };
  const Case cases[] = {
      {10, true, false, u"TRUE"},  {6, false, true, u"TRUE"}, {6, false, false, u"FALSE"},
      {5, true, true, u"FALSE"},   {5, false, true, u"FALSE"},
  };
  for (const Case& c : cases) {
    facts.majorVersion = c.major;
    facts.composition = c.composition;
    facts.visualStyles = c.styles;
    EXPECT_EQ(GlassValue(facts), c.glass) << c.major << c.composition << c.styles;
  }
  facts.elevatedAdministrator = false;
  DefineAll();
  EXPECT_EQ(vars.Get(u"ALLUSERS"), u"FALSE");
}

TEST_F(PredefinedVariablesTest, KeepsValuesSetBeforeWhereTheyAreOnlyDefaults) {
  vars.Store(u"NATIVE_ENGINE", u"TRUE");
  vars.Store(u"OVERRIDECACHE", u"D:\\cache\\");
  vars.Store(u"NATIVE_ROLLBACK", u"FALSE");
  DefineAll();
  EXPECT_EQ(vars.Get(u"NATIVE_ENGINE"), u"TRUE");
  EXPECT_EQ(vars.Get(u"OVERRIDECACHE"), u"D:\\cache\\");
  EXPECT_EQ(vars.Get(u"NATIVE_ROLLBACK"), u"TRUE");
}

TEST_F(PredefinedVariablesTest, CommandLineAssignmentsComeLastAndHoldInSilentRuns) {
  const CompiledScript change = testing::MakeScript({{"Set Variable", {"NATIVE_ENGINE", "FALSE"}}});
  for (bool silent : {true, false}) {
    vars.Clear();
    startup.silent = silent;
    startup.assignments = {{u"NATIVE_ENGINE", u"TRUE"}, {u"MYVALUE", u"x"}};
    DefineAll();
    EXPECT_EQ(vars.Get(u"NATIVE_ENGINE"), u"TRUE");
    EXPECT_EQ(vars.Get(u"MYVALUE"), u"x");
    EXPECT_EQ(vars.Get(u"SILENT"), silent ? u"TRUE" : u"FALSE");
    RunSetVariable(change, 0, vars);
    EXPECT_EQ(vars.Get(u"NATIVE_ENGINE"), silent ? u"TRUE" : u"FALSE") << silent;
  }
}

TEST_F(PredefinedVariablesTest, DateAndTimeAreRedefined) {
  DefineAll();
  facts.shortDate = u"2027-12-31";
  facts.longTime = u"23:59:59";
  DefineDateAndTime(vars, facts);
  EXPECT_EQ(vars.Get(u"DATE"), u"2027-12-31");
  EXPECT_EQ(vars.Get(u"TIME"), u"23:59:59");
}

}  // namespace
}  // namespace vx

#include "state/ComponentState.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/FileIO.h"
#include "script/EngineError.h"
#include "script/VariableManager.h"

namespace vx {
namespace {

// A fixture of state/testdata, read as bytes.
std::string Fixture(const char* name) {
  Text path = Utf8ToText(VX_STATE_TESTDATA) + u"/" + T(name);
#ifdef _WIN32
  path = u"Z:" + path;  // the Linux folder through Wine's Z: drive
#endif
  auto bytes = platform::ReadWholeFile(path);
  if (!bytes) throw std::runtime_error(std::string("missing fixture ") + name);
  return *bytes;
}

// The model the fixtures hold: a nested component, a deleted one, a hidden and a fixed one.
TComponentModel FixtureModel() {
  TComponentModel m;
  m.Reset(TextList({u"ZURI-PREDEF-COMPONENT", u"1048576", u"Program", u"5000000", u"Program\\Help", u"250000"}));
  m.Define(kPredefinedComponent, true, u"");
  m.Define(u"Program", true, u"Main files");
  m.Define(u"Program\\Help", false, u"Help");
  m.Define(u"Extras", true, u"");
  m.Delete(u"Extras");
  m.SetVisibility(u"Program\\Help", false);
  m.SetChoice(u"Program", false);
  return m;
}

StateFileValues FixtureValues(TextView dataFolder) {
  return {u"C:\\Program Files\\Acme\\",
          u"TRUE",
          u"Acme",
          Text(dataFolder),
          {{u"INSTALLTYPE", u"Typical"}, {u"NOTES", u"first\r\nsecond"}},
          u"x64",
          u"",
          u"TRUE"};
}

TEST(ComponentStateFile, WritesTheFixturesByteForByte) {
  const TComponentModel m = FixtureModel();
  EXPECT_EQ(WriteComponentState(m, FixtureValues(u"C:\\setup\\data\\")), Fixture("saved-state.dat"));
  EXPECT_EQ(WriteComponentState(m, FixtureValues(u"")), Fixture("selections.dat"));
}

TEST(ComponentStateFile, CollectsTheValuesFromTheStore) {
  TVariableManager vars(false);
  vars.Define(u"TARGETDIR", u"C:\\Program Files\\Acme\\", u"test");
  vars.Define(u"ALLUSERS", u"TRUE", u"test");
  vars.Define(u"STARTMENU", u"Acme", u"test");
  vars.Define(u"INSTALLTYPE", u"Typical", u"test");
  vars.Define(u"NOTES", u"first\r\nsecond", u"test");
  vars.Define(u"NATIVE_ENGINE", u"TRUE", u"test");
  TPersistedVariables persisted;
  persisted.Add(u"INSTALLTYPE");
  persisted.Add(u"NOTES");
  persisted.Add(u"installtype");  // once only
  const StateFileValues values = CollectStateValues(vars, persisted, u"x64", u"C:\\setup\\data\\");
  EXPECT_EQ(WriteComponentState(FixtureModel(), values), Fixture("saved-state.dat"));
}

TEST(ComponentStateFile, FullReadRestoresModelFoldersAndVariables) {
  // With and without a byte-order mark, and with LF line ends from another editor.
  std::string withLf = Fixture("saved-state.dat");
  std::erase(withLf, '\r');
  for (const std::string& bytes : {Fixture("saved-state.dat"), "\xEF\xBB\xBF" + Fixture("saved-state.dat"), withLf}) {
    TComponentModel m;
    TVariableManager vars(false);
    vars.Define(u"OVERRIDECACHE", u"C:\\old\\", u"test");
    TPersistedVariables persisted;
    const AppliedState applied = ApplyFullState(ParseComponentState(bytes, u"saved.dat"), m, vars, persisted);

    const TComponentModel expected = FixtureModel();
    EXPECT_EQ(m.Names(), expected.Names());
    EXPECT_EQ(m.States(), expected.States());
    EXPECT_EQ(m.DeletedNames(), expected.DeletedNames());
    EXPECT_EQ(m.HiddenNames(), expected.HiddenNames());
    EXPECT_EQ(m.FixedNames(), expected.FixedNames());
    EXPECT_EQ(m.Sizes(), expected.Sizes());
    EXPECT_TRUE(m.Descriptions().empty());
    EXPECT_TRUE(m.Seeded());
    EXPECT_EQ(applied.dataFolder, u"C:\\setup\\data\\");
    EXPECT_EQ(applied.bitnessMode, Text(u"x64"));
    EXPECT_EQ(vars.Get(u"TARGETDIR"), u"C:\\Program Files\\Acme\\");
    EXPECT_EQ(vars.Get(u"ALLUSERS"), u"TRUE");
    EXPECT_EQ(vars.Get(u"STARTMENU"), u"Acme");
    EXPECT_EQ(vars.Get(u"INSTALLTYPE"), u"Typical");
    EXPECT_EQ(vars.Get(u"NOTES"), u"first\r\nsecond");
    EXPECT_EQ(vars.Get(u"OVERRIDECACHE"), u"");
    EXPECT_EQ(vars.Get(u"NATIVE_ENGINE"), u"TRUE");
    // The closing pairs are not persisted variables of the script.
    EXPECT_EQ(persisted.Names(), (std::vector<Text>{u"INSTALLTYPE", u"NOTES"}));
  }
}

TEST(ComponentStateFile, FullReadThenWriteGivesTheSameFile) {
  TComponentModel m;
  TVariableManager vars(false);
  TPersistedVariables persisted;
  const std::string original = Fixture("saved-state.dat");
  const AppliedState applied = ApplyFullState(ParseComponentState(original, u"saved.dat"), m, vars, persisted);
  EXPECT_EQ(WriteComponentState(m, CollectStateValues(vars, persisted, *applied.bitnessMode, applied.dataFolder)),
            original);
}

TEST(ComponentStateFile, MergeTakesStatesOfDefinedComponentsOnly) {
  TComponentModel m;
  m.Reset(TextList({u"Program", u"777"}));
  m.Define(u"Program\\Help", true, u"kept description");
  m.Define(u"PROGRAM", false, u"");
  m.Define(u"New", true, u"");
  m.SetVisibility(u"New", false);
  TVariableManager vars(false);
  TPersistedVariables persisted;
  const AppliedState applied =
      ApplyMergedState(ParseComponentState(Fixture("selections.dat"), u"sel.dat"), m, vars, persisted);

  // Program and Program\Help take the file's states; Extras and the predefined component of the
  // file are not defined here and are ignored; New keeps its own.
  EXPECT_EQ(m.Names(), (std::vector<Text>{u"Program\\Help", u"PROGRAM", u"New"}));
  EXPECT_EQ(m.States(), (std::vector<Text>{u"FALSE", u"TRUE", u"TRUE"}));
  EXPECT_EQ(m.Description(u"Program\\Help"), u"kept description");
  EXPECT_EQ(m.DeletedNames(), std::vector<Text>{u"Extras"});
  EXPECT_EQ(m.HiddenNames(), std::vector<Text>{u"Program\\Help"});
  EXPECT_EQ(m.FixedNames(), std::vector<Text>{u"Program"});
  EXPECT_EQ(m.Size(u"Program"), 777);  // the file's sizes are ignored
  EXPECT_EQ(m.Size(u"Program\\Help"), 0);
  EXPECT_EQ(applied.dataFolder, u"");
  EXPECT_EQ(vars.Get(u"TARGETDIR"), u"C:\\Program Files\\Acme\\");
  EXPECT_EQ(vars.Get(u"INSTALLTYPE"), u"Typical");
  EXPECT_EQ(persisted.Names(), (std::vector<Text>{u"INSTALLTYPE", u"NOTES"}));
}

TEST(ComponentStateFile, EveryLineBreakIsOneMarkerSoTheLinesAfterItStayInPlace) {
  TComponentModel m;
  m.Reset(TextList());
  m.Define(u"Two\r\nLines", true, u"");
  m.Define(u"$", true, u"");  // a lone "$" would end the names list early
  StateFileValues values;
  values.targetDir = u"C:\\Acme\n";
  values.persisted = {{u"CR", u"a\rb"}, {u"LF", u"a\nb"}, {u"CRLF", u"a\r\nb"}, {u"MIXED", u"\n\r\r\n\n"},
                      {u"AFTER", u"intact"}};
  values.bitnessMode = u"Win32";
  const std::string bytes = WriteComponentState(m, values);
  EXPECT_NE(bytes.find("CR\r\na$NEWLINE$b\r\nLF\r\na$NEWLINE$b\r\nCRLF\r\na$NEWLINE$b\r\n"), std::string::npos);
  EXPECT_NE(bytes.find("MIXED\r\n$NEWLINE$$NEWLINE$$NEWLINE$$NEWLINE$\r\n"), std::string::npos);
  EXPECT_EQ(bytes.find("\n\n"), std::string::npos);

  TComponentModel back;
  TVariableManager vars(false);
  TPersistedVariables persisted;
  const AppliedState applied = ApplyFullState(ParseComponentState(bytes, u"x"), back, vars, persisted);
  EXPECT_EQ(back.Names(), (std::vector<Text>{u"Two\r\nLines", u"$"}));
  EXPECT_EQ(back.States(), (std::vector<Text>{u"TRUE", u"TRUE"}));
  EXPECT_EQ(vars.Get(u"TARGETDIR"), u"C:\\Acme\r\n");
  EXPECT_EQ(vars.Get(u"CR"), u"a\r\nb");
  EXPECT_EQ(vars.Get(u"LF"), u"a\r\nb");
  EXPECT_EQ(vars.Get(u"AFTER"), u"intact");
  EXPECT_EQ(applied.bitnessMode, Text(u"Win32"));
  EXPECT_EQ(persisted.Names(), (std::vector<Text>{u"CR", u"LF", u"CRLF", u"MIXED", u"AFTER"}));
}

TEST(ComponentStateFile, RewriteKeepsTheHeadAndReplacesTheVariables) {
  const std::string old = Fixture("saved-state.dat");
  StateFileValues values = FixtureValues(u"ignored: the old folder lines stay");
  values.targetDir = u"D:\\ignored too";
  values.persisted = {{u"INSTALLTYPE", u"Full"}, {u"EXTRA", u"1"}};
  values.bitnessMode = u"Win32";
  const std::string rewritten = RewriteStateTail(old, values, u"saved.dat");
  const std::string head = old.substr(0, old.find("INSTALLTYPE"));
  EXPECT_EQ(rewritten, head + "INSTALLTYPE\r\nFull\r\nEXTRA\r\n1\r\nZURI64WOW\r\nWin32\r\nOVERRIDECACHE\r\n\r\n"
                              "NATIVE_ENGINE\r\nTRUE\r\n");
  // A byte-order mark of the old file is not written again.
  EXPECT_EQ(RewriteStateTail("\xEF\xBB\xBF" + old, values, u"saved.dat"), rewritten);
}

TEST(ComponentStateFile, DamagedFilesAreReportedNotMisread) {
  const std::string whole = Fixture("saved-state.dat");
  struct Case {
    size_t cutAfterLines;
    const char* missing;
  };
  const Case cases[] = {
      {0, "list of names"},         {4, "list of names"},
      {5, "list of states"},        {14, "list of fixed components"},
      {24, "list of sizes"},        {25, "folder lines"},
      {28, "folder lines"},
  };
  for (const Case& c : cases) {
    size_t at = 0;
    for (size_t i = 0; i < c.cutAfterLines; ++i) at = whole.find("\r\n", at) + 2;
    const std::string cut = whole.substr(0, at);
    try {
      (void)ParseComponentState(cut, u"C:\\cache\\setup.dat");
      ADD_FAILURE() << "no error after " << c.cutAfterLines << " lines";
    } catch (const EngineError& e) {
      EXPECT_EQ(std::string(e.what()), std::string("The component state file C:\\cache\\setup.dat is damaged: it ends "
                                                   "inside its ") + c.missing);
    }
    EXPECT_THROW((void)RewriteStateTail(cut, FixtureValues(u""), u"x"), EngineError);
  }
  // After the folder lines the variables may end anywhere; a name without a value is left out.
  size_t at = 0;
  for (size_t i = 0; i < 31; ++i) at = whole.find("\r\n", at) + 2;
  const ComponentStateFile file = ParseComponentState(whole.substr(0, at) + "NOTES", u"x");
  EXPECT_EQ(file.pairs, (std::vector<std::pair<Text, Text>>{{u"INSTALLTYPE", u"Typical"}}));
}

class StateFileOnDisk : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = std::filesystem::temp_directory_path() /
              ("vx-state-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }
  Text Path(const char* name) const { return Utf8ToText((folder_ / name).string()); }
  std::filesystem::path folder_;
};

TEST_F(StateFileOnDisk, WriteReplacesTheFileAndLeavesNoCopy) {
  const Text path = Path("setup.dat");
  ASSERT_TRUE(platform::AppendToFile(path, "old contents", true));
  const std::string bytes = WriteComponentState(FixtureModel(), FixtureValues(u""));
  ASSERT_TRUE(WriteStateFile(path, bytes));
  EXPECT_EQ(platform::ReadWholeFile(path), bytes);
  EXPECT_FALSE(std::filesystem::exists(folder_ / "setup.dat.dat"));
  EXPECT_FALSE(WriteStateFile(Path("missing-folder/setup.dat"), bytes));
}

TEST_F(StateFileOnDisk, RewriteInPlaceNeedsAnExistingSoundFile) {
  const Text path = Path("setup.dat");
  EXPECT_FALSE(RewriteStateFileInPlace(path, FixtureValues(u"")));
  EXPECT_FALSE(std::filesystem::exists(folder_ / "setup.dat"));

  ASSERT_TRUE(platform::AppendToFile(path, "damaged\r\n$\r\n", true));
  EXPECT_THROW((void)RewriteStateFileInPlace(path, FixtureValues(u"")), EngineError);
  EXPECT_EQ(platform::ReadWholeFile(path), std::string("damaged\r\n$\r\n"));

  ASSERT_TRUE(platform::AppendToFile(path, Fixture("saved-state.dat"), true));
  StateFileValues values = FixtureValues(u"");
  values.persisted = {{u"INSTALLTYPE", u"Compact"}};
  ASSERT_TRUE(RewriteStateFileInPlace(path, values));
  const auto file = ReadStateFile(path);
  ASSERT_TRUE(file.has_value());
  EXPECT_EQ(file->dataFolder, u"C:\\setup\\data\\");
  EXPECT_EQ(file->pairs.front(), (std::pair<Text, Text>{u"INSTALLTYPE", u"Compact"}));
  EXPECT_EQ(file->pairs.size(), 4u);
  EXPECT_FALSE(ReadStateFile(Path("absent.dat")).has_value());
}

}  // namespace
}  // namespace vx

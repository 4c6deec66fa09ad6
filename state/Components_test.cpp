#include "state/Components.h"

#include <gtest/gtest.h>

#include <limits>

#include "script/CompiledScript.h"
#include "script/ScriptSeams.h"
#include "script/VariableManager.h"

namespace vx {
namespace {

TextList Definitions(std::vector<Text> lines) { return TextList(std::move(lines)); }

TEST(FormatSpace, UnitsAndDigitGroups) {
  struct Case {
    int64_t bytes;
    const char16_t* text;
  };
  const Case cases[] = {
      {500000, u"500,000 bytes"},
      {5000000, u"4,882 KB"},
      {2147483648, u"2,048 MB"},
      {-5000000, u"-5,000,000 bytes"},
      {1073741824, u"1,024 MB"},
      {0, u"0 bytes"},
      {999, u"999 bytes"},
      {1000, u"1,000 bytes"},
      {-1, u"-1 bytes"},
      {1048575, u"1,048,575 bytes"},
      {1048576, u"1,024 KB"},
      {1073741823, u"1,048,575 KB"},
      {std::numeric_limits<int64_t>::max(), u"8,796,093,022,207 MB"},
      {std::numeric_limits<int64_t>::min(), u"-9,223,372,036,854,775,808 bytes"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatSpace(c.bytes), c.text) << c.bytes;
}

TEST(FormatSpace, UnitWordsFollowTheLanguage) {
  const SpaceUnits german{u"Bytes", u"KB", u"MB"};
  EXPECT_EQ(FormatSpace(512, german), u"512 Bytes");
  EXPECT_EQ(FormatSpace(5000000, SpaceUnits{u"o", u"Ko", u"Mo"}), u"4,882 Ko");
}

TEST(ComponentModel, DefineTwiceKeepsTheFirstStateAndTakesTheNewDescription) {
  TComponentModel m;
  m.Reset(Definitions({u"Docs", u"700"}));
  m.Define(u"Docs", false, u"first");
  m.Define(u"DOCS", true, u"second");
  EXPECT_EQ(m.Names(), std::vector<Text>{u"Docs"});
  EXPECT_EQ(m.States(), std::vector<Text>{u"FALSE"});
  EXPECT_EQ(m.Description(u"docs"), u"second");
  EXPECT_EQ(m.Sizes(), (std::vector<ComponentSize>{{u"Docs", u"700"}}));  // no second pair
}

TEST(ComponentModel, DefineAddsAZeroSizeAndRevivesADeletedComponent) {
  TComponentModel m;
  m.Reset(Definitions({}));
  m.Define(u"Tools", true, u"");
  m.Delete(u"tools");
  m.Delete(u"Tools");  // only once in the list
  EXPECT_EQ(m.DeletedNames(), std::vector<Text>{u"tools"});
  EXPECT_FALSE(m.IsSelected(u"Tools"));
  m.Define(u"Tools", false, u"back");
  EXPECT_TRUE(m.DeletedNames().empty());
  EXPECT_TRUE(m.IsSelected(u"Tools"));  // the state stays as first defined
  EXPECT_EQ(m.Sizes(), (std::vector<ComponentSize>{{u"Tools", u"0"}}));
  m.Delete(u"Undefined");
  EXPECT_TRUE(m.DeletedNames().empty());
}

TEST(ComponentModel, TranslatedComponentCarriesTheSizeOfItsUntranslatedName) {
  TComponentModel m;
  m.Reset(Definitions({u"Help", u"4096", u"Empty", u"0"}));
  m.Define(u"Hilfe", true, u"", u"Help");
  m.Define(u"Leer", true, u"", u"Empty");
  m.Define(u"Hilfe", true, u"", u"Help");  // a second definition adds no second pair
  EXPECT_EQ(m.Size(u"Hilfe"), 4096);
  EXPECT_EQ(m.Sizes(), (std::vector<ComponentSize>{
                           {u"Help", u"4096"}, {u"Empty", u"0"}, {u"Hilfe", u"4096"}, {u"Leer", u"0"}}));
}

TEST(ComponentModel, StateAnswers) {
  TComponentModel m;
  m.Reset(Definitions({}));
  m.Define(u"A", true, u"");
  m.Define(u"B", false, u"");
  m.Define(u"C", true, u"");
  m.Delete(u"C");
  m.SetState(u"B", true);
  m.SetState(u"Nowhere", true);  // nothing for an undefined name
  EXPECT_TRUE(m.IsSelected(u"a"));
  EXPECT_TRUE(m.IsSelected(u"B"));
  EXPECT_FALSE(m.IsSelected(u"C"));  // deleted, though its state is TRUE
  EXPECT_FALSE(m.IsSelected(u"Nowhere"));
  EXPECT_FALSE(m.IsDefined(u"Nowhere"));
  EXPECT_EQ(m.Names().size(), 3u);
}

TEST(ComponentModel, SetSizeNeedsADefinedComponentAndAWholeNumber) {
  TComponentModel m;
  m.Reset(Definitions({u"A", u"10"}));
  m.Define(u"A", true, u"");
  struct Case {
    const char16_t* name;
    const char16_t* size;
    bool changed;
    int64_t sizeOfA;
  };
  const Case cases[] = {
      {u"A", u"12.5", false, 10},
      {u"A", u"", false, 10},
      {u"A", u"99999999999999999999", false, 10},
      {u"Undefined", u"5", false, 10},
      {u"a", u"9000000000", true, 9000000000},
      {u"A", u"-3", true, -3},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(m.SetSize(c.name, c.size), c.changed) << TextToUtf8(c.size);
    EXPECT_EQ(m.Size(u"A"), c.sizeOfA) << TextToUtf8(c.size);
  }
  EXPECT_EQ(m.Sizes().size(), 1u);
  EXPECT_FALSE(m.IsDefined(u"Undefined"));
}

TEST(ComponentModel, HiddenAndFixedReachNestedComponents) {
  TComponentModel m;
  m.Reset(Definitions({}));
  for (const char16_t* name : {u"App", u"App\\Plugins", u"App\\Plugins\\Extra", u"Apps"}) m.Define(name, true, u"");
  m.SetVisibility(u"app\\plugins", false);
  m.SetChoice(u"APP", false);
  m.SetVisibility(u"Undefined", false);
  struct Case {
    const char16_t* name;
    bool hidden;
    bool fixed;
  };
  const Case cases[] = {
      {u"App", false, true},
      {u"App\\Plugins", true, true},
      {u"App\\Plugins\\Extra", true, true},
      {u"Apps", false, false},  // a longer name is not nested
  };
  for (const Case& c : cases) {
    EXPECT_EQ(m.IsHidden(c.name), c.hidden) << TextToUtf8(c.name);
    EXPECT_EQ(m.IsFixed(c.name), c.fixed) << TextToUtf8(c.name);
  }
  EXPECT_EQ(m.HiddenNames(), std::vector<Text>{u"app\\plugins"});
  m.SetVisibility(u"App\\Plugins", true);
  m.SetChoice(u"App", true);
  EXPECT_FALSE(m.IsHidden(u"App\\Plugins\\Extra"));
  EXPECT_FALSE(m.IsFixed(u"App\\Plugins\\Extra"));
}

TEST(ComponentModel, RequiredSpaceCountsSelectedComponentsLessTheInstalledBaseline) {
  TComponentModel m;
  m.Reset(Definitions({u"ZURI-PREDEF-COMPONENT", u"1000", u"A", u"200", u"B", u"30", u"C", u"4"}));
  m.Define(kPredefinedComponent, true, u"");
  m.Define(u"A", true, u"");
  m.Define(u"B", false, u"");
  m.Define(u"C", true, u"");
  m.Delete(u"C");
  EXPECT_EQ(m.RequiredSpace(), 1200);
  // Maintenance: everything but B was installed; deselecting A frees its space.
  m.SetInstalledBaseline(1200);
  m.SetState(u"A", false);
  EXPECT_EQ(m.RequiredSpace(), -200);
  m.SetState(u"B", true);
  EXPECT_EQ(m.RequiredSpace(), -170);
}

TEST(ComponentModel, RequiredSpaceDoesNotWrapOnHugeSizes) {
  TComponentModel m;
  m.Reset(Definitions({u"A", u"9223372036854775807", u"B", u"9223372036854775807"}));
  m.Define(u"A", true, u"");
  m.Define(u"B", true, u"");
  EXPECT_EQ(m.RequiredSpace(), std::numeric_limits<int64_t>::max());
  m.SetInstalledBaseline(-5);
  EXPECT_EQ(m.RequiredSpace(), std::numeric_limits<int64_t>::max());
}

TEST(ComponentModel, SelectionTreeSplitsNamesAtBackslashes) {
  TComponentModel m;
  m.Reset(Definitions({}));
  m.Define(kPredefinedComponent, true, u"");       // 1: never shown
  m.Define(u"Docs\\Manual", false, u"");           // 2: creates the grouping node Docs
  m.Define(u"Program", true, u"");                 // 3
  m.Define(u"DOCS", true, u"");                    // 4: finds the node Docs
  m.Define(u"Program\\Samples\\Basic", true, u"");  // 5: creates Samples between
  m.Define(u"Gone", true, u"");                    // 6: deleted
  m.Define(u"Program\\Secret", true, u"");         // 7: hidden
  m.Define(u"Program\\Secret\\Inner", true, u"");  // 8: hidden through its parent
  m.Delete(u"Gone");
  m.SetVisibility(u"Program\\Secret", false);

  using N = SelectionNode;
  const std::vector<N> expected{
      N{u"Docs", 0, 4, {N{u"Manual", 1, 2, {}}}},
      N{u"Program", 0, 3, {N{u"Samples", -1, 0, {N{u"Basic", 0, 5, {}}}}}},
  };
  EXPECT_EQ(m.SelectionTree(), expected);
  EXPECT_EQ(m.SelectionList(), (std::vector<SelectionItem>{{u"Docs\\Manual", false, 2},
                                                           {u"Program", true, 3},
                                                           {u"DOCS", true, 4},
                                                           {u"Program\\Samples\\Basic", true, 5}}));
}

TEST(ComponentModel, CheckMarksSetTheStates) {
  TComponentModel m;
  m.Reset(Definitions({}));
  m.Define(u"A", true, u"");
  m.Define(u"B", false, u"");
  std::vector<SelectionItem> items = m.SelectionList();
  items[0].checked = false;
  items[1].checked = true;
  m.ApplyCheckMarks(items);
  EXPECT_EQ(m.States(), (std::vector<Text>{u"FALSE", u"TRUE"}));
}

TEST(SpaceFigures, DriveOfTheTargetFolder) {
  struct Case {
    const char16_t* target;
    const char16_t* drive;
    const char16_t* askedRoot;  // nullptr: the system is not asked
    int64_t available;
  };
  const Case cases[] = {
      {u"C:\\Program Files\\Acme", u"C:", u"C:\\", 7000},
      {u"d:", u"d:", u"d:\\", 7000},
      {u"\\\\server\\share\\apps\\acme", u"\\\\server\\share", u"\\\\server\\share\\", 7000},
      {u"\\\\server", u"\\\\server", u"\\\\server\\", 7000},
      {u"relative\\folder", u"", nullptr, 0},
      {u"", u"", nullptr, -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DrivePart(c.target), c.drive) << TextToUtf8(c.target);
    Text asked;
    bool wasAsked = false;
    const int64_t available = AvailableSpace(c.target, [&](const Text& root) -> std::optional<int64_t> {
      wasAsked = true;
      asked = root;
      return 7000;
    });
    EXPECT_EQ(available, c.available) << TextToUtf8(c.target);
    EXPECT_EQ(wasAsked, c.askedRoot != nullptr) << TextToUtf8(c.target);
    if (c.askedRoot) {
      EXPECT_EQ(asked, c.askedRoot);
    }
  }
  EXPECT_EQ(AvailableSpace(u"Q:\\x", [](const Text&) { return std::optional<int64_t>(); }), 0);
}

TEST(SpaceFigures, TheFourTexts) {
  TComponentModel m;
  m.Reset(Definitions({u"ZURI-PREDEF-COMPONENT", u"1048576", u"Program", u"5000000"}));
  m.Define(kPredefinedComponent, true, u"");
  m.Define(u"Program", true, u"");
  const auto freeSpace = [](const Text&) { return std::optional<int64_t>(2147483648); };
  const SpaceTexts texts = ComputeSpaceTexts(m, u"program", u"C:\\Acme", freeSpace);
  EXPECT_EQ(texts.component, u"4,882 KB");
  EXPECT_EQ(texts.required, u"5,906 KB");  // 6048576 bytes
  EXPECT_EQ(texts.available, u"2,048 MB");
  EXPECT_EQ(texts.remaining, u"2,042 MB");  // 2141435072 bytes
  const SpaceTexts noTarget = ComputeSpaceTexts(m, u"Unknown", u"", freeSpace);
  EXPECT_EQ(noTarget.component, u"0 bytes");
  EXPECT_EQ(noTarget.available, u"-1 bytes");
  EXPECT_EQ(noTarget.remaining, u"-6,048,577 bytes");
}

TEST(ComponentModel, StartUpSeedsSizesFromTheScriptOnceAndDefinesThePredefinedComponent) {
  CompiledScript script;
  script.components = TextList({u"ZURI-PREDEF-COMPONENT", u"1048576", u"Docs", u"5000"});
  TVariableManager vars(false);
  TComponentModel& model = ProcessComponents();
  model = TComponentModel();
  seams::DefinePredefinedComponent(script, vars);
  EXPECT_EQ(model.Names(), std::vector<Text>{u"ZURI-PREDEF-COMPONENT"});
  EXPECT_TRUE(model.IsSelected(kPredefinedComponent));
  EXPECT_EQ(model.RequiredSpace(), 1048576);
  EXPECT_EQ(model.Size(u"docs"), 5000);

  // A model already filled (the saved state of an installed product) keeps its lists and states.
  model.SetState(kPredefinedComponent, false);
  model.SetSize(kPredefinedComponent, u"7");
  seams::DefinePredefinedComponent(script, vars);
  EXPECT_FALSE(model.IsSelected(kPredefinedComponent));
  EXPECT_EQ(model.Size(kPredefinedComponent), 7);
  model = TComponentModel();
}

}  // namespace
}  // namespace vx

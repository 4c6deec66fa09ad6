#include "script/VariableManager.h"

#include <gtest/gtest.h>

#include <string>

#include "script/EngineError.h"
#include "script/TestScript.h"

namespace vx {
namespace {

TEST(NameHash, KnownValuesFoldCaseAndHighBits) {
  struct Case {
    const char16_t* name;
    uint32_t hash;
  };
  const Case cases[] = {
      {u"", 0},
      {u"a", 97},
      {u"AB", 1650},
      {u"aB", 1650},
      {u"abcdefg", 126462887},   // just below 2^28: nothing folded yet
      {u"abcdefgh", 144358056},  // the eighth unit pushes the top bits in, which are folded back
      {u"ABCDEFGH", 144358056},
      {u"NATIVE_OVERRIDE_NON_RESTORABLE_PERMISSIONS", 106249971},
  };
  for (const Case& c : cases) EXPECT_EQ(NameHash(c.name), c.hash) << TextToUtf8(c.name);
}

TEST(StringHashTable, GrowsBeforeTheInsertionThatWouldPassTwoPerBucket) {
  TStringHashTable table;
  EXPECT_EQ(table.BucketCount(), 0u);
  EXPECT_EQ(table.Find(u"X"), nullptr);
  for (int i = 0; i < 64; ++i) table.Put(u"V" + IntToText(i), u"x");
  EXPECT_EQ(table.BucketCount(), 32u);
  table.Put(u"v0", u"replaced");  // an update is not an insertion
  EXPECT_EQ(table.BucketCount(), 32u);
  table.Put(u"V64", u"x");
  EXPECT_EQ(table.BucketCount(), 64u);
  EXPECT_EQ(table.Count(), 65u);
  for (int i = 0; i <= 64; ++i) ASSERT_NE(table.Find(u"v" + IntToText(i)), nullptr) << i;
  EXPECT_EQ(*table.Find(u"V0"), u"replaced");
  table.Clear();
  EXPECT_EQ(table.BucketCount(), 0u);
  EXPECT_FALSE(table.Put(u"", u"x"));
  EXPECT_EQ(table.Count(), 0u);
}

TEST(VariableManager, EnumerationFollowsBucketsAndChainHeads) {
  TVariableManager vars;
  // "a" and "ba" share bucket 1 (97 and 1665 modulo 32); "b" is alone in bucket 2.
  vars.Store(u"b", u"2");
  vars.Store(u"a", u"1");
  vars.Store(u"ba", u"21");
  vars.Store(u"A", u"one");  // replaces, keeps the first spelling
  TextList dump;
  vars.Dump(dump);
  EXPECT_EQ(dump.Lines(), (std::vector<Text>{u"ba", u"21", u"a", u"one", u"b", u"2"}));
  TextList names;
  vars.Names(names);
  EXPECT_EQ(names.Lines(), (std::vector<Text>{u"ba", u"a", u"b"}));
}

TEST(VariableManager, EnumerationAfterGrowthWalksTheNewBucketsInOrder) {
  TVariableManager vars;
  for (int i = 0; i < 65; ++i) vars.Store(u"NAME" + IntToText(i * 7), u"x");
  EXPECT_EQ(vars.BucketCount(), 64u);
  TextList names;
  vars.Names(names);
  ASSERT_EQ(names.Count(), 65u);
  uint32_t previous = 0;
  for (const Text& name : names.Lines()) {
    const uint32_t bucket = NameHash(name) % 64;
    EXPECT_GE(bucket, previous) << TextToUtf8(name);
    previous = bucket;
  }
}

TEST(VariableManager, GetExistsDeleteAndEmptyName) {
  TVariableManager vars;
  EXPECT_EQ(vars.Get(u"NOPE"), u"");
  EXPECT_FALSE(vars.Exists(u"NOPE"));
  vars.Store(u"EMPTY", u"");
  EXPECT_TRUE(vars.Exists(u"empty"));
  EXPECT_EQ(vars.Get(u"Empty"), u"");
  vars.Delete(u"EMPTY");
  EXPECT_FALSE(vars.Exists(u"EMPTY"));
  vars.Store(u"", u"x");
  EXPECT_FALSE(vars.Exists(u""));
  EXPECT_EQ(vars.Count(), 0u);
}

TEST(VariableManager, Expand) {
  TVariableManager vars;
  vars.Store(u"TITLE", u"Acme $COMPANY$ Tools");
  vars.Store(u"COMPANY", u"Tolvane");
  vars.Store(u"B", u"x");
  vars.Store(u"NEWLINE", u"\r\n");
  vars.Store(u"HALF", u"$FO");
  vars.Store(u"FOO", u"bar");
  vars.Store(u"EMPTY", u"");
  struct Case {
    const char16_t* text;
    const char16_t* expanded;
  };
  const Case cases[] = {
      {u"$TITLE$", u"Acme Tolvane Tools"},
      {u"[$title$]", u"[Acme Tolvane Tools]"},
      {u"$A$B$", u"$Ax"},  // the unbound reference's closing "$" opens the next one
      {u"$UNBOUND$", u"$UNBOUND$"},
      {u"$$", u"$$"},
      {u"$$B$", u"$x"},
      {u"cost $5", u"cost $5"},
      {u"$", u"$"},
      {u"a$EMPTY$b", u"ab"},
      {u"one$NEWLINE$two", u"one\r\ntwo"},
      {u"$HALF$O$", u"bar"},  // an inserted value is scanned again with the text after it
      {u"no references", u"no references"},
  };
  for (const Case& c : cases) EXPECT_EQ(vars.Expand(c.text), c.expanded) << TextToUtf8(c.text);

  EXPECT_EQ(vars.ExpandQuoted(u"$B$ = $COMPANY$"), u"\"x\" = \"Tolvane\"");
  EXPECT_EQ(vars.ExpandQuoted(u"$TITLE$"), u"\"Acme \"Tolvane\" Tools\"");
}

TEST(VariableManager, ExpandEndsForValuesThatReferToThemselves) {
  TVariableManager vars;
  vars.Store(u"SELF", u"<$SELF$>");
  vars.Store(u"PING", u"$PONG$");
  vars.Store(u"PONG", u"$PING$");
  vars.Store(u"TWICE", u"$TWICE$$TWICE$");

  const Text self = vars.Expand(u"$SELF$");
  const size_t depth = TVariableManager::kMaxExpandDepth;
  EXPECT_EQ(self, Text(depth, u'<') + u"$SELF$" + Text(depth, u'>'));

  const Text ping = vars.Expand(u"$PING$");
  EXPECT_TRUE(ping == u"$PING$" || ping == u"$PONG$") << TextToUtf8(ping);

  // Each level doubles the text; the nested budget stops it.
  const Text twice = vars.Expand(u"$TWICE$");
  EXPECT_LE(twice.size(), TVariableManager::kNestedExpandBudget + 16);
  EXPECT_NE(twice.find(u"$TWICE$"), Text::npos);
}

TEST(VariableManager, DeepFiniteChainExpandsFully) {
  TVariableManager vars;
  const int links = TVariableManager::kMaxExpandDepth;
  vars.Store(u"V0", u"end");
  for (int i = 1; i < links; ++i) vars.Store(u"V" + IntToText(i), u"<$V" + IntToText(i - 1) + u"$>");
  const Text expanded = vars.Expand(u"$V" + IntToText(links - 1) + u"$");
  EXPECT_EQ(expanded, Text(links - 1, u'<') + u"end" + Text(links - 1, u'>'));
}

TEST(VariableManager, DefineAndSetTurnTheOwnReferenceIntoEmptyText) {
  TVariableManager vars;
  vars.Define(u"PATH", u"$path$", u"Initialization");
  EXPECT_TRUE(vars.Exists(u"PATH"));
  EXPECT_EQ(vars.Get(u"PATH"), u"");
  vars.Set(u"PATH", u"C:\\x", u"Test Action");
  EXPECT_EQ(vars.Get(u"PATH"), u"C:\\x");
  vars.Set(u"PATH", u"$Path$", u"Test Action");
  EXPECT_EQ(vars.Get(u"PATH"), u"");
  vars.Set(u"NEW", u"$NEW$ and more", u"Test Action");  // not exactly the own reference
  EXPECT_EQ(vars.Get(u"NEW"), u"$NEW$ and more");
}

TEST(VariableManager, CommandLineValuesAreProtectedOnlyInSilentRuns) {
  struct Case {
    bool silent;
    const char16_t* origin;
    const char16_t* expected;
  };
  const Case cases[] = {
      {true, u"Set Variable Action", u"from command line"},
      {true, u"Initialization", u"from command line"},
      {true, u"Inject Override Command Line", u"changed"},
      {false, u"Set Variable Action", u"changed"},
  };
  for (const Case& c : cases) {
    TVariableManager vars;
    vars.SetCommandLineNames({u"native_engine"});
    vars.SetSilent(c.silent);
    vars.Store(u"NATIVE_ENGINE", u"from command line");
    vars.Store(u"OTHER", u"old");
    vars.Set(u"Native_Engine", u"changed", c.origin);
    vars.Define(u"NATIVE_ENGINE", u"changed", c.origin);  // Define of a bound name is a Set
    EXPECT_EQ(vars.Get(u"NATIVE_ENGINE"), c.expected) << c.silent << " " << TextToUtf8(c.origin);
    vars.Set(u"OTHER", u"new", c.origin);
    EXPECT_EQ(vars.Get(u"OTHER"), u"new");
  }
}

TEST(VariableManager, ReferencedValueAndNormalizedPath) {
  TVariableManager vars;
  vars.Store(u"DIR", u"C:\\\\Program Files\\\\$SUB$");
  vars.Store(u"SUB", u"Acme");
  vars.Store(u"SHARE", u"\\\\server\\\\share");
  EXPECT_EQ(vars.ReferencedValue(u"$DIR$"), u"C:\\\\Program Files\\\\Acme");
  EXPECT_EQ(vars.ReferencedValue(u"sub"), u"Acme");
  EXPECT_EQ(vars.ReferencedValue(u"$MISSING$"), u"");
  EXPECT_EQ(vars.ReferencedValue(u"$MISSING$", u"$MYAHNX$"), u"$MYAHNX$");

  struct Case {
    const char16_t* text;
    const char16_t* normalized;
  };
  const Case cases[] = {
      {u"$DIR$\\\\bin", u"C:\\Program Files\\Acme\\bin"},
      {u"$SHARE$\\x", u"\\\\server\\share\\x"},
      {u"a\\\\\\b", u"a\\\\b"},  // pairs are replaced left to right
      {u"plain\\path", u"plain\\path"},
  };
  for (const Case& c : cases) EXPECT_EQ(vars.NormalizedPath(c.text), c.normalized) << TextToUtf8(c.text);
}

TEST(VariableText, ReferenceNameTruthAndLineBreakMarker) {
  struct RefCase {
    const char16_t* text;
    const char16_t* name;
  };
  const RefCase refs[] = {{u"$NAME$", u"NAME"}, {u"NAME", u""}, {u"$A$B$", u""}, {u"$", u""},
                          {u"$$", u""}, {u"$NAME", u""}, {u"x$NAME$", u""}};
  for (const RefCase& c : refs) EXPECT_EQ(ReferenceName(c.text), c.name) << TextToUtf8(c.text);

  struct TruthCase {
    const char16_t* text;
    bool value;
  };
  const TruthCase truths[] = {{u"TRUE", true}, {u"true", true}, {u"TrUe", true}, {u"-1", true},
                              {u"1", false}, {u"", false}, {u"FALSE", false}, {u" TRUE", false}, {u"-01", false}};
  for (const TruthCase& c : truths) EXPECT_EQ(IsTrue(c.text), c.value) << TextToUtf8(c.text);

  EXPECT_EQ(ToLineBreakMarker(u"a\r\nb\nc\r\n"), u"a$NEWLINE$b\nc$NEWLINE$");
  EXPECT_EQ(FromLineBreakMarker(u"a$NEWLINE$b$newline$c$NEWLINE"), u"a\r\nb\r\nc$NEWLINE");
}

// --- "Set Variable" ---

using testing::MakeScript;

TEST(SetVariable, AssignsExpandedValueToNameOrReference) {
  const CompiledScript script = MakeScript({
      {"Set Variable", {"greeting", "Hello $WHO$"}},
      {"Set Variable", {"$TARGET$", "x"}},
      {"Set Variable", {"SAVED$ZURI$ZURI$TRUE", "kept"}},
      {"Set Variable", {"SELFISH", "$SELFISH$"}},
  });
  TVariableManager vars;
  vars.Store(u"WHO", u"world");
  for (size_t n = 0; n < script.StatementCount(); ++n) RunSetVariable(script, n, vars);
  TextList names;
  vars.Names(names);
  EXPECT_EQ(vars.Get(u"GREETING"), u"Hello world");
  EXPECT_EQ(names.IndexOf(u"GREETING"), names.IndexOf(u"greeting"));
  EXPECT_NE(std::find(names.Lines().begin(), names.Lines().end(), u"GREETING"), names.Lines().end())
      << "a new variable is created upper-cased";
  EXPECT_EQ(vars.Get(u"TARGET"), u"x");
  EXPECT_EQ(vars.Get(u"SAVED"), u"kept");
  EXPECT_FALSE(vars.Exists(u"SAVED$ZURI$ZURI$TRUE"));
  EXPECT_TRUE(vars.Exists(u"SELFISH"));
  EXPECT_EQ(vars.Get(u"SELFISH"), u"");
}

TEST(SetVariable, SideEffectsByName) {
  const CompiledScript script = MakeScript({
      {"Set Variable", {"abort", "TRUE"}},
      {"Set Variable", {"PROGRESS", "40"}},
      {"Set Variable", {"PROGRESS", "forty"}},
  });
  TVariableManager vars;
  vars.Store(u"ZURI_IsCancelled", u"FALSE");
  RunSetVariable(script, 0, vars);
  EXPECT_EQ(vars.Get(u"ZURI_IsCancelled"), u"TRUE");
  RunSetVariable(script, 1, vars);
  EXPECT_EQ(vars.Get(u"PROGRESS"), u"40");
  // The progress display reads PROGRESS as a whole number: anything else fails the statement.
  EXPECT_THROW(RunSetVariable(script, 2, vars), EngineError);
}

TEST(SetVariable, SilentRunKeepsCommandLineValue) {
  const CompiledScript script = MakeScript({{"Set Variable", {"NATIVE_ENGINE", "FALSE"}}});
  for (bool silent : {true, false}) {
    TVariableManager vars;
    vars.SetCommandLineNames({u"NATIVE_ENGINE"});
    vars.SetSilent(silent);
    vars.Define(u"NATIVE_ENGINE", u"TRUE", kOriginCommandLine);
    RunSetVariable(script, 0, vars);
    EXPECT_EQ(vars.Get(u"NATIVE_ENGINE"), silent ? u"TRUE" : u"FALSE") << silent;
  }
}

}  // namespace
}  // namespace vx

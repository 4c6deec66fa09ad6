#include "script/mEval.h"

#include <gtest/gtest.h>

#include "script/EngineError.h"
#include "script/TestScript.h"
#include "script/VariableManager.h"

namespace vx {
namespace {

TEST(Condition, EveryComparisonCode) {
  TVariableManager vars;
  vars.Store(u"NUM", u"123");
  vars.Store(u"TEXT", u"Hello World");
  vars.Store(u"ACCENT", u"\u00e9t\u00e9");
  vars.Store(u"VER", u"2.10");
  vars.Store(u"LONGVER", u"1.0.0.0");
  vars.Store(u"INDIRECT", u"$NUM$");
  vars.Store(u"TWELVE", u"12");
  struct Case {
    const char16_t* variable;
    const char16_t* code;
    const char16_t* value;
    const char16_t* negate;
    bool holds;
  };
  const Case cases[] = {
      {u"NUM", u"0", u"123", u"FALSE", true},
      {u"NUM", u"0", u"+123", u"FALSE", true},         // numeric equality
      {u"TEXT", u"0", u"hello world", u"FALSE", false},  // case counts
      {u"NUM", u"1", u"2", u"FALSE", false},             // both numbers: equality, not containment
      {u"TEXT", u"1", u"World", u"FALSE", true},
      {u"TEXT", u"1", u"world", u"FALSE", false},
      {u"TEXT", u"1", u"", u"FALSE", false},  // the empty text is found nowhere
      {u"NUM", u"2", u"99", u"FALSE", true},  // numerically 123 > 99 although "123" < "99" as text
      {u"TEXT", u"2", u"Hello", u"FALSE", true},
      {u"TEXT", u"2", u"hello", u"FALSE", false},  // "H" sorts before "h"
      {u"TEXT", u"3", u"WORLD", u"FALSE", true},
      {u"TEXT", u"3", u"", u"FALSE", false},
      {u"ACCENT", u"3", u"\u00c9T\u00c9", u"FALSE", true},
      {u"TEXT", u"4", u"HELLO WORLD", u"FALSE", true},
      {u"ACCENT", u"4", u"\u00c9T\u00c9", u"FALSE", false},  // only A to Z fold here
      {u"NUM", u"5", u"", u"FALSE", true},
      {u"$NUM$", u"5", u"", u"FALSE", false},  // code 5 takes the name exactly as written
      {u"NUM", u"5", u"", u"TRUE", false},
      {u"MISSING", u"5", u"", u"FALSE", false},
      {u"VER", u"6", u"2.9", u"FALSE", true},
      {u"LONGVER", u"6", u"1", u"FALSE", false},  // equal versions are not higher
      {u"VER", u"6", u"2.10", u"FALSE", false},
      {u"VER", u"6", u"3", u"FALSE", false},
      {u"$VER$", u"6", u"2.9", u"FALSE", true},
      {u"MISSING", u"0", u"", u"FALSE", true},  // an undefined variable compares the empty text
      {u"MISSING", u"1", u"x", u"TRUE", true},
      {u"INDIRECT", u"0", u"$TWELVE$3", u"FALSE", true},  // both sides are expanded
      {u"NUM", u"7", u"123", u"FALSE", false},
      {u"NUM", u"7", u"123", u"-1", true},
      {u"NUM", u"0", u"123", u"true", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ConditionHolds(vars, c.variable, c.code, c.value, c.negate), c.holds)
        << TextToUtf8(c.variable) << " " << TextToUtf8(c.code) << " " << TextToUtf8(c.value) << " "
        << TextToUtf8(c.negate);
  }
}

TEST(Condition, VersionParts) {
  struct Case {
    const char16_t* left;
    const char16_t* right;
    bool higher;
  };
  const Case cases[] = {
      {u"2.10", u"2.9", true},    {u"2.9", u"2.10", false}, {u"1.0.0.0", u"1", false},
      {u"1.0.0.1", u"1", true},   {u"1.2.3.4", u"1.2.3.3", true}, {u"1.x", u"1", false},  // last part: 0
      {u"", u"0.0.0.0", false},   {u"10", u"9", true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(VersionIsHigher(c.left, c.right), c.higher) << TextToUtf8(c.left) << " vs " << TextToUtf8(c.right);
  // An inner part must be a number: the statement fails.
  EXPECT_THROW((void)VersionIsHigher(u"1.x.3", u"1"), EngineError);
  EXPECT_THROW((void)VersionIsHigher(u"1", u".5"), EngineError);
}

TEST(Condition, StatementTextsComeFromItsParameters) {
  const CompiledScript script = testing::MakeScript({
      {"If", {"$COUNT$", "2", "$LIMIT$", "FALSE"}},
      {"While", {"COUNT", "2", "$LIMIT$", "TRUE"}},
  });
  TVariableManager vars;
  vars.Store(u"COUNT", u"10");
  vars.Store(u"LIMIT", u"9");
  EXPECT_TRUE(StatementConditionHolds(script, 0, vars));
  EXPECT_FALSE(StatementConditionHolds(script, 1, vars));
}

TEST(Expression, Evaluate) {
  struct Case {
    const char16_t* text;
    const char16_t* result;
  };
  const Case cases[] = {
      {u"\"10\" > \"9\"", u"TRUE"},  // numbers
      {u"\"10\" > \"9x\"", u"FALSE"},
      {u"\"abc\" < \"abd\"", u"TRUE"},
      {u"\"a\" => \"b\"", u"ERROR"},  // not an operator
      {u"\"a\" = \"a\" AND \"b\" = \"b\"", u"ERROR"},
      {u"\"a\" = \"a\" and \"b\" = \"c\"", u"FALSE"},
      {u"\"a\" = \"b\" or \"b\" = \"b\"", u"TRUE"},
      {u"\"1\"=\"1\" or \"1\"=\"2\" and \"1\"=\"2\"", u"FALSE"},  // strictly left to right
      {u"\"1\"=\"1\" or (\"1\"=\"2\" and \"1\"=\"2\")", u"TRUE"},
      {u"(\"a\" <> \"b\")", u"TRUE"},
      {u"\"a\"<=\"a\"", u"TRUE"},
      {u"\"b\" >= \"a\" and \"-5\" < \"+3\"", u"TRUE"},
      {u"\"-\" < \"+\"", u"FALSE"},  // a lone sign is text: '-' (0x2D) sorts after '+' (0x2B)
      {u"\"a\"\"b\" = \"a\"\"b\"", u"TRUE"},  // doubled quote inside a literal
      {u"\"a\"=\"a\" or(\"b\"=\"b\")", u"ERROR"},  // the connective runs up to the quote
      {u"\"a\" = \"a\")", u"ERROR"},  // text left over
      {u"\"a\" = \"a", u"ERROR"},
      {u"\"a\"", u"ERROR"},
      {u"()", u"ERROR"},  // parses to nothing
      {u"", u"ERROR"},
      {u"  \"x\"  =  \"x\"  ", u"TRUE"},
      {u"\"99999999999\" = \"x\"", u"FALSE"},  // only numbers on both sides are converted
  };
  for (const Case& c : cases) EXPECT_EQ(EvaluateExpression(c.text), c.result) << TextToUtf8(c.text);
}

TEST(Expression, NumberBeyond32BitsFailsTheStatement) {
  EXPECT_THROW((void)EvaluateExpression(u"\"99999999999\" = \"1\""), EngineError);
  EXPECT_THROW((void)EvaluateExpression(u"\"1\" < \"-2147483649\""), EngineError);
  EXPECT_EQ(EvaluateExpression(u"\"2147483647\" > \"-2147483648\""), u"TRUE");
}

TEST(Expression, SyntaxCheckReadsDollarsAsQuotes) {
  struct Case {
    const char16_t* text;
    bool valid;
  };
  const Case cases[] = {
      {u"$A$ = \"1\"", true},
      {u"$A$ = $B$ and ($C$ <> \"x\")", true},
      {u"$A$ => \"1\"", false},
      {u"$A$ = \"1\" AND $B$ = \"2\"", false},
      {u"", false},
      {u"\"99999999999\" = \"1\"", true},  // well formed; fails only when it runs
  };
  for (const Case& c : cases) EXPECT_EQ(ExpressionSyntaxValid(c.text), c.valid) << TextToUtf8(c.text);
}

TEST(Expression, CommandStoresResult) {
  const CompiledScript script = testing::MakeScript({
      {"Evaluate Expression", {"$A$ = \"1\" and $B$ <> \"x\"", "result"}},
      {"Evaluate Expression", {"$QUOTE$ = \"1\"", "quoted"}},
      {"Evaluate Expression", {"()", "empty"}},
  });
  TVariableManager vars;
  vars.Store(u"A", u"1");
  vars.Store(u"B", u"y");
  vars.Store(u"QUOTE", u"say \"hi\"");
  for (size_t n = 0; n < script.StatementCount(); ++n) RunEvaluateExpression(script, n, vars);
  EXPECT_EQ(vars.Get(u"RESULT"), u"TRUE");
  EXPECT_EQ(vars.Get(u"QUOTED"), u"ERROR");  // the quote inside the value breaks the literal
  EXPECT_EQ(vars.Get(u"EMPTY"), u"ERROR");
  TextList names;
  vars.Names(names);
  EXPECT_NE(std::find(names.Lines().begin(), names.Lines().end(), u"RESULT"), names.Lines().end());
}

}  // namespace
}  // namespace vx

#include "commands/mUtilsX.h"

#include <gtest/gtest.h>

#include <climits>

#include "commands/CommandFamilies.h"
#include "script/EngineError.h"
#include "script/TestScript.h"

namespace vx {
namespace {

using testing::MakeScript;
using testing::Statement;

TEST(ParseStringTest, SplitsByModeAsTheAlgebraSays) {
  struct Case {
    const char16_t* source;
    const char16_t* delimiter;
    int32_t mode;
    bool ignoreCase;
    const char16_t* first;
    const char16_t* second;
  };
  const Case cases[] = {
      {u"a,b,c", u",", 0, false, u"a", u"b,c"},
      {u"a,b,c", u",", 1, false, u"a,b", u"c"},
      {u"abc", u",", 0, false, u"abc", u""},
      {u"abc", u",", 1, false, u"", u"abc"},
      {u"a::b::c", u"::", 0, false, u"a", u"b::c"},
      {u"a::b::c", u"::", 1, false, u"a::b", u"c"},
      {u"abcdef", u"2", 2, false, u"ab", u"cdef"},
      {u"abcdef", u"2", 3, false, u"abcd", u"ef"},
      {u"abcdef", u"0", 2, false, u"", u"abcdef"},
      {u"abcdef", u"0", 3, false, u"abcdef", u""},
      {u"abcdef", u"9", 2, false, u"abcdef", u""},
      // The whole length (or more) counted from the right leaves everything to the second part.
      {u"abcdef", u"6", 3, false, u"", u"abcdef"},
      {u"abcdef", u"8", 3, false, u"", u"abcdef"},
      {u"abcdef", u"-2", 2, false, u"", u"abcdef"},
      {u"abcdef", u"x", 2, false, u"", u""},
      {u"abcdef", u"x", 3, false, u"", u""},
      {u"abcdef", u"2", 7, false, u"", u""},
      {u"axb", u"X", 0, true, u"a", u"b"},
      {u"axb", u"X", 0, false, u"axb", u""},
      {u"AxBxC", u"X", 1, true, u"AxB", u"C"},
      // An empty delimiter is never found.
      {u"abc", u"", 0, false, u"abc", u""},
      {u"abc", u"", 1, false, u"", u"abc"},
      {u"", u",", 0, false, u"", u""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(TextToUtf8(c.source) + " / " + TextToUtf8(c.delimiter) + " mode " + std::to_string(c.mode));
    const ParsedParts parts = ParseParts(c.source, c.delimiter, c.mode, c.ignoreCase);
    EXPECT_EQ(parts.first, c.first);
    EXPECT_EQ(parts.second, c.second);
  }
}

TEST(ReplaceStringTest, ReplacesFirstOrAllWithOrWithoutCase) {
  struct Case {
    const char16_t* value;
    const char16_t* find;
    const char16_t* replacement;
    bool ignoreCase;
    bool all;
    const char16_t* result;
  };
  const Case cases[] = {
      {u"a-b-c", u"-", u"+", false, false, u"a+b-c"},
      {u"a-b-c", u"-", u"+", false, true, u"a+b+c"},
      {u"Hello hello", u"HELLO", u"bye", true, true, u"bye bye"},
      {u"Hello hello", u"HELLO", u"bye", false, true, u"Hello hello"},
      {u"aaa", u"aa", u"b", false, true, u"ba"},
      {u"abc", u"", u"x", false, true, u"abc"},
      {u"abc", u"b", u"", false, true, u"ac"},
      {u"x", u"x", u"xx", false, true, u"xx"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(TextToUtf8(c.value) + " " + TextToUtf8(c.find));
    EXPECT_EQ(ReplaceText(c.value, c.find, c.replacement, c.ignoreCase, c.all), c.result);
  }
}

TEST(ExtractPathTest, PartsOfDriveNetworkAndBarePaths) {
  struct Case {
    const char16_t* path;
    int32_t code;
    std::optional<Text> part;
  };
  const Case cases[] = {
      {u"C:\\dir\\archive.tar.gz", 0, u"archive.tar.gz"},
      {u"C:\\dir\\archive.tar.gz", 1, u"archive.tar"},
      {u"C:\\dir\\archive.tar.gz", 2, u"gz"},
      {u"C:\\dir\\archive.tar.gz", 3, u"C:\\dir\\"},
      {u"C:\\a\\b\\c.txt", 4, u"C:\\a\\"},
      {u"C:\\dir\\archive.tar.gz", 5, u"C:\\"},
      {u"\\\\server\\share\\f.txt", 5, u"\\\\server\\share\\"},
      {u"\\\\server\\share\\f.txt", 3, u"\\\\server\\share\\"},
      {u"\\\\server\\share\\f.txt", 0, u"f.txt"},
      {u"\\\\server\\share\\f.txt", 6, u"\\server\\share\\f.txt"},
      {u"C:\\a\\\\b", 6, u"C:\\a\\b"},
      {u"readme", 0, u"readme"},
      {u"readme", 1, u"readme"},
      {u"readme", 2, u""},
      {u"readme", 3, u""},
      {u"readme", 4, u""},
      {u"readme", 5, u""},
      {u"C:readme.txt", 0, u"readme.txt"},
      {u"C:readme.txt", 5, u"C:\\"},
      {u"C:\\", 4, u"C:\\"},
      {u"C:\\dir\\file", 9, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(TextToUtf8(c.path) + " code " + std::to_string(c.code));
    EXPECT_EQ(ExtractPathPart(c.path, c.code), c.part);
  }
}

TEST(MathematicsTest, OperationsWrapAndNeverFault) {
  struct Case {
    const char16_t* first;
    const char16_t* second;
    const char16_t* code;
    const char16_t* result;
  };
  const Case cases[] = {
      {u"7", u"5", u"0", u"12"},
      {u"7", u"5", u"1", u"2"},
      {u"7", u"5", u"2", u"35"},
      {u"-7", u"2", u"3", u"-3"},
      {u"-7", u"2", u"4", u"-1"},
      {u"7", u"0", u"3", u""},
      {u"7", u"0", u"4", u""},
      {u"12", u"10", u"5", u"8"},
      {u"12", u"10", u"6", u"14"},
      {u"12", u"10", u"7", u"6"},
      {u"1", u"4", u"8", u"16"},
      {u"-1", u"1", u"9", u"9223372036854775807"},
      {u"1", u"64", u"8", u"0"},
      {u"1", u"-1", u"8", u"0"},
      {u"-1", u"64", u"9", u"0"},
      {u"0", u"", u"10", u"-1"},
      {u"A", u"", u"11", u"65"},
      {u"", u"", u"11", u""},
      {u"65", u"", u"12", u"A"},
      {u"65601", u"", u"12", u"A"},
      {u"9223372036854775807", u"1", u"0", u"-9223372036854775808"},
      {u"-9223372036854775808", u"1", u"1", u"9223372036854775807"},
      {u"9223372036854775807", u"2", u"2", u"-2"},
      {u"-9223372036854775808", u"-1", u"3", u"-9223372036854775808"},
      {u"-9223372036854775808", u"-1", u"4", u"0"},
      {u"x", u"1", u"0", u""},
      {u"1", u"x", u"0", u""},
      {u"1", u"x", u"10", u"-2"},
      {u"1", u"1", u"x", u""},
      {u"1", u"1", u"16", u""},
      {u"1", u"1", u"-1", u""},
      {u"99999999999999999999", u"1", u"0", u""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(TextToUtf8(c.first) + " " + TextToUtf8(c.second) + " op " + TextToUtf8(c.code));
    MathGenerator generator;
    EXPECT_EQ(Calculate(c.first, c.second, c.code, generator), c.result);
  }
}

TEST(MathematicsTest, TheGeneratorRunsOnThirtyTwoBits) {
  MathGenerator generator;
  EXPECT_EQ(Calculate(u"10", u"", u"15", generator), u"0") << "unseeded, the generator yields 0";
  EXPECT_EQ(Calculate(u"1103515245", u"12345", u"13", generator), u"1103527590");
  EXPECT_EQ(Calculate(u"42", u"", u"14", generator), u"42");
  // R = 1103515245 * 42 + 12345 in 32-bit arithmetic = -1097669337 (wrapped).
  const int32_t r = static_cast<int32_t>(1103515245u * 42u + 12345u);
  EXPECT_EQ(Calculate(u"100", u"", u"15", generator), IntToText(int64_t{r} % 100));
  EXPECT_EQ(generator.state, r % 32767);
  EXPECT_EQ(Calculate(u"0", u"", u"15", generator), u"") << "a bound of 0 is a division by zero";
  EXPECT_EQ(Calculate(u"4294967296", u"7", u"13", generator), u"4294967303");
  EXPECT_EQ(generator.multiplier, 0) << "only the low 32 bits are kept";
  EXPECT_EQ(generator.increment, 7);
}

// The commands through the table, as a script runs them.
class StringCommandsTest : public ::testing::Test {
 protected:
  StringCommandsTest() : run(exitCode) { RegisterAllCommandFamilies(table); }

  void Run(const std::vector<Statement>& statements) {
    script = MakeScript(statements);
    for (size_t n = 0; n < script.StatementCount(); ++n) {
      CommandContext ctx(script, n, vars, trace, run);
      DispatchStatement(table, ctx);
    }
  }

  int exitCode = 0;
  ScriptRun run;
  CommandTable table;
  TVariableManager vars{false};
  RunTrace trace;
  CompiledScript script;
};

TEST_F(StringCommandsTest, ParseStringWritesTrimmedPartsIntoPlainNames) {
  vars.Define(u"SRC", u"  key =  value ", u"Test");
  Run({{"Parse String", {"$SRC$", "=", "k", "$V$", "0", "TRUE", "FALSE"}}});
  EXPECT_EQ(vars.Get(u"K"), u"key");
  EXPECT_EQ(vars.Get(u"$V$"), u"value") << "a plain name is taken as written, dollar signs and all";
  vars.Set(u"K", u"old", u"Test");
  EXPECT_THROW(Run({{"Parse String", {"a,b", ",", "K", "", "first", "FALSE", "FALSE"}}}), EngineError);
  EXPECT_EQ(vars.Get(u"K"), u"old");
  Run({{"Parse String", {"a,b", ",", "NEWONE", "", "1", "-1", "FALSE"}}});
  EXPECT_EQ(vars.Get(u"NEWONE"), u"a");
}

TEST_F(StringCommandsTest, ReplaceStringWorksOnLineBreakMarkers) {
  vars.Define(u"TEXT", u"one\r\ntwo\r\nthree", u"Test");
  Run({{"Replace String", {"$TEXT$", "$NEWLINE$", ", ", "FALSE", "FALSE"}}});
  EXPECT_EQ(vars.Get(u"TEXT"), u"one, two$NEWLINE$three");
  Run({{"Replace String", {"text", "$newline$", "|", "TRUE", "TRUE"}}});
  EXPECT_EQ(vars.Get(u"TEXT"), u"one, two|three");
  Run({{"Replace String", {"MISSING", "a", "b", "FALSE", "TRUE"}}});
  EXPECT_EQ(vars.Get(u"MISSING"), u"");
  vars.Store(u"SELF", u"$Self$");
  Run({{"Replace String", {"SELF", "zzz", "", "FALSE", "TRUE"}}});
  EXPECT_EQ(vars.Get(u"SELF"), u"") << "a result that is the variable's own reference empties it";
}

TEST_F(StringCommandsTest, ConvertCaseExtractPathAndMathematicsWriteBack) {
  vars.Define(u"NAME", u"C:\\\\Program Files\\\\Äpfel", u"Test");
  Run({{"Convert Case", {"NAME", "TRUE"}}});
  EXPECT_EQ(vars.Get(u"NAME"), u"C:\\PROGRAM FILES\\ÄPFEL");
  Run({{"Convert Case", {"NAME", "FALSE"}}});
  EXPECT_EQ(vars.Get(u"NAME"), u"c:\\program files\\äpfel");
  Run({{"Extract Path", {"NAME", "3"}}});
  EXPECT_EQ(vars.Get(u"NAME"), u"c:\\program files\\");
  Run({{"Extract Path", {"NAME", "42"}}});
  EXPECT_EQ(vars.Get(u"NAME"), u"c:\\program files\\") << "an unknown code leaves the value";

  vars.Define(u"A", u"6", u"Test");
  Run({{"Mathematics", {"$A$", "7", "2", "PRODUCT"}},
       {"Mathematics", {"1103515245", "12345", "13", ""}},
       {"Mathematics", {"42", "", "14", ""}},
       {"Mathematics", {"100", "", "15", "DRAW"}},
       {"Mathematics", {"7", "0", "3", "A"}}});
  EXPECT_EQ(vars.Get(u"PRODUCT"), u"42");
  EXPECT_EQ(vars.Get(u"DRAW"), IntToText(int64_t{static_cast<int32_t>(1103515245u * 42u + 12345u)} % 100))
      << "the generator's seed lives from one statement to the next";
  EXPECT_EQ(vars.Get(u"A"), u"") << "a division by zero empties the result";
}

}  // namespace
}  // namespace vx

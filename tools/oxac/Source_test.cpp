#include "tools/oxac/Source.h"

#include <gtest/gtest.h>

namespace vx::oxac {
namespace {

using Kind = SourceLine::Kind;

struct LineCase {
  const char* line;
  Kind kind;
  bool disabled;
  std::string name;
  std::vector<std::string> values;
};

TEST(SourceLine, TakesLinesApart) {
  const LineCase cases[] = {
      {"", Kind::Blank, false, "", {}},
      {"   \t ", Kind::Blank, false, "", {}},
      {"  # Set Variable \"X\" \"\"", Kind::Comment, false, "", {}},
      {"End", Kind::Statement, false, "End", {}},
      {"    Else   ", Kind::Statement, false, "Else", {}},
      {"Set Variable \"TARGET\" \"$PROGRAMFILES$\\Acme\"", Kind::Statement, false, "Set Variable", {"TARGET", "$PROGRAMFILES$\\Acme"}},
      // Doubled quotes stand for one; backslashes are plain characters, also before a quote.
      {"MessageBox \"say \"\"hi\"\"\" \"C:\\\"\"\"", Kind::Statement, false, "MessageBox", {"say \"hi\"", "C:\\\""}},
      {"Set Variable \"\" \"\"\"\"", Kind::Statement, false, "Set Variable", {"", "\""}},
      {"Set Variable \"P\" \"$\"", Kind::Statement, false, "Set Variable", {"P", "$"}},
      {"Terminate with Exit Code\t\"3010\"", Kind::Statement, false, "Terminate with Exit Code", {"3010"}},
      {"Does File/Folder Exist \"A\" \"x # not a comment\"", Kind::Statement, false, "Does File/Folder Exist", {"A", "x # not a comment"}},
      {"~ Set Variable \"DEBUG\" \"TRUE\"", Kind::Statement, true, "Set Variable", {"DEBUG", "TRUE"}},
      {"~End", Kind::Statement, true, "End", {}},
      {"include \"lib\\common.oxs\" RESULT", Kind::Include, false, "", {"lib\\common.oxs", "RESULT"}},
      {"include\"a.oxs\"", Kind::Include, false, "", {"a.oxs"}},
      {"includes \"x\"", Kind::Statement, false, "includes", {"x"}},  // a plug-in name, not an include
      {"@title \"Acme \"\"Pro\"\"\"", Kind::Setting, false, "title", {"Acme \"Pro\""}},
      {"@component \"Docs\\Manual\" 5000", Kind::Setting, false, "component", {"Docs\\Manual", "5000"}},
      {"@media-file \"b\" \"bin\\x.exe\" OFFLINE\\bin\\", Kind::Setting, false, "media-file", {"b", "bin\\x.exe", "OFFLINE\\bin\\"}},
  };
  for (const LineCase& c : cases) {
    SCOPED_TRACE(c.line);
    const SourceLine line = ParseLine(c.line);
    EXPECT_EQ(line.kind, c.kind);
    EXPECT_EQ(line.disabled, c.disabled);
    EXPECT_EQ(line.name, c.name);
    std::vector<std::string> values;
    for (const auto& value : line.values) values.push_back(value.text);
    EXPECT_EQ(values, c.values);
  }
}

TEST(SourceLine, SaysWhatWasExpected) {
  const std::pair<const char*, const char*> cases[] = {
      {"Set Variable \"A", "no closing quote"},
      {"Set Variable \"A\"\"", "no closing quote"},
      {"Set Variable \"A\"x", "expected a blank after the closing quote, found 'x'"},
      {"Set Variable \"A\" B", "expected a parameter in double quotes, found 'B'"},
      {"\"A\" \"B\"", "expected a command name before the first quote"},
      {"~", "expected a command name"},
      {"~ include \"a.oxs\"", "cannot be disabled"},
      {"include a.oxs", "expected the path of the included file in double quotes"},
      {"include \"a.oxs\" R extra", "expected the end of the line"},
      {"@", "expected a setting name"},
      {"@title Acme\"s", "a quote inside a plain word"},
  };
  for (const auto& [text, message] : cases) {
    SCOPED_TRACE(text);
    try {
      (void)ParseLine(text);
      ADD_FAILURE() << "no error";
    } catch (const LineError& error) {
      EXPECT_NE(std::string(error.what()).find(message), std::string::npos) << error.what();
    }
  }
}

TEST(SourceLine, QuoteReadsBack) {
  for (std::string text : {"", "plain", "say \"hi\"", "\"\"", "C:\\Program Files\\"}) {
    const SourceLine line = ParseLine("Comment " + Quote(text));
    ASSERT_EQ(line.values.size(), 1u);
    EXPECT_EQ(line.values[0].text, text);
  }
}

TEST(SourceFile, SplitsLinesOfEitherEndingAndDropsTheByteOrderMark) {
  EXPECT_EQ(SplitLines("\xEF\xBB\xBF" "a\r\nb\n\nc"), (std::vector<std::string_view>{"a", "b", "", "c"}));
  EXPECT_EQ(SplitLines("a\n"), (std::vector<std::string_view>{"a"}));
  EXPECT_TRUE(SplitLines("").empty());
}

}  // namespace
}  // namespace vx::oxac

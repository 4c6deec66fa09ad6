#include "tools/oxac/Project.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "tools/oxac/TestFiles.h"

namespace vx::oxac {
namespace {

using testing::kMinimalSettings;
using testing::TempFolder;

std::string Shown(const std::filesystem::path& path) { return path.string(); }

// One row per statement: command, first parameter, file name, line, include variable, depth.
struct Row {
  std::string command;
  std::string first;
  std::string file;
  int line;
  std::string variable;
  int depth;
  bool operator==(const Row&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Row& r) {
  return out << r.command << " '" << r.first << "' " << r.file << ":" << r.line << " " << r.variable << "*" << r.depth;
}

std::vector<Row> Rows(const Project& project, const std::filesystem::path& folder) {
  std::vector<Row> rows;
  for (const Statement& s : project.statements)
    rows.push_back({TextToUtf8(s.command), s.parameters.empty() ? "" : TextToUtf8(s.parameters[0]),
                    std::filesystem::path(s.where.file).lexically_relative(folder).generic_string(), s.where.line,
                    TextToUtf8(s.includeVariable), s.includeDepth});
  return rows;
}

TEST(ProjectIncludes, CopyStatementsInWithDepthContextAndTheirOwnLines) {
  TempFolder dir;
  const auto main = dir.Write("main.oxp", std::string(kMinimalSettings) +
                                              "Set Variable \"A\" \"1\"\n"      // line 3
                                              "include \"lib\\outer.oxs\" OUTER\n"  // line 4
                                              "include \"lib\\outer.oxs\"\n"        // line 5: same file again, no variable
                                              "End\n");                          // line 6
  dir.Write("lib/outer.oxs",
            "include \"inner.oxs\" $INNER$\n"  // line 0: an included file that starts with an include
            "# comment\n"
            "Comment \"outer\"\n");            // line 2
  dir.Write("lib/inner.oxs", "\n\nReturn from Include Script \"x\"\n");  // line 2

  const Project project = LoadProject(main, Shown(main));
  const std::vector<Row> expected = {
      {"Set Variable", "A", "main.oxp", 3, "0", 0},
      {"Comment", "Begin include lib\\outer.oxs", "main.oxp", 4, "OUTER", 1},
      {"Comment", "Begin include inner.oxs", "lib/outer.oxs", 0, "INNER", 2},
      {"Return from Include Script", "x", "lib/inner.oxs", 2, "INNER", 2},
      {"Comment", "End include inner.oxs", "lib/outer.oxs", 0, "OUTER", 1},
      {"Comment", "outer", "lib/outer.oxs", 2, "OUTER", 1},
      {"Comment", "End include lib\\outer.oxs", "main.oxp", 4, "0", 0},
      {"Comment", "Begin include lib\\outer.oxs", "main.oxp", 5, "", 1},
      {"Comment", "Begin include inner.oxs", "lib/outer.oxs", 0, "INNER", 2},
      {"Return from Include Script", "x", "lib/inner.oxs", 2, "INNER", 2},
      {"Comment", "End include inner.oxs", "lib/outer.oxs", 0, "", 1},
      {"Comment", "outer", "lib/outer.oxs", 2, "", 1},
      {"Comment", "End include lib\\outer.oxs", "main.oxp", 5, "0", 0},
      {"End", "", "main.oxp", 6, "0", 0},
  };
  EXPECT_EQ(Rows(project, dir.Path()), expected);

  // Every change of depth between neighbours is one level, as the engine's save/restore needs.
  for (size_t i = 1; i < project.statements.size(); ++i)
    EXPECT_LE(std::abs(project.statements[i].includeDepth - project.statements[i - 1].includeDepth), 1) << i;
}

TEST(ProjectSettings, ReadIntoTheProductValuesAndLists) {
  TempFolder dir;
  const auto main = dir.Write("p.oxp",
                              "@title \"Acme \"\"Pro\"\"\"\n"
                              "@product-code 0d3e6f5a-8b1c-4c2d-9e7f-1a2b3c4d5e6f\n"
                              "@revision-code \"{aaaaaaaa-bbbb-cccc-dddd-eeeeeeeeeeee}\"\n"
                              "@version \"2.1\"\n@publisher \"Acme\"\n@contact \"help@acme.example\"\n"
                              "@help-link \"https://acme.example/help\"\n@update-link \"https://acme.example/up\"\n"
                              "@comments \"c\"\n@package-kind 2\n@ask-language TRUE\n@default-language \"German\"\n"
                              "@code-page 1252\n@native-total-size 4294967296\n@resources \"res\"\n"
                              "@plugin \"Zip It\"\n"
                              "@build-value SINGLEINSTANCE \"TRUE\"\n@build-value \"#LOCMODE#\" \"\"\n"
                              "@component \"ZURI-PREDEF-COMPONENT\" 1024\n@component \"Docs\\Manual\" 0\n"
                              "@media-password offline \"secret\"\n"
                              "@media-file \"block1\" \"bin\\tool.exe\" \"OFFLINE\\bin\"\n"
                              "Zip It \"a\"\n"
                              "Install Files \"\" \"\" \"$TARGETDIR$\"\n"
                              "  @media \"offline/\"\n"
                              "  @header 0x001f3a\n"
                              "  @file \"OFFLINE\\1F3A\\0\\readme.txt\"\n"
                              "  @file \"OFFLINE\\1F3A\\0\\tool.exe\" \"bin\\\"\n");
  const Project p = LoadProject(main, "p.oxp");
  EXPECT_EQ(p.product.title, u"Acme \"Pro\"");
  EXPECT_EQ(p.product.productCode, u"{0D3E6F5A-8B1C-4C2D-9E7F-1A2B3C4D5E6F}");
  EXPECT_EQ(p.product.revisionCode, u"{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}");
  EXPECT_EQ(p.product.version, u"2.1");
  EXPECT_EQ(p.product.updateLink, u"https://acme.example/up");
  EXPECT_EQ(p.product.packageKind, 2);
  EXPECT_TRUE(p.product.askLanguage);
  EXPECT_EQ(p.product.defaultLanguage, u"German");
  EXPECT_EQ(p.product.codePage, 1252);
  EXPECT_EQ(p.product.nativeTotalSize, 4294967296LL);
  EXPECT_EQ(p.resourceFolder, dir.Path() / "res");
  EXPECT_EQ(p.plugins, std::vector<Text>{u"Zip It"});
  EXPECT_EQ(p.buildValues, (std::vector<std::pair<Text, Text>>{{u"SINGLEINSTANCE", u"TRUE"}, {u"LOCMODE", u""}}));
  EXPECT_EQ(p.components, (std::vector<std::pair<Text, int64_t>>{{u"ZURI-PREDEF-COMPONENT", 1024}, {u"Docs\\Manual", 0}}));
  ASSERT_EQ(p.mediaFiles.size(), 1u);
  EXPECT_EQ(p.mediaFiles[0].destination, u"OFFLINE\\bin\\");  // the backslash the engine expects is added
  ASSERT_EQ(p.statements.size(), 2u);
  const Statement& install = p.statements[1];
  EXPECT_EQ(install.mediaFolder, u"offline\\");
  EXPECT_EQ(install.header, u"1F3A");
  ASSERT_EQ(install.files.size(), 2u);
  EXPECT_EQ(install.files[0].target, u"");
  EXPECT_EQ(install.files[1].target, u"bin\\");
}

TEST(ProjectSettings, DefaultsForWhatIsNotGiven) {
  TempFolder dir;
  const auto main = dir.Write("p.oxp", kMinimalSettings);
  const Project p = LoadProject(main);
  EXPECT_EQ(p.product.packageKind, 1);
  EXPECT_EQ(p.product.codePage, 65001);
  EXPECT_FALSE(p.product.askLanguage);
  EXPECT_EQ(p.resourceFolder, dir.Path() / "resources");
  EXPECT_TRUE(p.statements.empty());
}

// Each case: the files of the project (main.oxp first) and the expected message, which names the
// file and the line counted from 1.
struct ErrorCase {
  const char* title;
  std::vector<std::pair<std::string, std::string>> files;
  std::string message;
};

TEST(ProjectErrors, NameTheFileTheLineAndWhatWasExpected) {
  const std::string m = kMinimalSettings;  // three lines
  const ErrorCase cases[] = {
      {"unknown command", {{"main.oxp", m + "Set Varable \"A\" \"\"\n"}},
       "main.oxp:4: unknown command 'Set Varable' (a plug-in command must be declared with @plugin \"Set Varable\")"},
      {"command in the wrong case", {{"main.oxp", m + "\nset  variable \"A\" \"\"\n"}},
       "main.oxp:5: unknown command 'set  variable'; did you mean 'Set Variable'?"},
      {"unterminated quote in an included file",
       {{"main.oxp", m + "include \"b.oxs\"\n"}, {"b.oxs", "Comment \"x\"\nComment \"open\n"}},
       "b.oxs:2: a quoted text has no closing quote"},
      {"include cycle",
       {{"main.oxp", m + "include \"a.oxs\"\n"}, {"a.oxs", "include \"b.oxs\"\n"}, {"b.oxs", "\ninclude \"a.oxs\"\n"}},
       "b.oxs:2: include cycle: "},
      {"including the project itself", {{"main.oxp", m + "include \"main.oxp\"\n"}}, "main.oxp:4: include cycle: "},
      {"missing included file", {{"main.oxp", m + "include \"gone.oxs\"\n"}}, "main.oxp:4: cannot read the included file 'gone.oxs'"},
      {"unknown setting", {{"main.oxp", m + "@titel \"x\"\n"}}, "main.oxp:4: unknown setting @titel"},
      {"setting twice", {{"main.oxp", m + "@title \"again\"\n"}}, "main.oxp:4: @title is given twice (first at "},
      {"project setting in an include",
       {{"main.oxp", m + "include \"b.oxs\"\n"}, {"b.oxs", "@version \"1\"\n"}},
       "b.oxs:1: @version is a project setting; it belongs in the project file"},
      {"wrong number of values", {{"main.oxp", m + "@component \"Docs\"\n"}}, "main.oxp:4: expected @component \"name\" SIZE"},
      {"bad number", {{"main.oxp", m + "@component \"Docs\" 12kB\n"}}, "main.oxp:4: expected a size in bytes, found '12kB'"},
      {"bad flag", {{"main.oxp", m + "@ask-language yes\n"}}, "main.oxp:4: expected true or false, found 'yes'"},
      {"bad GUID", {{"main.oxp", "@title \"t\"\n@product-code \"{1234}\"\n"}}, "main.oxp:2: expected a GUID"},
      {"missing product code", {{"main.oxp", "@title \"t\"\n@revision-code \"{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}\"\n"}},
       "main.oxp: the project has no @product-code line"},
      {"attribute without a statement", {{"main.oxp", m + "@media \"OFFLINE\\\"\n"}}, "main.oxp:4: @media belongs to a statement"},
      {"attribute after an include",
       {{"main.oxp", m + "Comment \"x\"\ninclude \"b.oxs\"\n@header 1F\n"}, {"b.oxs", ""}},
       "main.oxp:6: @header belongs to a statement"},
      {"file without a header", {{"main.oxp", m + "Install Files \"\" \"\" \"x\"\n@file \"OFFLINE\\a\"\n"}},
       "main.oxp:5: @file needs the statement's @header line before it"},
      {"header used twice",
       {{"main.oxp", m + "Install Files \"a\"\n@header 1f\ninclude \"b.oxs\"\n"}, {"b.oxs", "Install Files \"b\"\n@header 01F\n"}},
       "b.oxs:2: the command header 1F is already used by the statement at "},
      {"header too long", {{"main.oxp", m + "Install Files \"a\"\n@header 123456789\n"}}, "main.oxp:5: a command header has at most eight"},
      {"header not hexadecimal", {{"main.oxp", m + "Install Files \"a\"\n@header 12G\n"}}, "main.oxp:5: expected a command header"},
      {"absolute media folder", {{"main.oxp", m + "Comment \"a\"\n@media \"C:\\data\\\"\n"}}, "main.oxp:5: expected a folder relative"},
      {"media folder leaving the cache", {{"main.oxp", m + "Comment \"a\"\n@media \"..\\x\"\n"}}, "main.oxp:5: a media folder cannot leave"},
      {"list value that would end a section", {{"main.oxp", m + "@plugin \"$\"\n"}}, "main.oxp:4: a value cannot be exactly \"$\""},
      {"build value name with a hash inside", {{"main.oxp", m + "@build-value \"A#B\" \"x\"\n"}}, "main.oxp:4: expected a build value name"},
      {"build value twice", {{"main.oxp", m + "@build-value X \"1\"\n@build-value #x# \"2\"\n"}}, "main.oxp:5: the build value #x# is given twice"},
      {"password the engine cannot decode", {{"main.oxp", m + "@media-password \"b\" \"pa\xE2\x82\xACss\"\n"}},
       "main.oxp:4: a media block password can hold only characters up to U+00FF"},
      {"include variable with a star", {{"main.oxp", m + "include \"b.oxs\" A*B\n"}, {"b.oxs", ""}},
       "main.oxp:4: expected the name of the variable"},
  };
  for (const ErrorCase& c : cases) {
    SCOPED_TRACE(c.title);
    TempFolder dir;
    for (const auto& [name, text] : c.files) dir.Write(name, text);
    try {
      (void)LoadProject(dir.Path() / "main.oxp", "main.oxp");
      ADD_FAILURE() << "no error";
    } catch (const SourceError& error) {
      EXPECT_EQ(std::string(error.what()).rfind(c.message, 0), 0u) << error.what();
    }
  }
}

TEST(ProjectErrors, MissingProjectFile) {
  TempFolder dir;
  try {
    (void)LoadProject(dir.Path() / "none.oxp", "none.oxp");
    ADD_FAILURE() << "no error";
  } catch (const SourceError& error) {
    EXPECT_STREQ(error.what(), "none.oxp: cannot read the file");
  }
}

}  // namespace
}  // namespace vx::oxac

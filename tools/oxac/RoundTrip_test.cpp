// Compiles the sample project of examples/demo with oxac, loads the bytes as the engine does, and
// compares every section with what the project says.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "script/CompiledScript.h"
#include "tools/oxac/Guid.h"
#include "tools/oxac/Project.h"
#include "tools/oxac/Tool.h"
#include "tools/oxac/TestFiles.h"

namespace vx::oxac {
namespace {

namespace fs = std::filesystem;

TEST(DemoRoundTrip, EverySectionReadsBackAsTheProjectSays) {
  const fs::path project = fs::path(VELTRIX_SOURCE_DIR) / "examples" / "demo" / "demo.oxp";
  testing::TempFolder dir;
  std::ostringstream out, err;
  const ToolContext context{dir.Path() / "oxac", out, err, nullptr};
  ASSERT_EQ(RunOxac({"compile", project.string(), "-o", (dir.Path() / "demo.script").string()}, context), 0) << err.str();
  const CompiledScript s = LoadCompiledScript(testing::ReadFile(dir.Path() / "demo.script"));
  const Project p = LoadProject(project);

  // Product values, as written in demo.oxp.
  EXPECT_EQ(s.product.title, u"Veltrix Demo");
  EXPECT_EQ(s.product.version, u"1.0.0");
  EXPECT_EQ(s.product.publisher, u"Veltrix");
  EXPECT_EQ(s.product.comments, u"A small setup that shows the source format");
  EXPECT_EQ(s.product.productCode, u"{A75A9E11-CBF9-4866-AB9B-C483AD8736C9}");
  EXPECT_EQ(s.product.revisionCode, u"{E1A041E2-50DF-406C-A6DE-DFB8C70FFAD7}");
  EXPECT_EQ(s.product.contact, u"");
  EXPECT_EQ(s.product.helpLink, u"");
  EXPECT_EQ(s.product.updateLink, u"");
  EXPECT_EQ(s.product.packageKind, 1);
  EXPECT_FALSE(s.product.askLanguage);
  EXPECT_EQ(s.product.defaultLanguage, u"");
  EXPECT_EQ(s.product.codePage, 65001);
  EXPECT_EQ(s.product.nativeTotalSize, 0);
  for (const TextList* empty : {&s.pluginCommands, &s.mediaPasswords, &s.components, &s.mediaFiles, &s.commandHeaders,
                                &s.buildVariables, &s.nativeFileTable})
    EXPECT_TRUE(empty->Empty());

  // Statement tables, statement by statement.
  ASSERT_EQ(s.StatementCount(), p.statements.size());
  for (size_t n = 0; n < p.statements.size(); ++n) {
    const Statement& st = p.statements[n];
    SCOPED_TRACE(st.where.file + ":" + std::to_string(st.where.line + 1));
    EXPECT_EQ(s.commands.Get(n), st.command);
    EXPECT_EQ(s.identifiers.Get(n), Utf8ToText(StatementIdentifier("{A75A9E11-CBF9-4866-AB9B-C483AD8736C9}", n)));
    EXPECT_EQ(s.IsCommentedOut(n), st.disabled);
    EXPECT_EQ(s.mediaFolders.Get(n), st.mediaFolder);
    EXPECT_EQ(s.IncludeVariable(n), st.includeVariable);
    EXPECT_EQ(s.IncludeDepth(n), st.includeDepth);
    EXPECT_EQ(s.SourceLine(n), st.where.line);
    Text file = Utf8ToText(st.where.file);
    for (char16_t& c : file)
      if (c == u'/') c = u'\\';
    EXPECT_EQ(s.SourceFile(n), file);
    for (size_t k = 0; k < st.parameters.size(); ++k) EXPECT_EQ(s.Parameter(n, k + 1), st.parameters[k]);
  }

  // What the demo shows off: a lone "$" parameter, a disabled statement, quotes inside a
  // parameter, and the include of checks.oxs with its result variable.
  const std::vector<Text>& commands = s.commands.Lines();
  EXPECT_EQ(s.Parameter(1, 2), u"Hello from $TITLE$");
  EXPECT_EQ(s.Parameter(2, 2), u"$PROGRAMFILES$\\Veltrix Demo");
  size_t dollar = 0;
  for (size_t n = 0; n < commands.size(); ++n)
    if (p.statements[n].parameters.size() >= 2 && s.Parameter(n, 2) == u"$") ++dollar;
  EXPECT_EQ(dollar, 1u);  // Set Variable "CURRENCY" "$" (the If compares in parameter 3)
  size_t disabled = 0, included = 0;
  for (size_t n = 0; n < commands.size(); ++n) {
    disabled += s.IsCommentedOut(n);
    if (s.IncludeDepth(n) == 1) {
      ++included;
      EXPECT_EQ(s.IncludeVariable(n), u"CHECKRESULT");
    }
  }
  EXPECT_EQ(disabled, 1u);
  EXPECT_GE(included, 4u);
  const auto fromChecks = std::count_if(p.statements.begin(), p.statements.end(), [](const Statement& st) {
    return st.where.file.ends_with("checks.oxs");
  });
  EXPECT_EQ(static_cast<size_t>(fromChecks) + 1, included);  // plus the marker that opens the include
}

}  // namespace
}  // namespace vx::oxac

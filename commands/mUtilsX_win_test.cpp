// "Convert Path" against the real file system.
#include <windows.h>

#include <gtest/gtest.h>

#include "commands/CommandFamilies.h"
#include "platform/Win32.h"
#include "script/TestScript.h"

namespace vx {
namespace {

using platform::W;

class ConvertPathTest : public ::testing::Test {
 protected:
  ConvertPathTest() : run(exitCode) {
    RegisterAllCommandFamilies(table);
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    Text longTemp = platform::GrowingTextCall([&temp](wchar_t* b, DWORD n) { return GetLongPathNameW(temp, b, n); });
    root = longTemp + u"vx convert " + IntToText(GetCurrentProcessId()) + u"\\";
    CreateDirectoryW(W(root), nullptr);
    CreateDirectoryW(W(root + u"Long Folder Name"), nullptr);
    file = root + u"Long Folder Name\\file with spaces.text";
    HANDLE h = CreateFileW(W(file), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CloseHandle(h);
  }
  ~ConvertPathTest() override {
    DeleteFileW(W(file));
    RemoveDirectoryW(W(root + u"Long Folder Name"));
    RemoveDirectoryW(W(root));
  }

  Text Convert(TextView value, bool shortForm) {
    vars.Define(u"P", value, u"Test");
    script = testing::MakeScript({{"Convert Path", {"P", shortForm ? "TRUE" : "FALSE"}}});
    CommandContext ctx(script, 0, vars, trace, run);
    DispatchStatement(table, ctx);
    return vars.Get(u"P");
  }

  int exitCode = 0;
  ScriptRun run;
  CommandTable table;
  TVariableManager vars{false};
  RunTrace trace;
  CompiledScript script;
  Text root;
  Text file;
};

TEST_F(ConvertPathTest, ShortAndLongFormsOfExistingPaths) {
  const Text shortForm = Convert(file, true);
  ASSERT_FALSE(shortForm.empty());
  EXPECT_NE(shortForm, file);
  EXPECT_EQ(shortForm.find(u' '), Text::npos) << TextToUtf8(shortForm);
  EXPECT_EQ(Convert(shortForm, false), file) << "the long form names every component as the file system does";

  // Lower-case spelling, doubled backslashes and ".." segments all come back in the stored form.
  Text messy = LowerText(root) + u"Long Folder Name\\\\..\\LONG FOLDER NAME\\FILE WITH SPACES.TEXT";
  EXPECT_EQ(Convert(messy, false), file);
}

TEST_F(ConvertPathTest, MissingPathsGiveEmptyText) {
  EXPECT_EQ(Convert(root + u"no such folder\\x.txt", false), u"");
  EXPECT_EQ(Convert(root + u"no such folder\\x.txt", true), u"");
}

TEST_F(ConvertPathTest, RelativePathsStartAtTheSetupFolderAndEnvironmentReferencesExpand) {
  vars.Define(u"SETUPPATH", root, u"Test");
  EXPECT_EQ(Convert(u"long folder name\\file with spaces.text", false), file);
  SetEnvironmentVariableW(L"VX_CONVERT_ROOT", W(root));
  EXPECT_EQ(Convert(u"%VX_CONVERT_ROOT%Long Folder Name", false), root + u"Long Folder Name");
}

}  // namespace
}  // namespace vx

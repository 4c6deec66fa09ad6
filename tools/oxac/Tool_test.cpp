#include "tools/oxac/Tool.h"

#include <gtest/gtest.h>

#include <sstream>

#include "script/CompiledScript.h"
#include "tools/oxac/TestFiles.h"

namespace vx::oxac {
namespace {

namespace fs = std::filesystem;
using testing::kMinimalSettings;
using testing::ReadFile;
using testing::TempFolder;

// A stripped engine stub as far as oxac looks at it: PE headers whose last section ends at the
// end of the file.
std::string FakeStub(size_t size = 1024) {
  std::string b(size, '\0');
  const auto put = [&b](size_t at, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  b[0] = 'M';
  b[1] = 'Z';
  put(0x3C, 0x80, 4);
  b.replace(0x80, 4, std::string("PE\0\0", 4));
  put(0x84 + 2, 1, 2);      // one section
  put(0x84 + 16, 224, 2);   // 32-bit optional header
  const size_t section = 0x84 + 20 + 224;
  put(section + 16, static_cast<uint32_t>(size - 0x200), 4);  // raw size
  put(section + 20, 0x200, 4);                                // raw offset
  return b;
}

struct Outcome {
  int code;
  std::string out;
  std::string err;
};

class OxacTool : public ::testing::Test {
 protected:
  Outcome Oxac(std::vector<std::string> args, bool packSucceeds = true) {
    std::ostringstream out, err;
    const ToolContext context{dir.Path() / "bin" / "oxac", out, err,
                              [&](const fs::path& folder, const fs::path& archive) {
                                packedFolder = folder;
                                if (!packSucceeds) return false;
                                WriteFileAtomically(archive, "packed");
                                return true;
                              }};
    const int code = RunOxac(args, context);
    return {code, out.str(), err.str()};
  }
  std::string P(const char* name) const { return (dir.Path() / name).string(); }

  TempFolder dir;
  fs::path packedFolder;
};

TEST_F(OxacTool, CompileWritesTheScriptAndAFailureLeavesTheOldOutputAlone) {
  dir.Write("p.oxp", std::string(kMinimalSettings) + "Comment \"hello\"\n");
  Outcome run = Oxac({"compile", P("p.oxp"), "-o", P("p.script")});
  ASSERT_EQ(run.code, 0) << run.err;
  const std::string first = ReadFile(dir.Path() / "p.script");
  EXPECT_EQ(LoadCompiledScript(first).commands.Get(0), u"Comment");
  // Two builds of one project are byte-identical.
  ASSERT_EQ(Oxac({"compile", P("p.oxp"), "-o", P("again.script")}).code, 0);
  EXPECT_EQ(ReadFile(dir.Path() / "again.script"), first);

  dir.Write("p.oxp", std::string(kMinimalSettings) + "Comment \"hello\n");
  run = Oxac({"compile", P("p.oxp"), "-o", P("p.script")});
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.err.find("p.oxp:4: a quoted text has no closing quote"), std::string::npos) << run.err;
  EXPECT_EQ(ReadFile(dir.Path() / "p.script"), first);
  for (const auto& entry : fs::directory_iterator(dir.Path()))
    EXPECT_EQ(entry.path().string().find("partial"), std::string::npos) << entry.path();
}

TEST_F(OxacTool, BuildAppendsTheScriptToTheStubAndBringsLibraryAndResources) {
  dir.Write("p.oxp", std::string(kMinimalSettings) + "Comment \"hello\"\n");
  dir.Write("resources/readme.txt", "hi");
  dir.Write("bin/oxastub.exe", FakeStub());  // beside the oxac binary: the default stub
  dir.Write("bin/oxa.lib", "library bytes");
  ASSERT_EQ(Oxac({"compile", P("p.oxp"), "-o", P("p.script")}).code, 0);

  const Outcome run = Oxac({"build", P("p.oxp"), "-o", P("out")});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(ReadFile(dir.Path() / "out" / "p.exe"), FakeStub() + ReadFile(dir.Path() / "p.script"));
  EXPECT_EQ(ReadFile(dir.Path() / "out" / "oxa.lib"), "library bytes");
  EXPECT_EQ(ReadFile(dir.Path() / "out" / "p.res"), "packed");
  EXPECT_EQ(packedFolder, dir.Path() / "resources");

  // --stub and --name; a stub without oxa.lib beside it; a project without a resource folder.
  dir.Write("other/stub.exe", FakeStub(2048));
  dir.Write("q.oxp", std::string(kMinimalSettings) + "@resources \"none\"\n");
  ASSERT_EQ(Oxac({"build", P("q.oxp"), "-o", P("out2"), "--stub", P("other/stub.exe"), "--name", "Setup"}).code, 0);
  EXPECT_EQ(ReadFile(dir.Path() / "out2" / "Setup.exe").substr(0, 2048), FakeStub(2048));
  EXPECT_FALSE(fs::exists(dir.Path() / "out2" / "oxa.lib"));
  EXPECT_FALSE(fs::exists(dir.Path() / "out2" / "Setup.res"));
}

TEST_F(OxacTool, BuildWritesNothingWhenAPartCannotBeMade) {
  dir.Write("p.oxp", std::string(kMinimalSettings) + "Comment \"hello\"\n");
  dir.Write("resources/readme.txt", "hi");
  dir.Write("bin/oxastub.exe", FakeStub());
  dir.Write("appended.exe", FakeStub() + "old script");
  dir.Write("text.exe", "not an executable");

  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"build", P("p.oxp"), "-o", P("out"), "--stub", P("missing.exe")}, "no engine stub at "},
      {{"build", P("p.oxp"), "-o", P("out"), "--stub", P("appended.exe")}, "carries data after its image"},
      {{"build", P("p.oxp"), "-o", P("out"), "--stub", P("text.exe")}, "is not a Windows executable"},
  };
  for (const auto& [args, message] : cases) {
    const Outcome run = Oxac(args);
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
  }
  const Outcome run = Oxac({"build", P("p.oxp"), "-o", P("out")}, false);
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.err.find("resource folder could not be packed"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(dir.Path() / "out" / "p.exe"));
}

TEST_F(OxacTool, NewMakesAProjectThatCompilesWithFreshCodes) {
  const Outcome printed = Oxac({"new"});
  ASSERT_EQ(printed.code, 0);
  ASSERT_EQ(Oxac({"new", P("fresh.oxp")}).code, 0);
  const std::string written = ReadFile(dir.Path() / "fresh.oxp");
  EXPECT_NE(written, printed.out);  // other GUIDs
  const Outcome compiled = Oxac({"compile", P("fresh.oxp"), "-o", P("fresh.script")});
  ASSERT_EQ(compiled.code, 0) << compiled.err;
  const Outcome again = Oxac({"new", P("fresh.oxp")});
  EXPECT_EQ(again.code, 1);
  EXPECT_EQ(ReadFile(dir.Path() / "fresh.oxp"), written);
}

TEST_F(OxacTool, WrongUsageShowsHowToCallIt) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {}, {"compile"}, {"compile", "p.oxp"}, {"build", "p.oxp"}, {"frobnicate"}, {"compile", "p.oxp", "-x"}, {"compile", "-o"}}) {
    const Outcome run = Oxac(args);
    EXPECT_EQ(run.code, 2);
    EXPECT_NE(run.err.find("usage:"), std::string::npos);
  }
}

}  // namespace
}  // namespace vx::oxac

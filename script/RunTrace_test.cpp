#include "script/RunTrace.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "platform/FileIO.h"

namespace vx {
namespace {

TEST(RunTrace, LinesAreUtf16LittleEndianWithCrLfAndNoByteOrderMark) {
  EXPECT_EQ(EncodeTraceLine(u"<é>"), std::string("<\0\xE9\0>\0\r\0\n\0", 10));
}

TEST(RunTrace, FirstLineStartsTheFileAnewAndAMovedTraceGoesOn) {
  const auto dir = std::filesystem::temp_directory_path();
  const Text first = Utf8ToText((dir / "vx-trace-first.log").string());
  const Text second = Utf8ToText((dir / "vx-trace-second.log").string());
  ASSERT_TRUE(platform::AppendToFile(first, "old content", true));
  ASSERT_TRUE(platform::AppendToFile(second, "kept", true));

  RunTrace trace(first);
  trace.Line(u"<Veltrix>");
  trace.Line(u"    <SupportDir>");
  EXPECT_EQ(platform::ReadWholeFile(first), EncodeTraceLine(u"<Veltrix>") + EncodeTraceLine(u"    <SupportDir>"));

  trace.SetPath(second);  // the script moved LOGGED: only the first line of the process truncates
  trace.Line(u"x");
  EXPECT_EQ(platform::ReadWholeFile(second), "kept" + EncodeTraceLine(u"x"));

  trace.SetPath(Text());  // an empty path stops the trace
  trace.Line(u"y");
  EXPECT_EQ(platform::ReadWholeFile(second), "kept" + EncodeTraceLine(u"x"));
  std::filesystem::remove(dir / "vx-trace-first.log");
  std::filesystem::remove(dir / "vx-trace-second.log");
}

}  // namespace
}  // namespace vx

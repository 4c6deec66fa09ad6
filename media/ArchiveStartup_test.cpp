// The archive side of start-up over the real oxa.lib, under Wine.
#include "media/ArchiveStartup.h"

#include <gtest/gtest.h>

#include <windows.h>

#include "media/LanguageData.h"
#include "media/SevenZipWrap.h"
#include "media/uSevenZipAPI.h"
#include "platform/FileIO.h"
#include "platform/Win32.h"

namespace vx {
namespace {

using platform::W;

Text Folder(const char* name) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  Text folder = platform::FromW(temp) + T(name) + IntToText(GetCurrentProcessId()) + u"\\";
  CreateDirectoryW(W(folder), nullptr);
  return folder;
}

Text FixtureFile(const char* name) {
  Text path = u"Z:" + Utf8ToText(VELTRIX_MEDIA_FIXTURES) + u"/" + T(name);
  for (char16_t& c : path) c = c == u'/' ? u'\\' : c;
  return path;
}

TEST(ArchiveStartup, ResourceArchiveLandsInTheSupportFolderWithItsTree) {
  StartupValues values;
  values.supportFolder = Folder("vxsupport");
  // A resource left from before is overwritten.
  ASSERT_TRUE(platform::AppendToFile(values.supportFolder + u"readme.txt", "stale", true));
  struct Case {
    const char* archive;
    bool success;
  };
  for (const Case& c : {Case{"plain.7z", true}, Case{"garbage.res", false}, Case{"truncated.7z", false}}) {
    SCOPED_TRACE(c.archive);
    values.resourceArchive = FixtureFile(c.archive);
    Text error;
    EXPECT_EQ(ExtractSetupResources(values, error), c.success) << TextToUtf8(error);
    EXPECT_EQ(error.empty(), c.success);
  }
  EXPECT_EQ(platform::ReadWholeFile(values.supportFolder + u"readme.txt"),
            platform::ReadWholeFile(FixtureFile("tree/readme.txt")));
  EXPECT_EQ(platform::ReadWholeFile(values.supportFolder + u"docs\\guide.md"),
            platform::ReadWholeFile(FixtureFile("tree/docs/guide.md")));
}

TEST(ArchiveStartup, LanguageDataIsWrittenOutAndRemoved) {
  StartupValues values;
  values.exeFolder = Folder("vxexe");
  values.tempFolder = Folder("vxtemp");
  const Text library = ExecutableFolder() + u"oxa.lib";
  std::optional<std::string> image = platform::ReadWholeFile(library);
  ASSERT_TRUE(image);
  std::optional<std::string> withLanguage = WithLanguageData(*image, "language line\r\n");
  ASSERT_TRUE(withLanguage);
  ASSERT_TRUE(platform::AppendToFile(values.exeFolder + u"oxa.lib", *withLanguage, true));
  LoadAppendedLanguage(values);
  EXPECT_EQ(GetFileAttributesW(W(values.tempFolder + u"lang.loc")), INVALID_FILE_ATTRIBUTES);
  // The built library itself carries nothing after its image.
  EXPECT_EQ(DataAfterImage(*image), std::nullopt);
}

}  // namespace
}  // namespace vx

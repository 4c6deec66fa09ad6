// The two OS facts the component state needs, on Windows: free space of the target folder's drive
// and the one-step replacement of a state file.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/DiskSpace.h"
#include "platform/FileIO.h"
#include "platform/Win32.h"
#include "state/ComponentState.h"
#include "state/Components.h"

namespace vx {
namespace {

using platform::W;

// Other processes write to the disk while the test runs; the same volume asked twice may differ a little.
constexpr int64_t kTolerance = int64_t{256} << 20;

TEST(StateFilesWin, FreeSpaceOfTheTargetFoldersDrive) {
  const auto root = platform::FreeDiskSpace(u"C:\\");
  ASSERT_TRUE(root.has_value());
  EXPECT_GT(*root, 0);
  struct Case {
    const char16_t* target;
  };
  // A folder that does not exist yet still answers for its drive.
  for (const Case c : {Case{u"C:\\Program Files\\Acme\\"}, Case{u"c:\\windows"}, Case{u"C:"}}) {
    const int64_t available = AvailableSpace(c.target, MachineFreeSpace());
    EXPECT_LE(std::llabs(available - *root), kTolerance) << TextToUtf8(c.target);
  }
  // A drive letter the machine does not have gives 0.
  const DWORD drives = GetLogicalDrives();
  for (char16_t letter = u'Q'; letter <= u'Y'; ++letter) {
    if (drives & (1u << (letter - u'A'))) continue;
    const Text target = Text(1, letter) + u":\\Acme";
    EXPECT_FALSE(platform::FreeDiskSpace(Text(1, letter) + u":\\").has_value());
    EXPECT_EQ(AvailableSpace(target, MachineFreeSpace()), 0);
    break;
  }
}

class StateFileReplace : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = platform::GrowingTextCall([](wchar_t* b, DWORD n) { return GetTempPathW(n, b); }) + u"vx-state-replace\\";
    CreateDirectoryW(W(folder_), nullptr);
    path_ = folder_ + u"setup.dat";
    DeleteFileW(W(path_));
    DeleteFileW(W(path_ + u".dat"));
  }
  void TearDown() override {
    DeleteFileW(W(path_));
    DeleteFileW(W(path_ + u".dat"));
    RemoveDirectoryW(W(folder_));
  }
  [[nodiscard]] bool Exists(const Text& path) const { return GetFileAttributesW(W(path)) != INVALID_FILE_ATTRIBUTES; }

  Text folder_;
  Text path_;
};

TEST_F(StateFileReplace, ReplacesAnExistingFileInOneStep) {
  ASSERT_TRUE(platform::AppendToFile(path_, "old", true));
  ASSERT_TRUE(WriteStateFile(path_, "new state\r\n"));
  EXPECT_EQ(platform::ReadWholeFile(path_), std::string("new state\r\n"));
  EXPECT_FALSE(Exists(path_ + u".dat"));
}

TEST_F(StateFileReplace, AFileHeldOpenKeepsItsOldContents) {
  ASSERT_TRUE(platform::AppendToFile(path_, "old", true));
  {
    // Another program reads the state file and does not share deletion: it cannot be replaced.
    platform::UniqueHandle reader(
        CreateFileW(W(path_), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(reader);
    EXPECT_FALSE(WriteStateFile(path_, "new"));
  }
  EXPECT_EQ(platform::ReadWholeFile(path_), std::string("old"));
  EXPECT_FALSE(Exists(path_ + u".dat"));
}

}  // namespace
}  // namespace vx

#include "engine/SupportFolder.h"

#include <gtest/gtest.h>

#include "platform/FileIO.h"
#include "platform/Win32.h"

namespace vx {
namespace {

using platform::W;

class SupportFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t buffer[MAX_PATH];
    GetTempPathW(MAX_PATH, buffer);
    root_ = platform::FromW(buffer) + u"vx-support-test\\";
    RemoveFolder(root_);
    ASSERT_TRUE(CreateFolderTree(root_));
  }
  void TearDown() override { RemoveFolder(root_); }

  bool Exists(const Text& path) { return GetFileAttributesW(W(path)) != INVALID_FILE_ATTRIBUTES; }

  Text root_;
};

TEST_F(SupportFolderTest, NumberingSkipsExistingFilesAndFolders) {
  ASSERT_TRUE(platform::AppendToFile(root_ + u"oxa1", "a file", true));
  ASSERT_TRUE(CreateDirectoryW(W(root_ + u"oxa2"), nullptr));
  EXPECT_EQ(CreateSupportFolder(root_), root_ + u"oxa3\\");
  EXPECT_EQ(CreateSupportFolder(root_), root_ + u"oxa4\\");
  EXPECT_TRUE(Exists(root_ + u"oxa4"));
}

TEST_F(SupportFolderTest, RemovalTakesNestedReadOnlyAndLongNamedContent) {
  const Text folder = CreateSupportFolder(root_);
  Text deep = folder;
  for (int i = 0; i < 12; ++i) deep += u"a-rather-long-folder-name-" + IntToText(i) + u"\\";
  ASSERT_TRUE(CreateFolderTree(u"\\\\?\\" + deep));
  ASSERT_TRUE(platform::AppendToFile(u"\\\\?\\" + deep + u"file.txt", "x", true));
  ASSERT_TRUE(platform::AppendToFile(folder + u"readonly.txt", "x", true));
  SetFileAttributesW(W(folder + u"readonly.txt"), FILE_ATTRIBUTE_READONLY);
  RemoveFolder(folder);
  EXPECT_FALSE(Exists(folder));
  RemoveFolder(folder);  // a missing folder is nothing to do
}

TEST_F(SupportFolderTest, SubfolderRemovalKeepsTheNamedOneAndFiles) {
  for (const char16_t* name : {u"OFFLINE", u"block1", u"block2"}) ASSERT_TRUE(CreateFolderTree(root_ + name + u"\\sub"));
  ASSERT_TRUE(platform::AppendToFile(root_ + u"state.dat", "x", true));
  RemoveSubfoldersExcept(root_, u"offline");
  EXPECT_TRUE(Exists(root_ + u"OFFLINE\\sub"));
  EXPECT_FALSE(Exists(root_ + u"block1"));
  EXPECT_FALSE(Exists(root_ + u"block2"));
  EXPECT_TRUE(Exists(root_ + u"state.dat"));
}

}  // namespace
}  // namespace vx

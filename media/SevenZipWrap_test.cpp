// The engine's archive wrappers over the real oxa.lib and 7z.dll, under Wine. The fixtures are
// made on Linux by Debian's 7zz (media/testdata/make-fixtures.sh).
#include "media/SevenZipWrap.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include <map>

#include "platform/FileIO.h"
#include "platform/Win32.h"

namespace vx {
namespace {

using platform::W;

// The Linux folder of the fixtures, seen through Wine's Z: drive.
Text Fixtures() {
  Text path = u"Z:" + Utf8ToText(VELTRIX_MEDIA_FIXTURES);
  for (char16_t& c : path) c = c == u'/' ? u'\\' : c;
  return path + u"\\";
}

Text Fixture(const char* name) { return Fixtures() + T(name); }

// Every file below a folder: relative path -> content; folders map to "<dir>".
void Collect(const Text& root, const Text& relative, std::map<Text, std::string>& out) {
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW(W(root + relative + u"*"), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    Text name = platform::FromW(found.cFileName);
    if (name == u"." || name == u"..") continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      out[relative + name] = "<dir>";
      Collect(root, relative + name + u"\\", out);
    } else {
      out[relative + name] = platform::ReadWholeFile(root + relative + name).value_or("<unreadable>");
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

std::map<Text, std::string> Tree(const Text& folder) {
  std::map<Text, std::string> files;
  Collect(folder, Text(), files);
  return files;
}

void RemoveTree(const Text& folder) {
  for (auto it = Tree(folder); !it.empty();) {
    auto last = std::prev(it.end());
    Text path = folder + last->first;
    SetFileAttributesW(W(path), FILE_ATTRIBUTE_NORMAL);
    if (last->second == "<dir>") {
      RemoveDirectoryW(W(path));
    } else {
      DeleteFileW(W(path));
    }
    it.erase(last);
  }
  RemoveDirectoryW(W(folder));
}

// A fresh empty folder under the temporary folder, removed afterwards.
class TempFolder {
 public:
  TempFolder() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    static int counter = 0;
    path_ = platform::FromW(temp) + u"vxarc" + IntToText(GetCurrentProcessId()) + u"_" + IntToText(++counter) + u"\\";
    RemoveTree(path_);
    CreateDirectoryW(W(path_), nullptr);
  }
  ~TempFolder() { RemoveTree(path_); }
  [[nodiscard]] const Text& Path() const { return path_; }

 private:
  Text path_;
};

class ArchiveWrappers : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { EnsureArchiveEngineFolder(); }
};

struct FixtureCase {
  const char* archive;
  const char* password;
};
const FixtureCase kSoundArchives[] = {
    {"plain.7z", ""},
    {"bcj2.7z", ""},
    {"encrypted.7z", "secret"},
    {"aes.zip", "secret"},
};

TEST_F(ArchiveWrappers, ListsTestsAndExtractsArchivesOf7zzByteForByte) {
  const std::map<Text, std::string> expected = Tree(Fixture("tree\\"));
  ASSERT_GE(expected.size(), 12u);
  for (const FixtureCase& c : kSoundArchives) {
    SCOPED_TRACE(c.archive);
    Text error;
    std::vector<Text> paths, sizes, times;
    ASSERT_TRUE(ListArchive(Fixture(c.archive), T(c.password), error, true, nullptr,
                            ArchiveListLists{&paths, &sizes, nullptr, &times}))
        << TextToUtf8(error);
    EXPECT_EQ(paths.size(), expected.size());
    for (size_t i = 0; i < paths.size(); ++i) {
      auto found = expected.find(paths[i]);
      ASSERT_NE(found, expected.end()) << TextToUtf8(paths[i]);
      if (found->second != "<dir>") {
        EXPECT_EQ(sizes[i], IntToText(static_cast<int64_t>(found->second.size())));
      }
      EXPECT_EQ(times[i].size(), 19u);
    }

    EXPECT_TRUE(TestArchiveFile(Fixture(c.archive), T(c.password), error, nullptr, nullptr)) << TextToUtf8(error);

    TempFolder target;
    ASSERT_TRUE(ExtractArchiveItems(Fixture(c.archive), T(c.password), target.Path(), nullptr, nullptr, nullptr,
                                    nullptr, nullptr, error, true, false))
        << TextToUtf8(error);
    EXPECT_EQ(Tree(target.Path()), expected);
  }
}

TEST_F(ArchiveWrappers, WrongPasswordGivesTheWrongPasswordErrorAndNoPartialTree) {
  for (const char* archive : {"encrypted.7z", "aes.zip"}) {
    for (const char* password : {"wrong", ""}) {
      SCOPED_TRACE(std::string(archive) + " / '" + password + "'");
      TempFolder target;
      Text error;
      EXPECT_FALSE(ExtractArchiveItems(Fixture(archive), T(password), target.Path(), nullptr, nullptr, nullptr,
                                       nullptr, nullptr, error, true, false));
      EXPECT_EQ(error, kWrongPasswordText);
      EXPECT_TRUE(Tree(target.Path()).empty());
      EXPECT_FALSE(TestArchiveFile(Fixture(archive), T(password), error, nullptr, nullptr));
      EXPECT_EQ(error, kWrongPasswordText);
    }
  }
}

TEST_F(ArchiveWrappers, DamagedOrForeignArchivesFailCleanly) {
  struct Case {
    const char* archive;
    const char* error;  // nullptr: any non-empty error
  };
  const Case cases[] = {
      {"truncated.7z", nullptr},
      {"garbage.res", "The archive cannot be opened: unsupported archive or incorrect password"},
      {"missing.7z", "#1002"},
      // Entries that climb out of the target or name a drive are refused before anything is written.
      {"evil.zip", "#1007"},
      {"absolute.zip", "#1007"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.archive);
    TempFolder parent;
    Text target = parent.Path() + u"target\\";
    Text error;
    EXPECT_FALSE(ExtractArchiveItems(Fixture(c.archive), Text(), target, nullptr, nullptr, nullptr, nullptr, nullptr,
                                     error, true, false));
    if (c.error) {
      EXPECT_EQ(TextToUtf8(error), c.error);
    } else {
      EXPECT_FALSE(error.empty());
    }
    // Nothing beside the target, nothing left inside it.
    for (const auto& [path, content] : Tree(parent.Path())) {
      EXPECT_TRUE(path == u"target") << TextToUtf8(path);
    }
  }
}

TEST_F(ArchiveWrappers, NoPathsFlattensAndItemListsSelect) {
  TempFolder flat;
  Text error;
  ASSERT_TRUE(ExtractArchiveItems(Fixture("plain.7z"), Text(), flat.Path(), nullptr, nullptr, nullptr, nullptr, nullptr,
                                  error, true, true))
      << TextToUtf8(error);
  std::map<Text, std::string> files = Tree(flat.Path());
  EXPECT_EQ(files.count(u"random.bin"), 1u);
  EXPECT_EQ(files.count(u"n\u00e4me with space.txt"), 1u);
  for (const auto& [path, content] : files) EXPECT_EQ(path.find(u'\\'), Text::npos) << TextToUtf8(path);

  TempFolder some;
  const std::vector<Text> items = {u"docs", u"*.txt"};
  ASSERT_TRUE(ExtractArchiveItems(Fixture("plain.7z"), Text(), some.Path(), nullptr, nullptr, nullptr, nullptr, &items,
                                  error, true, false))
      << TextToUtf8(error);
  files = Tree(some.Path());
  EXPECT_EQ(files.count(u"docs\\guide.md"), 1u);
  EXPECT_EQ(files.count(u"readme.txt"), 1u);
  EXPECT_EQ(files.count(u"bin"), 0u);
}

TEST_F(ArchiveWrappers, OverwriteAnswerFollowsOverwriteAll) {
  TempFolder target;
  const Text readme = target.Path() + u"readme.txt";
  const std::vector<Text> items = {u"readme.txt"};
  Text error;
  for (bool overwriteAll : {false, true}) {
    ASSERT_TRUE(platform::AppendToFile(readme, "changed", true));
    ASSERT_TRUE(ExtractArchiveItems(Fixture("plain.7z"), Text(), target.Path(), nullptr, nullptr, nullptr, nullptr,
                                    &items, error, overwriteAll, false))
        << TextToUtf8(error);
    EXPECT_EQ(*platform::ReadWholeFile(readme),
              overwriteAll ? *platform::ReadWholeFile(Fixture("tree\\readme.txt")) : "changed");
  }
}

TEST_F(ArchiveWrappers, CompressUpdateDeleteRoundTrip) {
  TempFolder work;
  const Text archive = work.Path() + u"out.7z";
  Text error;
  // "*.*" becomes "*": the folder's content is stored relative to it.
  const std::vector<Text> include = {Fixture("tree\\*.*")};
  const std::vector<Text> exclude = {u"*.exe", u"*.EXE"};
  ASSERT_TRUE(CompressArchive(archive, u"pw", CompressionSwitches(u"2", true, 2), nullptr, nullptr, include, exclude,
                              error, oxa::kUpdateAddReplace, oxa::kFormat7z))
      << TextToUtf8(error);
  std::vector<Text> paths;
  ASSERT_TRUE(ListArchive(archive, u"pw", error, false, nullptr, ArchiveListLists{&paths})) << TextToUtf8(error);
  std::map<Text, std::string> expected = Tree(Fixture("tree\\"));
  expected.erase(u"bin\\tool.exe");
  EXPECT_EQ(paths.size(), expected.size());
  // Encrypted headers: no listing without the password.
  EXPECT_FALSE(ListArchive(archive, Text(), error, false, nullptr, ArchiveListLists{&paths}));
  EXPECT_EQ(error, kWrongPasswordText);

  ASSERT_TRUE(DeleteArchiveItems(archive, u"pw", error, nullptr, nullptr, {u"docs", u"readme.txt"})) << TextToUtf8(error);
  TempFolder target;
  ASSERT_TRUE(ExtractArchiveItems(archive, u"pw", target.Path(), nullptr, nullptr, nullptr, nullptr, nullptr, error,
                                  true, false))
      << TextToUtf8(error);
  for (auto it = expected.begin(); it != expected.end();) {
    it = StartsWith(it->first, u"docs") || it->first == u"readme.txt" ? expected.erase(it) : std::next(it);
  }
  EXPECT_EQ(Tree(target.Path()), expected);

  // A switch the library does not know is refused with its code, and the archive stays.
  EXPECT_FALSE(CompressArchive(archive, u"pw", u"-sdel", nullptr, nullptr, include, {}, error, oxa::kUpdateAddReplace,
                               oxa::kFormat7z));
  EXPECT_EQ(error, u"#1009");
  EXPECT_TRUE(ListArchive(archive, u"pw", error, false, nullptr, ArchiveListLists{&paths})) << TextToUtf8(error);
}

TEST_F(ArchiveWrappers, EveryLevelTextIsAcceptedBy7Zip) {
  TempFolder work;
  const std::vector<Text> include = {Fixture("tree\\docs")};
  for (const char16_t* level : {u"0", u"1", u"2", u"3", u"4"}) {
    SCOPED_TRACE(TextToUtf8(level));
    const Text archive = work.Path() + level + u".7z";
    Text error;
    ASSERT_TRUE(CompressArchive(archive, Text(), CompressionSwitches(level, false, 4), nullptr, nullptr, include, {},
                                error, oxa::kUpdateCreateNew, oxa::kFormat7z))
        << TextToUtf8(error);
    TempFolder target;
    ASSERT_TRUE(ExtractArchiveItems(archive, Text(), target.Path(), nullptr, nullptr, nullptr, nullptr, nullptr, error,
                                    true, false))
        << TextToUtf8(error);
    EXPECT_EQ(*platform::ReadWholeFile(target.Path() + u"docs\\guide.md"),
              *platform::ReadWholeFile(Fixture("tree\\docs\\guide.md")));
  }
}

TEST(DefaultPasswordCallback, NeverWritesPastTheBufferAndGivesThePasswordOnce) {
  struct Case {
    const char* stored;
    int32_t bufferChars;
    int32_t result;
    const char* written;
  };
  const Case cases[] = {
      {"secret", 64, 1, "secret"},
      {"secret", 7, 1, "secret"},
      {"secret", 4, 1, "sec"},
      {"secret", 1, 1, ""},
      {"secret", 0, 0, nullptr},
      {"", 64, 0, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.stored) + " in " + std::to_string(c.bufferChars));
    StoreArchivePassword(T(c.stored));
    std::vector<oxa::Char> buffer(80, L'#');
    EXPECT_EQ(DefaultPasswordCallback(buffer.data(), c.bufferChars), c.result);
    if (c.written) {
      EXPECT_EQ(platform::FromW(buffer.data()), T(c.written));
    }
    for (size_t i = std::max(c.bufferChars, 0); i < buffer.size(); ++i) ASSERT_EQ(buffer[i], L'#') << i;
    if (c.result == 1) {
      EXPECT_EQ(DefaultPasswordCallback(buffer.data(), 64), 0);  // given once
    }
  }
  StoreArchivePassword(Text());
}

Text ThisExecutable() {
  return platform::GrowingTextCall([](wchar_t* buffer, DWORD size) { return GetModuleFileNameW(nullptr, buffer, size); });
}

TEST_F(ArchiveWrappers, OutOfProcessExtraction) {
  Text temp = platform::GrowingTextCall([](wchar_t* buffer, DWORD size) { return GetTempPathW(size, buffer); });
  auto leftovers = [&] {
    std::map<Text, std::string> files;
    Collect(temp, Text(), files);
    size_t count = 0;
    for (const auto& [path, content] : files) count += StartsWith(path, u"{") ? 1 : 0;
    return count;
  };
  const size_t before = leftovers();
  struct Case {
    const char* archive;
    const char* password;
    bool engineExists;
    bool success;
    const char* error;  // expected error text; "<archive>" for the archive path
  };
  const Case cases[] = {
      {"plain.7z", "", true, true, ""},
      {"encrypted.7z", "secret", true, true, ""},
      {"encrypted.7z", "wrong", true, false, "The archive cannot be opened: unsupported archive or incorrect password"},
      // Exit code 2 leaves the parameter file as written: its first line is the archive path.
      {"missing.7z", "", true, false, "<archive>"},
      {"plain.7z", "", false, false, "#1016"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.archive) + " " + c.password);
    TempFolder target;
    Text error;
    const Text engine = c.engineExists ? ThisExecutable() : target.Path() + u"no-such-engine.exe";
    ExtractParameters parameters{Fixture(c.archive), T(c.password), target.Path(), false, true};
    EXPECT_EQ(ExtractOutOfProcess(engine, parameters, {}, error), c.success);
    EXPECT_EQ(error, std::string(c.error) == "<archive>" ? parameters.archive : T(c.error));
    if (c.success) {
      EXPECT_EQ(Tree(target.Path()), Tree(Fixture("tree\\")));
    }
  }
  // Parameter and item files are removed whatever the outcome.
  EXPECT_EQ(leftovers(), before);
}

TEST_F(ArchiveWrappers, ExtractorSideExitCodes) {
  TempFolder work;
  EXPECT_EQ(RunExtractorProcess(work.Path() + u"{missing}"), 1);

  const Text parameterFile = work.Path() + u"{params}";
  ASSERT_TRUE(platform::AppendToFile(
      parameterFile, FormatExtractParameters({work.Path() + u"none.7z", Text(), work.Path(), false, true}), true));
  EXPECT_EQ(RunExtractorProcess(parameterFile), 2);

  // An items file limits the extraction; the result line is empty on success.
  const Text target = work.Path() + u"out\\";
  ASSERT_TRUE(platform::AppendToFile(parameterFile,
                                     FormatExtractParameters({Fixture("plain.7z"), Text(), target, false, true}), true));
  ASSERT_TRUE(platform::AppendToFile(parameterFile + u"items", FormatItemLines({u"readme.txt"}), true));
  EXPECT_EQ(RunExtractorProcess(parameterFile), 0);
  EXPECT_EQ(FirstLine(*platform::ReadWholeFile(parameterFile)), u"");
  EXPECT_EQ(Tree(target).size(), 1u);
}

}  // namespace
}  // namespace vx

// The test program doubles as the extractor process of the out-of-process tests.
int main(int argc, char** argv) {
  int wideCount = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &wideCount);
  if (wide && wideCount >= 3 && std::wstring(wide[1]) == L"OutOfProcessExtract") {
    return vx::RunExtractorProcess(vx::platform::FromW(wide[2]));
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

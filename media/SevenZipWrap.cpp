#include "media/SevenZipWrap.h"

#include <objbase.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <mutex>

#include "media/uSevenZipAPI.h"
#include "platform/FileIO.h"
#include "platform/Win32.h"
#include "script/EngineError.h"

namespace vx {

namespace {

using platform::W;

// The default callbacks' process-wide values, set just before each call.
std::mutex g_defaultsLock;
Text g_storedPassword;
std::atomic<int32_t> g_overwriteAnswer{oxa::kOverwriteKeepExisting};
std::atomic<bool> g_isExtractorProcess{false};
std::once_flag g_engineFolderOnce;

// The library's item list: the strings and the pointer array live as long as this object.
class TargetFileList {
 public:
  explicit TargetFileList(const std::vector<Text>& items) {
    strings_.reserve(items.size());
    for (const Text& item : items) strings_.push_back(NormalizeItemPath(item));
    for (const Text& s : strings_) pointers_.push_back(reinterpret_cast<const oxa::Char*>(s.c_str()));
    list_.items = pointers_.data();
    list_.count = static_cast<int32_t>(pointers_.size());
  }
  [[nodiscard]] const oxa::FileList* get() const { return &list_; }

 private:
  std::vector<Text> strings_;
  std::vector<const oxa::Char*> pointers_;
  oxa::FileList list_{};
};

const oxa::Char* C(const Text& text) { return reinterpret_cast<const oxa::Char*>(text.c_str()); }

Text LastErrorText(const TSevenZipAPI& api) { return ArchiveErrorText(api.GetLastArchiveError()); }

void TrimWorkingSet() { SetProcessWorkingSetSize(GetCurrentProcess(), static_cast<SIZE_T>(-1), static_cast<SIZE_T>(-1)); }

unsigned ProcessorCount() {
  SYSTEM_INFO info{};
  GetSystemInfo(&info);
  return info.dwNumberOfProcessors;
}

// The wide column of the retry ladder: every 64-bit build, and a 32-bit build on 64-bit Windows.
bool WideAddressSpace() {
  if constexpr (sizeof(void*) == 8) {
    return true;
  } else {
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
  }
}

Text WithBackslash(Text folder) {
  if (!folder.empty() && folder.back() != u'\\' && folder.back() != u'/') folder += u'\\';
  return folder;
}

Text ShellFolder(int csidl) {
  wchar_t buffer[MAX_PATH] = {};
  if (SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer) != S_OK) return Text();
  return platform::FromW(buffer);
}

Text TempFolder() {
  return WithBackslash(platform::GrowingTextCall([](wchar_t* buffer, DWORD size) { return GetTempPathW(size, buffer); }));
}

Text NewGuidText() {
  GUID guid{};
  wchar_t text[64] = {};
  if (CoCreateGuid(&guid) != S_OK || StringFromGUID2(guid, text, 64) == 0) {
    throw EngineError("A unique name for the extraction parameters cannot be made");
  }
  return platform::FromW(text);
}

Text LocalTimeText(uint64_t fileTime) {
  if (fileTime == 0) return Text();
  FILETIME utc{static_cast<DWORD>(fileTime), static_cast<DWORD>(fileTime >> 32)};
  FILETIME local{};
  SYSTEMTIME t{};
  if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &t)) return Text();
  char buffer[32];
  snprintf(buffer, sizeof buffer, "%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
           t.wSecond);
  return T(buffer);
}

bool FileExists(const Text& path) { return GetFileAttributesW(W(path)) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

// ---- Engine folder ----

Text ArchiveEngineFolder() {
  Text base = ShellFolder(CSIDL_LOCAL_APPDATA);
  if (base.empty()) base = ShellFolder(CSIDL_APPDATA);
  if (base.empty()) {
    Text desktop = ShellFolder(CSIDL_DESKTOPDIRECTORY);
    size_t slash = desktop.find_last_of(u'\\');
    base = (slash == Text::npos ? desktop : desktop.substr(0, slash)) + u"\\Application Data";
  }
  return WithBackslash(base) + u"RERIR\\";
}

void SetArchiveEngineFolder() {
  Text folder = ArchiveEngineFolder();
  SHCreateDirectoryExW(nullptr, W(folder), nullptr);
  // The library replaces a copy left by another version and reuses an identical one, which another
  // setup may be loading at this moment: it is never deleted here.
  const TSevenZipAPI& api = SevenZipAPI();
  if (!api.Set7zipDllDirectory(C(folder))) {
    throw EngineError(T("The archive engine cannot be placed in ") + folder + u": " + LastErrorText(api));
  }
}

void EnsureArchiveEngineFolder() { std::call_once(g_engineFolderOnce, SetArchiveEngineFolder); }

// ---- Default callbacks ----

int32_t OXA_CALL DefaultProgressCallback(const oxa::Char*, int64_t, int64_t) { return 1; }

int32_t OXA_CALL DefaultPasswordCallback(oxa::Char* buffer, int32_t bufferChars) {
  std::lock_guard<std::mutex> guard(g_defaultsLock);
  if (g_storedPassword.empty() || !buffer || bufferChars <= 0) return 0;
  // Never more than the buffer holds, terminating zero included.
  size_t count = std::min<size_t>(g_storedPassword.size(), static_cast<size_t>(bufferChars) - 1);
  std::copy_n(g_storedPassword.begin(), count, buffer);
  buffer[count] = 0;
  g_storedPassword.clear();  // the library gets it once
  return 1;
}

int32_t OXA_CALL DefaultOverwriteCallback(const oxa::Char*, int64_t, int64_t, uint32_t, const oxa::Char*, int64_t,
                                          int64_t, uint32_t, int32_t, void*) {
  return g_overwriteAnswer;
}

int32_t OXA_CALL DefaultQueryCallback(int32_t, const oxa::Char*) { return 1; }

void StoreArchivePassword(const Text& password) {
  std::lock_guard<std::mutex> guard(g_defaultsLock);
  g_storedPassword = password;
}

// ---- Wrappers ----

bool CompressArchive(const Text& archive, const Text& password, const Text& switches, oxa::QueryCallback query,
                     oxa::ProgressCallback progress, const std::vector<Text>& include,
                     const std::vector<Text>& exclude, Text& error, int32_t updateMode, int32_t formatCode) {
  error.clear();
  try {
    const TSevenZipAPI& api = SevenZipAPI();
    TargetFileList includeList(RemoveDuplicateItems(include));
    TargetFileList excludeList(RemoveDuplicateItems(exclude));
    TrimWorkingSet();
    const unsigned processors = ProcessorCount();
    const RecognizedSwitches recognized = RecognizeSwitches(switches, processors);
    auto create = [&](const Text& switchText) {
      return api.CreateArchive(C(archive), formatCode, includeList.get(), excludeList.get(), updateMode,
                               C(switchText), C(password), progress ? progress : DefaultProgressCallback,
                               query ? query : DefaultQueryCallback, nullptr) != 0;
    };
    if (create(switches)) return true;
    int32_t code = api.GetLastArchiveError();
    error = ArchiveErrorText(code);
    // Lack of memory at a known level: lower the settings, keeping the header flag.
    for (int retry = 1; retry <= 3 && code == oxa::kErrorOutOfMemory && recognized.level != 0; ++retry) {
      Text level = RetryLevel(recognized.level, retry, WideAddressSpace());
      if (create(CompressionSwitches(level, recognized.encryptHeaders, processors))) {
        error.clear();
        return true;
      }
      code = api.GetLastArchiveError();
      error = ArchiveErrorText(code);
    }
    return false;
  } catch (const EngineError& e) {
    error = e.Message();
    return false;
  }
}

bool ExtractArchiveItems(const Text& archive, const Text& password, const Text& targetFolder,
                         oxa::PasswordCallback passwordCallback, oxa::QueryCallback query,
                         oxa::OverwriteCallback overwrite, oxa::ProgressCallback progress,
                         const std::vector<Text>* items, Text& error, bool overwriteAll, bool noPaths) {
  const Text target = WithBackslash(targetFolder);
  error.clear();
  try {
    std::vector<Text> listed;
    if (!items) {
      if (!ListArchive(archive, password, error, false, passwordCallback, ArchiveListLists{&listed})) return false;
      items = &listed;
    }
    const TSevenZipAPI& api = SevenZipAPI();
    TargetFileList list(*items);
    auto extract = [&] {
      if (!passwordCallback) StoreArchivePassword(password);
      g_overwriteAnswer = overwriteAll ? oxa::kOverwriteReplace : oxa::kOverwriteKeepExisting;
      return api.ExtractArchive(C(archive), 1, C(target), list.get(), oxa::PathModeFor(noPaths), C(password),
                                passwordCallback ? passwordCallback : DefaultPasswordCallback,
                                progress ? progress : DefaultProgressCallback, query ? query : DefaultQueryCallback,
                                overwrite ? overwrite : DefaultOverwriteCallback) != 0;
    };
    if (extract()) return true;
    error = LastErrorText(api);
    if (error != ArchiveErrorText(oxa::kErrorOutOfMemory)) return false;
    TrimWorkingSet();
    if (extract()) {
      error.clear();
      return true;
    }
    error = LastErrorText(api);
    if (error != ArchiveErrorText(oxa::kErrorOutOfMemory) || g_isExtractorProcess) return false;
    Text engine = platform::GrowingTextCall([](wchar_t* buffer, DWORD size) {
      return GetModuleFileNameW(nullptr, buffer, size);
    });
    return ExtractOutOfProcess(engine, ExtractParameters{archive, password, target, noPaths, overwriteAll}, *items,
                               error);
  } catch (const EngineError& e) {
    error = e.Message();
    return false;
  }
}

bool TestArchiveFile(const Text& archive, const Text& password, Text& error, oxa::PasswordCallback passwordCallback,
                     oxa::ProgressCallback progress) {
  error.clear();
  try {
    const TSevenZipAPI& api = SevenZipAPI();
    if (!passwordCallback) StoreArchivePassword(password);
    if (api.TestArchive(C(archive), 0, nullptr, nullptr, 0, C(password),
                        passwordCallback ? passwordCallback : DefaultPasswordCallback,
                        progress ? progress : DefaultProgressCallback) != 0) {
      return true;
    }
    error = LastErrorText(api);
    return false;
  } catch (const EngineError& e) {
    error = e.Message();
    return false;
  }
}

bool DeleteArchiveItems(const Text& archive, const Text& password, Text& error, oxa::QueryCallback query,
                        oxa::ProgressCallback progress, const std::vector<Text>& items) {
  error.clear();
  try {
    const TSevenZipAPI& api = SevenZipAPI();
    TargetFileList list(items);
    if (api.DeleteFromArchive(C(archive), 1, list.get(), 0, 0, 0, C(password), nullptr,
                              progress ? progress : DefaultProgressCallback,
                              query ? query : DefaultQueryCallback) != 0) {
      return true;
    }
    error = LastErrorText(api);
    return false;
  } catch (const EngineError& e) {
    error = e.Message();
    return false;
  }
}

bool ListArchive(const Text& archive, const Text& password, Text& error, bool rebuildPath,
                 oxa::PasswordCallback passwordCallback, const ArchiveListLists& lists) {
  error.clear();
  for (std::vector<Text>* list : {lists.paths, lists.sizes, lists.packedSizes, lists.times, lists.attributes}) {
    if (list) list->clear();
  }
  try {
    Text path = archive;
    if (rebuildPath) {
      // Folder and name joined again, so a path given with forward slashes reads as Windows'.
      for (char16_t& c : path) c = c == u'/' ? u'\\' : c;
    }
    const TSevenZipAPI& api = SevenZipAPI();
    if (!passwordCallback) StoreArchivePassword(password);
    oxa::ListEntry* entries = nullptr;
    int32_t count = 0;
    void* handle = api.OpenListArchive(C(path), 0, passwordCallback ? passwordCallback : DefaultPasswordCallback, 0,
                                       0, 0, C(password), &entries, &count);
    if (!handle) {
      error = LastErrorText(api);
      return false;
    }
    std::unique_ptr<void, oxa::CloseListArchiveFn> close(handle, api.CloseListArchive);
    for (int32_t i = 0; i < count && entries; ++i) {
      const oxa::ListEntry& entry = entries[i];
      if (lists.paths) lists.paths->push_back(platform::FromW(entry.path));
      if (lists.attributes) lists.attributes->push_back(IntToText(entry.attributes));
      if (lists.sizes) lists.sizes->push_back(IntToText(static_cast<int64_t>(entry.size)));
      if (lists.packedSizes) lists.packedSizes->push_back(IntToText(static_cast<int64_t>(entry.packedSize)));
      if (lists.times) lists.times->push_back(LocalTimeText(entry.modified));
    }
    return true;
  } catch (const EngineError& e) {
    error = e.Message();
    return false;
  }
}

// ---- Out-of-process extraction ----

bool ExtractOutOfProcess(const Text& engine, const ExtractParameters& parameters, const std::vector<Text>& items,
                         Text& error) {
  const Text parameterFile = TempFolder() + NewGuidText();
  const Text itemsFile = parameterFile + u"items";
  struct Cleanup {
    const Text& a;
    const Text& b;
    ~Cleanup() {
      DeleteFileW(W(a));
      DeleteFileW(W(b));
    }
  } cleanup{parameterFile, itemsFile};
  if (!platform::AppendToFile(parameterFile, FormatExtractParameters(parameters), true) ||
      !platform::AppendToFile(itemsFile, FormatItemLines(items), true)) {
    error = T("The extraction parameters cannot be written to ") + parameterFile;
    return false;
  }
  Text commandLine = u"\"" + engine + u"\" OutOfProcessExtract \"" + parameterFile + u"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(W(engine), reinterpret_cast<wchar_t*>(commandLine.data()), nullptr, nullptr, FALSE,
                      CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process)) {
    error = ArchiveErrorText(oxa::kErrorExtractorNotStarted);
    return false;
  }
  platform::UniqueHandle processHandle(process.hProcess);
  platform::UniqueHandle threadHandle(process.hThread);
  WaitForSingleObject(processHandle.get(), INFINITE);
  DWORD exitCode = 1;
  GetExitCodeProcess(processHandle.get(), &exitCode);
  std::optional<std::string> result = platform::ReadWholeFile(parameterFile);
  Text firstLine = result ? FirstLine(*result) : Text();
  if (exitCode == 0 && result && firstLine.empty()) return true;
  // An extractor that died before writing its result leaves the archive path as the first line.
  error = firstLine.empty() ? ArchiveErrorText(oxa::kErrorExtractorFailed) : firstLine;
  return false;
}

int RunExtractorProcess(const Text& parameterFile) {
  g_isExtractorProcess = true;
  std::optional<std::string> text = platform::ReadWholeFile(parameterFile);
  if (!text) return 1;
  ExtractParameters parameters = ParseExtractParameters(*text);
  if (parameters.archive.empty() || !FileExists(parameters.archive)) return 2;
  std::vector<Text> items;
  if (std::optional<std::string> itemText = platform::ReadWholeFile(parameterFile + u"items")) {
    items = ParseItemLines(*itemText);
  }
  Text error;
  bool ok = false;
  try {
    EnsureArchiveEngineFolder();
    ok = ExtractArchiveItems(parameters.archive, parameters.password, parameters.targetFolder, nullptr, nullptr,
                             nullptr, nullptr, items.empty() ? nullptr : &items, error, parameters.overwriteAll,
                             parameters.noPaths);
  } catch (const EngineError& e) {
    error = e.Message();
  }
  if (!ok && error.empty()) error = ArchiveErrorText(oxa::kErrorExtractorFailed);
  (void)platform::AppendToFile(parameterFile, ok ? std::string() : TextToUtf8(error) + "\r\n", true);
  return 0;
}

}  // namespace vx

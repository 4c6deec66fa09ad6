// The exports of oxa.lib. Each runs one operation, turns every failure into an error code for
// GetLastArchiveError, and lets no exception out of the library.
#include <atomic>
#include <unordered_map>

#include "oxalib/OxaCore.h"

namespace oxa {

namespace {

std::atomic<int32_t> g_lastError{kErrorNone};

template <typename Body>
int32_t Run(Body body) noexcept {
  int32_t code = kErrorNone;
  try {
    body();
  } catch (const Failure& failure) {
    code = failure.code;
  } catch (const std::bad_alloc&) {
    code = kErrorOutOfMemory;
  } catch (...) {
    code = kErrorBadArgument;
  }
  g_lastError = code;
  return code == kErrorNone ? 1 : 0;
}

// A listing the caller holds until CloseListArchive: the entries and the paths they point into.
struct Listing {
  std::vector<std::wstring> paths;
  std::vector<ListEntry> entries;
};

std::mutex g_listingsLock;
std::unordered_map<void*, std::unique_ptr<Listing>> g_listings;

std::unique_ptr<Listing> ReadListing(const wchar_t* archive, PasswordSource& password) {
  if (!archive || !*archive) Fail(kErrorBadArgument);
  OpenedArchive opened = OpenArchive(archive, password, nullptr);
  auto listing = std::make_unique<Listing>();
  listing->paths.reserve(opened.count);
  listing->entries.reserve(opened.count);
  for (uint32_t i = 0; i < opened.count; ++i) {
    ItemInfo item = ReadItem(opened.archive, i, archive);
    listing->paths.push_back(item.path);
    ListEntry entry{};
    entry.pathSlot = 0;
    entry.size = item.size;
    entry.packedSize = item.packedSize;
    entry.modified = item.modified;
    entry.attributes = item.attributes;
    listing->entries.push_back(entry);
  }
  // The paths no longer move: point the entries at them.
  for (size_t i = 0; i < listing->entries.size(); ++i) listing->entries[i].path = listing->paths[i].c_str();
  return listing;
}

}  // namespace

}  // namespace oxa

using namespace oxa;

extern "C" {

__declspec(dllexport) int32_t __stdcall Set7zipDllDirectory(const wchar_t* folder) {
  return Run([&] {
    int32_t code = SevenZip::Install(WideOrEmpty(folder));
    if (code != kErrorNone) Fail(code);
  });
}

__declspec(dllexport) int32_t __stdcall CreateArchive(const wchar_t* archive, int32_t format, const FileList* include,
                                                      const FileList* exclude, int32_t updateMode,
                                                      const wchar_t* switches, const wchar_t* password,
                                                      ProgressCallback progress, QueryCallback query, void*) {
  return Run([&] { UpdateArchive(archive, format, include, exclude, updateMode, switches, password, progress, query); });
}

__declspec(dllexport) int32_t __stdcall ExtractArchive(const wchar_t* archive, int32_t, const wchar_t* targetFolder,
                                                       const FileList* items, int32_t pathMode, const wchar_t* password,
                                                       PasswordCallback passwordCallback, ProgressCallback progress,
                                                       QueryCallback, OverwriteCallback overwrite) {
  return Run([&] {
    PasswordSource source(password, passwordCallback);
    ExtractItems(archive, targetFolder, items, pathMode, source, progress, overwrite, false);
  });
}

__declspec(dllexport) int32_t __stdcall TestArchive(const wchar_t* archive, int32_t, const wchar_t*, const FileList*,
                                                    int32_t, const wchar_t* password, PasswordCallback passwordCallback,
                                                    ProgressCallback progress) {
  return Run([&] {
    PasswordSource source(password, passwordCallback);
    ExtractItems(archive, nullptr, nullptr, kPathModeKeepTree, source, progress, nullptr, true);
  });
}

__declspec(dllexport) int32_t __stdcall DeleteFromArchive(const wchar_t* archive, int32_t, const FileList* items,
                                                          int32_t, int32_t, int32_t, const wchar_t* password,
                                                          PasswordCallback passwordCallback,
                                                          ProgressCallback progress, QueryCallback) {
  return Run([&] {
    PasswordSource source(password, passwordCallback);
    DeleteItems(archive, items, source, progress);
  });
}

__declspec(dllexport) void* __stdcall OpenListArchive(const wchar_t* archive, int32_t,
                                                      PasswordCallback passwordCallback, int32_t, int32_t, int32_t,
                                                      const wchar_t* password, ListEntry** entries, int32_t* count) {
  void* handle = nullptr;
  Run([&] {
    if (!entries || !count) Fail(kErrorBadArgument);
    *entries = nullptr;
    *count = 0;
    PasswordSource source(password, passwordCallback);
    std::unique_ptr<Listing> listing = ReadListing(archive, source);
    *entries = listing->entries.data();
    *count = static_cast<int32_t>(listing->entries.size());
    handle = listing.get();
    std::lock_guard<std::mutex> guard(g_listingsLock);
    g_listings.emplace(handle, std::move(listing));
  });
  return handle;
}

__declspec(dllexport) void __stdcall CloseListArchive(void* listing) {
  std::lock_guard<std::mutex> guard(g_listingsLock);
  g_listings.erase(listing);  // an unknown handle is ignored
}

__declspec(dllexport) int32_t __stdcall GetLastArchiveError() { return g_lastError; }

}  // extern "C"

// The exports have exactly the types the engine binds them with.
static_assert(std::is_same_v<decltype(&Set7zipDllDirectory), Set7zipDllDirectoryFn>);
static_assert(std::is_same_v<decltype(&CreateArchive), CreateArchiveFn>);
static_assert(std::is_same_v<decltype(&ExtractArchive), ExtractArchiveFn>);
static_assert(std::is_same_v<decltype(&TestArchive), TestArchiveFn>);
static_assert(std::is_same_v<decltype(&DeleteFromArchive), DeleteFromArchiveFn>);
static_assert(std::is_same_v<decltype(&OpenListArchive), OpenListArchiveFn>);
static_assert(std::is_same_v<decltype(&CloseListArchive), CloseListArchiveFn>);
static_assert(std::is_same_v<decltype(&GetLastArchiveError), GetLastArchiveErrorFn>);

#include "media/uSevenZipAPI.h"

#include <mutex>

#include "platform/Win32.h"
#include "script/EngineError.h"

namespace vx {

namespace {

std::mutex g_bindLock;
platform::UniqueLibrary g_library;  // stays loaded for the life of the process
TSevenZipAPI g_api;

template <typename Fn>
void Bind(HMODULE module, const char* name, Fn& slot) {
  slot = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  if (!slot) throw EngineError(T("The archive library oxa.lib lacks the export ") + T(name));
}

void BindLocked(const Text& path) {
  platform::UniqueLibrary library(LoadLibraryExW(platform::W(path), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
  if (!library) {
    throw EngineError(T("The archive library cannot be loaded: ") + path + u" (" +
                      platform::SystemErrorText(GetLastError()) + u")");
  }
  TSevenZipAPI api;
  Bind(library.get(), "Set7zipDllDirectory", api.Set7zipDllDirectory);
  Bind(library.get(), "CreateArchive", api.CreateArchive);
  Bind(library.get(), "ExtractArchive", api.ExtractArchive);
  Bind(library.get(), "TestArchive", api.TestArchive);
  Bind(library.get(), "DeleteFromArchive", api.DeleteFromArchive);
  Bind(library.get(), "OpenListArchive", api.OpenListArchive);
  Bind(library.get(), "CloseListArchive", api.CloseListArchive);
  Bind(library.get(), "GetLastArchiveError", api.GetLastArchiveError);
  g_api = api;
  g_library = std::move(library);
}

}  // namespace

Text ExecutableFolder() {
  Text path = platform::GrowingTextCall([](wchar_t* buffer, DWORD size) {
    return GetModuleFileNameW(nullptr, buffer, size);
  });
  size_t slash = path.find_last_of(u"\\/");
  return slash == Text::npos ? Text() : path.substr(0, slash + 1);
}

const TSevenZipAPI& SevenZipAPI() {
  std::lock_guard<std::mutex> guard(g_bindLock);
  if (!g_library) BindLocked(ExecutableFolder() + u"oxa.lib");
  return g_api;
}

void BindSevenZipAPI(const Text& libraryPath) {
  std::lock_guard<std::mutex> guard(g_bindLock);
  if (!g_library) BindLocked(libraryPath);
}

}  // namespace vx

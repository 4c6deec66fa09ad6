// The binding of the archive library "oxa.lib": loaded once per process by its full path beside
// the executable (never through the DLL search path), every export looked up by name.
#pragma once

#include "oxalib/OxaInterface.h"
#include "script/Text.h"

namespace vx {

struct TSevenZipAPI {
  oxa::Set7zipDllDirectoryFn Set7zipDllDirectory = nullptr;
  oxa::CreateArchiveFn CreateArchive = nullptr;
  oxa::ExtractArchiveFn ExtractArchive = nullptr;
  oxa::TestArchiveFn TestArchive = nullptr;
  oxa::DeleteFromArchiveFn DeleteFromArchive = nullptr;
  oxa::OpenListArchiveFn OpenListArchive = nullptr;
  oxa::CloseListArchiveFn CloseListArchive = nullptr;
  oxa::GetLastArchiveErrorFn GetLastArchiveError = nullptr;
};

// The bound library; the first call loads "oxa.lib" from the executable's folder. Raises
// EngineError when the library or one of its exports is missing.
[[nodiscard]] const TSevenZipAPI& SevenZipAPI();

// Binds the library at the given path instead (a tool whose library lies elsewhere). Only before
// the first SevenZipAPI call; raises EngineError on failure.
void BindSevenZipAPI(const Text& libraryPath);

// The folder of the running executable, with a trailing backslash.
[[nodiscard]] Text ExecutableFolder();

}  // namespace vx

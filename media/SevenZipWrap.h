// The engine's wrappers around the archive library: item lists, default callbacks, error texts,
// the low-memory retry ladder of compression and the out-of-process fallback of extraction.
//
// Every wrapper returns success and puts the error text (the library's "#" + code, the
// wrong-password text, or the message of an error raised while preparing the call) into error.
// Only one archive operation runs at a time; the default callbacks' stored password and overwrite
// answer are process-wide values set just before each call.
#pragma once

#include <vector>

#include "media/ArchiveRules.h"
#include "oxalib/OxaInterface.h"
#include "script/Text.h"

namespace vx {

// The 7-Zip engine folder: the local application data folder (else the roaming one, else the
// folder above the desktop + "Application Data\") + "RERIR\".
[[nodiscard]] Text ArchiveEngineFolder();
// Creates the engine folder, removes a "7z.dll" left there by an earlier run and hands the folder
// to the library. Raises EngineError when the library refuses it.
void SetArchiveEngineFolder();
// SetArchiveEngineFolder once per process.
void EnsureArchiveEngineFolder();

// Default callbacks.
int32_t OXA_CALL DefaultProgressCallback(const oxa::Char* item, int64_t done, int64_t total);
int32_t OXA_CALL DefaultPasswordCallback(oxa::Char* buffer, int32_t bufferChars);
int32_t OXA_CALL DefaultOverwriteCallback(const oxa::Char*, int64_t, int64_t, uint32_t, const oxa::Char*, int64_t,
                                          int64_t, uint32_t, int32_t, void*);
int32_t OXA_CALL DefaultQueryCallback(int32_t kind, const oxa::Char* path);
// The password the default password callback hands out once.
void StoreArchivePassword(const Text& password);

[[nodiscard]] bool CompressArchive(const Text& archive, const Text& password, const Text& switches,
                                   oxa::QueryCallback query, oxa::ProgressCallback progress,
                                   const std::vector<Text>& include, const std::vector<Text>& exclude, Text& error,
                                   int32_t updateMode, int32_t formatCode);

// items: null for the whole archive.
[[nodiscard]] bool ExtractArchiveItems(const Text& archive, const Text& password, const Text& targetFolder,
                                       oxa::PasswordCallback passwordCallback, oxa::QueryCallback query,
                                       oxa::OverwriteCallback overwrite, oxa::ProgressCallback progress,
                                       const std::vector<Text>* items, Text& error, bool overwriteAll,
                                       bool noPaths);

[[nodiscard]] bool TestArchiveFile(const Text& archive, const Text& password, Text& error,
                                   oxa::PasswordCallback passwordCallback, oxa::ProgressCallback progress);

[[nodiscard]] bool DeleteArchiveItems(const Text& archive, const Text& password, Text& error,
                                      oxa::QueryCallback query, oxa::ProgressCallback progress,
                                      const std::vector<Text>& items);

// The lists ListArchive fills; a null list is not wanted.
struct ArchiveListLists {
  std::vector<Text>* paths = nullptr;
  std::vector<Text>* sizes = nullptr;        // unpacked size, decimal
  std::vector<Text>* packedSizes = nullptr;  // packed size, decimal
  std::vector<Text>* times = nullptr;        // last write, local time "YYYY-MM-DD hh:mm:ss"
  std::vector<Text>* attributes = nullptr;   // file attributes, decimal
};
[[nodiscard]] bool ListArchive(const Text& archive, const Text& password, Text& error, bool rebuildPath,
                               oxa::PasswordCallback passwordCallback, const ArchiveListLists& lists);

// ---- Out-of-process extraction ----

// Caller side: runs the extraction in a fresh copy of the executable (engine: the running one)
// with the command line "OutOfProcessExtract" and the parameter file. Success only when the
// extractor exits with 0 and leaves an empty first line.
[[nodiscard]] bool ExtractOutOfProcess(const Text& engine, const ExtractParameters& parameters,
                                       const std::vector<Text>& items, Text& error);

// Extractor side: the extraction mode of the executable. Exit code 0 (result written), 1
// (parameter file missing) or 2 (archive missing).
[[nodiscard]] int RunExtractorProcess(const Text& parameterFile);

}  // namespace vx

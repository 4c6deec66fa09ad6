// The binary interface of the archive library "oxa.lib", shared by the library and the engine.
//
// Every value both sides must agree on is defined here once: the export signatures, the callback
// signatures and answers, the item-list and listing-entry layouts, the path modes, format codes,
// update modes and error codes. The header is portable (no Windows header), so the engine's pure
// logic can use the constants on the Linux host too.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#define OXA_CALL __stdcall
#else
#define OXA_CALL
#endif

namespace oxa {

// Windows text: UTF-16 code units (wchar_t on Windows).
#if defined(_WIN32)
using Char = wchar_t;
#else
using Char = char16_t;
#endif

// ---- Error codes (GetLastArchiveError; the engine shows them as "#" + decimal code) ----
enum ErrorCode : int32_t {
  kErrorNone = 0,
  kErrorEngineMissing = 1001,       // 7z.dll could not be written or loaded (folder not set?)
  kErrorArchiveNotFound = 1002,     // the archive file cannot be opened for reading
  kErrorBadArgument = 1003,         // a null or malformed argument
  kErrorDataError = 1004,           // CRC or data error inside a readable archive
  kErrorUnsupportedOrPassword = 1005,  // not an archive this library reads, or a wrong password
  kErrorCreateFile = 1006,          // an output file or folder cannot be created or written
  kErrorUnsafePath = 1007,          // an entry would land outside the target folder
  kErrorAborted = 1008,             // a callback asked to stop
  kErrorBadSwitch = 1009,           // the switch text holds a switch the library does not know
  kErrorSourceFile = 1010,          // a file to compress cannot be read
  kErrorUnsupportedFormat = 1011,   // format code or update mode unknown, or the format cannot update
  kErrorUpdateFailed = 1012,        // writing the new archive failed
  kErrorNothingToDo = 1013,         // no file matched the include list
  kErrorExtractorNotStarted = 1016, // set by the engine: the extractor process could not be started
  kErrorExtractorFailed = 1017,     // set by the engine: the extractor process ended without a result
  kErrorOutOfMemory = 1018,         // not enough memory for the operation (the engine retries lower)
};

// ---- Path modes of ExtractArchive ----
// 0 keeps the folder tree stored in the archive below the target folder; 1 drops stored folders and
// writes every file straight into the target folder.
enum PathMode : int32_t {
  kPathModeKeepTree = 0,
  kPathModeFlatten = 1,
};

// The engine's noPaths flag asks for a flat extraction.
constexpr int32_t PathModeFor(bool noPaths) { return noPaths ? kPathModeFlatten : kPathModeKeepTree; }

// ---- Answers of the callbacks ----
enum OverwriteAnswer : int32_t {
  kOverwriteKeepExisting = 1,  // leave the existing file, skip the archive's
  kOverwriteReplace = 4,       // replace the existing file
};

// ---- Format codes of CreateArchive ----
enum FormatCode : int32_t {
  kFormat7z = 0,
  kFormatZip = 1,
  kFormatTar = 4,
  kFormatGzip = 5,
  kFormatBzip2 = 6,
  kFormatXz = 130,
  kFormatWim = 132,
};

// ---- Update modes of CreateArchive ----
enum UpdateMode : int32_t {
  kUpdateAddReplace = 0,  // add new files, replace items of the same name, keep the others
  kUpdateFreshen = 1,     // add new files, replace an item only by a newer file
  kUpdateCreateNew = 2,   // the archive holds only the included files (existing content dropped)
};

// ---- Query kinds passed to the query callback ----
enum QueryKind : int32_t {
  kQuerySkipUnreadableFile = 1,  // a file to compress cannot be read: 1 skips it, 0 stops
};

// A list of item paths, passed by address. The caller owns the strings.
struct FileList {
  const Char* const* items;
  int32_t count;
};

// One entry of an archive listing. The array is contiguous, 48 bytes per entry on both bitnesses;
// the path stays valid until CloseListArchive.
struct ListEntry {
  union {
    const Char* path;
    uint64_t pathSlot;  // keeps the path slot 8 bytes wide in a 32-bit process
  };
  uint64_t size;        // unpacked size
  uint64_t packedSize;  // packed size (0 when the format does not tell per item)
  uint64_t reserved1;
  uint64_t modified;    // last write time as a Windows FILETIME (UTC, 100 ns since 1601)
  uint32_t attributes;  // Windows file attributes
  uint32_t reserved2;
};
static_assert(sizeof(ListEntry) == 48);
static_assert(offsetof(ListEntry, size) == 8);
static_assert(offsetof(ListEntry, packedSize) == 16);
static_assert(offsetof(ListEntry, modified) == 32);
static_assert(offsetof(ListEntry, attributes) == 40);

// ---- Callbacks the caller supplies (any may be null) ----
// Progress: the item being worked on, bytes done and total; 0 stops the operation.
using ProgressCallback = int32_t(OXA_CALL*)(const Char* item, int64_t done, int64_t total);
// Password: copies at most bufferChars - 1 characters and a terminating zero into the buffer;
// returns 1 when it gave a password, 0 when it has none.
using PasswordCallback = int32_t(OXA_CALL*)(Char* buffer, int32_t bufferChars);
// Overwrite: an extracted file meets an existing one; returns an OverwriteAnswer.
using OverwriteCallback = int32_t(OXA_CALL*)(const Char* existingPath, int64_t existingSize,
                                             int64_t existingModified, uint32_t existingAttributes,
                                             const Char* itemPath, int64_t itemSize,
                                             int64_t itemModified, uint32_t itemAttributes,
                                             int32_t itemIndex, void* reserved);
// Query: a yes/no question of the given kind about a path; non-zero means yes.
using QueryCallback = int32_t(OXA_CALL*)(int32_t kind, const Char* path);

// Maximum length the library asks a password callback for (characters, terminating zero included).
inline constexpr int32_t kPasswordBufferChars = 512;

// ---- Export signatures (names as exported, undecorated) ----
using Set7zipDllDirectoryFn = int32_t(OXA_CALL*)(const Char* folder);
using CreateArchiveFn = int32_t(OXA_CALL*)(const Char* archive, int32_t format, const FileList* include,
                                           const FileList* exclude, int32_t updateMode,
                                           const Char* switches, const Char* password,
                                           ProgressCallback progress, QueryCallback query,
                                           void* reserved);
// selectMode 1: the item list names entries (exactly, or by "*" and "?" patterns; a folder selects
// its content); 0 is the same and is accepted for TestArchive, which ignores target and items.
using ExtractArchiveFn = int32_t(OXA_CALL*)(const Char* archive, int32_t selectMode,
                                            const Char* targetFolder, const FileList* items,
                                            int32_t pathMode, const Char* password,
                                            PasswordCallback passwordCallback,
                                            ProgressCallback progress, QueryCallback query,
                                            OverwriteCallback overwrite);
using TestArchiveFn = int32_t(OXA_CALL*)(const Char* archive, int32_t selectMode, const Char* unused1,
                                         const FileList* unused2, int32_t unused3, const Char* password,
                                         PasswordCallback passwordCallback, ProgressCallback progress);
using DeleteFromArchiveFn = int32_t(OXA_CALL*)(const Char* archive, int32_t selectMode,
                                               const FileList* items, int32_t unused1, int32_t unused2,
                                               int32_t unused3, const Char* password,
                                               PasswordCallback passwordCallback,
                                               ProgressCallback progress, QueryCallback query);
using OpenListArchiveFn = void*(OXA_CALL*)(const Char* archive, int32_t unused1,
                                           PasswordCallback passwordCallback, int32_t unused2,
                                           int32_t unused3, int32_t unused4, const Char* password,
                                           ListEntry** entries, int32_t* count);
using CloseListArchiveFn = void(OXA_CALL*)(void* listing);
using GetLastArchiveErrorFn = int32_t(OXA_CALL*)();

}  // namespace oxa

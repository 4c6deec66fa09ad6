// Internals of the archive library shared by its operations: the failure type, the password
// source, property values, and the binding to 7z.dll.
#pragma once

#include <windows.h>
// COM and property types 7-Zip's interfaces use (left out by WIN32_LEAN_AND_MEAN).
#include <objbase.h>
#include <oleauto.h>
#include <propidl.h>

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// 7-Zip's interface headers (from the unpacked 7zip source package).
#include "Common/MyCom.h"
#include "7zip/Archive/IArchive.h"
#include "7zip/IPassword.h"

#include "oxalib/OxaInterface.h"
#include "script/Text.h"

namespace oxa {

// A failed operation; the export that catches it records the code for GetLastArchiveError.
struct Failure {
  int32_t code;
};
[[noreturn]] inline void Fail(int32_t code) { throw Failure{code}; }

// Converts an HRESULT from 7-Zip into the library's code; other is used for unspecific failures.
[[nodiscard]] int32_t CodeFromResult(HRESULT result, int32_t other);

// Text conversions between Windows strings and the engine's text type (both UTF-16).
inline vx::TextView AsText(const std::wstring& s) {
  return vx::TextView(reinterpret_cast<const char16_t*>(s.data()), s.size());
}
inline std::wstring AsWide(vx::TextView s) {
  return std::wstring(reinterpret_cast<const wchar_t*>(s.data()), s.size());
}
inline std::wstring WideOrEmpty(const wchar_t* s) { return s ? std::wstring(s) : std::wstring(); }

// The password of one operation: the one given, or else the callback's, asked at most once.
// The callback gets the buffer's size and cannot write past it.
class PasswordSource {
 public:
  PasswordSource(const wchar_t* password, PasswordCallback callback)
      : given_(WideOrEmpty(password)), callback_(callback) {}
  [[nodiscard]] std::optional<std::wstring> Get();
  [[nodiscard]] bool WasAsked() const { return asked_; }

 private:
  std::wstring given_;
  PasswordCallback callback_;
  std::optional<std::wstring> answer_;
  bool asked_ = false;
  bool resolved_ = false;
  std::mutex lock_;
};

// A PROPVARIANT cleared when it goes out of scope.
class PropValue {
 public:
  PropValue() { PropVariantInit(&value_); }
  ~PropValue() { PropVariantClear(&value_); }
  PropValue(const PropValue&) = delete;
  PropValue& operator=(const PropValue&) = delete;
  PROPVARIANT* operator&() { return &value_; }
  const PROPVARIANT& operator*() const { return value_; }

  [[nodiscard]] std::wstring String() const;
  [[nodiscard]] bool Bool() const { return value_.vt == VT_BOOL && value_.boolVal != VARIANT_FALSE; }
  [[nodiscard]] uint64_t Number() const;
  [[nodiscard]] uint64_t FileTime() const;  // 0 when not set

 private:
  PROPVARIANT value_;
};

// Writers for the out-parameters of 7-Zip's GetProperty calls.
HRESULT SetString(PROPVARIANT* value, const std::wstring& s);
void SetBool(PROPVARIANT* value, bool b);
void SetUInt64(PROPVARIANT* value, uint64_t n);
void SetUInt32(PROPVARIANT* value, uint32_t n);
void SetFileTime(PROPVARIANT* value, uint64_t time);

// A COM object of ours, reference-counted by 7-Zip: the owning interface pointer, and the object
// itself for our own calls while the pointer keeps it alive.
template <typename Interface, typename T, typename... Args>
std::pair<CMyComPtr<Interface>, T*> MakeCom(Args&&... args) {
  T* object = new T(std::forward<Args>(args)...);
  return {CMyComPtr<Interface>(object), object};
}

// One archive format of 7z.dll.
struct Format {
  std::wstring name;
  GUID classId{};
  std::vector<std::wstring> extensions;     // lower case, without dot
  std::vector<std::string> signatures;      // each at signatureOffset
  uint32_t signatureOffset = 0;
  bool canUpdate = false;
};

// The loaded 7z.dll. Install writes it from our resources into the folder and loads it by its
// full path; Current is null until that succeeded.
class SevenZip {
 public:
  [[nodiscard]] static int32_t Install(const std::wstring& folder);
  [[nodiscard]] static SevenZip& Current();  // fails with kErrorEngineMissing when not installed

  [[nodiscard]] const std::vector<Format>& Formats() const { return formats_; }
  [[nodiscard]] const Format* FindFormat(const wchar_t* name) const;
  [[nodiscard]] CMyComPtr<IInArchive> CreateInArchive(const Format& format) const;
  [[nodiscard]] CMyComPtr<IOutArchive> CreateOutArchive(const Format& format) const;

 private:
  using CreateObjectFn = HRESULT(WINAPI*)(const GUID*, const GUID*, void**);
  using GetNumberOfFormatsFn = HRESULT(WINAPI*)(UINT32*);
  using GetHandlerProperty2Fn = HRESULT(WINAPI*)(UInt32, PROPID, PROPVARIANT*);

  explicit SevenZip(HMODULE module);
  void ReadFormats();

  HMODULE module_;  // kept loaded for the life of the process
  CreateObjectFn createObject_ = nullptr;
  GetNumberOfFormatsFn numberOfFormats_ = nullptr;
  GetHandlerProperty2Fn handlerProperty_ = nullptr;
  std::vector<Format> formats_;
};

// ---- File streams over Windows handles ----
[[nodiscard]] CMyComPtr<IInStream> OpenInFile(const std::wstring& path, bool shareForWrite);
[[nodiscard]] CMyComPtr<IOutStream> CreateOutFile(const std::wstring& path);
// Closes the file behind a stream from CreateOutFile and stamps its time; false on failure.
bool FinishOutFile(IOutStream* stream, uint64_t modified);

// A path the Windows file API accepts at any length.
[[nodiscard]] std::wstring LongPath(const std::wstring& path);
[[nodiscard]] std::wstring FullPath(const std::wstring& path);
// Creates the folder and its parents; the folders it made are appended to created.
bool CreateFolders(const std::wstring& folder, std::vector<std::wstring>* created);

// ---- An opened archive ----
struct OpenedArchive {
  CMyComPtr<IInStream> stream;
  CMyComPtr<IInArchive> archive;
  const Format* format = nullptr;
  uint32_t count = 0;
};
// Opens the archive with the first format that accepts it: formats whose signature the file
// starts with, then formats named by its extension.
[[nodiscard]] OpenedArchive OpenArchive(const std::wstring& path, PasswordSource& password,
                                        ProgressCallback progress);

// The properties of an archive item the operations use.
struct ItemInfo {
  std::wstring path;  // as stored, "\" separated
  bool isDir = false;
  bool encrypted = false;
  uint64_t size = 0;
  uint64_t packedSize = 0;
  uint64_t modified = 0;
  uint32_t attributes = 0;
};
[[nodiscard]] ItemInfo ReadItem(IInArchive* archive, uint32_t index, const std::wstring& archivePath);

// Item lists as given: exact paths in a set, patterns to match.
class ItemSelection {
 public:
  explicit ItemSelection(const FileList* list);
  [[nodiscard]] bool All() const { return all_; }
  [[nodiscard]] bool Selects(const std::wstring& path) const;

 private:
  bool all_ = true;
  std::vector<std::wstring> exact_;  // lower case, "\" separated, no trailing separator
  std::vector<std::wstring> patterns_;
};

// Answers "continue?" for a progress callback; 7-Zip may report from several threads.
class ProgressReporter {
 public:
  explicit ProgressReporter(ProgressCallback callback) : callback_(callback) {}
  void SetItem(const std::wstring& item);
  void SetTotal(uint64_t total);
  [[nodiscard]] HRESULT Report(uint64_t done);
  [[nodiscard]] bool Aborted() const { return aborted_; }

 private:
  ProgressCallback callback_;
  std::mutex lock_;
  std::wstring item_;
  uint64_t total_ = 0;
  bool aborted_ = false;
};

// ---- The operations behind the exports ----
void ExtractItems(const wchar_t* archive, const wchar_t* target, const FileList* items, int32_t pathMode,
                  PasswordSource& password, ProgressCallback progress, OverwriteCallback overwrite,
                  bool testOnly);
void UpdateArchive(const wchar_t* archive, int32_t format, const FileList* include, const FileList* exclude,
                   int32_t updateMode, const wchar_t* switches, const wchar_t* password,
                   ProgressCallback progress, QueryCallback query);
void DeleteItems(const wchar_t* archive, const FileList* items, PasswordSource& password,
                 ProgressCallback progress);

}  // namespace oxa

// The binding to 7z.dll: written from our resources into the folder the engine designates and
// loaded by its full path (never through the DLL search path), plus the small shared helpers.
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <propidl.h>

// This file defines the interface identifiers the library uses (once for the whole DLL).
#include "Common/MyInitGuid.h"

#include <algorithm>
#include <cstring>

#include "oxalib/OxaCore.h"
#include "oxalib/resource.h"
#include "platform/Win32.h"

namespace oxa {

namespace {

std::unique_ptr<SevenZip> g_engine;
std::mutex g_engineLock;

HMODULE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&ThisModule), &module);
  return module;
}

// The bytes of 7z.dll we carry.
std::string_view CarriedEngine() {
  HMODULE self = ThisModule();
  HRSRC found = FindResourceW(self, MAKEINTRESOURCEW(kSevenZipResource), MAKEINTRESOURCEW(10 /*RT_RCDATA*/));
  if (!found) return {};
  HGLOBAL loaded = LoadResource(self, found);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data) return {};
  return {static_cast<const char*>(data), SizeofResource(self, found)};
}

bool SameContent(const std::wstring& path, std::string_view bytes) {
  vx::platform::UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size) || static_cast<uint64_t>(size.QuadPart) != bytes.size()) return false;
  std::string content(bytes.size(), '\0');
  DWORD read = 0;
  size_t at = 0;
  while (at < content.size()) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(content.size() - at, 1u << 24));
    if (!ReadFile(file.get(), content.data() + at, chunk, &read, nullptr) || read == 0) return false;
    at += read;
  }
  return content == bytes;
}

// Writes the file through a temporary name of this process's own, so neither a reader nor another
// setup placing the same engine at the same moment ever sees half of it.
bool WriteEngineFile(const std::wstring& path, std::string_view bytes) {
  if (SameContent(path, bytes)) return true;
  std::wstring temp = path + L"." + std::to_wstring(GetCurrentProcessId()) + L".new";
  {
    vx::platform::UniqueHandle file(
        CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size()) {
      return false;
    }
  }
  if (MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
  DeleteFileW(temp.c_str());
  // Another setup may have put the same engine in place first, or be using it.
  return SameContent(path, bytes);
}

std::string BinaryString(const PROPVARIANT& value) {
  if (value.vt != VT_BSTR || !value.bstrVal) return {};
  return std::string(reinterpret_cast<const char*>(value.bstrVal), SysStringByteLen(value.bstrVal));
}

}  // namespace

int32_t SevenZip::Install(const std::wstring& folder) {
  std::lock_guard<std::mutex> guard(g_engineLock);
  std::string_view bytes = CarriedEngine();
  if (bytes.empty() || folder.empty()) return kErrorEngineMissing;
  std::wstring base = folder;
  if (base.back() != L'\\' && base.back() != L'/') base += L'\\';
  CreateFolders(base, nullptr);
  std::wstring path = FullPath(base + L"7z.dll");
  if (!WriteEngineFile(path, bytes)) return kErrorEngineMissing;
  if (g_engine) return kErrorNone;
  HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (!module) return kErrorEngineMissing;
  std::unique_ptr<SevenZip> engine(new SevenZip(module));
  if (!engine->createObject_ || !engine->numberOfFormats_ || !engine->handlerProperty_) {
    FreeLibrary(module);
    return kErrorEngineMissing;
  }
  engine->ReadFormats();
  g_engine = std::move(engine);
  return kErrorNone;
}

SevenZip& SevenZip::Current() {
  std::lock_guard<std::mutex> guard(g_engineLock);
  if (!g_engine) Fail(kErrorEngineMissing);
  return *g_engine;
}

SevenZip::SevenZip(HMODULE module) : module_(module) {
  createObject_ = reinterpret_cast<CreateObjectFn>(reinterpret_cast<void*>(GetProcAddress(module, "CreateObject")));
  numberOfFormats_ =
      reinterpret_cast<GetNumberOfFormatsFn>(reinterpret_cast<void*>(GetProcAddress(module, "GetNumberOfFormats")));
  handlerProperty_ =
      reinterpret_cast<GetHandlerProperty2Fn>(reinterpret_cast<void*>(GetProcAddress(module, "GetHandlerProperty2")));
}

void SevenZip::ReadFormats() {
  UINT32 count = 0;
  if (numberOfFormats_(&count) != S_OK) return;
  for (UINT32 i = 0; i < count; ++i) {
    Format format;
    PropValue name, classId, extensions, signature, multiSignature, offset, update;
    handlerProperty_(i, NArchive::NHandlerPropID::kName, &name);
    handlerProperty_(i, NArchive::NHandlerPropID::kClassID, &classId);
    handlerProperty_(i, NArchive::NHandlerPropID::kExtension, &extensions);
    handlerProperty_(i, NArchive::NHandlerPropID::kSignature, &signature);
    handlerProperty_(i, NArchive::NHandlerPropID::kMultiSignature, &multiSignature);
    handlerProperty_(i, NArchive::NHandlerPropID::kSignatureOffset, &offset);
    handlerProperty_(i, NArchive::NHandlerPropID::kUpdate, &update);
    std::string id = BinaryString(*classId);
    if (id.size() != sizeof(GUID)) continue;
    std::memcpy(&format.classId, id.data(), sizeof(GUID));
    format.name = name.String();
    format.canUpdate = update.Bool();
    format.signatureOffset = static_cast<uint32_t>(offset.Number());
    std::wstring extList = extensions.String();
    for (size_t pos = 0; pos < extList.size();) {
      size_t end = extList.find(L' ', pos);
      if (end == std::wstring::npos) end = extList.size();
      if (end > pos) format.extensions.push_back(AsWide(vx::LowerText(AsText(extList.substr(pos, end - pos)))));
      pos = end + 1;
    }
    std::string single = BinaryString(*signature);
    if (!single.empty()) format.signatures.push_back(single);
    // Several signatures: each as a length byte and its bytes.
    std::string multi = BinaryString(*multiSignature);
    for (size_t pos = 0; pos < multi.size();) {
      size_t length = static_cast<unsigned char>(multi[pos++]);
      if (length == 0 || pos + length > multi.size()) break;
      format.signatures.push_back(multi.substr(pos, length));
      pos += length;
    }
    formats_.push_back(std::move(format));
  }
}

const Format* SevenZip::FindFormat(const wchar_t* name) const {
  for (const Format& format : formats_) {
    if (vx::SameText(AsText(format.name), AsText(name))) return &format;
  }
  return nullptr;
}

CMyComPtr<IInArchive> SevenZip::CreateInArchive(const Format& format) const {
  CMyComPtr<IInArchive> archive;
  HRESULT result = createObject_(&format.classId, &IID_IInArchive, reinterpret_cast<void**>(&archive));
  if (result != S_OK || !archive) Fail(CodeFromResult(result, kErrorUnsupportedOrPassword));
  return archive;
}

CMyComPtr<IOutArchive> SevenZip::CreateOutArchive(const Format& format) const {
  CMyComPtr<IOutArchive> archive;
  HRESULT result = createObject_(&format.classId, &IID_IOutArchive, reinterpret_cast<void**>(&archive));
  if (result != S_OK || !archive) Fail(CodeFromResult(result, kErrorUnsupportedFormat));
  return archive;
}

// ---- Shared helpers ----

int32_t CodeFromResult(HRESULT result, int32_t other) {
  switch (result) {
    case E_OUTOFMEMORY:
      return kErrorOutOfMemory;
    case E_ABORT:
      return kErrorAborted;
    case E_INVALIDARG:
      return kErrorBadArgument;
    default:
      return other;
  }
}

std::optional<std::wstring> PasswordSource::Get() {
  std::lock_guard<std::mutex> guard(lock_);
  asked_ = true;
  if (resolved_) return answer_;
  resolved_ = true;
  if (!given_.empty()) {
    answer_ = given_;
  } else if (callback_) {
    std::vector<wchar_t> buffer(kPasswordBufferChars, L'\0');
    if (callback_(buffer.data(), kPasswordBufferChars) != 0) {
      buffer.back() = L'\0';  // a callback that filled the buffer still ends inside it
      answer_ = std::wstring(buffer.data());
    }
  }
  return answer_;
}

std::wstring PropValue::String() const {
  return value_.vt == VT_BSTR && value_.bstrVal ? std::wstring(value_.bstrVal) : std::wstring();
}

uint64_t PropValue::Number() const {
  switch (value_.vt) {
    case VT_UI1: return value_.bVal;
    case VT_UI2: return value_.uiVal;
    case VT_UI4: return value_.ulVal;
    case VT_UI8: return value_.uhVal.QuadPart;
    case VT_I4: return value_.lVal < 0 ? 0 : static_cast<uint64_t>(value_.lVal);
    case VT_I8: return value_.hVal.QuadPart < 0 ? 0 : static_cast<uint64_t>(value_.hVal.QuadPart);
    default: return 0;
  }
}

uint64_t PropValue::FileTime() const {
  if (value_.vt != VT_FILETIME) return 0;
  return (static_cast<uint64_t>(value_.filetime.dwHighDateTime) << 32) | value_.filetime.dwLowDateTime;
}

HRESULT SetString(PROPVARIANT* value, const std::wstring& s) {
  value->bstrVal = SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
  if (!value->bstrVal) return E_OUTOFMEMORY;
  value->vt = VT_BSTR;
  return S_OK;
}

void SetBool(PROPVARIANT* value, bool b) {
  value->vt = VT_BOOL;
  value->boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
}

void SetUInt64(PROPVARIANT* value, uint64_t n) {
  value->vt = VT_UI8;
  value->uhVal.QuadPart = n;
}

void SetUInt32(PROPVARIANT* value, uint32_t n) {
  value->vt = VT_UI4;
  value->ulVal = n;
}

void SetFileTime(PROPVARIANT* value, uint64_t time) {
  value->vt = VT_FILETIME;
  value->filetime.dwLowDateTime = static_cast<DWORD>(time);
  value->filetime.dwHighDateTime = static_cast<DWORD>(time >> 32);
}

}  // namespace oxa

// 7-Zip's stream interfaces over Windows file handles, and the path helpers of the library.
#include "oxalib/OxaCore.h"
#include "platform/Win32.h"

namespace oxa {

namespace {

using vx::platform::UniqueHandle;

HRESULT LastResult() {
  DWORD error = GetLastError();
  return error == ERROR_NOT_ENOUGH_MEMORY || error == ERROR_OUTOFMEMORY ? E_OUTOFMEMORY
                                                                        : HRESULT_FROM_WIN32(error);
}

HRESULT SeekHandle(HANDLE file, Int64 offset, UInt32 origin, UInt64* newPosition) {
  if (origin > 2) return STG_E_INVALIDFUNCTION;
  LARGE_INTEGER distance;
  distance.QuadPart = offset;
  LARGE_INTEGER position{};
  if (!SetFilePointerEx(file, distance, &position, origin)) return LastResult();
  if (newPosition) *newPosition = static_cast<UInt64>(position.QuadPart);
  return S_OK;
}

class InFile final : public IInStream, public IStreamGetSize, public CMyUnknownImp {
  Z7_IFACES_IMP_UNK_3(ISequentialInStream, IInStream, IStreamGetSize)
 public:
  explicit InFile(HANDLE file) : file_(file) {}

 private:
  UniqueHandle file_;
};

Z7_COM7F_IMF(InFile::Read(void* data, UInt32 size, UInt32* processedSize)) {
  DWORD read = 0;
  BOOL ok = ReadFile(file_.get(), data, size, &read, nullptr);
  if (processedSize) *processedSize = read;
  return ok ? S_OK : LastResult();
}

Z7_COM7F_IMF(InFile::Seek(Int64 offset, UInt32 seekOrigin, UInt64* newPosition)) {
  return SeekHandle(file_.get(), offset, seekOrigin, newPosition);
}

Z7_COM7F_IMF(InFile::GetSize(UInt64* size)) {
  LARGE_INTEGER value{};
  if (!GetFileSizeEx(file_.get(), &value)) return LastResult();
  *size = static_cast<UInt64>(value.QuadPart);
  return S_OK;
}

class OutFile final : public IOutStream, public CMyUnknownImp {
  Z7_IFACES_IMP_UNK_2(ISequentialOutStream, IOutStream)
 public:
  explicit OutFile(HANDLE file) : file_(file) {}
  bool Finish(uint64_t modified) {
    if (!file_) return false;
    bool ok = true;
    if (modified != 0) {
      FILETIME time{static_cast<DWORD>(modified), static_cast<DWORD>(modified >> 32)};
      ok = SetFileTime(file_.get(), nullptr, nullptr, &time) != FALSE;
    }
    file_ = UniqueHandle();
    return ok;
  }

 private:
  UniqueHandle file_;
};

Z7_COM7F_IMF(OutFile::Write(const void* data, UInt32 size, UInt32* processedSize)) {
  DWORD written = 0;
  BOOL ok = WriteFile(file_.get(), data, size, &written, nullptr);
  if (processedSize) *processedSize = written;
  return ok ? S_OK : LastResult();
}

Z7_COM7F_IMF(OutFile::Seek(Int64 offset, UInt32 seekOrigin, UInt64* newPosition)) {
  return SeekHandle(file_.get(), offset, seekOrigin, newPosition);
}

Z7_COM7F_IMF(OutFile::SetSize(UInt64 newSize)) {
  UInt64 current = 0;
  HRESULT result = SeekHandle(file_.get(), 0, FILE_CURRENT, &current);
  if (result != S_OK) return result;
  result = SeekHandle(file_.get(), static_cast<Int64>(newSize), FILE_BEGIN, nullptr);
  if (result != S_OK) return result;
  if (!SetEndOfFile(file_.get())) return LastResult();
  return SeekHandle(file_.get(), static_cast<Int64>(current), FILE_BEGIN, nullptr);
}

}  // namespace

CMyComPtr<IInStream> OpenInFile(const std::wstring& path, bool shareForWrite) {
  DWORD share = FILE_SHARE_READ | (shareForWrite ? FILE_SHARE_WRITE | FILE_SHARE_DELETE : 0);
  HANDLE file = CreateFileW(LongPath(path).c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  return MakeCom<IInStream, InFile>(file).first;
}

CMyComPtr<IOutStream> CreateOutFile(const std::wstring& path) {
  HANDLE file = CreateFileW(LongPath(path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  return MakeCom<IOutStream, OutFile>(file).first;
}

bool FinishOutFile(IOutStream* stream, uint64_t modified) {
  return static_cast<OutFile*>(stream)->Finish(modified);
}

std::wstring FullPath(const std::wstring& path) {
  vx::Text full = vx::platform::GrowingTextCall([&](wchar_t* buffer, DWORD size) {
    return GetFullPathNameW(path.c_str(), size, buffer, nullptr);
  });
  return full.empty() ? path : AsWide(full);
}

std::wstring LongPath(const std::wstring& path) {
  if (path.size() < MAX_PATH - 12 || path.rfind(L"\\\\?\\", 0) == 0) return path;
  std::wstring full = FullPath(path);
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

bool CreateFolders(const std::wstring& folder, std::vector<std::wstring>* created) {
  std::wstring path = folder;
  while (!path.empty() && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
  if (path.empty()) return true;
  DWORD attributes = GetFileAttributesW(LongPath(path).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  size_t slash = path.find_last_of(L"\\/");
  if (slash != std::wstring::npos && slash > 0 && path[slash - 1] != L':' && !CreateFolders(path.substr(0, slash), created)) {
    return false;
  }
  if (!CreateDirectoryW(LongPath(path).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
  if (created) created->push_back(path);
  return true;
}

}  // namespace oxa

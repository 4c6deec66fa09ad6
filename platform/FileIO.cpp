#include "platform/FileIO.h"

#ifdef _WIN32
#include "platform/Win32.h"
#else
#include <cstdio>
#include <memory>
#endif

namespace vx::platform {

#ifdef _WIN32

bool AppendToFile(const Text& path, std::string_view bytes, bool truncate) {
  UniqueHandle file(CreateFileW(W(path), FILE_APPEND_DATA | (truncate ? GENERIC_WRITE : 0), FILE_SHARE_READ, nullptr,
                                truncate ? CREATE_ALWAYS : OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  if (!truncate && SetFilePointer(file.get(), 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER &&
      GetLastError() != NO_ERROR)
    return false;
  DWORD written = 0;
  return WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

std::optional<std::string> ReadWholeFile(const Text& path) {
  UniqueHandle file(CreateFileW(W(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return std::nullopt;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart > 0x7FFFFFFF) return std::nullopt;
  std::string data(static_cast<size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  if (!data.empty() && (!ReadFile(file.get(), data.data(), static_cast<DWORD>(data.size()), &read, nullptr) ||
                        read != data.size()))
    return std::nullopt;
  return data;
}

#else

namespace {
struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};
using UniqueFile = std::unique_ptr<FILE, FileCloser>;
}  // namespace

bool AppendToFile(const Text& path, std::string_view bytes, bool truncate) {
  UniqueFile f(std::fopen(TextToUtf8(path).c_str(), truncate ? "wb" : "ab"));
  if (!f) return false;
  return std::fwrite(bytes.data(), 1, bytes.size(), f.get()) == bytes.size();
}

std::optional<std::string> ReadWholeFile(const Text& path) {
  UniqueFile f(std::fopen(TextToUtf8(path).c_str(), "rb"));
  if (!f) return std::nullopt;
  std::string data;
  char buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f.get())) > 0) data.append(buffer, n);
  if (std::ferror(f.get())) return std::nullopt;
  return data;
}

#endif

}  // namespace vx::platform

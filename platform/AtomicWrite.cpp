#include "platform/AtomicWrite.h"

#ifdef _WIN32
#include "platform/Win32.h"
#else
#include <unistd.h>

#include <cstdio>
#include <memory>
#endif

namespace vx::platform {

#ifdef _WIN32

namespace {

bool WriteAndFlush(const Text& path, std::string_view bytes) {
  if (bytes.size() > MAXDWORD) return false;
  UniqueHandle file(CreateFileW(W(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  DWORD written = 0;
  return WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size() && FlushFileBuffers(file.get());
}

}  // namespace

bool WriteFileAtomically(const Text& path, const Text& tempPath, std::string_view bytes) {
  if (WriteAndFlush(tempPath, bytes) &&
      MoveFileExW(W(tempPath), W(path), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return true;
  DeleteFileW(W(tempPath));
  return false;
}

#else

namespace {

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};
using UniqueFile = std::unique_ptr<FILE, FileCloser>;

bool WriteAndFlush(const std::string& path, std::string_view bytes) {
  UniqueFile f(std::fopen(path.c_str(), "wb"));
  return f && std::fwrite(bytes.data(), 1, bytes.size(), f.get()) == bytes.size() && std::fflush(f.get()) == 0 &&
         fsync(fileno(f.get())) == 0;
}

}  // namespace

bool WriteFileAtomically(const Text& path, const Text& tempPath, std::string_view bytes) {
  const std::string temp = TextToUtf8(tempPath);
  if (WriteAndFlush(temp, bytes) && std::rename(temp.c_str(), TextToUtf8(path).c_str()) == 0) return true;
  std::remove(temp.c_str());
  return false;
}

#endif

}  // namespace vx::platform

#include "platform/DiskSpace.h"

#include <limits>

#ifdef _WIN32
#include "platform/Win32.h"
#else
#include <sys/statvfs.h>
#endif

namespace vx::platform {

namespace {

std::optional<int64_t> Clamped(uint64_t bytes) {
  constexpr uint64_t kMax = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
  return static_cast<int64_t>(bytes > kMax ? kMax : bytes);
}

}  // namespace

#ifdef _WIN32

std::optional<int64_t> FreeDiskSpace(const Text& folder) {
  ULARGE_INTEGER available{};
  if (!GetDiskFreeSpaceExW(W(folder), &available, nullptr, nullptr)) return std::nullopt;
  return Clamped(available.QuadPart);
}

#else

// The host has no drives; a folder of its own file system answers for its volume.
std::optional<int64_t> FreeDiskSpace(const Text& folder) {
  struct statvfs info {};
  if (statvfs(TextToUtf8(folder).c_str(), &info) != 0) return std::nullopt;
  return Clamped(static_cast<uint64_t>(info.f_bavail) * info.f_frsize);
}

#endif

}  // namespace vx::platform

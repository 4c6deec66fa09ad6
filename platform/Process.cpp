#include "platform/Process.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <chrono>
#include <cstdlib>
#endif

namespace vx::platform {

#ifdef _WIN32
uint32_t TickCount() { return GetTickCount(); }
void TerminateProcessNow(int code) { ExitProcess(static_cast<UINT>(code)); }
#else
uint32_t TickCount() {
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch());
  return static_cast<uint32_t>(ms.count());
}
void TerminateProcessNow(int code) { std::_Exit(code); }
#endif

}  // namespace vx::platform

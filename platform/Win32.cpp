#include "platform/Win32.h"

namespace vx::platform {

Text SystemErrorText(DWORD code) {
  wchar_t* buffer = nullptr;
  DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  struct Free { void operator()(wchar_t* p) const { LocalFree(p); } };
  std::unique_ptr<wchar_t, Free> owned(buffer);
  Text text = n ? FromW(buffer, n) : T("System error " + std::to_string(code));
  while (!text.empty() && (text.back() == u'\n' || text.back() == u'\r' || text.back() == u' ')) text.pop_back();
  return text;
}

}  // namespace vx::platform

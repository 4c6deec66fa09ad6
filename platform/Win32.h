// The thin layer of RAII wrappers and conversions every unit that calls Win32 uses.
#pragma once

#ifndef _WIN32
#error "platform/Win32.h is for the Windows builds only"
#endif

#include <windows.h>

#include <memory>

#include "script/Text.h"

namespace vx::platform {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows text is UTF-16");

// The engine's text as a wide-character string for Win32 calls, and back.
inline const wchar_t* W(const Text& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }
inline Text FromW(const wchar_t* text) { return text ? Text(reinterpret_cast<const char16_t*>(text)) : Text(); }
inline Text FromW(const wchar_t* text, size_t length) {
  return Text(reinterpret_cast<const char16_t*>(text), length);
}

struct HandleCloser {
  void operator()(HANDLE h) const {
    if (h && h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
};

// A kernel handle; both NULL and INVALID_HANDLE_VALUE read as "no handle".
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE h) : h_(h == INVALID_HANDLE_VALUE ? nullptr : h) {}
  [[nodiscard]] HANDLE get() const { return h_.get(); }
  explicit operator bool() const { return h_ != nullptr; }
  HANDLE release() { return h_.release(); }

 private:
  std::unique_ptr<void, HandleCloser> h_;
};

struct RegKeyCloser {
  void operator()(HKEY key) const { RegCloseKey(key); }
};
using UniqueRegKey = std::unique_ptr<std::remove_pointer_t<HKEY>, RegKeyCloser>;

struct LibraryFreer {
  void operator()(HMODULE module) const { FreeLibrary(module); }
};
using UniqueLibrary = std::unique_ptr<std::remove_pointer_t<HMODULE>, LibraryFreer>;

// A Win32 call that returns a text of unknown length: grows the buffer until it fits.
template <typename Call>
Text GrowingTextCall(Call call, DWORD initial = MAX_PATH) {
  std::wstring buffer(initial, L'\0');
  for (;;) {
    DWORD n = call(buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return Text();
    if (n < buffer.size()) return FromW(buffer.c_str(), n);
    buffer.resize(std::max<size_t>(n + 1, buffer.size() * 2));
  }
}

// The text of a Win32 error code, without the trailing line break.
Text SystemErrorText(DWORD code);

}  // namespace vx::platform

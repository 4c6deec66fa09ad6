#include <dwmapi.h>
#include <uxtheme.h>

#include <memory>

#include "platform/SystemFacts.h"
#include "platform/Win32.h"

namespace vx::platform {

namespace {

Text RegistryText(HKEY root, const wchar_t* path, const wchar_t* value, REGSAM view) {
  HKEY raw = nullptr;
  if (RegOpenKeyExW(root, path, 0, KEY_QUERY_VALUE | view, &raw) != ERROR_SUCCESS) return Text();
  UniqueRegKey key(raw);
  DWORD type = 0;
  DWORD bytes = 0;
  if (RegQueryValueExW(key.get(), value, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS) return Text();
  if (type != REG_SZ && type != REG_EXPAND_SZ) return Text();
  std::wstring buffer(bytes / sizeof(wchar_t) + 1, L'\0');
  bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
  if (RegQueryValueExW(key.get(), value, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &bytes) != ERROR_SUCCESS)
    return Text();
  buffer.resize(bytes / sizeof(wchar_t));
  while (!buffer.empty() && buffer.back() == L'\0') buffer.pop_back();  // stored with or without its terminator
  return FromW(buffer.c_str(), buffer.size());
}

constexpr const wchar_t* kWindowsKey = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\";

struct SidFreer {
  void operator()(PSID sid) const { FreeSid(sid); }
};

bool InAdministratorsGroup() {
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID raw = nullptr;
  if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &raw))
    return false;
  std::unique_ptr<void, SidFreer> sid(raw);
  BOOL member = FALSE;
  return CheckTokenMembership(nullptr, sid.get(), &member) && member;
}

bool TokenIsElevated() {
  HANDLE raw = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return false;
  UniqueHandle token(raw);
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  return GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size) &&
         elevation.TokenIsElevated != 0;
}

template <typename Format>
Text FormatNow(Format format) {
  const int needed = format(nullptr, 0);
  if (needed <= 0) return Text();
  std::wstring buffer(static_cast<size_t>(needed), L'\0');
  const int written = format(buffer.data(), needed);
  return written > 0 ? FromW(buffer.c_str(), static_cast<size_t>(written - 1)) : Text();
}

class WindowsFacts final : public SystemFacts {
 public:
  // The 64-bit view is asked for explicitly so that a 32-bit engine under WOW64 reads the real
  // values rather than the redirected copy.
  [[nodiscard]] Text RegisteredOwner() const override {
    return RegistryText(HKEY_LOCAL_MACHINE, kWindowsKey, L"RegisteredOwner", KEY_WOW64_64KEY);
  }
  [[nodiscard]] Text RegisteredOrganization() const override {
    return RegistryText(HKEY_LOCAL_MACHINE, kWindowsKey, L"RegisteredOrganization", KEY_WOW64_64KEY);
  }
  [[nodiscard]] bool IsElevatedAdministrator() const override {
    return InAdministratorsGroup() && (WindowsMajorVersion() < 6 || TokenIsElevated());
  }
  [[nodiscard]] uint32_t WindowsMajorVersion() const override {
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    return GetVersionExW(&info) ? info.dwMajorVersion : 0;
  }
  [[nodiscard]] bool DesktopCompositionEnabled() const override {
    BOOL enabled = FALSE;
    return SUCCEEDED(DwmIsCompositionEnabled(&enabled)) && enabled;
  }
  [[nodiscard]] bool VisualStylesEnabled() const override { return IsAppThemed() != FALSE; }
  [[nodiscard]] Text ShortDate() const override {
    return FormatNow([](wchar_t* out, int size) {
      return GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, out, size);
    });
  }
  [[nodiscard]] Text LongTime() const override {
    return FormatNow([](wchar_t* out, int size) {
      return GetTimeFormatW(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, out, size);
    });
  }
};

}  // namespace

const SystemFacts& MachineFacts() {
  static const WindowsFacts facts;
  return facts;
}

}  // namespace vx::platform

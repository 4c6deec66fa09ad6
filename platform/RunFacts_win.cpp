#include "platform/RunFacts.h"
#include "platform/Win32.h"

namespace vx::platform {

namespace {

std::optional<bool> testWow64;

bool RealWow64() {
  BOOL wow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

}  // namespace

void PumpMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

std::optional<Text> ReadUninstallString(bool machine, TextView title) {
  const Text key = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + Text(title);
  HKEY raw = nullptr;
  if (RegOpenKeyExW(machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER, W(key), 0, KEY_QUERY_VALUE, &raw) != ERROR_SUCCESS)
    return std::nullopt;
  UniqueRegKey owned(raw);
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExW(raw, L"UninstallString", nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ))
    return std::nullopt;
  std::wstring buffer(size / sizeof(wchar_t) + 1, L'\0');
  if (RegQueryValueExW(raw, L"UninstallString", nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size) != ERROR_SUCCESS)
    return std::nullopt;
  return FromW(buffer.c_str());
}

bool IsOnFixedDrive(TextView path) {
  Text root;
  if (path.size() >= 2 && path[1] == u':') {
    root = Text(path.substr(0, 2)) + u"\\";
  } else if (StartsWith(path, u"\\\\")) {
    return false;  // a network share is not a fixed disk
  } else {
    return true;
  }
  return GetDriveTypeW(W(root)) == DRIVE_FIXED;
}

bool PathExists(TextView path) { return GetFileAttributesW(W(Text(path))) != INVALID_FILE_ATTRIBUTES; }

bool CreateEmptyFile(TextView path) {
  UniqueHandle file(CreateFileW(W(Text(path)), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  return static_cast<bool>(file);
}

bool DeletePlainFile(TextView path) { return DeleteFileW(W(Text(path))) != 0; }

bool CreateOneFolder(TextView path) { return CreateDirectoryW(W(Text(path)), nullptr) != 0; }

bool RemoveEmptyFolder(TextView path) { return RemoveDirectoryW(W(Text(path))) != 0; }

void ShowErrorBox(TextView text, TextView caption) {
  MessageBoxW(nullptr, W(Text(text)), W(Text(caption)), MB_OK | MB_ICONERROR);
}

bool ProcessUnderWow64() { return testWow64 ? *testWow64 : RealWow64(); }

bool RegistryViewsApply() {
  if (testWow64) return *testWow64;
  return sizeof(void*) == 8 || RealWow64();
}

void SetWow64ForTesting(std::optional<bool> underWow64) { testWow64 = underWow64; }

bool DisableFileSystemRedirection(void*& previous) {
  using DisableFn = BOOL(WINAPI*)(PVOID*);
  previous = nullptr;
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  auto fn = reinterpret_cast<DisableFn>(reinterpret_cast<void*>(GetProcAddress(kernel, "Wow64DisableWow64FsRedirection")));
  return fn != nullptr && fn(&previous) != 0;
}

void RevertFileSystemRedirection(void* previous) {
  using RevertFn = BOOL(WINAPI*)(PVOID);
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  auto fn = reinterpret_cast<RevertFn>(reinterpret_cast<void*>(GetProcAddress(kernel, "Wow64RevertWow64FsRedirection")));
  if (fn) fn(previous);
}

}  // namespace vx::platform

// The machine's facts as Windows reports them (run under Wine in the win64 build).
#include "platform/SystemFacts.h"

#include <gtest/gtest.h>

#include "platform/Win32.h"

namespace vx::platform {
namespace {

constexpr const wchar_t* kWindowsKey = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";

// Sets a value of the Windows key in the 64-bit view for the test and puts the old one back.
class ScopedRegisteredValue {
 public:
  ScopedRegisteredValue(const wchar_t* name, const std::wstring& value) : name_(name) {
    HKEY raw = nullptr;
    EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kWindowsKey, 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY,
                              nullptr, &raw, nullptr),
              ERROR_SUCCESS);
    key_.reset(raw);
    DWORD bytes = sizeof old_;
    had_ = RegQueryValueExW(key_.get(), name_, nullptr, nullptr, reinterpret_cast<BYTE*>(old_), &bytes) == ERROR_SUCCESS;
    oldBytes_ = bytes;
    Write(reinterpret_cast<const BYTE*>(value.c_str()), static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  }
  ~ScopedRegisteredValue() {
    if (had_) {
      Write(reinterpret_cast<const BYTE*>(old_), oldBytes_);
    } else {
      RegDeleteValueW(key_.get(), name_);
    }
  }

 private:
  void Write(const BYTE* data, DWORD bytes) {
    EXPECT_EQ(RegSetValueExW(key_.get(), name_, 0, REG_SZ, data, bytes), ERROR_SUCCESS);
  }

  const wchar_t* name_;
  UniqueRegKey key_;
  bool had_ = false;
  wchar_t old_[512] = {};
  DWORD oldBytes_ = 0;
};

TEST(SystemFacts, RegisteredOwnerAndOrganizationComeFromTheWindowsKey) {
  const std::wstring owner = L"Jo \u00d6wner";
  const std::wstring organization = L"Shop & Co.";
  ScopedRegisteredValue o(L"RegisteredOwner", owner);
  ScopedRegisteredValue g(L"RegisteredOrganization", organization);
  EXPECT_EQ(MachineFacts().RegisteredOwner(), FromW(owner.c_str()));
  EXPECT_EQ(MachineFacts().RegisteredOrganization(), FromW(organization.c_str()));
}

TEST(SystemFacts, VersionDateAndTimeAreReported) {
  const SystemFacts& facts = MachineFacts();
  EXPECT_GE(facts.WindowsMajorVersion(), 6u);
  EXPECT_FALSE(facts.ShortDate().empty());
  EXPECT_FALSE(facts.LongTime().empty());
  EXPECT_NE(facts.ShortDate(), facts.LongTime());
}

}  // namespace
}  // namespace vx::platform

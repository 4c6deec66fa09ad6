// Facts about the machine that the predefined variables report: the registered owner, the
// account's rights, the Windows version, the desktop's look, and the date and time in the user's
// formats. The engine reads them from Windows (MachineFacts); tests hand in fixed ones.
#pragma once

#include <cstdint>

#include "script/Text.h"

namespace vx::platform {

class SystemFacts {
 public:
  virtual ~SystemFacts() = default;

  // "RegisteredOwner" and "RegisteredOrganization" of Windows (the 64-bit registry view under WOW64).
  [[nodiscard]] virtual Text RegisteredOwner() const = 0;
  [[nodiscard]] virtual Text RegisteredOrganization() const = 0;
  // The process token belongs to the local Administrators group and, from Vista on, is elevated.
  [[nodiscard]] virtual bool IsElevatedAdministrator() const = 0;
  [[nodiscard]] virtual uint32_t WindowsMajorVersion() const = 0;
  [[nodiscard]] virtual bool DesktopCompositionEnabled() const = 0;
  // Visual styles are in force for this application.
  [[nodiscard]] virtual bool VisualStylesEnabled() const = 0;
  // Now, in the user's short date format and long time format.
  [[nodiscard]] virtual Text ShortDate() const = 0;
  [[nodiscard]] virtual Text LongTime() const = 0;
};

// Facts set by hand: the tests' machine.
struct FixedSystemFacts final : SystemFacts {
  Text owner;
  Text organization;
  bool elevatedAdministrator = false;
  uint32_t majorVersion = 10;
  bool composition = true;
  bool visualStyles = true;
  Text shortDate = u"2026-01-02";
  Text longTime = u"03:04:05";

  [[nodiscard]] Text RegisteredOwner() const override { return owner; }
  [[nodiscard]] Text RegisteredOrganization() const override { return organization; }
  [[nodiscard]] bool IsElevatedAdministrator() const override { return elevatedAdministrator; }
  [[nodiscard]] uint32_t WindowsMajorVersion() const override { return majorVersion; }
  [[nodiscard]] bool DesktopCompositionEnabled() const override { return composition; }
  [[nodiscard]] bool VisualStylesEnabled() const override { return visualStyles; }
  [[nodiscard]] Text ShortDate() const override { return shortDate; }
  [[nodiscard]] Text LongTime() const override { return longTime; }
};

// The running machine: Win32 on Windows; on the Linux host, an account without rights on a
// current Windows with the host's clock.
[[nodiscard]] const SystemFacts& MachineFacts();

}  // namespace vx::platform

#include <chrono>
#include <ctime>

#include "platform/SystemFacts.h"

namespace vx::platform {

namespace {

Text FormatNow(const char* format) {
  const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm local{};
  localtime_r(&now, &local);
  char buffer[64];
  const size_t n = std::strftime(buffer, sizeof buffer, format, &local);
  return T(std::string_view(buffer, n));
}

class HostFacts final : public SystemFacts {
 public:
  [[nodiscard]] Text RegisteredOwner() const override { return Text(); }
  [[nodiscard]] Text RegisteredOrganization() const override { return Text(); }
  [[nodiscard]] bool IsElevatedAdministrator() const override { return false; }
  [[nodiscard]] uint32_t WindowsMajorVersion() const override { return 10; }
  [[nodiscard]] bool DesktopCompositionEnabled() const override { return true; }
  [[nodiscard]] bool VisualStylesEnabled() const override { return true; }
  [[nodiscard]] Text ShortDate() const override { return FormatNow("%Y-%m-%d"); }
  [[nodiscard]] Text LongTime() const override { return FormatNow("%H:%M:%S"); }
};

}  // namespace

const SystemFacts& MachineFacts() {
  static const HostFacts facts;
  return facts;
}

}  // namespace vx::platform

// oxac: the authoring compiler's entry. Everything it does lives in vx_oxac (Tool.h).
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "script/Text.h"
#include "tools/oxac/ResourcePack.h"
#include "tools/oxac/Tool.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

std::filesystem::path SelfPath([[maybe_unused]] const std::filesystem::path& argv0) {
#ifdef _WIN32
  std::wstring buffer(32768, L'\0');
  const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
  if (length > 0 && length < buffer.size()) return std::filesystem::path(buffer.substr(0, length));
#else
  std::error_code error;
  auto self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (!error) return self;
#endif
  return std::filesystem::absolute(argv0);
}

int Run(std::vector<std::string> args, const std::filesystem::path& argv0) {
  const vx::oxac::ToolContext context{SelfPath(argv0), std::cout, std::cerr, vx::oxac::PackResources};
  return vx::oxac::RunOxac(args, context);
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    const std::wstring_view arg(argv[i]);
    args.push_back(vx::TextToUtf8(vx::Text(arg.begin(), arg.end())));
  }
  return Run(std::move(args), std::filesystem::path(argv[0]));
}
#else
int main(int argc, char** argv) {
  return Run(std::vector<std::string>(argv + 1, argv + argc), std::filesystem::path(argv[0]));
}
#endif

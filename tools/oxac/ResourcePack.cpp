#include "tools/oxac/ResourcePack.h"

#include <fstream>
#include <iostream>
#include <sstream>
#include <system_error>

#ifdef _WIN32
#include "media/SevenZipWrap.h"
#include "media/uSevenZipAPI.h"
#include "script/EngineError.h"
#else
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace vx::oxac {

namespace fs = std::filesystem;

namespace {

// The folder's content sits at the archive's root: "<folder>/dialogs/x.dfm" is "dialogs\x.dfm".
#ifdef _WIN32

bool Pack(const fs::path& folder, const fs::path& archive, std::string& error) {
  try {
    BindSevenZipAPI(ExecutableFolder() + u"oxa.lib");
    EnsureArchiveEngineFolder();
  } catch (const EngineError& e) {
    error = TextToUtf8(e.Message());
    return false;
  }
  Text message;
  const std::vector<Text> include = {Text(reinterpret_cast<const char16_t*>(folder.wstring().c_str())) + u"\\*"};
  const Text target(reinterpret_cast<const char16_t*>(archive.wstring().c_str()));
  if (CompressArchive(target, Text(), Text(), nullptr, nullptr, include, {}, message, oxa::kUpdateCreateNew,
                      oxa::kFormat7z)) {
    return true;
  }
  error = TextToUtf8(message);
  return false;
}

#else

// Debian's 7zz, run in the resource folder with its output captured for the error message.
bool Pack(const fs::path& folder, const fs::path& archive, std::string& error) {
  const fs::path log = archive.string() + ".log";
  const pid_t child = fork();
  if (child < 0) {
    error = "cannot start 7zz";
    return false;
  }
  if (child == 0) {
    int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out >= 0) {
      dup2(out, STDOUT_FILENO);
      dup2(out, STDERR_FILENO);
    }
    if (chdir(folder.c_str()) != 0) _exit(126);
    execlp("7zz", "7zz", "a", "-t7z", "-bd", "-y", "--", archive.c_str(), "*", static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  std::ifstream in(log);
  std::stringstream output;
  output << in.rdbuf();
  std::error_code ignored;
  fs::remove(log, ignored);
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
  if (WIFEXITED(status) && WEXITSTATUS(status) == 127) {
    error = "7zz was not found (install Debian's 7zip package)";
  } else {
    error = "7zz failed:\n" + output.str();
  }
  return false;
}

#endif

}  // namespace

bool PackResources(const fs::path& resourceFolder, const fs::path& archivePath) {
  std::error_code ec;
  const fs::path folder = fs::absolute(resourceFolder, ec);
  const fs::path archive = fs::absolute(archivePath, ec);
  if (ec || !fs::is_directory(folder)) {
    std::cerr << "oxac: cannot pack " << resourceFolder.string() << ": not a folder\n";
    return false;
  }
  // The archive is made under a temporary name and renamed into place, so a failure leaves none.
  const fs::path temp = archive.string() + ".packing";
  fs::remove(temp, ec);
  std::string error;
  if (!Pack(folder, temp, error)) {
    fs::remove(temp, ec);
    std::cerr << "oxac: cannot pack " << resourceFolder.string() << ": " << error << "\n";
    return false;
  }
  fs::rename(temp, archive, ec);
  if (ec) {
    fs::remove(temp, ec);
    std::cerr << "oxac: cannot write " << archivePath.string() << ": " << ec.message() << "\n";
    return false;
  }
  return true;
}

}  // namespace vx::oxac

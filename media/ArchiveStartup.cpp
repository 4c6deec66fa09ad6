#include "media/ArchiveStartup.h"

#include "media/LanguageData.h"
#include "media/SevenZipWrap.h"
#include "platform/FileIO.h"
#include "platform/Win32.h"
#include "script/EngineError.h"
#include "ui/uLanguage.h"

namespace vx {

void LoadAppendedLanguage(const StartupValues& values) {
  std::optional<std::string> library = platform::ReadWholeFile(values.exeFolder + u"oxa.lib");
  if (!library) return;
  std::optional<std::string_view> language = DataAfterImage(*library);
  if (!language) return;
  // The support folder does not exist yet at this step, so the file goes to the temporary folder.
  const Text path = values.tempFolder + u"lang.loc";
  if (!platform::AppendToFile(path, *language, true)) {
    throw EngineError(T("Cannot write the language file ") + path);
  }
  struct Remove {
    const Text& path;
    ~Remove() { DeleteFileW(platform::W(path)); }
  } remove{path};
  LoadLanguageFile(path);
}

bool ExtractSetupResources(const StartupValues& values, Text& error) {
  try {
    EnsureArchiveEngineFolder();
  } catch (const EngineError& e) {
    error = e.Message();
    return false;
  }
  // The tree is kept: resources in sub-folders stay apart, and a page's files keep their places.
  return ExtractArchiveItems(values.resourceArchive, Text(), values.supportFolder, nullptr, nullptr, nullptr, nullptr,
                             nullptr, error, /*overwriteAll=*/true, /*noPaths=*/false);
}

}  // namespace vx

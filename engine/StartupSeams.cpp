// The start-up steps other subsystems carry out. Steps whose subsystem is not part of this build
// yet do nothing, so a run proceeds exactly as if the step found nothing to do.
#include "engine/StartupSeams.h"

#include "media/ArchiveStartup.h"
#include "media/SevenZipWrap.h"

namespace vx {

void LoadAppendedLanguageData(const StartupValues& values) { LoadAppendedLanguage(values); }

bool ExtractResourceArchive(const StartupValues& values) {
  Text error;
  return ExtractSetupResources(values, error);
}

int RunOutOfProcessExtract(const Text& parameterFile) { return RunExtractorProcess(parameterFile); }

void ShowStartupWindow(const StartupValues&) {}
void ShowStartupImage(const StartupValues&) {}
void SetStartupProgress(int, int) {}
void CloseStartupWindow() {}

void PrepareDialogRuntime(const Text&) {}
void PreloadDialog(const Text&, size_t) {}

Text ProductCacheFolder(const CompiledScript&) { return Text(); }
void EndOfRunSave(const CompiledScript&) {}

}  // namespace vx

#include "ui/uLanguage.h"

#include <mutex>

namespace vx {

namespace {

struct CaptionSource {
  std::mutex lock;
  Text title;
  bool logo = false;
};

CaptionSource& Caption() {
  static CaptionSource source;
  return source;
}

}  // namespace

Text MessageText(Msg entry) {
  switch (entry) {
    case Msg::SetupResourceNotFound: return u"Setup resource not found";
    case Msg::SetupResourceDecompressionFailure: return u"Setup resource decompression failure";
    case Msg::RuntimeErrorInInstall: return u"Runtime error in install: ";
    case Msg::RuntimeErrorInSetupScript: return u"Runtime error in setup script:";
    case Msg::SetupCancelled: return u"Setup cancelled";
  }
  return Text();
}

Text SetupCaption(TextView title, bool logoFlag) {
  if (logoFlag) return Text(title);
  const Text wizard = u"Veltrix Wizard";
  return title.empty() ? wizard : Text(title) + u" - " + wizard;
}

Text CurrentSetupCaption() {
  auto& source = Caption();
  std::lock_guard guard(source.lock);
  return SetupCaption(source.title, source.logo);
}

void SetCaptionSource(Text title, bool logoFlag) {
  auto& source = Caption();
  std::lock_guard guard(source.lock);
  source.title = std::move(title);
  source.logo = logoFlag;
}

// Placeholder until the language file reader lands: the message table keeps its English texts.
void LoadLanguageFile(const Text&) {}

}  // namespace vx

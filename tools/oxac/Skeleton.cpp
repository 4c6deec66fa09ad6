#include "tools/oxac/Skeleton.h"

namespace vx::oxac {

std::string ProjectSkeleton(const std::string& productCode, const std::string& revisionCode) {
  return R"(# A Veltrix setup project. Build it with:  oxac build project.oxp -o out
# The source format is described in docs/oxac.md.

@title          "My Product"
@version        "1.0.0"
@publisher      "My Company"
@product-code   ")" + productCode + R"("
@revision-code  ")" + revisionCode + R"("

# Files beside the engine at run time (dialogs, images, language files) come from this folder.
@resources      "resources"

Comment "Setup starts here"
Set Variable "GREETING" "Hello from $TITLE$"
If "SILENT" "0" "TRUE" "FALSE"
  Comment "A silent run shows no pages"
End
Terminate with Exit Code "0"
)";
}

}  // namespace vx::oxac

// The engine executable. A setup is this program with a compiled script appended after its image.
#include <windows.h>

#include "engine/uSetupInit.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return vx::RunSetupProcess(); }

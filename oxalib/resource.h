// Resource numbers of oxa.lib (shared by the resource script and the code).
#pragma once

// 7-Zip's 7z.dll, carried as raw data and written out by Set7zipDllDirectory.
#define kSevenZipResource 1

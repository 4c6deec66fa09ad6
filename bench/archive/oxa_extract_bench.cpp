// Extracts one archive through oxa.lib (bound beside this program) the way the engine does, and
// prints the time the extraction took inside the process, in milliseconds.
// Usage: oxa_extract_bench ARCHIVE TARGET-FOLDER
#include <windows.h>

#include <cstdio>

#include "media/SevenZipWrap.h"
#include "platform/Win32.h"
#include "script/EngineError.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: oxa_extract_bench ARCHIVE TARGET-FOLDER\n");
    return 2;
  }
  try {
    vx::EnsureArchiveEngineFolder();
  } catch (const vx::EngineError& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  LARGE_INTEGER frequency{}, start{}, end{};
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  vx::Text error;
  const bool ok = vx::ExtractArchiveItems(vx::platform::FromW(argv[1]), vx::Text(), vx::platform::FromW(argv[2]),
                                          nullptr, nullptr, nullptr, nullptr, nullptr, error, true, false);
  QueryPerformanceCounter(&end);
  if (!ok) {
    std::fprintf(stderr, "extraction failed: %s\n", vx::TextToUtf8(error).c_str());
    return 1;
  }
  std::printf("%.1f\n", 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart));
  return 0;
}

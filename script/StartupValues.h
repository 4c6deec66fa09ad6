// The values the process entry fixes before the script runs. They are set once, during start-up,
// and read by the interpreter and the predefined variables afterwards.
#pragma once

#include <utility>
#include <vector>

#include "script/Text.h"

namespace vx {

struct StartupValues {
  Text exeFolder;        // folder of the running executable, trailing backslash (EXEDIR)
  Text exeName;          // file name of the running executable, with extension
  Text exeBaseName;      // file name without extension
  Text tempFolder;       // long form, trailing backslash (TEMPDIR)
  Text supportFolder;    // "oxa" + number under the temporary folder, trailing backslash (SUPPORTDIR)
  Text resourceArchive;  // executable folder + base name + ".res"
  Text dataFolder;       // executable folder + "data\"
  Text commandLineRest;  // the raw command line without the program part (CMDLINE)
  bool silent = false;   // "/s", "-s", "/qn", "-qn" (SILENT)
  bool update = false;   // "/update", "/updatesetup" (with "-" too): no splash, no start-up window
  Text logPath;          // "/l=" or "-l=", lower-cased (LOGGED and the run trace)
  Text policyPath;       // "/g=", lower-cased (GPOPATH)
  Text wrapperPath;      // "/m=", lower-cased (SFXPATH, SFXFILE)
  Text sourceOverride;   // "/p=" or "-p=", lower-cased
  // NAME=VALUE parameters in command-line order: upper-cased name, value as given.
  std::vector<std::pair<Text, Text>> assignments;
};

}  // namespace vx

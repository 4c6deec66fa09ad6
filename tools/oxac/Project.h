// A setup project as the source files describe it: the project settings and the statement list
// with includes already copied in.
#pragma once

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "script/CompiledScript.h"

namespace vx::oxac {

// An error in a source file. The message reads "file:line: what" (line counted from 1 for people),
// or "file: what" when it concerns the file as a whole.
class SourceError : public std::runtime_error {
 public:
  SourceError(const std::string& file, int line, const std::string& what)
      : std::runtime_error(file + (line > 0 ? ":" + std::to_string(line) : std::string()) + ": " + what) {}
};

// Where a statement or setting was written: the file as the project names it and the zero-based line.
struct SourceLocation {
  std::string file;
  int line = 0;
};

struct InstalledFile {
  Text source;  // path inside the installation data ("OFFLINE\<group>\<folder>\<file>")
  Text target;  // second line of the pair (for "Install Files": the subfolder below the target folder)
};

struct Statement {
  Text command;
  std::vector<Text> parameters;
  bool disabled = false;
  Text mediaFolder;                  // "" or a relative folder ending in a backslash
  Text header;                       // command header: up to eight upper-case hex digits, or ""
  std::vector<InstalledFile> files;  // the statement's file group (needs a header)
  SourceLocation where;
  Text includeVariable = u"0";       // include context: "0*0" for the main script
  int32_t includeDepth = 0;
};

struct Project {
  ProductValues product;
  std::vector<Text> plugins;
  std::vector<std::pair<Text, Text>> buildValues;        // name without "#", value
  std::vector<std::pair<Text, int64_t>> components;
  std::vector<std::pair<Text, Text>> mediaPasswords;     // block name, password in plain text
  struct MediaFile {
    Text block;
    Text path;
    Text destination;
  };
  std::vector<MediaFile> mediaFiles;
  std::filesystem::path resourceFolder;                 // absolute or relative to the working folder
  std::vector<Statement> statements;
  SourceLocation where;                                  // the project file itself
};

// Reads the project file and every file it includes. `shownPath` is how source references and
// messages name the project file (normally the path as given on the command line).
// Raises SourceError for every fault, naming the file and line.
[[nodiscard]] Project LoadProject(const std::filesystem::path& path, const std::string& shownPath);
[[nodiscard]] Project LoadProject(const std::filesystem::path& path);

}  // namespace vx::oxac

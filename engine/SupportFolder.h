// Folders the entry creates and removes: the temporary folder, the per-run support folder, and the
// recursive removal used at the end of a run.
#pragma once

#include "script/Text.h"

namespace vx {

// Creates the folder and every missing parent. True when it exists afterwards.
[[nodiscard]] bool CreateFolderTree(const Text& folder);

// Creates "oxa" + n in the temporary folder for the first n for which neither a file nor a folder
// of that name exists, and returns it with a trailing backslash. Creation is the test: a folder
// that another setup created a moment earlier makes this one move on to the next number.
[[nodiscard]] Text CreateSupportFolder(const Text& tempFolder);

// Empties the folder three times in a row (a pass deletes the whole content through the folder's
// long-path form, then re-creates it empty; files another process still held may go on a later
// pass), then removes the folder. A missing folder is nothing to do.
void RemoveFolder(const Text& folder);

// Removes every sub-folder of the folder, as RemoveFolder does, except the one with this name.
void RemoveSubfoldersExcept(const Text& folder, TextView keep);

}  // namespace vx

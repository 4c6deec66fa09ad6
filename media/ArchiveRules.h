// The portable rules of archive work, shared by the engine's wrappers and the archive library:
// item-list clean-up, the compression-level switch table and its low-memory retry ladder, switch
// text parsing, entry-path checks and name patterns, and the files of an out-of-process extraction.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "script/Text.h"

namespace vx {

// ---- Error texts ----

// The engine's text for an archive that cannot be opened for want of the right password (the
// extraction driver compares error texts against it).
inline constexpr std::u16string_view kWrongPasswordText =
    u"The archive cannot be opened: unsupported archive or incorrect password";

// "#" + the library's error code; the unsupported-or-wrong-password code reads as the text above.
[[nodiscard]] Text ArchiveErrorText(int32_t code);

// ---- Item lists ----

// The first "*.*" in an item path becomes "*" (7-Zip reads "*.*" as names with a dot only).
[[nodiscard]] Text NormalizeItemPath(TextView item);

// Removes duplicates (compared in lower case), keeping the last occurrence of each.
[[nodiscard]] std::vector<Text> RemoveDuplicateItems(const std::vector<Text>& items);

// ---- Compression levels ----

// The switch text for a compression level ("0" to "6"; any other text reads as "4"), with or
// without encrypted headers, for a machine with the given number of processors.
[[nodiscard]] Text CompressionSwitches(TextView level, bool encryptHeaders, unsigned processors);

// The level and header flag a switch text was made from: compared without regard to case with
// the texts of levels "4", "3", "2", "5", "6" (each with and then without encrypted headers).
// No match gives level 0 (no lower level to retry) and encrypted headers.
struct RecognizedSwitches {
  int level = 0;
  bool encryptHeaders = true;
};
[[nodiscard]] RecognizedSwitches RecognizeSwitches(TextView switches, unsigned processors);

// The level of the n-th retry (1 to 3) after a compression at level d failed for lack of memory.
// The wide column is for an engine with a large address space: a 32-bit engine on 64-bit Windows,
// and every 64-bit engine build.
[[nodiscard]] Text RetryLevel(int d, int retry, bool wideAddressSpace);

// ---- Switch text for the archive library ----

// "-m<name>=<value>" and "-m<name>" become handler properties (name, value; the value is empty
// for a bare name); "-ssw" opens the files to compress with write sharing. Anything else is
// refused: nothing when the text holds an unknown switch.
struct ArchiveSwitches {
  std::vector<std::pair<Text, Text>> properties;
  bool shareForWrite = false;
};
[[nodiscard]] std::optional<ArchiveSwitches> ParseSwitchText(TextView switches);

// ---- Entry paths and patterns ----

// The path below the target folder where an archive entry is written ("\" separated), or nothing
// when the entry's path is absolute, names a drive or a stream (":"), climbs out with "..", or
// has no name at all. With flatten only the last name is kept.
[[nodiscard]] std::optional<Text> SafeEntryPath(TextView entryPath, bool flatten);

// "*" and "?" pattern matching without regard to case; "\" and "/" match each other.
[[nodiscard]] bool MatchesPattern(TextView pattern, TextView name);

// True when the item (a pattern, or an exact path) selects the entry: the entry itself, or an
// entry inside the folder the item names.
[[nodiscard]] bool ItemSelectsEntry(TextView item, TextView entryPath);

// ---- Out-of-process extraction files ----

struct ExtractParameters {
  Text archive;
  Text password;
  Text targetFolder;
  bool noPaths = false;
  bool overwriteAll = false;
};

// UTF-8, one value per line: archive, password, target, noPaths, overwriteAll ("TRUE"/"FALSE").
[[nodiscard]] std::string FormatExtractParameters(const ExtractParameters& parameters);
// Reads the five lines back (a byte-order mark is skipped; missing lines read as empty).
[[nodiscard]] ExtractParameters ParseExtractParameters(std::string_view utf8);

// The item list, one per line (an empty list gives an empty file), and back.
[[nodiscard]] std::string FormatItemLines(const std::vector<Text>& items);
[[nodiscard]] std::vector<Text> ParseItemLines(std::string_view utf8);

// The first line of a UTF-8 file (a byte-order mark skipped).
[[nodiscard]] Text FirstLine(std::string_view utf8);

}  // namespace vx

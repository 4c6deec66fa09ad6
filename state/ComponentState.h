// The component state file: the component model, the chosen folders and the persisted variables
// of a setup, saved by "Save Feature Selections" and as the installed product's saved state.
//
// Layout (UTF-8, CR LF line ends, written without a byte-order mark; a reader skips one):
//
//   names ......................... one per line, then "$"
//   states ("TRUE"/"FALSE") ....... then "$"
//   deleted names ................. then "$"
//   hidden names .................. then "$"
//   fixed names ................... then "$"
//   sizes: name line, size line ... then "$"
//   TARGETDIR, ALLUSERS, STARTMENU  one line each
//   data folder ................... the setup's data folder, or an empty line
//   persisted variables ........... name line, value line, ...
//   "ZURI64WOW", bitness mode, "OVERRIDECACHE", value, "NATIVE_ENGINE", value
//
// Every line break inside a written text (CR LF, a lone CR or a lone LF) is written as
// "$NEWLINE$", so one text is always one line and a reader never loses its place; reading turns
// the marker back into CR LF. A list entry that is exactly "$" would end its list early and is
// written as "$DOLLAR$".
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "state/Components.h"

namespace vx {

class TVariableManager;

// The names of the variables "Set Variable" marked for saving with the installed product, in the
// order they were marked, each once.
class TPersistedVariables {
 public:
  void Add(TextView name);
  void Clear() { names_.clear(); }
  [[nodiscard]] bool Empty() const { return names_.empty(); }
  [[nodiscard]] const std::vector<Text>& Names() const { return names_; }

 private:
  std::vector<Text> names_;
};

[[nodiscard]] TPersistedVariables& ProcessPersistedVariables();

// The origin of the assignments a state file makes.
inline constexpr TextView kOriginLoadComponents = u"LoadComponents";

// What the file keeps beside the component lists.
struct StateFileValues {
  Text targetDir;
  Text allUsers;
  Text startMenu;
  Text dataFolder;  // the setup's data folder for the product's saved state; empty otherwise
  std::vector<std::pair<Text, Text>> persisted;  // name, value
  Text bitnessMode;
  Text overrideCache;
  Text nativeEngine;
};

// Gathers the values to save from the store: the three folders, the persisted variables'
// current values, OVERRIDECACHE and NATIVE_ENGINE.
[[nodiscard]] StateFileValues CollectStateValues(const TVariableManager& vars, const TPersistedVariables& persisted,
                                                 TextView bitnessMode, TextView dataFolder);

// The bytes of a whole state file.
[[nodiscard]] std::string WriteComponentState(const TComponentModel& model, const StateFileValues& values);

// A state file as read, line breaks already restored.
struct ComponentStateFile {
  std::vector<Text> names;
  std::vector<Text> states;
  std::vector<Text> deleted;
  std::vector<Text> hidden;
  std::vector<Text> fixed;
  std::vector<ComponentSize> sizes;
  Text targetDir;
  Text allUsers;
  Text startMenu;
  Text dataFolder;
  std::vector<std::pair<Text, Text>> pairs;  // the persisted variables and the closing pairs
};

// Reads the bytes of a state file. A file that ends inside its six lists or before the four
// folder lines raises an EngineError that names `source` and what is missing.
[[nodiscard]] ComponentStateFile ParseComponentState(std::string_view bytes, TextView source);

// The bytes of an existing state file with its variable tail replaced: the six lists and the four
// folder lines stay as they are, the persisted variables and the closing pairs of `values` follow.
[[nodiscard]] std::string RewriteStateTail(std::string_view oldBytes, const StateFileValues& values, TextView source);

// What reading a file hands back to its caller.
struct AppliedState {
  Text dataFolder;                  // kept for the maintenance code
  std::optional<Text> bitnessMode;  // the file's "ZURI64WOW" value, when it has one
};

// The product's saved state: replaces the model's lists, sets TARGETDIR, ALLUSERS and STARTMENU,
// and sets every saved variable, marking it persisted again.
AppliedState ApplyFullState(const ComponentStateFile& file, TComponentModel& model, TVariableManager& vars,
                            TPersistedVariables& persisted);

// "Load Feature Selections": the state of every component defined now is taken from the file, the
// deleted, hidden and fixed lists are the file's, the sizes stay; the variables as above.
AppliedState ApplyMergedState(const ComponentStateFile& file, TComponentModel& model, TVariableManager& vars,
                              TPersistedVariables& persisted);

// --- files ------------------------------------------------------------------------------------

// Writes a state file: the whole new file first beside it (name + ".dat"), then moved over the
// old one in one step. False when it could not be written.
[[nodiscard]] bool WriteStateFile(const Text& path, std::string_view bytes);

// Reads a state file; nothing when there is no readable file. A damaged file raises EngineError.
[[nodiscard]] std::optional<ComponentStateFile> ReadStateFile(const Text& path);

// Rewrites the variable tail of an existing state file; false when there is no file to rewrite
// or it could not be written. A damaged file raises EngineError and is left as it is.
[[nodiscard]] bool RewriteStateFileInPlace(const Text& path, const StateFileValues& values);

}  // namespace vx

// The component model: the named, optionally nested parts of the product that a setup offers for
// selection, with their state, description, size, and whether they are deleted, hidden or fixed.
//
// The model is plain data kept for the whole run. The script builds it with "Define Component"
// and friends, the wizard's selection control shows it, and the component state file (see
// ComponentState.h) saves and restores it. Setup changes are not tied to components: the script
// asks "Get Component State" and decides which statements to run.
//
// Names are compared without regard to case everywhere. A backslash in a name nests it below the
// component named by the part before the last backslash.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "script/Text.h"
#include "script/TextList.h"

namespace vx {

// The predefined component that carries the size of everything no other component owns.
inline constexpr TextView kPredefinedComponent = u"ZURI-PREDEF-COMPONENT";

struct ComponentSize {
  Text name;
  Text size;  // 64-bit decimal text, as stored in the state file

  bool operator==(const ComponentSize&) const = default;
};

// One node of the selection tree: a part of a component name between backslashes.
struct SelectionNode {
  Text text;
  // 0 for a selected component, 1 for one that is not; -1 for a node that only groups the
  // components below it.
  int imageIndex = -1;
  // The component's position in the names list + 1; 0 for a grouping node.
  size_t data = 0;
  std::vector<SelectionNode> children;

  bool operator==(const SelectionNode&) const = default;
};

// One line of the check-list form of the selection control.
struct SelectionItem {
  Text name;
  bool checked = false;
  size_t data = 0;  // position + 1, as in the tree

  bool operator==(const SelectionItem&) const = default;
};

class TComponentModel {
 public:
  // Clears every list and starts the sizes list from the component definitions of the compiled
  // script (name, size, name, size, ...). The installed baseline goes back to 0.
  void Reset(const TextList& definitions);
  // True once Reset or a full read of a state file has filled the model in this run.
  [[nodiscard]] bool Seeded() const { return seeded_; }

  // "Define Component". name is the name to define (translated when a translation is active);
  // sizeSource, when it differs from name, is the untranslated name whose size the translated
  // component inherits.
  void Define(TextView name, bool selected, TextView description, TextView sizeSource = {});
  void Delete(TextView name);
  void SetState(TextView name, bool selected);
  // Replaces or adds the size entry of a defined component; false (nothing changed) when the size
  // is not a 64-bit integer or the component is not defined.
  bool SetSize(TextView name, TextView size);
  void SetChoice(TextView name, bool changeable);
  void SetVisibility(TextView name, bool visible);

  [[nodiscard]] bool IsDefined(TextView name) const { return Find(name).has_value(); }
  [[nodiscard]] bool IsDeleted(TextView name) const;
  // Hidden or fixed directly or through any component it is nested in.
  [[nodiscard]] bool IsHidden(TextView name) const;
  [[nodiscard]] bool IsFixed(TextView name) const;
  // Defined, not deleted and selected: what "Get Component State" answers.
  [[nodiscard]] bool IsSelected(TextView name) const;
  [[nodiscard]] Text Description(TextView name) const;
  // The size from the sizes list; 0 when it has none or it is not a number.
  [[nodiscard]] int64_t Size(TextView name) const;

  // The sizes of all components that are selected and not deleted.
  [[nodiscard]] int64_t SelectedSize() const;
  // SelectedSize minus the installed baseline; negative in maintenance after deselecting.
  [[nodiscard]] int64_t RequiredSpace() const;
  void SetInstalledBaseline(int64_t bytes) { baseline_ = bytes; }
  [[nodiscard]] int64_t InstalledBaseline() const { return baseline_; }

  // The data of the selection control: every defined component except the predefined one, the
  // deleted ones and the hidden ones (directly or through a parent).
  [[nodiscard]] std::vector<SelectionNode> SelectionTree() const;
  [[nodiscard]] std::vector<SelectionItem> SelectionList() const;
  // Reads a check list back: each listed component takes its check mark as its state.
  void ApplyCheckMarks(const std::vector<SelectionItem>& items);

  // The lists as the state file holds them.
  [[nodiscard]] const std::vector<Text>& Names() const { return names_; }
  [[nodiscard]] const std::vector<Text>& States() const { return states_; }
  [[nodiscard]] const std::vector<Text>& Descriptions() const { return descriptions_; }
  [[nodiscard]] const std::vector<ComponentSize>& Sizes() const { return sizes_; }
  [[nodiscard]] const std::vector<Text>& DeletedNames() const { return deleted_; }
  [[nodiscard]] const std::vector<Text>& HiddenNames() const { return hidden_; }
  [[nodiscard]] const std::vector<Text>& FixedNames() const { return fixed_; }

  // A full read of a state file replaces every list (descriptions are not saved: they start
  // empty) and marks the model seeded.
  void Replace(std::vector<Text> names, std::vector<Text> states, std::vector<Text> deleted, std::vector<Text> hidden,
               std::vector<Text> fixed, std::vector<ComponentSize> sizes);
  // A merge takes the state of every name that is defined now and replaces the three name lists.
  void Merge(const std::vector<Text>& names, const std::vector<Text>& states, std::vector<Text> deleted,
             std::vector<Text> hidden, std::vector<Text> fixed);

 private:
  [[nodiscard]] std::optional<size_t> Find(TextView name) const;
  [[nodiscard]] const ComponentSize* FindSize(TextView name) const;
  [[nodiscard]] bool ShownInSelection(size_t index) const;
  void StoreDescription(size_t index, TextView description);

  std::vector<Text> names_;
  std::vector<Text> states_;
  std::vector<Text> descriptions_;
  std::vector<ComponentSize> sizes_;
  std::vector<Text> deleted_;
  std::vector<Text> hidden_;
  std::vector<Text> fixed_;
  int64_t baseline_ = 0;
  bool seeded_ = false;
};

// The model of this process.
[[nodiscard]] TComponentModel& ProcessComponents();

// --- space figures ----------------------------------------------------------------------------

// The unit words of the space texts, from the engine's message table in the active language.
struct SpaceUnits {
  Text bytes = u"bytes";
  Text kilobytes = u"KB";
  Text megabytes = u"MB";
};

// A signed byte count as the wizard shows it: below 1 MiB (or negative) in bytes, below 1 GiB in
// KB, else in MB, the digits grouped by "," in threes: 5000000 -> "4,882 KB".
[[nodiscard]] Text FormatSpace(int64_t bytes, const SpaceUnits& units = {});

// The drive part of a path: "C:" of "C:\Program Files", "\\server\share" of a network path,
// empty when the path has none.
[[nodiscard]] Text DrivePart(TextView path);

// Free bytes available to the current user on the volume of a root folder ("C:\"), or nothing
// when the system gives no answer.
using FreeSpaceQuery = std::function<std::optional<int64_t>(const Text& root)>;

// The running machine's answer.
[[nodiscard]] FreeSpaceQuery MachineFreeSpace();

// The free space on the drive of the target folder: -1 when the target folder is empty, 0 when
// it has no drive part or the system gives no answer.
[[nodiscard]] int64_t AvailableSpace(TextView targetDir, const FreeSpaceQuery& query);

// The four space texts of the wizard's feature labels.
struct SpaceTexts {
  Text component;  // the size of the component the user selected
  Text required;
  Text available;
  Text remaining;  // available minus required
};

[[nodiscard]] SpaceTexts ComputeSpaceTexts(const TComponentModel& model, TextView component, TextView targetDir,
                                           const FreeSpaceQuery& query, const SpaceUnits& units = {});

}  // namespace vx

#include "tools/oxac/Commands.h"

#include <algorithm>
#include <iterator>
#include <cctype>
#include <string>

namespace vx::oxac {

namespace {

constexpr std::string_view kCommands[] = {
    // Blocks, labels and include scripts.
    "Label", "GoTo Label", "If", "Else", "Else If", "End", "While", "Wend", "Repeat", "Until", "For Each", "Next",
    "Break", "Continue", "Wizard Loop", "Return from Include Script",
    // Script flow, variables, bitness.
    "Comment", "Ignore", "Terminate Install", "Terminate with Exit Code", "Set Variable", "Evaluate Expression",
    "Set 64 Bit Mode",
    // Strings, paths, arithmetic.
    "Parse String", "Replace String", "Convert Case", "Convert Path", "Extract Path", "Mathematics",
    // Files and folders.
    "Get Temporary File", "Does File/Folder Exist", "Is File Locked", "Get File Version", "Check File Version",
    "Check Disk Space", "Find All Files", "Delete Files Recursive",
    // Registry, INI, XML, text files.
    "Read Registry", "Check Registry", "Find All Registry", "Delete Registry", "Get INI File Settings",
    "Get XML File Settings", "Edit XML File", "Evaluate XPath Query", "Read from Text File", "Write to Text File",
    // Programs, processes, services.
    "Run Program", "Run Program As", "Remote Run Program", "Terminate Program", "Terminate Process", "Check Process",
    "Check Service", "Register Library",
    // System queries.
    "Get System Settings", "Get OS or SP Level", "Get Folder Location", "Get Environment", "Check Computer",
    "Find All Computers",
    // IIS.
    "Create IIS Site", "Delete IIS Site", "Create Virtual Folder", "Delete Virtual Folder", "Control IIS Site",
    "Get IIS Property", "Set IIS Property", "Get IIS Site Index", "Get IIS Site List", "IIS Anonymous User",
    // Accounts, shares, permissions.
    "Create Group", "Delete Group", "Create User", "Delete User", "Create Share", "Delete Share",
    "Set Access Control",
    // Shell integration.
    "Create Games Explorer", "Delete Games Explorer", "Create Media Center", "Delete Media Center",
    // Scheduled tasks, restore points.
    "Schedule Task", "Delete Scheduled Task", "System Restore",
    // .NET assemblies.
    "Generate Native Images", "Run .NET Installer Class", "Register Assembly",
    // Setup changes.
    "Install Files", "Install Assembly", "Install Service", "Control Service", "Install ODBC Driver",
    "Create ODBC DSN", "Write Registry", "Create Folder", "Create Shortcut", "Advertised Shortcut",
    "Create File Type", "Advertised File Type", "Delete Files", "Copy/Move Local Files", "Edit INI File",
    "Set Environment", "Apply Changes",
    // Windows Installer.
    "Apply Patch", "Is MSI Setup Installed", "Remove Assemblies",
    // Components and features.
    "Define Component", "Delete Component", "Get Component State", "Set Component State", "Get Component Space",
    "Set Component Space", "Set Component Choice", "Set Component Visibility", "Save Feature Selections",
    "Load Feature Selections",
    // Product instances and restart.
    "Transform Instance", "Reboot Computer", "Reboot and Resume", "Reboot and Login",
    // Dialogs, messages, localization.
    "Display Dialog", "Hide Dialog", "MessageBox", "MessageBalloon", "System Tray", "Localization Variable",
    // Media and archives.
    "Web Media Block", "Extract 7Zip Archive", "Compress 7Zip Archive", "Delete 7Zip Archive", "Test 7Zip Archive",
    "List 7Zip Archive", "Run Light Mode Setup",
};
static_assert(std::size(kCommands) == 135, "the engine knows 135 built-in commands");

// Lower case with every run of blanks made one blank, so "set  variable" meets "Set Variable".
std::string Folded(std::string_view name) {
  std::string out;
  bool blank = false;
  for (char c : name) {
    if (c == ' ' || c == '\t') {
      blank = !out.empty();
      continue;
    }
    if (blank) out.push_back(' ');
    blank = false;
    out.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  }
  return out;
}

}  // namespace

std::span<const std::string_view> BuiltInCommands() { return kCommands; }

bool IsBuiltInCommand(std::string_view name) {
  return std::find(std::begin(kCommands), std::end(kCommands), name) != std::end(kCommands);
}

std::optional<std::string_view> SuggestCommand(std::string_view name) {
  const std::string folded = Folded(name);
  for (std::string_view command : kCommands)
    if (Folded(command) == folded) return command;
  return std::nullopt;
}

}  // namespace vx::oxac

#include "tools/oxac/Project.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>

#include "tools/oxac/Commands.h"
#include "tools/oxac/Guid.h"
#include "tools/oxac/MediaPassword.h"
#include "tools/oxac/Paths.h"
#include "tools/oxac/Source.h"

namespace vx::oxac {

namespace fs = std::filesystem;

namespace {

// A fault at the current line; the loader adds file and line.
struct Fault {
  std::string what;
};

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// How a path written in a source file (Windows separators as a rule) reads as a host path.
fs::path HostPath(std::string_view written) {
  std::string s(written);
#ifndef _WIN32
  std::replace(s.begin(), s.end(), '\\', '/');
#endif
  return Utf8Path(s);
}

// A path as source references and messages show it: the way it was written, joined to the folder
// of the file that names it.
std::string ShownInclude(const std::string& includerShown, std::string_view written) {
  fs::path includePath = HostPath(written);
  if (includePath.is_absolute() || includePath.has_root_name() || includePath.has_root_directory())
    return PathUtf8(includePath.lexically_normal());
  return PathUtf8((HostPath(includerShown).parent_path() / includePath).lexically_normal());
}

template <typename Int>
Int Number(const SourceValue& value, std::string_view what, Int min) {
  Int n{};
  const char* first = value.text.data();
  const char* last = first + value.text.size();
  auto [end, ec] = std::from_chars(first, last, n);
  if (ec != std::errc() || end != last || value.text.empty() || n < min)
    throw Fault{"expected " + std::string(what) + ", found '" + value.text + "'"};
  return n;
}

bool Flag(const SourceValue& value) {
  const std::string lower = Lower(value.text);
  if (lower == "true") return true;
  if (lower == "false") return false;
  throw Fault{"expected true or false, found '" + value.text + "'"};
}

// A list value of the compiled script: a line that is exactly "$" would end its section.
Text ListValue(const SourceValue& value) {
  if (value.text == "$") throw Fault{"a value cannot be exactly \"$\" here: the compiled script ends a section with that line"};
  return Utf8ToText(value.text);
}

// A relative folder ending in a backslash, or empty.
Text RelativeFolder(const SourceValue& value) {
  Text folder = Utf8ToText(value.text);
  std::replace(folder.begin(), folder.end(), u'/', u'\\');
  if (folder.empty()) return folder;
  if (folder.front() == u'\\' || folder.find(u':') != Text::npos)
    throw Fault{"expected a folder relative to the product cache, found '" + value.text + "'"};
  if (folder == u"\\.." || StartsWith(folder, u"..\\") || folder == u".." || folder.find(u"\\..\\") != Text::npos)
    throw Fault{"a media folder cannot leave the product cache with \"..\": '" + value.text + "'"};
  if (folder.back() != u'\\') folder += u'\\';
  return folder;
}

// Up to eight hexadecimal digits, upper case, leading zeros dropped.
Text CommandHeader(const SourceValue& value) {
  std::string_view digits = value.text;
  if (digits.substr(0, 2) == "0x" || digits.substr(0, 2) == "0X") digits.remove_prefix(2);
  if (digits.empty() || !std::all_of(digits.begin(), digits.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); }))
    throw Fault{"expected a command header of hexadecimal digits, found '" + value.text + "'"};
  while (digits.size() > 1 && digits.front() == '0') digits.remove_prefix(1);
  if (digits == "0") throw Fault{"a command header cannot be zero"};
  if (digits.size() > 8) throw Fault{"a command header has at most eight hexadecimal digits, found '" + value.text + "'"};
  return UpperText(Utf8ToText(digits));
}

Text IncludeVariable(const SourceValue& value) {
  std::string_view name = value.text;
  if (name.size() >= 2 && name.front() == '$' && name.back() == '$') name = name.substr(1, name.size() - 2);
  if (name.find_first_of("*$ \t") != std::string_view::npos || (name.empty() && !value.text.empty()))
    throw Fault{"expected the name of the variable that receives the include's return value, found '" + value.text + "'"};
  return Utf8ToText(name);
}

// The same file reached by different paths has one identity, so include cycles are seen.
fs::path Identity(const fs::path& path) {
  std::error_code error;
  fs::path canonical = fs::weakly_canonical(path, error);
  return error ? fs::absolute(path, error).lexically_normal() : canonical;
}

std::string ReadWholeFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw Fault{"cannot read the file"};
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (in.bad()) throw Fault{"cannot read the file"};
  return bytes.str();
}

class ProjectLoader {
 public:
  Project Load(const fs::path& path, const std::string& shown) {
    project_.where = {shown, 0};
    project_.product.codePage = 65001;  // the source files are UTF-8
    project_.product.packageKind = 1;
    project_.resourceFolder = path.parent_path() / "resources";
    std::string bytes;
    try {
      bytes = ReadWholeFile(path);
    } catch (const Fault& fault) {
      throw SourceError(shown, 0, fault.what);
    }
    LoadFile(path, shown, bytes, u"0", 0);
    Finish();
    return std::move(project_);
  }

 private:
  struct FileState {
    const fs::path& real;
    const std::string& shown;
    bool isProject;
    std::optional<size_t> lastStatement;  // the statement that @media, @header and @file lines add to
  };

  void LoadFile(const fs::path& real, const std::string& shown, std::string_view bytes, const Text& includeVariable,
                int32_t depth) {
    const fs::path identity = Identity(real);
    includeStack_.push_back({identity, shown});
    FileState file{real, shown, depth == 0, std::nullopt};
    const auto lines = SplitLines(bytes);
    for (size_t i = 0; i < lines.size(); ++i) {
      const SourceLocation where{shown, static_cast<int>(i)};
      try {
        Line(file, ParseLine(lines[i]), where, includeVariable, depth);
      } catch (const LineError& error) {
        throw SourceError(shown, where.line + 1, error.what());
      } catch (const Fault& fault) {
        throw SourceError(shown, where.line + 1, fault.what);
      }
    }
    includeStack_.pop_back();
  }

  void Line(FileState& file, const SourceLine& line, const SourceLocation& where, const Text& includeVariable,
            int32_t depth) {
    switch (line.kind) {
      case SourceLine::Kind::Blank:
      case SourceLine::Kind::Comment:
        return;
      case SourceLine::Kind::Statement: {
        Statement statement;
        statement.command = Utf8ToText(line.name);
        for (const SourceValue& value : line.values) statement.parameters.push_back(Utf8ToText(value.text));
        statement.disabled = line.disabled;
        statement.where = where;
        statement.includeVariable = includeVariable;
        statement.includeDepth = depth;
        project_.statements.push_back(std::move(statement));
        file.lastStatement = project_.statements.size() - 1;
        return;
      }
      case SourceLine::Kind::Include:
        Include(file, line, where, includeVariable, depth);
        file.lastStatement.reset();
        return;
      case SourceLine::Kind::Setting:
        Setting(file, line, where);
        return;
    }
  }

  // The included file's statements go in between two "Comment" statements: one at the included
  // depth before them and one at the including depth after them. The engine saves and restores
  // its block state one level per change of depth, and "Return from Include Script" jumps to the
  // first statement one level up; the two markers keep every change of depth to one level (also
  // for a file that starts with an include or is empty) and give that jump a target that belongs
  // to this include alone, even when another include follows at once.
  void Include(const FileState& file, const SourceLine& line, const SourceLocation& where, const Text& includeVariable,
               int32_t depth) {
    const std::string& written = line.values[0].text;
    if (written.empty()) throw Fault{"expected the path of the included file, found an empty text"};
    if (written.find('*') != std::string::npos) throw Fault{"an included file's path cannot contain \"*\""};
    const Text variable = line.values.size() > 1 ? IncludeVariable(line.values[1]) : Text();
    const fs::path real = file.real.parent_path() / HostPath(written);
    const std::string shown = ShownInclude(file.shown, written);

    const fs::path identity = Identity(real);
    auto cycleStart = std::find_if(includeStack_.begin(), includeStack_.end(),
                                   [&](const auto& entry) { return entry.first == identity; });
    if (cycleStart != includeStack_.end()) {
      std::string chain;
      for (auto it = cycleStart; it != includeStack_.end(); ++it) chain += it->second + " -> ";
      throw Fault{"include cycle: " + chain + shown};
    }
    std::string bytes;
    try {
      bytes = ReadWholeFile(real);
    } catch (const Fault&) {
      throw Fault{"cannot read the included file '" + written + "' (looked for " + PathUtf8(real) + ")"};
    }

    const Text shownText = Utf8ToText(written);
    AddMarker(u"Begin include " + shownText, where, variable, depth + 1);
    LoadFile(real, shown, bytes, variable, depth + 1);
    AddMarker(u"End include " + shownText, where, includeVariable, depth);
  }

  void AddMarker(Text text, const SourceLocation& where, const Text& includeVariable, int32_t depth) {
    Statement marker;
    marker.command = u"Comment";
    marker.parameters.push_back(std::move(text));
    marker.where = where;
    marker.includeVariable = includeVariable;
    marker.includeDepth = depth;
    project_.statements.push_back(std::move(marker));
  }

  struct SettingRule {
    std::string_view name;
    std::string_view usage;
    size_t minValues;
    size_t maxValues;
    bool projectOnly;
    bool once;
    std::function<void(ProjectLoader&, FileState&, const std::vector<SourceValue>&)> apply;
  };

  static const std::vector<SettingRule>& Rules();

  void Setting(FileState& file, const SourceLine& line, const SourceLocation& where) {
    const auto& rules = Rules();
    auto rule = std::find_if(rules.begin(), rules.end(), [&](const SettingRule& r) { return r.name == line.name; });
    if (rule == rules.end()) throw Fault{"unknown setting @" + line.name + " (the settings are listed in docs/oxac.md)"};
    if (line.values.size() < rule->minValues || line.values.size() > rule->maxValues)
      throw Fault{"expected " + std::string(rule->usage)};
    if (rule->projectOnly && !file.isProject)
      throw Fault{"@" + line.name + " is a project setting; it belongs in the project file, not in an included file"};
    if (rule->once) {
      auto [first, added] = onceSeen_.try_emplace(line.name, where);
      if (!added)
        throw Fault{"@" + line.name + " is given twice (first at " + first->second.file + ":" +
                    std::to_string(first->second.line + 1) + ")"};
    }
    rule->apply(*this, file, line.values);
  }

  Statement& LastStatement(const FileState& file, std::string_view setting) {
    if (!file.lastStatement)
      throw Fault{"@" + std::string(setting) + " belongs to a statement: write it on the lines right after one"};
    return project_.statements[*file.lastStatement];
  }

  void SetHeader(FileState& file, const SourceValue& value) {
    Statement& statement = LastStatement(file, "header");
    if (!statement.header.empty()) throw Fault{"this statement already has a command header"};
    Text header = CommandHeader(value);
    auto [first, added] = headers_.try_emplace(header, statement.where);
    if (!added)
      throw Fault{"the command header " + TextToUtf8(header) + " is already used by the statement at " +
                  first->second.file + ":" + std::to_string(first->second.line + 1)};
    statement.header = std::move(header);
  }

  void AddFile(FileState& file, const std::vector<SourceValue>& values) {
    Statement& statement = LastStatement(file, "file");
    if (statement.header.empty())
      throw Fault{"@file needs the statement's @header line before it: the header is the key of its file group"};
    if (values[0].text.empty()) throw Fault{"expected the path of the file inside the installation data, found an empty text"};
    statement.files.push_back({ListValue(values[0]), values.size() > 1 ? ListValue(values[1]) : Text()});
  }

  void AddBuildValue(const std::vector<SourceValue>& values) {
    std::string_view name = values[0].text;
    if (name.size() >= 2 && name.front() == '#' && name.back() == '#') name = name.substr(1, name.size() - 2);
    if (name.empty() || name.find('#') != std::string_view::npos || name == "$")
      throw Fault{"expected a build value name such as SINGLEINSTANCE or #SINGLEINSTANCE#, found '" + values[0].text + "'"};
    const Text key = Utf8ToText(name);
    for (const auto& [existing, value] : project_.buildValues)
      if (SameText(existing, key)) throw Fault{"the build value #" + std::string(name) + "# is given twice"};
    project_.buildValues.emplace_back(key, ListValue(values[1]));
  }

  void AddComponent(const std::vector<SourceValue>& values) {
    Text name = ListValue(values[0]);
    if (name.empty()) throw Fault{"expected a component name, found an empty text"};
    for (const auto& [existing, size] : project_.components)
      if (SameText(existing, name)) throw Fault{"the component '" + values[0].text + "' is given twice"};
    project_.components.emplace_back(std::move(name), Number<int64_t>(values[1], "a size in bytes", 0));
  }

  void AddMediaPassword(const std::vector<SourceValue>& values) {
    Text block = ListValue(values[0]);
    if (block.empty()) throw Fault{"expected a media block name, found an empty text"};
    for (const auto& [existing, password] : project_.mediaPasswords)
      if (SameText(existing, block)) throw Fault{"the media block '" + values[0].text + "' has a password already"};
    Text password = Utf8ToText(values[1].text);
    if (!EncodeMediaPassword(password))
      throw Fault{"a media block password can hold only characters up to U+00FF and at most " +
                  std::to_string(kMaxMediaPasswordLength) + " of them"};
    project_.mediaPasswords.emplace_back(std::move(block), std::move(password));
  }

  void AddMediaFile(const std::vector<SourceValue>& values) {
    Project::MediaFile file{ListValue(values[0]), ListValue(values[1]), RelativeFolder(values[2])};
    if (file.block.empty() || file.path.empty() || file.destination.empty())
      throw Fault{"expected " + std::string("@media-file \"block\" \"path in the archive\" \"destination folder\\\"")};
    project_.mediaFiles.push_back(std::move(file));
  }

  // Checks that need the whole project: settings that must exist, and command names (plug-in
  // commands may be declared after their first use).
  void Finish() {
    const auto missing = [&](std::string_view setting, std::string_view example) {
      if (!onceSeen_.count(std::string(setting)))
        throw SourceError(project_.where.file, 0, "the project has no @" + std::string(setting) + " line (" + std::string(example) + ")");
    };
    missing("title", "@title \"Acme Tools\"");
    missing("product-code", "@product-code \"{GUID}\"; oxac new makes fresh ones");
    missing("revision-code", "@revision-code \"{GUID}\"; oxac new makes fresh ones");
    for (const Statement& statement : project_.statements) CheckCommand(statement);
  }

  void CheckCommand(const Statement& statement) const {
    const std::string name = TextToUtf8(statement.command);
    if (IsBuiltInCommand(name)) return;
    for (const Text& plugin : project_.plugins)
      if (SameText(plugin, statement.command)) return;
    std::string what = "unknown command '" + name + "'";
    if (auto suggestion = SuggestCommand(name)) {
      what += "; did you mean '" + std::string(*suggestion) + "'?";
    } else {
      what += " (a plug-in command must be declared with @plugin \"" + name + "\")";
    }
    throw SourceError(statement.where.file, statement.where.line + 1, what);
  }

  Project project_;
  std::vector<std::pair<fs::path, std::string>> includeStack_;  // identity, shown path
  std::map<std::string, SourceLocation> onceSeen_;
  std::map<Text, SourceLocation> headers_;
};

using Values = std::vector<SourceValue>;

Text Plain(const SourceValue& value) { return Utf8ToText(value.text); }

Text Guid(const SourceValue& value) {
  auto guid = NormalizeGuid(value.text);
  if (!guid) throw Fault{"expected a GUID such as {0D3E6F5A-8B1C-4C2D-9E7F-1A2B3C4D5E6F}, found '" + value.text + "'"};
  return Utf8ToText(*guid);
}

const std::vector<ProjectLoader::SettingRule>& ProjectLoader::Rules() {
  using L = ProjectLoader;
  using F = FileState;
  const auto text = [](Text ProductValues::*field) {
    return [field](L& l, F&, const Values& v) { l.project_.product.*field = Plain(v[0]); };
  };
  static const std::vector<SettingRule> rules = {
      {"title", "@title \"product title\"", 1, 1, true, true, text(&ProductValues::title)},
      {"product-code", "@product-code \"{GUID}\"", 1, 1, true, true,
       [](L& l, F&, const Values& v) { l.project_.product.productCode = Guid(v[0]); }},
      {"revision-code", "@revision-code \"{GUID}\"", 1, 1, true, true,
       [](L& l, F&, const Values& v) { l.project_.product.revisionCode = Guid(v[0]); }},
      {"version", "@version \"1.0.0\"", 1, 1, true, true, text(&ProductValues::version)},
      {"publisher", "@publisher \"name\"", 1, 1, true, true, text(&ProductValues::publisher)},
      {"contact", "@contact \"text\"", 1, 1, true, true, text(&ProductValues::contact)},
      {"help-link", "@help-link \"https://...\"", 1, 1, true, true, text(&ProductValues::helpLink)},
      {"update-link", "@update-link \"https://...\"", 1, 1, true, true, text(&ProductValues::updateLink)},
      {"comments", "@comments \"text\"", 1, 1, true, true, text(&ProductValues::comments)},
      {"package-kind", "@package-kind NUMBER", 1, 1, true, true,
       [](L& l, F&, const Values& v) { l.project_.product.packageKind = Number<int32_t>(v[0], "a package kind number", INT32_MIN); }},
      {"ask-language", "@ask-language true|false", 1, 1, true, true,
       [](L& l, F&, const Values& v) { l.project_.product.askLanguage = Flag(v[0]); }},
      {"default-language", "@default-language \"English\"", 1, 1, true, true, text(&ProductValues::defaultLanguage)},
      {"code-page", "@code-page NUMBER", 1, 1, true, true,
       [](L& l, F&, const Values& v) { l.project_.product.codePage = Number<int32_t>(v[0], "a code page number", 0); }},
      {"native-total-size", "@native-total-size BYTES", 1, 1, true, true,
       [](L& l, F&, const Values& v) { l.project_.product.nativeTotalSize = Number<int64_t>(v[0], "a size in bytes", 0); }},
      {"resources", "@resources \"folder\"", 1, 1, true, true,
       [](L& l, F& f, const Values& v) { l.project_.resourceFolder = f.real.parent_path() / HostPath(v[0].text); }},
      {"plugin", "@plugin \"command name\"", 1, 1, true, false,
       [](L& l, F&, const Values& v) {
         Text name = ListValue(v[0]);
         if (name.empty()) throw Fault{"expected a plug-in command name, found an empty text"};
         l.project_.plugins.push_back(std::move(name));
       }},
      {"build-value", "@build-value NAME \"value\"", 2, 2, true, false, [](L& l, F&, const Values& v) { l.AddBuildValue(v); }},
      {"component", "@component \"name\" SIZE", 2, 2, true, false, [](L& l, F&, const Values& v) { l.AddComponent(v); }},
      {"media-password", "@media-password \"block\" \"password\"", 2, 2, true, false,
       [](L& l, F&, const Values& v) { l.AddMediaPassword(v); }},
      {"media-file", "@media-file \"block\" \"path in the archive\" \"destination folder\\\"", 3, 3, true, false,
       [](L& l, F&, const Values& v) { l.AddMediaFile(v); }},
      // Attributes of the statement just before.
      {"media", "@media \"folder\\\"", 1, 1, false, false,
       [](L& l, F& f, const Values& v) {
         Statement& statement = l.LastStatement(f, "media");
         if (!statement.mediaFolder.empty()) throw Fault{"this statement already has a media folder"};
         statement.mediaFolder = RelativeFolder(v[0]);
       }},
      {"header", "@header HEX", 1, 1, false, false, [](L& l, F& f, const Values& v) { l.SetHeader(f, v[0]); }},
      {"file", "@file \"OFFLINE\\GROUP\\FOLDER\\name\" \"subfolder\\\"", 1, 2, false, false,
       [](L& l, F& f, const Values& v) { l.AddFile(f, v); }},
  };
  return rules;
}

}  // namespace

Project LoadProject(const fs::path& path, const std::string& shownPath) { return ProjectLoader().Load(path, shownPath); }
Project LoadProject(const fs::path& path) { return LoadProject(path, PathUtf8(path)); }

}  // namespace vx::oxac

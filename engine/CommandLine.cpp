#include "engine/CommandLine.h"

namespace vx {

std::vector<Text> SplitCommandLine(TextView raw) {
  std::vector<Text> params;
  size_t i = 0;
  for (;;) {
    while (i < raw.size() && raw[i] <= u' ') ++i;
    if (i >= raw.size()) break;
    Text param;
    bool quoted = false;
    for (; i < raw.size() && (quoted || raw[i] > u' '); ++i) {
      if (raw[i] == u'"')
        quoted = !quoted;
      else
        param.push_back(raw[i]);
    }
    params.push_back(std::move(param));
  }
  return params;
}

Text CommandLineRest(TextView raw) {
  if (!raw.empty() && raw.front() == u'"') {
    size_t close = raw.find(u'"', 1);
    if (close == TextView::npos) return Text();
    // The closing quote and the one character after it (the separating blank) go.
    size_t from = close + 2;
    return from >= raw.size() ? Text() : Text(raw.substr(from));
  }
  size_t blank = raw.find(u' ');
  return blank == TextView::npos ? Text() : Text(raw.substr(blank + 1));
}

bool IsExtractionMode(const std::vector<Text>& params) {
  return params.size() > 1 && params[1] == u"OutOfProcessExtract";
}

namespace {

// A whole-parameter switch: "/" or "-" followed by one of the names.
bool IsSwitch(TextView lowered, std::initializer_list<TextView> names) {
  if (lowered.empty() || (lowered[0] != u'/' && lowered[0] != u'-')) return false;
  for (TextView name : names)
    if (lowered.substr(1) == name) return true;
  return false;
}

// A "=" switch: the first parameter that contains one of the spellings anywhere gives the value,
// the whole lowered parameter without its first three characters.
void ValueSwitch(const std::vector<Text>& lowered, std::initializer_list<TextView> spellings, Text& value) {
  for (size_t i = 1; i < lowered.size(); ++i) {
    for (TextView spelling : spellings) {
      if (lowered[i].find(spelling) != Text::npos) {
        value = lowered[i].size() > 3 ? lowered[i].substr(3) : Text();
        return;
      }
    }
  }
}

}  // namespace

void ReadSwitches(const std::vector<Text>& params, StartupValues& values) {
  std::vector<Text> lowered;
  lowered.reserve(params.size());
  for (const Text& p : params) lowered.push_back(LowerText(p));

  for (size_t i = 1; i < params.size(); ++i) {
    const Text& low = lowered[i];
    if (IsSwitch(low, {u"s", u"qn"})) values.silent = true;
    if (IsSwitch(low, {u"update", u"updatesetup"})) values.update = true;
    const Text& p = params[i];
    size_t eq = p.find(u'=');
    if (!p.empty() && p[0] != u'/' && p[0] != u'-' && eq != Text::npos)
      values.assignments.emplace_back(UpperText(TextView(p).substr(0, eq)), p.substr(eq + 1));
  }
  ValueSwitch(lowered, {u"/l=", u"-l="}, values.logPath);
  ValueSwitch(lowered, {u"/g="}, values.policyPath);
  ValueSwitch(lowered, {u"/m="}, values.wrapperPath);
  ValueSwitch(lowered, {u"/p=", u"-p="}, values.sourceOverride);
}

}  // namespace vx

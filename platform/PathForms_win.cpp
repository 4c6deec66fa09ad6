#include "platform/PathForms.h"
#include "platform/Win32.h"

namespace vx::platform {

Text ExpandEnvironmentText(TextView text) {
  const Text source(text);
  return GrowingTextCall([&source](wchar_t* b, DWORD n) {
    const DWORD needed = ExpandEnvironmentStringsW(W(source), b, n);
    // The count includes the terminating null; GrowingTextCall wants the length without it.
    return needed == 0 ? DWORD{0} : (needed <= n ? needed - 1 : needed);
  });
}

Text AbsolutePath(TextView path) {
  const Text source(path);
  return GrowingTextCall([&source](wchar_t* b, DWORD n) { return GetFullPathNameW(W(source), n, b, nullptr); });
}

namespace {

// The root a path starts from: "X:\" (drive letter upper-cased) or "\\server\share\"; its
// length in the path, or 0 when the path has no such root.
size_t PathRoot(TextView path, Text& root) {
  if (path.size() >= 3 && path[1] == u':' && path[2] == u'\\') {
    root = Text(1, UpperChar(path[0])) + u":\\";
    return 3;
  }
  if (!StartsWith(path, u"\\\\")) return 0;
  const size_t server = path.find(u'\\', 2);
  const size_t share = server == TextView::npos ? TextView::npos : path.find(u'\\', server + 1);
  if (share == TextView::npos) return 0;
  root = Text(path.substr(0, share + 1));
  return share + 1;
}

}  // namespace

// Each component as the file system stores it, asked of the folder that holds it.
std::optional<Text> LongPathForm(TextView path) {
  Text out;
  const size_t rootLength = PathRoot(path, out);
  if (rootLength == 0 || path.find_first_of(u"*?") != TextView::npos) return std::nullopt;
  size_t from = rootLength;
  while (from < path.size()) {
    size_t to = path.find(u'\\', from);
    if (to == TextView::npos) to = path.size();
    if (to > from) {
      const Text probe = out + Text(path.substr(from, to - from));
      WIN32_FIND_DATAW found{};
      HANDLE search = FindFirstFileW(W(probe), &found);
      if (search == INVALID_HANDLE_VALUE) return std::nullopt;
      FindClose(search);
      out += FromW(found.cFileName);
      if (to < path.size()) out.push_back(u'\\');
    }
    from = to + 1;
  }
  return out;
}

std::optional<Text> ShortPathForm(TextView path) {
  const Text source(path);
  Text result = GrowingTextCall([&source](wchar_t* b, DWORD n) { return GetShortPathNameW(W(source), b, n); });
  if (result.empty()) return std::nullopt;
  return result;
}

Text LocaleCase(TextView text, bool upper) {
  Text result(text);
  if (!result.empty()) {
    std::wstring buffer(reinterpret_cast<const wchar_t*>(result.data()), result.size());
    if (upper)
      CharUpperBuffW(buffer.data(), static_cast<DWORD>(buffer.size()));
    else
      CharLowerBuffW(buffer.data(), static_cast<DWORD>(buffer.size()));
    result = FromW(buffer.c_str(), buffer.size());
  }
  return result;
}

}  // namespace vx::platform

#include "engine/SupportFolder.h"

#include "platform/Win32.h"
#include "script/EngineError.h"

namespace vx {

namespace {

using platform::W;

bool Exists(const Text& path) { return GetFileAttributesW(W(path)) != INVALID_FILE_ATTRIBUTES; }

Text WithoutBackslash(Text path) {
  while (path.size() > 3 && path.back() == u'\\') path.pop_back();
  return path;
}

// The "\\?\" form lifts the MAX_PATH limit on the names inside the folder.
Text LongPathForm(const Text& folder) {
  if (StartsWith(folder, u"\\\\?\\")) return folder;
  if (StartsWith(folder, u"\\\\")) return u"\\\\?\\UNC\\" + folder.substr(2);
  return u"\\\\?\\" + folder;
}

struct FindCloser {
  void operator()(HANDLE h) const { FindClose(h); }
};

template <typename Visit>
void ForEachEntry(const Text& folder, Visit visit) {
  WIN32_FIND_DATAW entry{};
  HANDLE raw = FindFirstFileW(W(folder + u"\\*"), &entry);
  if (raw == INVALID_HANDLE_VALUE) return;
  std::unique_ptr<void, FindCloser> find(raw);
  do {
    Text name = platform::FromW(entry.cFileName);
    if (name == u"." || name == u"..") continue;
    visit(name, entry.dwFileAttributes);
  } while (FindNextFileW(raw, &entry));
}

void DeleteContent(const Text& folder) {
  ForEachEntry(folder, [&folder](const Text& name, DWORD attributes) {
    const Text path = folder + u"\\" + name;
    if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(W(path), attributes & ~FILE_ATTRIBUTE_READONLY);
    // A linked folder is removed as a link; what it points to stays untouched.
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      DeleteContent(path);
      RemoveDirectoryW(W(path));
    } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
      RemoveDirectoryW(W(path));
    } else {
      DeleteFileW(W(path));
    }
  });
}

}  // namespace

bool CreateFolderTree(const Text& folder) {
  const Text path = WithoutBackslash(folder);
  if (path.empty()) return false;
  if (Exists(path)) return (GetFileAttributesW(W(path)) & FILE_ATTRIBUTE_DIRECTORY) != 0;
  const size_t parentEnd = path.find_last_of(u'\\');
  if (parentEnd != Text::npos && parentEnd > 0) {
    const Text parent = path.substr(0, parentEnd);
    if (!(parent.size() == 2 && parent[1] == u':') && !CreateFolderTree(parent)) return false;
  }
  return CreateDirectoryW(W(path), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

Text CreateSupportFolder(const Text& tempFolder) {
  for (unsigned n = 1; n < 100000; ++n) {
    const Text path = tempFolder + u"oxa" + IntToText(n);
    if (Exists(path)) continue;
    if (CreateDirectoryW(W(path), nullptr)) return path + u"\\";
    if (GetLastError() != ERROR_ALREADY_EXISTS)
      throw EngineError(u"Cannot create the support folder " + path + u": " + platform::SystemErrorText(GetLastError()));
  }
  throw EngineError(u"Cannot create a support folder in " + tempFolder);
}

void RemoveFolder(const Text& folder) {
  const Text path = WithoutBackslash(folder);
  if (!Exists(path)) return;
  const Text longPath = LongPathForm(path);
  for (int pass = 0; pass < 3; ++pass) {
    DeleteContent(longPath);
    CreateDirectoryW(W(longPath), nullptr);
  }
  RemoveDirectoryW(W(longPath));
}

void RemoveSubfoldersExcept(const Text& folder, TextView keep) {
  const Text path = WithoutBackslash(folder);
  ForEachEntry(path, [&](const Text& name, DWORD attributes) {
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !SameText(name, keep)) RemoveFolder(path + u"\\" + name);
  });
}

}  // namespace vx

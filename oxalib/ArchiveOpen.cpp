// Opening an archive with the right 7-Zip handler, reading item properties, item selection and
// progress reporting.
#include <algorithm>

#include "media/ArchiveRules.h"
#include "oxalib/OxaCore.h"

namespace oxa {

namespace {

class OpenCallback final : public IArchiveOpenCallback, public ICryptoGetTextPassword, public CMyUnknownImp {
  Z7_IFACES_IMP_UNK_2(IArchiveOpenCallback, ICryptoGetTextPassword)
 public:
  OpenCallback(PasswordSource& password, ProgressReporter& progress) : password_(password), progress_(progress) {}

 private:
  PasswordSource& password_;
  ProgressReporter& progress_;
};

Z7_COM7F_IMF(OpenCallback::SetTotal(const UInt64*, const UInt64*)) { return S_OK; }

Z7_COM7F_IMF(OpenCallback::SetCompleted(const UInt64*, const UInt64*)) {
  return progress_.Aborted() ? E_ABORT : S_OK;
}

Z7_COM7F_IMF(OpenCallback::CryptoGetTextPassword(BSTR* password)) {
  std::optional<std::wstring> answer = password_.Get();
  if (!answer) return E_ABORT;
  *password = SysAllocString(answer->c_str());
  return *password ? S_OK : E_OUTOFMEMORY;
}

std::string ReadHead(IInStream* stream, size_t size) {
  std::string head(size, '\0');
  size_t at = 0;
  while (at < size) {
    UInt32 read = 0;
    if (stream->Read(head.data() + at, static_cast<UInt32>(size - at), &read) != S_OK || read == 0) break;
    at += read;
  }
  head.resize(at);
  return head;
}

bool SignatureMatches(const Format& format, const std::string& head) {
  for (const std::string& signature : format.signatures) {
    if (head.size() >= format.signatureOffset + signature.size() &&
        head.compare(format.signatureOffset, signature.size(), signature) == 0) {
      return true;
    }
  }
  return false;
}

std::wstring LowerExtension(const std::wstring& path) {
  size_t dot = path.find_last_of(L".\\/");
  if (dot == std::wstring::npos || path[dot] != L'.') return {};
  return AsWide(vx::LowerText(AsText(path.substr(dot + 1))));
}

// Formats to try, best first: signature matches, then extension matches.
std::vector<const Format*> Candidates(const std::vector<Format>& formats, const std::string& head,
                                      const std::wstring& path) {
  std::vector<const Format*> candidates;
  for (const Format& format : formats) {
    if (SignatureMatches(format, head)) candidates.push_back(&format);
  }
  std::wstring extension = LowerExtension(path);
  for (const Format& format : formats) {
    bool byName = !extension.empty() &&
                  std::find(format.extensions.begin(), format.extensions.end(), extension) != format.extensions.end();
    if (byName && std::find(candidates.begin(), candidates.end(), &format) == candidates.end()) {
      candidates.push_back(&format);
    }
  }
  return candidates;
}

std::wstring BaseNameWithoutExtension(const std::wstring& path) {
  size_t slash = path.find_last_of(L"\\/");
  std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
  size_t dot = name.find_last_of(L'.');
  return dot == std::wstring::npos || dot == 0 ? name : name.substr(0, dot);
}

std::wstring Canonical(std::wstring path) {
  std::replace(path.begin(), path.end(), L'/', L'\\');
  while (!path.empty() && path.back() == L'\\') path.pop_back();
  return AsWide(vx::LowerText(AsText(path)));
}

}  // namespace

OpenedArchive OpenArchive(const std::wstring& path, PasswordSource& password, ProgressCallback progress) {
  SevenZip& engine = SevenZip::Current();
  OpenedArchive opened;
  opened.stream = OpenInFile(path, true);
  if (!opened.stream) Fail(kErrorArchiveNotFound);
  std::string head = ReadHead(opened.stream, 1 << 16);
  ProgressReporter reporter(progress);
  for (const Format* format : Candidates(engine.Formats(), head, path)) {
    if (opened.stream->Seek(0, STREAM_SEEK_SET, nullptr) != S_OK) Fail(kErrorArchiveNotFound);
    CMyComPtr<IInArchive> archive = engine.CreateInArchive(*format);
    CMyComPtr<IArchiveOpenCallback> callback = MakeCom<IArchiveOpenCallback, OpenCallback>(password, reporter).first;
    const UInt64 maxStart = 1 << 20;
    HRESULT result = archive->Open(opened.stream, &maxStart, callback);
    if (result == S_OK) {
      opened.archive = archive;
      opened.format = format;
      if (archive->GetNumberOfItems(&opened.count) != S_OK) Fail(kErrorDataError);
      return opened;
    }
    archive->Close();
    if (result == E_OUTOFMEMORY) Fail(kErrorOutOfMemory);
    // Encrypted headers that did not open: a wrong or missing password, whatever else may follow.
    if (password.WasAsked()) Fail(kErrorUnsupportedOrPassword);
  }
  Fail(kErrorUnsupportedOrPassword);
}

ItemInfo ReadItem(IInArchive* archive, uint32_t index, const std::wstring& archivePath) {
  ItemInfo item;
  PropValue path, isDir, encrypted, size, packed, modified, attributes;
  archive->GetProperty(index, kpidPath, &path);
  archive->GetProperty(index, kpidIsDir, &isDir);
  archive->GetProperty(index, kpidEncrypted, &encrypted);
  archive->GetProperty(index, kpidSize, &size);
  archive->GetProperty(index, kpidPackSize, &packed);
  archive->GetProperty(index, kpidMTime, &modified);
  archive->GetProperty(index, kpidAttrib, &attributes);
  item.path = path.String();
  // Single-stream formats (gz, xz, bz2) may store no name: the archive's own name without extension.
  if (item.path.empty()) item.path = BaseNameWithoutExtension(archivePath);
  std::replace(item.path.begin(), item.path.end(), L'/', L'\\');
  item.isDir = isDir.Bool();
  item.encrypted = encrypted.Bool();
  item.size = size.Number();
  item.packedSize = packed.Number();
  item.modified = modified.FileTime();
  item.attributes = static_cast<uint32_t>(attributes.Number());
  if (item.isDir) item.attributes |= FILE_ATTRIBUTE_DIRECTORY;
  return item;
}

ItemSelection::ItemSelection(const FileList* list) {
  if (!list || list->count <= 0 || !list->items) return;
  for (int32_t i = 0; i < list->count; ++i) {
    const wchar_t* item = list->items[i];
    if (!item || !*item) continue;
    all_ = false;
    std::wstring text(item);
    if (text.find_first_of(L"*?") != std::wstring::npos) {
      patterns_.push_back(text);
    } else {
      exact_.push_back(Canonical(text));
    }
  }
  std::sort(exact_.begin(), exact_.end());
}

bool ItemSelection::Selects(const std::wstring& path) const {
  if (all_) return true;
  // The entry, or a folder it lies in, named exactly.
  for (std::wstring prefix = Canonical(path);;) {
    if (std::binary_search(exact_.begin(), exact_.end(), prefix)) return true;
    size_t slash = prefix.rfind(L'\\');
    if (slash == std::wstring::npos) break;
    prefix.resize(slash);
  }
  for (const std::wstring& pattern : patterns_) {
    if (vx::ItemSelectsEntry(AsText(pattern), AsText(path))) return true;
  }
  return false;
}

void ProgressReporter::SetItem(const std::wstring& item) {
  std::lock_guard<std::mutex> guard(lock_);
  item_ = item;
}

void ProgressReporter::SetTotal(uint64_t total) {
  std::lock_guard<std::mutex> guard(lock_);
  total_ = total;
}

HRESULT ProgressReporter::Report(uint64_t done) {
  std::lock_guard<std::mutex> guard(lock_);
  if (aborted_) return E_ABORT;
  if (!callback_) return S_OK;
  if (callback_(item_.c_str(), static_cast<int64_t>(done), static_cast<int64_t>(total_)) == 0) {
    aborted_ = true;
    return E_ABORT;
  }
  return S_OK;
}

}  // namespace oxa

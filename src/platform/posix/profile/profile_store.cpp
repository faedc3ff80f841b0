#include "platform/posix/profile/profile_store.h"

#include <cerrno>

#include "platform/posix/station/paths.h"
#include "platform/posix/system/file_calls.h"
#include "platform/posix/system/system_error.h"

namespace vt::posix {

namespace {

// How often a replace is made again when another program keeps changing the file.
constexpr int ReplaceAttempts = 3;

SystemResult KeptChanging(int error) {
  SystemResult result = ErrnoResult(error);
  result.reason = L"another program kept rewriting the file (" + result.reason + L")";
  return result;
}

}  // namespace

void ProfileStore::TakeContent(CachedFile& file, const FileRead& read) {
  const ProfileText text = DecodeProfileFile(read.bytes);
  file.document = ProfileDocument(text.text, text.encoding);
  ApplyHeldBack(file);
  file.exists = true;
  file.identity = FileIdentity::Of(read.info);
  file.mode = read.info.st_mode;
  file.settled = read.settled;
}

void ProfileStore::StartEmpty(CachedFile& file) {
  file.document = ProfileDocument();
  ApplyHeldBack(file);
  file.exists = false;
  file.settled = true;
}

void ProfileStore::ApplyHeldBack(CachedFile& file) {
  for (const Edit& edit : file.heldBack) file.document.Set(edit.section, edit.key, edit.value);
}

SystemResult ProfileStore::Load(const std::string& path, CachedFile*& file, bool forWrite) {
  file = &files_[path];
  struct stat info {};
  if (Retried([&] { return FileCallTable().lstat(path.c_str(), &info); }) != 0) {
    if (errno != ENOENT && errno != ENOTDIR) return ErrnoResult(errno);
    if (file->exists) StartEmpty(*file);  // the file went away
    return {};
  }
  // Never through a link, and only plain files: anything else is no profile file.
  if (S_ISLNK(info.st_mode)) return ErrnoResult(ELOOP);
  if (S_ISDIR(info.st_mode)) return ErrnoResult(EISDIR);
  if (!S_ISREG(info.st_mode)) return ErrnoResult(EINVAL);
  if (file->exists && file->identity == FileIdentity::Of(info)) {
    // Unchanged since we read it; a copy taken while it was busy is good once the file
    // has been quiet since.
    if (!file->settled && HasBeenQuiet(info)) file->settled = true;
    if (file->settled || !forWrite) return {};
  }
  const FileRead read = ReadWholeFile(path, forWrite);
  if (read.error == EBUSY) return KeptChanging(read.error);
  if (read.error != 0) return ErrnoResult(read.error);
  if (!read.exists) {
    if (file->exists) StartEmpty(*file);
    return {};
  }
  TakeContent(*file, read);
  return {};
}

std::optional<std::wstring> ProfileStore::Read(const std::string& path, const std::wstring& section,
                                               const std::wstring& key) {
  CachedFile* file = nullptr;
  if (!Load(path, file, false).Succeeded()) return std::nullopt;
  return file->document.Find(section, key);
}

SystemResult ProfileStore::Write(const std::string& path, const std::wstring& section,
                                 const std::wstring& key, const std::wstring& value) {
  CachedFile* file = nullptr;
  if (SystemResult loaded = Load(path, file, true); !loaded.Succeeded()) return loaded;
  if (file->exists && (file->mode & 0222) == 0) return ErrnoResult(EACCES);
  if (!file->exists) {
    struct stat folder {};
    if (Retried([&] { return FileCallTable().lstat(FolderOf(path).c_str(), &folder); }) != 0)
      return ErrnoResult(errno);
    if (!S_ISDIR(folder.st_mode)) return ErrnoResult(ENOTDIR);
  }
  if (file->document.Find(section, key) == value) return {};  // stored already: nothing to write
  if (!file->document.Set(section, key, value)) return ErrnoResult(EINVAL);
  file->heldBack.push_back({section, key, value});
  return {};
}

bool ProfileStore::HasHeldBackWrites() const {
  for (const auto& entry : files_) {
    if (!entry.second.heldBack.empty()) return true;
  }
  return false;
}

SystemResult ProfileStore::Commit() {
  SystemResult first;
  for (auto& [path, file] : files_) {
    if (file.heldBack.empty()) continue;
    const SystemResult result = CommitFile(path, file);
    if (!result.Succeeded() && first.Succeeded()) first = result;
  }
  return first;
}

SystemResult ProfileStore::CommitFile(const std::string& path, CachedFile& file) {
  SystemResult result = KeptChanging(EAGAIN);
  bool inPlace = false;
  for (int attempt = 0; attempt < ReplaceAttempts; ++attempt) {
    const ReplaceBase base{file.exists, file.identity};
    const ReplaceResult replaced = ReplaceFileAtomically(
        path, EncodeProfileFile(file.document.Text(), file.document.Encoding()), &base);
    if (replaced.InPlace()) {
      inPlace = true;
      file.exists = true;
      file.identity = replaced.identity;
      file.mode = replaced.mode;
      file.settled = true;
      result = replaced.failure;  // success, or the folder that was not flushed
      break;
    }
    if (replaced.outcome == ReplaceResult::Outcome::Failed) {
      result = replaced.failure;
      break;
    }
    // Another program changed the file: the writes are made again on what it holds now,
    // so its change is kept.
    CachedFile* reloaded = &file;
    if (const SystemResult loaded = Load(path, reloaded, true); !loaded.Succeeded()) {
      result = loaded;
      break;
    }
  }
  file.heldBack.clear();
  // After a failure the next read takes the file as it is on disk (also when there is
  // none: the values not written must not count as stored).
  if (!inPlace) file = CachedFile();
  return result;
}

}  // namespace vt::posix

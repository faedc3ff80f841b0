#include "platform/posix/smb/smbfs_operations.h"

#include <fcntl.h>
#include <sys/statvfs.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <functional>
#include <vector>

#include "platform/posix/smb/smb_client.h"
#include "platform/posix/system/monotonic_clock.h"

namespace vt::posix {

namespace {

// The share's timeout bounds each operation; a share served without one gets this.
constexpr int FallbackTimeoutMs = 30000;
// Reads and writes of up to this many bytes in one operation (the kernel's largest).
constexpr unsigned LargestTransfer = 1u << 20;

ServedShares& Shares() {
  return *static_cast<ServedShares*>(fuse_get_context()->private_data);
}

// Where a path of the mount lies: the mount's root, the server's (depth 0), or in a
// served share (1).
struct Place {
  int depth = 0;
  std::shared_ptr<ServedShare> share;
  std::string inner;  // the path inside the share: "" or "/folder/file"
  std::string Url() const { return SmbUrl(share->Server(), share->Name(), inner); }
};

int Locate(const char* path, Place& place) {
  const std::string text = path;
  const std::size_t at = text.find_first_not_of('/');
  if (at == std::string::npos) return 0;
  const std::size_t end = text.find('/', at);
  place.share = Shares().Find(text.substr(at, end - at));
  if (!place.share) return -ENOENT;
  place.depth = 1;
  if (end != std::string::npos && end + 1 < text.size()) place.inner = text.substr(end);
  return 0;
}

// A place that must lie in a share: the mount's root is made by the file system and
// cannot be changed.
int LocateInShare(const char* path, Place& place) {
  const int located = Locate(path, place);
  if (located != 0) return located;
  return place.depth == 1 ? 0 : -EACCES;
}

std::int64_t TimeoutOf(const ServedShare& share) {
  const int timeoutMs = share.TimeoutMs();
  return timeoutMs > 0 ? timeoutMs : FallbackTimeoutMs;
}

// A call on a share's library context.
using ShareWork = std::function<int(SMBCCTX*)>;

// Runs `work` on the share's context, in its turn on the worker, within the share's
// timeout (`undo` as SmbWorker::Run has it): -errno.
int OnShare(const std::shared_ptr<ServedShare>& share, ShareWork work, ShareWork undo = {}) {
  const auto onContext = [share](ShareWork call) -> SmbWorker::Work {
    if (!call) return {};
    return [share, call = std::move(call)] {
      SMBCCTX* context = share->Context();
      return context != nullptr ? call(context) : SmbError();
    };
  };
  return -Shares().Worker().Run(onContext(std::move(work)), TimeoutOf(*share),
                                onContext(std::move(undo)));
}

void FolderAttributes(struct stat* info) {
  static const std::time_t mounted = std::time(nullptr);
  *info = {};
  info->st_mode = S_IFDIR | 0755;
  info->st_nlink = 2;
  info->st_uid = ::getuid();
  info->st_gid = ::getgid();
  info->st_atime = info->st_mtime = info->st_ctime = mounted;
}

using FileRef = std::shared_ptr<OpenFile>;

// libfuse keeps an open file's or folder's handle as an integer: ours is a pointer.
template <typename Held>
Held* HeldBy(const fuse_file_info* info) {
  return reinterpret_cast<Held*>(info->fh);  // NOLINT(performance-no-int-to-ptr)
}
template <typename Held>
void Hold(fuse_file_info* info, Held* held) {
  info->fh = reinterpret_cast<std::uint64_t>(held);
}

FileRef& FileOf(const fuse_file_info* info) {
  return *HeldBy<FileRef>(info);
}

// What a lost connection gives a file opened on it: after the server restarted, the
// handle is of a session that no longer exists.
bool ConnectionLost(int error) {
  return error == ECONNABORTED || error == ECONNRESET || error == ENETRESET || error == EPIPE ||
         error == ENOTCONN || error == EBADF;
}

// What a call may give when its connection is lost: besides the errors of a lost
// connection, EINVAL, the library's answer for a status it has no errno for (reads and
// looks at a path gave it in the moment their server restarted), and ENOMEM, its answer
// where it could not make a request on a connection it already knows closed (a read
// gave it so). Where the connection was sound, the call made once more gives its own
// answer.
bool ConnectionMayBeLost(int error) {
  return ConnectionLost(error) || error == EINVAL || error == ENOMEM;
}

// Makes `call` (0 or an errno, changing nothing on the server when it fails) once more
// where its answer may be that of a connection the server dropped: the library connects
// again at the next call.
template <typename Call>
int OnceMoreWhereLost(Call call) {
  const int error = call();
  return ConnectionMayBeLost(error) ? call() : error;
}

// Closes the file on the server, where it is open: 0, as nothing waits for the answer.
int Close(SMBCCTX* context, OpenFile& open) {
  if (open.file != nullptr) smbc_getFunctionClose(context)(context, open.file);
  open.file = nullptr;
  return 0;
}

// A file's attributes through its handle; where the handle was opened for writing only
// (the server then refuses to tell them through it), through the path the file has
// now (it follows renames made through the mount). A path that holds no file, or
// another file, is stale: the handle's file went elsewhere, and a handle of a lost
// connection (which gives the same refusal) must not take another file's attributes.
int FileAttributes(SMBCCTX* context, OpenFile& open, struct stat* info) {
  errno = 0;
  int error = smbc_getFunctionFstat(context)(context, open.file, info) == 0 ? 0 : SmbError();
  if (error == EINVAL || error == EACCES) {
    const std::string inner = open.share->PathOf(open);
    if (inner.empty()) return ESTALE;
    errno = 0;
    const std::string url = SmbUrl(open.share->Server(), open.share->Name(), inner);
    error = smbc_getFunctionStat(context)(context, url.c_str(), info) == 0 ? 0 : SmbError();
    if (error == ENOENT || (error == 0 && open.identity != 0 && info->st_ino != open.identity))
      return ESTALE;
  }
  if (error != 0) return error;
  if (open.identity == 0) open.identity = info->st_ino;
  const std::string inner = open.share->PathOf(open);
  if (!inner.empty()) open.share->Recent().Updated(inner, *info, MonotonicMs());
  return 0;
}

// Opens the file again after its connection was lost, where it is now: a file removed
// through the mount, or one whose path now holds another file (renamed or removed
// elsewhere meanwhile), is stale rather than another file opened in its place.
int Reopen(SMBCCTX* context, OpenFile& open) {
  Close(context, open);
  const std::string inner = open.share->PathOf(open);
  if (inner.empty()) return ESTALE;
  const std::string url = SmbUrl(open.share->Server(), open.share->Name(), inner);
  const int opened = OnceMoreWhereLost([&] {
    errno = 0;
    open.file = smbc_getFunctionOpen(context)(context, url.c_str(),
                                              open.flags & ~(O_CREAT | O_EXCL | O_TRUNC), 0);
    return open.file != nullptr ? 0 : SmbError();
  });
  if (opened != 0) return opened == ENOENT ? ESTALE : opened;
  struct stat found {};
  const int known = FileAttributes(context, open, &found);
  if (known != 0 || (open.identity != 0 && found.st_ino != open.identity)) {
    Close(context, open);
    return known != 0 ? known : ESTALE;
  }
  return 0;
}

// Runs `call` (0 or an errno) on an open file, within the share's timeout. A file
// whose handle on the server was closed (see CloseClosedFiles) is opened again first.
// Where the connection may have been lost since the file was opened (its server
// restarted), the file is opened again and, with `again`, the call is made once more.
template <typename Call>
int OnFile(const fuse_file_info* info, Call call, bool again = true) {
  const FileRef file = FileOf(info);
  return OnShare(file->share, [file, call, again](SMBCCTX* context) {
    if (file->file == nullptr) {
      const int reopened = Reopen(context, *file);
      return reopened != 0 ? reopened : call(context, *file);
    }
    const int error = call(context, *file);
    if (!ConnectionMayBeLost(error)) return error;
    const int reopened = Reopen(context, *file);
    if (reopened != 0 || !again) return reopened != 0 ? reopened : error;
    return call(context, *file);
  });
}

int Seek(SMBCCTX* context, SMBCFILE* file, off_t offset) {
  errno = 0;
  return smbc_getFunctionLseek(context)(context, file, offset, SEEK_SET) == offset ? 0 : SmbError();
}

int GetAttributes(const char* path, struct stat* info, fuse_file_info* fileInfo) {
  if (fileInfo != nullptr && fileInfo->fh != 0) {
    const FileRef& file = FileOf(fileInfo);
    const std::string inner = file->share->PathOf(*file);
    if (!inner.empty() &&
        file->share->Recent().Find(inner, MonotonicMs(), *info) == RecentAttributes::Known::Found)
      return 0;
    auto found = std::make_shared<struct stat>();
    const int error = OnFile(fileInfo, [found](SMBCCTX* context, OpenFile& open) {
      return FileAttributes(context, open, found.get());
    });
    if (error == 0) *info = *found;
    return error;
  }
  Place place;
  const int located = Locate(path, place);
  if (located != 0) return located;
  if (place.depth == 0) {
    FolderAttributes(info);
    return 0;
  }
  if (!place.inner.empty()) {
    switch (place.share->Recent().Find(place.inner, MonotonicMs(), *info)) {
      case RecentAttributes::Known::Found:
        return 0;
      case RecentAttributes::Known::Missing:
        return -ENOENT;
      case RecentAttributes::Known::Nothing:
        break;
    }
  }
  auto found = std::make_shared<struct stat>();
  const int error = OnShare(place.share, [place, found](SMBCCTX* context) {
    const std::int64_t taken = MonotonicMs();
    const int said = OnceMoreWhereLost([&] {
      errno = 0;
      return smbc_getFunctionStat(context)(context, place.Url().c_str(), found.get()) == 0
                 ? 0
                 : SmbError();
    });
    if (said == 0 || said == ENOENT)
      place.share->Recent().KeepFile(place.inner, said == 0 ? found.get() : nullptr, taken);
    return said;
  });
  if (error == 0) *info = *found;
  return error;
}

// Opens (or with O_CREAT makes) a file of a share.
int OpenOn(const char* path, int flags, mode_t mode, fuse_file_info* info) {
  Place place;
  const int located = Locate(path, place);
  if (located != 0) return located;
  if (place.depth == 0) return (flags & O_ACCMODE) == O_RDONLY ? -EISDIR : -EACCES;
  auto file = std::make_shared<OpenFile>();
  file->share = place.share;
  file->inner = place.inner;
  // The library refuses O_APPEND (Samba's client answers it with ENXIO): the file is
  // opened without it and each write of this open goes to the end of the file as the
  // server has it then (see Write).
  file->append = (flags & O_APPEND) != 0;
  file->flags = flags & (O_ACCMODE | O_CREAT | O_EXCL | O_TRUNC);
  // The server's id of the file, so that a reopen can tell it from another file: as the
  // server said a moment ago, else from its first attributes through the handle.
  struct stat recent {};
  if (place.share->Recent().Find(place.inner, MonotonicMs(), recent) ==
      RecentAttributes::Known::Found)
    file->identity = recent.st_ino;
  const auto open = [file, mode, url = place.Url()](SMBCCTX* context) {
    // Opened for writing only, the server tells a file's size and times not through the
    // handle: opened for reading too where it allows, as Windows adds that right to
    // every open for writing.
    if ((file->flags & O_ACCMODE) == O_WRONLY) {
      const int both = (file->flags & ~O_ACCMODE) | O_RDWR;
      errno = 0;
      file->file = smbc_getFunctionOpen(context)(context, url.c_str(), both, mode);
      if (file->file != nullptr) file->flags = both;
      if (file->file == nullptr && errno != EACCES && errno != EPERM) return SmbError();
    }
    if (file->file == nullptr) {
      errno = 0;
      file->file = smbc_getFunctionOpen(context)(context, url.c_str(), file->flags, mode);
      if (file->file == nullptr) {
        const int error = SmbError();
        if ((file->flags & O_CREAT) != 0) file->share->Recent().Changed(file->inner);
        return error;
      }
    }
    file->share->Opened(*file);
    // A file made or emptied: its attributes now, for the listing of its folder.
    struct stat made {};
    if ((file->flags & (O_CREAT | O_TRUNC)) != 0 && FileAttributes(context, *file, &made) != 0)
      file->share->Recent().Changed(file->inner);
    return 0;
  };
  // Opened after its caller gave up: closed again, or it would stay open on the server.
  const auto undo = [file](SMBCCTX* context) {
    Close(context, *file);
    file->share->Released(*file);
    return 0;
  };
  const int error = OnShare(place.share, open, undo);
  if (error != 0) return error;
  Hold(info, new FileRef(file));
  return 0;
}

int Open(const char* path, fuse_file_info* info) {
  return OpenOn(path, info->flags, 0, info);
}

int Create(const char* path, mode_t mode, fuse_file_info* info) {
  return OpenOn(path, info->flags | O_CREAT, mode, info);
}

int Read(const char*, char* buffer, std::size_t size, off_t offset, fuse_file_info* info) {
  // Read into memory of the call's own: a call the deadline gives up on may still
  // write after the caller's buffer is gone.
  auto bytes = std::make_shared<std::vector<char>>(size);
  const int error = OnFile(info, [bytes, offset](SMBCCTX* context, OpenFile& open) {
    const int seek = Seek(context, open.file, offset);
    if (seek != 0) return seek;
    std::size_t got = 0;
    while (got < bytes->size()) {
      errno = 0;
      const ssize_t read = smbc_getFunctionRead(context)(context, open.file, bytes->data() + got,
                                                         bytes->size() - got);
      if (read < 0) return SmbError();
      if (read == 0) break;
      got += static_cast<std::size_t>(read);
    }
    bytes->resize(got);
    return 0;
  });
  if (error != 0) return error;
  std::copy(bytes->begin(), bytes->end(), buffer);
  return static_cast<int>(bytes->size());
}

int Write(const char*, const char* buffer, std::size_t size, off_t offset, fuse_file_info* info) {
  auto bytes = std::make_shared<std::vector<char>>(buffer, buffer + size);
  const bool append = FileOf(info)->append;
  const auto write = [bytes, offset](SMBCCTX* context, OpenFile& open) {
    off_t at = offset;
    if (open.append) {
      // At the end of the open file as the server has it now: another station may have
      // appended since. Not atomic against such a writer; the library offers no append
      // of the server's.
      struct stat info {};
      const int known = FileAttributes(context, open, &info);
      if (known != 0) return known;
      at = info.st_size;
    }
    const int seek = Seek(context, open.file, at);
    if (seek != 0) return seek;
    open.share->Recent().Touched(open.share->PathOf(open));
    std::size_t put = 0;
    while (put < bytes->size()) {
      errno = 0;
      const ssize_t written = smbc_getFunctionWrite(context)(
          context, open.file, bytes->data() + put, bytes->size() - put);
      if (written <= 0) return SmbError();
      put += static_cast<std::size_t>(written);
    }
    return 0;
  };
  // An append is not made twice: the first may have reached the server before the
  // connection was lost.
  const int error = OnFile(info, write, !append);
  return error != 0 ? error : static_cast<int>(size);
}

// Every write has reached the server when it returns (the library sends each at once
// and waits for its answer), so a flush has nothing left to send; the library has no
// request that makes the server flush its own disk cache. A flush comes with every
// close(2) of a descriptor: the file's release may follow.
int Flush(const char*, fuse_file_info* info) {
  const FileRef& file = FileOf(info);
  file->share->Closed(*file);
  return 0;
}

int Sync(const char*, int, fuse_file_info*) {
  return 0;
}

int Release(const char*, fuse_file_info* info) {
  auto* held = HeldBy<FileRef>(info);
  const FileRef file = *held;
  delete held;
  info->fh = 0;
  // Closed even though nobody waits: a file is never left open on the server.
  Shares().Worker().Post([file] {
    SMBCCTX* context = file->share->Context();
    if (context == nullptr) return 0;
    Close(context, *file);
    if ((file->flags & O_ACCMODE) != O_RDONLY)
      file->share->Recent().Touched(file->share->PathOf(*file));
    return 0;
  });
  file->share->Released(*file);
  return 0;
}

int Truncate(const char* path, off_t size, fuse_file_info* info) {
  if (info != nullptr && info->fh != 0) {
    return OnFile(info, [size](SMBCCTX* context, OpenFile& open) {
      open.share->Recent().Touched(open.share->PathOf(open));
      errno = 0;
      return smbc_getFunctionFtruncate(context)(context, open.file, size) == 0 ? 0 : SmbError();
    });
  }
  Place place;
  const int located = LocateInShare(path, place);
  if (located != 0) return located;
  return OnShare(place.share, [place, url = place.Url(), size](SMBCCTX* context) {
    place.share->Recent().Touched(place.inner);
    SMBCFILE* file = smbc_getFunctionOpen(context)(context, url.c_str(), O_WRONLY, 0);
    if (file == nullptr) return SmbError();
    errno = 0;
    const int error = smbc_getFunctionFtruncate(context)(context, file, size) == 0 ? 0 : SmbError();
    smbc_getFunctionClose(context)(context, file);
    return error;
  });
}

// Before a file is removed or renamed: a file whose descriptor was closed may still be
// open on the server, as the kernel sends its release after the close has returned
// (and libfuse lets it wait for the removal's lock on the path), while the server
// refuses to remove or rename an open file. So its handle on the server is closed
// first, as a close on Windows closes it: a descriptor of it still open on the station
// opens it again, where it is then, at its next call. A file of which no descriptor
// was closed is refused by the server, as Windows refuses it.
void CloseClosedFiles(SMBCCTX* context, const Place& place) {
  for (const std::shared_ptr<OpenFile>& file : place.share->ClosedAt(place.inner))
    Close(context, *file);
}

int Unlink(const char* path) {
  Place place;
  const int located = LocateInShare(path, place);
  if (located != 0) return located;
  return OnShare(place.share, [place](SMBCCTX* context) {
    CloseClosedFiles(context, place);
    errno = 0;
    if (smbc_getFunctionUnlink(context)(context, place.Url().c_str()) != 0) {
      const int error = SmbError();
      place.share->Recent().Changed(place.inner);
      return error;
    }
    place.share->Removed(place.inner);
    place.share->Recent().Removed(place.inner, MonotonicMs());
    return 0;
  });
}

int MakeFolder(const char* path, mode_t mode) {
  Place place;
  const int located = LocateInShare(path, place);
  if (located != 0) return located;
  return OnShare(place.share, [place, mode](SMBCCTX* context) {
    place.share->Recent().Changed(place.inner);
    errno = 0;
    return smbc_getFunctionMkdir(context)(context, place.Url().c_str(), mode) == 0 ? 0 : SmbError();
  });
}

int RemoveFolder(const char* path) {
  Place place;
  const int located = LocateInShare(path, place);
  if (located != 0) return located;
  return OnShare(place.share, [place](SMBCCTX* context) {
    errno = 0;
    if (smbc_getFunctionRmdir(context)(context, place.Url().c_str()) != 0) {
      const int error = SmbError();
      place.share->Recent().Changed(place.inner);
      return error;
    }
    place.share->Recent().Removed(place.inner, MonotonicMs());
    return 0;
  });
}

int Rename(const char* from, const char* to, unsigned int flags) {
  Place source;
  Place target;
  int located = LocateInShare(from, source);
  if (located == 0) located = LocateInShare(to, target);
  if (located != 0) return located;
  if (source.share != target.share) return -EXDEV;  // SMB renames within a share only
  if ((flags & RENAME_EXCHANGE) != 0) return -EINVAL;
  const bool keepTarget = (flags & RENAME_NOREPLACE) != 0;
  return OnShare(source.share, [source, target, keepTarget](SMBCCTX* context) {
    CloseClosedFiles(context, source);
    CloseClosedFiles(context, target);  // a file renamed over is removed first
    // Samba's client library renames over an existing file by removing it first and
    // renaming then: not atomic, another station may find no file between the two.
    // The SMB protocol could replace in one step; the library offers no such call.
    const std::string to = target.Url();
    struct stat existing {};
    if (keepTarget && smbc_getFunctionStat(context)(context, to.c_str(), &existing) == 0)
      return EEXIST;
    errno = 0;
    if (smbc_getFunctionRename(context)(context, source.Url().c_str(), context, to.c_str()) != 0) {
      const int error = SmbError();
      source.share->Recent().Changed(source.inner);
      source.share->Recent().Changed(target.inner);
      return error;
    }
    source.share->Renamed(source.inner, target.inner);
    source.share->Recent().Renamed(source.inner, target.inner, MonotonicMs());
    return 0;
  });
}

timeval TimeValueOf(const timespec& time, const timespec& now, std::time_t current) {
  if (time.tv_nsec == UTIME_NOW) return {now.tv_sec, static_cast<suseconds_t>(now.tv_nsec / 1000)};
  if (time.tv_nsec == UTIME_OMIT) return {current, 0};
  return {time.tv_sec, static_cast<suseconds_t>(time.tv_nsec / 1000)};
}

int SetTimes(const char* path, const timespec times[2], fuse_file_info*) {
  Place place;
  const int located = LocateInShare(path, place);
  if (located != 0) return located;
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  const timespec access = times[0];
  const timespec modified = times[1];
  return OnShare(place.share, [place, url = place.Url(), access, modified, now](SMBCCTX* context) {
    place.share->Recent().Touched(place.inner);
    struct stat current {};
    if ((access.tv_nsec == UTIME_OMIT || modified.tv_nsec == UTIME_OMIT) &&
        smbc_getFunctionStat(context)(context, url.c_str(), &current) != 0)
      return SmbError();
    timeval values[2] = {TimeValueOf(access, now, current.st_atime),
                         TimeValueOf(modified, now, current.st_mtime)};
    errno = 0;
    return smbc_getFunctionUtimes(context)(context, url.c_str(), values) == 0 ? 0 : SmbError();
  });
}

// A share keeps no Unix modes or owners, as a mapped drive has none: a change is taken
// without effect, as a CIFS mount without Unix extensions takes it, so that copying
// tools do not fail.
int ChangeMode(const char*, mode_t, fuse_file_info*) {
  return 0;
}

int ChangeOwner(const char*, uid_t, gid_t, fuse_file_info*) {
  return 0;
}

int FileSystemStatus(const char* path, struct statvfs* status) {
  Place place;
  const int located = Locate(path, place);
  if (located != 0) return located;
  if (place.depth == 0) {
    *status = {};
    status->f_bsize = status->f_frsize = 4096;
    status->f_namemax = 255;
    return 0;
  }
  if (place.share->Recent().Status(MonotonicMs(), *status)) return 0;
  auto found = std::make_shared<struct statvfs>();
  const int error = OnShare(place.share, [place, found](SMBCCTX* context) {
    const std::int64_t taken = MonotonicMs();
    std::string url = SmbUrl(place.share->Server(), place.share->Name());
    errno = 0;
    if (smbc_getFunctionStatVFS(context)(context, url.data(), found.get()) != 0) return SmbError();
    // The library gives the server's sector size as f_bsize and its sectors per
    // allocation unit as f_frsize, as SMB reports them; POSIX counts the blocks in units
    // of f_frsize.
    found->f_bsize = found->f_frsize = found->f_bsize * std::max<unsigned long>(found->f_frsize, 1);
    if (found->f_namemax == 0) found->f_namemax = 255;
    place.share->Recent().KeepStatus(*found, taken);
    return 0;
  });
  if (error != 0) return error;
  *status = *found;
  return 0;
}

// A folder open for listing: its listing, taken whole when it is read from its start
// (or kept from a moment ago) and handed out from here page by page, each entry with
// its attributes.
using HeldListing = std::shared_ptr<const FolderListing>;

int OpenFolder(const char* path, fuse_file_info* info) {
  Place place;
  const int located = Locate(path, place);
  if (located != 0) return located;
  Hold(info, new HeldListing());
  return 0;
}

int ReleaseFolder(const char*, fuse_file_info* info) {
  delete HeldBy<HeldListing>(info);
  info->fh = 0;
  return 0;
}

int List(const Place& place, HeldListing& listing) {
  if (place.depth == 0) {
    struct stat folder {};
    FolderAttributes(&folder);
    FolderListing shares = {{".", folder}, {"..", folder}};
    for (const std::string& name : Shares().Names()) shares.push_back({name, folder});
    listing = std::make_shared<const FolderListing>(std::move(shares));
    return 0;
  }
  listing = place.share->Recent().Listing(place.inner, MonotonicMs());
  if (listing) return 0;
  auto entries = std::make_shared<FolderListing>();
  const int error = OnShare(place.share, [place, entries](SMBCCTX* context) {
    const std::int64_t taken = MonotonicMs();
    errno = 0;
    SMBCFILE* folder = smbc_getFunctionOpendir(context)(context, place.Url().c_str());
    if (folder == nullptr) return SmbError();
    for (;;) {
      FolderEntry entry{};
      const libsmb_file_info* found =
          smbc_getFunctionReaddirPlus2(context)(context, folder, &entry.info);
      if (found == nullptr) break;
      entry.name = found->name;
      entries->push_back(std::move(entry));
    }
    smbc_getFunctionClosedir(context)(context, folder);
    place.share->Recent().KeepListing(place.inner, *entries, taken);
    return 0;
  });
  if (error == 0) listing = entries;
  return error;
}

// Entries are handed out with their place in the listing as offset, so that the kernel
// takes their attributes too (libfuse passes attributes on only with offsets).
int ReadFolder(const char* path, void* buffer, fuse_fill_dir_t fill, off_t offset,
               fuse_file_info* info, fuse_readdir_flags) {
  HeldListing& listing = *HeldBy<HeldListing>(info);
  if (offset == 0 || !listing) {
    Place place;
    int error = Locate(path, place);
    if (error == 0) error = List(place, listing);
    if (error != 0) return error;
  }
  for (auto at = static_cast<std::size_t>(offset); at < listing->size(); ++at) {
    const FolderEntry& entry = (*listing)[at];
    // An entry changed since it was listed goes without attributes: the kernel asks.
    if (fill(buffer, entry.name.c_str(), &entry.info, static_cast<off_t>(at + 1),
             entry.stale ? fuse_fill_dir_flags{} : FUSE_FILL_DIR_PLUS) != 0)
      break;
  }
  return 0;
}

void* Start(fuse_conn_info* connection, fuse_config* config) {
  config->use_ino = 0;
  config->hard_remove = 1;  // the server decides what a removed open file becomes
  config->attr_timeout = 0.5;
  config->entry_timeout = 0.5;
  config->negative_timeout = 0;  // a file another station makes is seen at once
  connection->max_write = LargestTransfer;
  connection->max_readahead = LargestTransfer;
  // Every listing with attributes (they come with the entries), not only its first page:
  // otherwise each later entry costs a call to the server of its own.
  connection->want &= ~FUSE_CAP_READDIRPLUS_AUTO;
  return fuse_get_context()->private_data;
}

}  // namespace

fuse_operations SmbFsOperations() {
  fuse_operations operations{};
  operations.init = Start;
  operations.getattr = GetAttributes;
  operations.open = Open;
  operations.create = Create;
  operations.read = Read;
  operations.write = Write;
  operations.flush = Flush;
  operations.fsync = Sync;
  operations.release = Release;
  operations.truncate = Truncate;
  operations.unlink = Unlink;
  operations.mkdir = MakeFolder;
  operations.rmdir = RemoveFolder;
  operations.rename = Rename;
  operations.utimens = SetTimes;
  operations.chmod = ChangeMode;
  operations.chown = ChangeOwner;
  operations.statfs = FileSystemStatus;
  operations.opendir = OpenFolder;
  operations.readdir = ReadFolder;
  operations.releasedir = ReleaseFolder;
  return operations;
}

}  // namespace vt::posix

#include "platform/posix/smb/smb_file_system.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "platform/posix/system/child_process.h"
#include "platform/posix/system/link_target.h"
#include "platform/posix/system/monotonic_clock.h"
#include "platform/posix/system/mount_table.h"
#include "platform/posix/system/system_error.h"
#include "portable/secret_text.h"
#include "portable/utf8.h"

namespace vt::posix {

namespace {

const char* const MountFolderName = ".vodu-tavisto-shares";
// The whole stop, the file systems' ends and the unmounts, within this (a second is
// promised).
constexpr std::int64_t StopBudgetMs = 800;
constexpr std::int64_t UnmountBudgetMs = 500;

// The station's own client settings first (a station may allow SMB1 there, or let a
// server that cannot sign through), then names resolved as host names (DNS,
// /etc/hosts): a NetBIOS broadcast would only make an unknown name slow.
const char* const StationSettings = "/etc/samba/smb.conf";
std::string ClientSettings(bool signingRequired) {
  return std::string("[global]\n") +
         // Windows 11 requires every session signed; a guest's cannot be. Before the
         // station's settings, so that a station whose server cannot sign says so there.
         (signingRequired ? "client signing = required\n" : "client signing = default\n") +
         (::access(StationSettings, R_OK) == 0 ? std::string("include = ") + StationSettings + "\n"
                                               : std::string()) +
         "name resolve order = host\n"
         "disable netbios = yes\n";
}

// A server's or a share's name that can name a folder: not empty, no "/", not "." or "..".
bool IsPlainName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

SystemResult Failure(int error, const std::wstring& reason) {
  SystemResult result = ErrnoResult(error);
  result.reason = reason;
  result.kind = FailureKind::Other;
  return result;
}

}  // namespace

SmbFileSystem::SmbFileSystem(std::string prefix, EventLoop& loop, std::string program)
    : prefix_(std::move(prefix)), loop_(loop), program_(std::move(program)) {}

bool SmbFileSystem::IsLinkIntoMount(const std::string& target) {
  return target.find(std::string("/") + MountFolderName + "/") != std::string::npos;
}

std::string SmbFileSystem::Home(SystemResult& failure) {
  if (!home_.empty()) return home_;
  std::string path = runtime_.Path(failure);
  if (path.empty()) return path;
  int error = ::mkdir((path + "/.smb").c_str(), 0700) != 0 && errno != EEXIST ? errno : 0;
  if (error == 0) error = WritePrivateFile(path + "/" + ClientSettingsFile, ClientSettings(false));
  if (error == 0) error = WritePrivateFile(path + "/" + SignedSettingsFile, ClientSettings(true));
  if (error != 0) {
    failure = Failure(error, L"cannot write in " + DecodeUtf8(path) + L": " + ErrnoText(error));
    return std::string();
  }
  home_ = path;
  return home_;
}

SystemResult SmbFileSystem::MountFolder(std::string& folder) {
  if (mountFolder_.empty()) {
    // As the mount table names it: without links.
    char resolved[PATH_MAX];
    const std::string path =
        (::realpath(prefix_.c_str(), resolved) != nullptr ? resolved : prefix_) + std::string("/") +
        MountFolderName;
    for (const std::string& stale : MountPointsBelow(path))
      Unmount(stale, MonotonicMs() + UnmountBudgetMs);
    if (::mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) {
      const int error = errno;  // before the message's text is made
      return Failure(error, L"cannot make " + DecodeUtf8(path) + L": " + ErrnoText(error));
    }
    mountFolder_ = path;
  }
  folder = mountFolder_;
  return {};
}

SystemResult SmbFileSystem::Serve(SmbRequest& request, const std::string& uncEntry,
                                  std::int64_t deadline,
                                  const std::function<void(std::int64_t)>& serve) {
  if (!IsPlainName(request.server) || !IsPlainName(request.share)) {
    Wipe(request.password);
    return Failure(EINVAL, L"\\\\" + DecodeUtf8(request.server) + L"\\" +
                               DecodeUtf8(request.share) + L" names no share a folder can hold");
  }
  const std::string program = program_.empty() ? CompanionProgram(SmbFsProgram) : program_;
  SystemResult failure;
  std::string folder;
  if (program.empty()) {
    failure = Failure(ENOENT, L"the SMB file system " + DecodeUtf8(SmbFsProgram) +
                                  L" is not installed beside the program");
  } else if (const std::string home = Home(failure); !home.empty()) {
    failure = MountFolder(folder);
  }
  if (!failure.Succeeded() || folder.empty()) {
    Wipe(request.password);
    return failure;
  }
  // The server's folder in the mount folder, by its lower-case name: one for each server
  // however the station writes it.
  const std::string serverKey = ShareKey(request.server, std::string());
  const std::string serverFolder = serverKey.substr(0, serverKey.size() - 1);
  auto& server = servers_[serverFolder];
  if (!server) {
    server =
        std::make_unique<ServerFileSystem>(DecodeUtf8(request.server), folder + "/" + serverFolder,
                                           program, home_, loop_, [this](const std::wstring& line) {
                                             if (onFault_) onFault_(line);
                                           });
  }
  const std::string share = request.share;
  SystemResult served = server->Serve(request, deadline, serve);
  if (!served.Succeeded()) return served;

  // dosdevices/unc/server/share: a link into the mount, relative as Wine's own links.
  const std::size_t shareSlash = uncEntry.rfind('/');
  const std::string uncServer = uncEntry.substr(0, shareSlash);
  const std::string uncFolder = uncServer.substr(0, uncServer.rfind('/'));
  for (const std::string& made : {uncFolder, uncServer}) {
    if (::mkdir(made.c_str(), 0755) == 0) {
      if (made == uncServer) folders_.insert(made);
    } else if (const int error = errno; error != EEXIST) {
      return Failure(error, L"cannot make " + DecodeUtf8(made) + L": " + ErrnoText(error));
    }
  }
  const std::string target =
      "../../../" + std::string(MountFolderName) + "/" + serverFolder + "/" + share;
  ::unlink(uncEntry.c_str());  // only ever an earlier link of ours (the caller made sure)
  if (::symlink(target.c_str(), uncEntry.c_str()) != 0) {
    const int error = errno;
    return Failure(error, L"cannot link " + DecodeUtf8(uncEntry) + L": " + ErrnoText(error));
  }
  links_.insert(uncEntry);
  return {};
}

void SmbFileSystem::Drop(const std::string& server, const std::string& share) {
  const std::string serverKey = ShareKey(server, std::string());
  const auto found = servers_.find(serverKey.substr(0, serverKey.size() - 1));
  if (found == servers_.end() || found->second->Drop(ShareKey(server, share))) return;
  found->second->Stop(MonotonicMs() + StopBudgetMs);
  ::rmdir(found->second->MountPoint().c_str());
  servers_.erase(found);
}

void SmbFileSystem::Stop() {
  const std::int64_t deadline = MonotonicMs() + StopBudgetMs;
  for (auto& server : servers_) server.second->TellToEnd();  // they end side by side
  for (auto& server : servers_) {
    server.second->Stop(deadline);
    ::rmdir(server.second->MountPoint().c_str());
  }
  servers_.clear();
  for (const std::string& link : links_) {
    if (IsLinkIntoMount(LinkTarget(link))) ::unlink(link.c_str());
  }
  links_.clear();
  for (const std::string& folder : folders_) ::rmdir(folder.c_str());  // when empty
  folders_.clear();
  if (!mountFolder_.empty()) ::rmdir(mountFolder_.c_str());
  mountFolder_.clear();
  runtime_.Remove();
  home_.clear();
}

}  // namespace vt::posix

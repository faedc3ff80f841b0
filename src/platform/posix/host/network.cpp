#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/posix/host/posix_platform.h"
#include "platform/posix/smb/smb_connect.h"
#include "platform/posix/smb/smb_file_system.h"
#include "platform/posix/smb/smb_probe.h"
#include "platform/posix/station/paths.h"
#include "platform/posix/system/monotonic_clock.h"
#include "platform/posix/system/system_error.h"
#include "portable/case_fold.h"
#include "portable/codepage.h"
#include "portable/secret_text.h"
#include "portable/text_rules.h"
#include "portable/utf8.h"

namespace vt::posix {

// Where a share is and whether the drive still needs linking, as the call's thread
// found it.
struct ConnectPlan {
  bool overSmb = false;        // the share is to be connected over SMB
  bool linkDrive = true;       // the drive does not name the share yet
  std::string uncEntry;        // dosdevices/unc/server/share on this host
  std::int64_t timeoutMs = 0;  // the connect's whole deadline
};

namespace {

// "\\server\share" exactly: two components after the leading backslashes.
bool IsShareName(const std::wstring& name) {
  if (name.size() < 5 || name.compare(0, 2, L"\\\\") != 0) return false;
  const std::size_t separator = name.find(L'\\', 2);
  return separator != std::wstring::npos && separator > 2 && separator + 1 < name.size() &&
         name.find(L'\\', separator + 1) == std::wstring::npos;
}

bool IsFolder(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// What a drive link refers to, as the station names it: "\\server\share" for a link
// into dosdevices/unc, the host's folder otherwise.
std::wstring HolderOf(const std::string& link) {
  const std::string path = LinkTarget(link);
  if (path.empty()) return L"a folder of this host";
  const std::size_t unc = path.rfind("unc/");
  if (unc == std::string::npos || (unc > 0 && path[unc - 1] != '/')) return DecodeCp1252(path);
  std::wstring share = L"\\\\" + DecodeCp1252(path.substr(unc + 4));
  std::replace(share.begin(), share.end(), L'/', L'\\');
  return share;
}

// Linked relative to dosdevices, as Wine links its drives, so the prefix may move.
SystemResult LinkDrive(const std::string& prefix, const std::string& link,
                       const std::string& folder) {
  const std::string dosdevices = prefix + "/dosdevices/";
  const std::string target = folder.compare(0, dosdevices.size(), dosdevices) == 0
                                 ? folder.substr(dosdevices.size())
                                 : folder;
  if (::symlink(target.c_str(), link.c_str()) != 0) return ErrnoResult(errno);
  return {};
}

// A share whose folder is there (a mount of the system's, or a folder of the station)
// is linked to the drive; one that is not, or is a link of ours into the SMB mount, is
// left to the SMB connect. Run on a call's own thread: looking at the share's folder
// may wait for its server.
SystemResult Plan(const std::string& prefix, const std::wstring& drive, const std::wstring& share,
                  ConnectPlan& plan) {
  if (!IsDriveLetter(drive)) return ErrnoResult(EINVAL);
  const auto hostPathOf = [&prefix](const std::wstring& path) {
    return MapWindowsPath(prefix, path).value_or(std::string());
  };
  const std::string link = hostPathOf(drive + L":");
  struct stat info {};
  if (::lstat(link.c_str(), &info) == 0) {
    const std::wstring holder = HolderOf(link);
    if (!IsShareName(share) || UpperCaseText(holder) != UpperCaseText(share)) {
      SystemResult inUse = ErrnoResult(EEXIST);
      inUse.reason += L". " + drive + L": is connected to " + holder;
      return inUse;
    }
    plan.linkDrive = false;  // the drive names this share: the share itself is connected
  }
  if (!IsShareName(share)) return ErrnoResult(EINVAL);
  const std::string folder = hostPathOf(share);
  plan.uncEntry = folder;
  const bool ours = SmbFileSystem::IsLinkIntoMount(LinkTarget(folder));
  if (!ours && !folder.empty() && IsFolder(folder)) {
    if (!plan.linkDrive) {  // as before: a drive that names a folder is in use
      SystemResult inUse = ErrnoResult(EEXIST);
      inUse.reason += L". " + drive + L": is connected to " + HolderOf(link);
      return inUse;
    }
    return LinkDrive(prefix, link, folder);
  }
  if (folder.empty() || (!ours && ::lstat(folder.c_str(), &info) == 0))
    return ErrnoResult(ENOENT);  // something that is not a share's folder stands there
  plan.overSmb = true;
  return {};
}

// Holds a request for a call's thread; its password is wiped however the call ends,
// run or not.
struct HeldRequest {
  SmbRequest request;
  HeldRequest() = default;
  HeldRequest(const HeldRequest&) = delete;
  HeldRequest& operator=(const HeldRequest&) = delete;
  ~HeldRequest() { Wipe(request.password); }
};

}  // namespace

SystemResult PosixPlatform::ConnectShare(const std::wstring& drive, const std::wstring& share,
                                         const std::wstring& user, const std::wstring& password,
                                         std::int64_t deadlineMs) {
  const std::int64_t deadline = MonotonicMs() + deadlineMs;
  auto plan = std::make_shared<ConnectPlan>();
  const std::optional<ShareCalls::Answer> planned = RunShareCall(
      drive, deadlineMs, [prefix = prefix_, drive, share, plan]() -> ShareCalls::Answer {
        return {DriveRoot::Unreadable, Plan(prefix, drive, share, *plan)};
      });
  if (!planned) return {NoAnswerError(), L"", FailureKind::NoAnswer};
  if (!planned->result.Succeeded() || !plan->overSmb) return planned->result;
  plan->timeoutMs = deadlineMs;
  return ConnectOverSmb(drive, share, user, password, *plan, deadline);
}

SystemResult PosixPlatform::ConnectOverSmb(const std::wstring& drive, const std::wstring& share,
                                           const std::wstring& user, const std::wstring& password,
                                           const ConnectPlan& plan, std::int64_t deadline) {
  SystemResult failure;
  const std::string home = smb_.Home(failure);
  if (home.empty()) return failure;
  const std::size_t separator = share.find(L'\\', 2);
  const std::wstring server = share.substr(2, separator - 2);
  const std::wstring shareName = share.substr(separator + 1);
  // One request for the probe, one for the file system: each wipes its own password.
  const auto fill = [&](HeldRequest& held) {
    held.request.server = EncodeUtf8(server);
    held.request.share = EncodeUtf8(shareName);
    SetLogon(user, held.request);
    // Swapped in and the temporary wiped: a short password sits in the string itself,
    // and a move would leave a copy there.
    std::string encoded = EncodeUtf8(password);
    held.request.password.swap(encoded);
    Wipe(encoded);
    held.request.timeoutMs = static_cast<int>(plan.timeoutMs);
  };

  auto probe = std::make_shared<HeldRequest>();
  fill(*probe);
  auto problem = std::make_shared<std::wstring>();
  const std::optional<ShareCalls::Answer> verdict = RunShareCall(
      drive, deadline - MonotonicMs(), [probe, home, deadline, problem]() -> ShareCalls::Answer {
        SystemResult result;
        result.error =
            static_cast<std::uint32_t>(ProbeSmbShare(probe->request, home, deadline, *problem));
        return {DriveRoot::Unreadable, result};
      });
  if (!verdict) return {NoAnswerError(), L"", FailureKind::NoAnswer};
  if (!verdict->result.Succeeded()) {
    const int error = static_cast<int>(verdict->result.error);
    // A logon the server refuses now (or that the station refuses) is not kept for the
    // file system either.
    if (error == EACCES || error == EPERM || error == GuestSessionVerdict ||
        error == NtlmRefusedVerdict)
      smb_.Drop(probe->request.server, probe->request.share);
    SystemResult result = SmbFailure(error, server, shareName, user, plan.timeoutMs);
    if (!problem->empty()) result.reason = *problem;
    return result;
  }

  HeldRequest mount;
  fill(mount);
  SystemResult served = smb_.Serve(mount.request, plan.uncEntry, deadline,
                                   [this](std::int64_t maxMs) { ServeEvents(maxMs); });
  if (!served.Succeeded() || !plan.linkDrive) return served;
  return LinkDrive(prefix_, MapWindowsPath(prefix_, drive + L":").value_or(std::string()),
                   plan.uncEntry);
}

// A drive that is there and not a link into dosdevices/unc is a folder of this host.
bool PosixPlatform::IsLocalDisk(const std::wstring& drive) {
  if (!IsDriveLetter(drive)) return false;
  const std::string link = HostPathOf(drive + L":");
  struct stat info {};
  if (link.empty() || ::lstat(link.c_str(), &info) != 0) return false;
  return HolderOf(link).compare(0, 2, L"\\\\") != 0;
}

}  // namespace vt::posix

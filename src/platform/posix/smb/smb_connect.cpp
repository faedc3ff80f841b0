#include "platform/posix/smb/smb_connect.h"

#include <poll.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <vector>

#include "platform/posix/smb/smb_probe.h"
#include "platform/posix/system/child_process.h"
#include "platform/posix/system/monotonic_clock.h"
#include "platform/posix/system/system_error.h"
#include "portable/secret_text.h"
#include "portable/utf8.h"

namespace vt::posix {

namespace {

// The library's own timeout ends a silent server's wait this much before the deadline,
// so the verdict (ETIMEDOUT) still comes from the probe.
constexpr std::int64_t VerdictMarginMs = 250;
constexpr int ShortestTimeoutMs = 100;

// Looked up where the logon is set, on any thread: getpwuid_r, not getpwuid.
std::string HostUser() {
  long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(static_cast<std::size_t>(size > 0 ? size : 16384));
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
      found == nullptr || found->pw_name == nullptr)
    return std::string();
  return found->pw_name;
}

// The probe's answer: decimal errno, or nothing when it ended without one.
bool ReadAnswer(int output, std::int64_t deadline, std::string& answer) {
  for (;;) {
    const std::int64_t left = deadline - MonotonicMs();
    if (left <= 0) return false;
    pollfd watched{output, POLLIN, 0};
    const int ready = ::poll(&watched, 1, static_cast<int>(left));
    if (ready < 0 && errno == EINTR) continue;
    if (ready == 0) return false;  // the deadline
    if (ready < 0) return true;    // no answer will come: judged as none
    char buffer[32];
    const ssize_t got = ::read(output, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return true;
    answer.append(buffer, static_cast<std::size_t>(got));
  }
}

int ParseErrno(const std::string& answer) {
  if (answer.empty() || answer.size() > 6 || answer.back() != '\n') return -1;
  int error = 0;
  for (std::size_t i = 0; i + 1 < answer.size(); ++i) {
    if (answer[i] < '0' || answer[i] > '9') return -1;
    error = error * 10 + (answer[i] - '0');
  }
  return error;
}

}  // namespace

void SetLogon(const std::wstring& user, SmbRequest& request) {
  const std::size_t separator = user.find(L'\\');
  if (separator != std::wstring::npos) {
    request.domain = EncodeUtf8(user.substr(0, separator));
    request.user = EncodeUtf8(user.substr(separator + 1));
  } else {
    request.domain.clear();
    request.user = user.empty() ? HostUser() : EncodeUtf8(user);
  }
}

int ProbeSmbShare(SmbRequest& request, const std::string& home, std::int64_t deadline,
                  std::wstring& problem) {
  request.kind = SmbRequest::Kind::Probe;
  request.timeoutMs = static_cast<int>(
      std::max<std::int64_t>(deadline - MonotonicMs() - VerdictMarginMs, ShortestTimeoutMs));
  std::string bytes;
  EncodeSmbRequest(request, bytes);
  Wipe(request.password);
  if (bytes.size() > LongestSmbRequest) {
    Wipe(bytes);
    problem = L"the user or the password is longer than an SMB logon takes";
    return EPROTO;
  }
  const std::string program = CompanionProgram(SmbProbeProgram);
  if (program.empty()) {
    Wipe(bytes);
    problem =
        L"the SMB probe " + DecodeUtf8(SmbProbeProgram) + L" is not installed beside the program";
    return ENOENT;
  }
  // Killed with the thread that starts it: a probe never outlives its connect.
  ChildProcess probe;
  const char* call = nullptr;
  const int started = probe.Start({{program}, home, true, SIGKILL}, &call);
  if (started != 0) {
    Wipe(bytes);
    problem = L"the SMB probe " + DecodeUtf8(program) + L" cannot be run: " +
              FailedCallText(DecodeUtf8(call != nullptr ? call : "fork"),
                             static_cast<std::uint32_t>(started), ErrnoText(started));
    return EPROTO;
  }
  const bool handed = ::write(probe.Input().get(), bytes.data(), bytes.size()) ==
                      static_cast<ssize_t>(bytes.size());
  Wipe(bytes);
  probe.Input().Reset();
  std::string answer;
  const bool ended = handed && ReadAnswer(probe.Output().get(), deadline, answer);
  const int status = probe.End(SIGKILL, deadline);
  if (!ended) return handed ? ETIMEDOUT : EPROTO;
  const int error = ParseErrno(answer);
  if (error >= 0) return error;
  problem = L"the SMB probe " + HowItEnded(status) + L" without a verdict";
  return EPROTO;
}

SystemResult SmbFailure(int error, const std::wstring& server, const std::wstring& share,
                        const std::wstring& user, std::int64_t timeoutMs) {
  SystemResult result = ErrnoResult(error);
  const std::wstring logon = user.empty() ? L"this host's user" : user;
  switch (error) {
    case EACCES:
      result.kind = FailureKind::LogonRefused;
      result.reason = server + L" refused the logon of " + logon +
                      L" (a wrong user or password, or an account that is locked, disabled or "
                      L"expired)";
      break;
    case EPERM:
      result.reason = server + L" accepted the logon of " + logon +
                      L" but refused it access to the share " + share;
      break;
    case ENOENT:
    case ENOTDIR:
      result.reason = server + L" has no share named " + share;
      break;
    case ENXIO:
      result.reason = L"no server named " + server + L" is known (the name does not resolve)";
      break;
    case ECONNREFUSED:
      result.reason = server + L" refused the connection (no SMB server listens there)";
      break;
    case EPROTONOSUPPORT:
      result.reason = server + L" speaks only SMB1, which this host's SMB client does not allow";
      break;
    // A logon that cannot be made as the station makes it: nothing a retry could change.
    case GuestSessionVerdict:
      result = ErrnoResult(EACCES);
      result.kind = FailureKind::LogonRefused;
      result.reason =
          server + L" offered only guest access, which this station refuses (as Windows does)";
      break;
    case NtlmRefusedVerdict:
      result = ErrnoResult(EACCES);
      result.kind = FailureKind::LogonRefused;
      result.reason = server + L" refused an NTLM logon (it takes Kerberos only)";
      break;
    case ETIMEDOUT:
      // As the program words a call that gives no answer in time.
      result.reason = L"no answer from \\\\" + server + L"\\" + share + L" within " +
                      std::to_wstring((timeoutMs + 999) / 1000) + L" s";
      break;
    case ENETUNREACH:
    case EHOSTUNREACH:
    case ENETDOWN:
    case EHOSTDOWN:
      result.reason = L"no route to " + server + L": " + ErrnoText(error);
      break;
    default:
      result.reason = L"SMB connection to " + server + L" failed: " + ErrnoText(error);
      break;
  }
  return result;
}

}  // namespace vt::posix

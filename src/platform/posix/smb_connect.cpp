#include "platform/posix/smb_connect.h"

#include <poll.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include "platform/posix/helper_process.h"
#include "platform/posix/monotonic_clock.h"
#include "platform/posix/system_error.h"
#include "portable/secret_text.h"
#include "portable/utf8.h"

namespace vt::posix {

namespace {

// What a pipe takes at once without a reader; a longer request is no password of a
// station's anyway.
constexpr std::size_t LongestRequest = 4096;

std::string HostUser() {
  const passwd* entry = ::getpwuid(::getuid());
  return entry != nullptr && entry->pw_name != nullptr ? entry->pw_name : "";
}

// The helper's answer: decimal errno, or nothing when it ended without one.
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

std::string ProbeProgram() {
  const std::string own = OwnExecutable();
  const std::string folder = own.substr(0, own.rfind('/'));
  for (const std::string& candidate :
       {folder + "/" + SmbProbeProgram, folder + "/../libexec/vodu-tavisto/" + SmbProbeProgram}) {
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return std::string();
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

int ProbeSmbShare(SmbRequest& request, const std::string& home, std::int64_t deadlineMs,
                  std::wstring& problem) {
  const std::int64_t deadline = MonotonicMs() + deadlineMs;
  // The library's own timeout ends a silent server's wait a little before the deadline,
  // so the verdict (ETIMEDOUT) still comes from the helper.
  request.timeoutMs = static_cast<int>(std::max<std::int64_t>(deadlineMs - 250, 100));
  std::string bytes = EncodeSmbRequest(request);
  Wipe(request.password);
  if (bytes.size() > LongestRequest) {
    Wipe(bytes);
    problem = L"the user or the password is longer than an SMB logon takes";
    return EPROTO;
  }
  const std::string program = ProbeProgram();
  if (program.empty()) {
    Wipe(bytes);
    problem =
        L"the SMB probe " + DecodeUtf8(SmbProbeProgram) + L" is not installed beside the program";
    return ENOENT;
  }
  // Killed with the thread that starts it: a probe never outlives its connect.
  const HelperProcess helper = StartHelper({program}, home, true, SIGKILL);
  const bool handed =
      ::write(helper.input, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  Wipe(bytes);
  ::close(helper.input);
  std::string answer;
  const bool ended = handed && ReadAnswer(helper.output, deadline, answer);
  ::close(helper.output);
  if (!ended) ::kill(helper.pid, SIGKILL);
  int status = 0;
  while (::waitpid(helper.pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (!ended) return handed ? ETIMEDOUT : EPROTO;
  const int error = ParseErrno(answer);
  if (error >= 0) return error;
  problem = L"the SMB probe " + HowItEnded(status) + L" without a verdict";
  return EPROTO;
}

SystemResult SmbFailure(int error, const std::wstring& server, const std::wstring& share,
                        const std::wstring& user, std::int64_t deadlineMs) {
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
    case ETIMEDOUT:
      // As the program words a call that gives no answer in time.
      result.reason = L"no answer from \\\\" + server + L"\\" + share + L" within " +
                      std::to_wstring((deadlineMs + 999) / 1000) + L" s";
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

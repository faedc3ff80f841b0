#include "platform/posix/smb/smb_probe.h"

#include <netdb.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/smb/smb_client.h"
#include "platform/posix/smb/smb_request.h"
#include "portable/secret_text.h"

namespace vt::posix {

namespace {

void AnswerLogon(SMBCCTX* context, const char*, const char*, char* domain, int domainSize,
                 char* user, int userSize, char* password, int passwordSize) {
  const auto* logon = static_cast<const SmbRequest*>(smbc_getOptionUserData(context));
  CopyLogonField(logon->domain, domain, domainSize);
  CopyLogonField(logon->user, user, userSize);
  CopyLogonField(logon->password, password, passwordSize);
}

// Lists smb://server/name with a fresh context; errno of the failure, 0 when it listed.
int List(const SmbRequest& request, const std::string& name, bool smb1Only = false) {
  SMBCCTX* context =
      NewSmbContext(request.timeoutMs, const_cast<SmbRequest*>(&request), AnswerLogon);
  if (context == nullptr) return SmbError();
  // The library takes the protocols for the whole process: only the probe's last try.
  if (smb1Only) smbc_setOptionProtocols(context, "NT1", "NT1");
  errno = 0;
  SMBCFILE* folder =
      smbc_getFunctionOpendir(context)(context, SmbUrl(request.server, name).c_str());
  const int error = folder != nullptr ? 0 : SmbError();
  if (folder != nullptr) smbc_getFunctionClosedir(context)(context, folder);
  FreeSmbContext(context);
  return error;
}

// A connection the server aborts at once may be a server that speaks only SMB1: it
// answers when SMB1 alone is asked for (this host's settings allow it or not).
bool SpeaksOnlySmb1(const SmbRequest& request) {
  const int error = List(request, request.share, true);
  return error == 0 || error == EACCES || error == EPERM || error == ENOENT;
}

int Probe(const SmbRequest& request) {
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int lookup = ::getaddrinfo(request.server.c_str(), nullptr, &hints, &found);
  // No such name, or no name server that answers (EAI_AGAIN, also where there is no
  // network at all): either way the name does not resolve, and the library would only
  // say EINVAL.
  if (lookup == EAI_NONAME || lookup == EAI_NODATA || lookup == EAI_AGAIN) return ENXIO;
  if (found != nullptr) ::freeaddrinfo(found);
  const int error = List(request, request.share);
  if (error == ECONNABORTED && SpeaksOnlySmb1(request)) return EPROTONOSUPPORT;
  if (error != EACCES) return error;
  // The logon is refused at the session, before any share: a session that the server's
  // own IPC$ refuses too is a refused logon, otherwise only this share is closed to it.
  return List(request, "IPC$") == EACCES ? EACCES : EPERM;
}

}  // namespace

int RunSmbProbe() {
  // Holds a password: no core dump, no debugger of the same user.
  ::prctl(PR_SET_DUMPABLE, 0);
  // Read straight into one buffer that is wiped, never through copies that are not.
  std::string bytes(LongestSmbRequest, '\0');
  std::size_t length = 0;
  while (length < bytes.size()) {
    const ssize_t got = ::read(STDIN_FILENO, &bytes[length], bytes.size() - length);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    length += static_cast<std::size_t>(got);
  }
  bytes.resize(length);
  SmbRequest request;
  const bool decoded = DecodeSmbRequest(bytes, request) == static_cast<std::ptrdiff_t>(length) &&
                       request.kind == SmbRequest::Kind::Probe;
  Wipe(bytes);
  const int error = decoded ? Probe(request) : -1;
  Wipe(request.password);
  if (!decoded) return 2;
  const std::string answer = std::to_string(error) + "\n";
  return ::write(STDOUT_FILENO, answer.data(), answer.size()) == static_cast<ssize_t>(answer.size())
             ? 0
             : 1;
}

}  // namespace vt::posix

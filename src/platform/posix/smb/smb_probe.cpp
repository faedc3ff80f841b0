#include "platform/posix/smb/smb_probe.h"

#include <netdb.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/posix/smb/answer_channel.h"
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

// Which of the helpers' client settings a try reads: the library's own, or the same
// requiring the session to be signed.
enum class Signing { Required, AsTheServerOffers };

// The library reads its own file with the first context; only a signed try reads the
// other (no unsigned try comes after one).
std::string SettingsFile(Signing signing) {
  const char* home = std::getenv("HOME");
  return signing == Signing::Required
             ? std::string(home != nullptr ? home : ".") + "/" + SignedSettingsFile
             : std::string();
}

// Lists smb://server/name with a fresh context; errno of the failure, 0 when it listed.
// With `refusedNtlm`, the library's log is read for a logon refused as NTLM.
int List(const SmbRequest& request, const std::string& name, Signing signing, bool smb1Only = false,
         bool* refusedNtlm = nullptr) {
  SMBCCTX* context = NewSmbContext(request.timeoutMs, const_cast<SmbRequest*>(&request),
                                   AnswerLogon, SettingsFile(signing));
  if (context == nullptr) return SmbError();
  // The library takes the protocols for the whole process: only the probe's last try.
  if (smb1Only) smbc_setOptionProtocols(context, "NT1", "NT1");
  if (refusedNtlm != nullptr) {
    // The level at which the library logs why a logon failed; its log is the process's.
    smbc_setDebug(context, 3);
    smbc_setLogCallback(context, refusedNtlm, [](void* found, int, const char* message) {
      if (std::strstr(message, "NTLM was blocked") != nullptr) *static_cast<bool*>(found) = true;
    });
  }
  errno = 0;
  SMBCFILE* folder =
      smbc_getFunctionOpendir(context)(context, SmbUrl(request.server, name).c_str());
  const int error = folder != nullptr ? 0 : SmbError();
  if (folder != nullptr) smbc_getFunctionClosedir(context)(context, folder);
  if (refusedNtlm != nullptr) {
    smbc_setLogCallback(context, nullptr, nullptr);
    smbc_setDebug(context, 0);
  }
  FreeSmbContext(context);
  return error;
}

// A connection the server aborts at once may be a server that speaks only SMB1: it
// answers when SMB1 alone is asked for (this host's settings allow it or not).
bool SpeaksOnlySmb1(const SmbRequest& request) {
  const int error = List(request, request.share, Signing::AsTheServerOffers, true);
  return error == 0 || error == EACCES || error == EPERM || error == ENOENT;
}

// The library answers a logon the server refused as NTLM (NT_STATUS_NTLM_BLOCKED) with
// EINVAL, as it answers every status it has no errno for; only its log says which. So a
// logon that failed with EINVAL is tried once more with the log read: NTLM refused is
// refused before any password is looked at, so that try cannot count against the
// account.
bool RefusesNtlm(const SmbRequest& request) {
  bool refused = false;
  List(request, request.share, Signing::AsTheServerOffers, false, &refused);
  return refused;
}

// First as a client that signs where the server asks for it, so that a wrong password
// costs one refused logon (and one more on IPC$, to tell a refused logon from a share
// closed to it), as before; then, where the server let the logon on, with signing
// required: a guest session cannot be signed, which is how Windows refuses guests.
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
  const int error = List(request, request.share, Signing::AsTheServerOffers);
  if (error == ECONNABORTED && SpeaksOnlySmb1(request)) return EPROTONOSUPPORT;
  if (error == EINVAL && RefusesNtlm(request)) return NtlmRefusedVerdict;
  if (error == 0) {
    const int signed_ = List(request, request.share, Signing::Required);
    return signed_ == EACCES ? GuestSessionVerdict : signed_;
  }
  if (error != EACCES) return error;
  // The logon is refused at the session, before any share: a session that the server's
  // own IPC$ refuses too is a refused logon, otherwise only this share is closed to it
  // (unless the session the server gave was a guest's).
  if (List(request, "IPC$", Signing::AsTheServerOffers) == EACCES) return EACCES;
  return List(request, "IPC$", Signing::Required) == EACCES ? GuestSessionVerdict : EPERM;
}

}  // namespace

int RunSmbProbe() {
  const int answers = TakeAnswerChannel();
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
  return Answer(answers, std::to_string(error)) ? 0 : 1;
}

}  // namespace vt::posix

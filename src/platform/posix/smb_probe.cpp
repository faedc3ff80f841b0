#include "platform/posix/smb_probe.h"

#include <libsmbclient.h>
#include <netdb.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/posix/smb_request.h"
#include "portable/secret_text.h"

namespace vt::posix {

namespace {

// The library asks for the logon through a plain function: the one request of this
// process is where it finds it.
const SmbRequest* logon = nullptr;

void Copy(const std::string& from, char* to, int size) {
  if (size <= 0) return;
  std::snprintf(to, static_cast<std::size_t>(size), "%s", from.c_str());
}

void AnswerLogon(SMBCCTX*, const char*, const char*, char* domain, int domainSize, char* user,
                 int userSize, char* password, int passwordSize) {
  Copy(logon->domain, domain, domainSize);
  Copy(logon->user, user, userSize);
  Copy(logon->password, password, passwordSize);
}

// Lists smb://server/name with a fresh context; errno of the failure, 0 when it listed.
int List(const SmbRequest& request, const std::string& name) {
  SMBCCTX* context = smbc_new_context();
  if (context == nullptr) return ENOMEM;
  smbc_setFunctionAuthDataWithContext(context, AnswerLogon);
  // Without it a refused logon is tried again as a guest, which hides a wrong password.
  smbc_setOptionNoAutoAnonymousLogin(context, 1);
  smbc_setTimeout(context, request.timeoutMs);
  if (smbc_init_context(context) == nullptr) {
    const int error = errno != 0 ? errno : EIO;
    smbc_free_context(context, 1);
    return error;
  }
  const std::string url = "smb://" + request.server + "/" + name;
  SMBCFILE* folder = smbc_getFunctionOpendir(context)(context, url.c_str());
  const int error = folder != nullptr ? 0 : (errno != 0 ? errno : EIO);
  if (folder != nullptr) smbc_getFunctionClosedir(context)(context, folder);
  smbc_free_context(context, 1);
  return error;
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
  if (error != EACCES) return error;
  // The logon is refused at the session, before any share: a session that the server's
  // own IPC$ refuses too is a refused logon, otherwise only this share is closed to it.
  return List(request, "IPC$") == EACCES ? EACCES : EPERM;
}

}  // namespace

int RunSmbProbe() {
  // Read straight into one buffer that is wiped, never through copies that are not.
  std::string bytes(4096, '\0');
  std::size_t length = 0;
  while (length < bytes.size()) {
    const ssize_t got = ::read(STDIN_FILENO, &bytes[length], bytes.size() - length);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    length += static_cast<std::size_t>(got);
  }
  bytes.resize(length);
  SmbRequest request;
  const bool decoded = DecodeSmbRequest(bytes, request);
  Wipe(bytes);
  if (!decoded) return 2;
  logon = &request;
  const int error = Probe(request);
  Wipe(request.password);
  const std::string answer = std::to_string(error) + "\n";
  return ::write(STDOUT_FILENO, answer.data(), answer.size()) == static_cast<ssize_t>(answer.size())
             ? 0
             : 1;
}

}  // namespace vt::posix

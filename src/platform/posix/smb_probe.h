// The connect's verdict on the native host: whether a share takes a logon, asked by a
// short-lived helper process (this program started again with SmbProbeOption) through
// Samba's client library, so that a server that never answers holds up nothing the
// helper's deadline cannot kill, and no library state is shared between threads.
#pragma once

#include <cstdint>
#include <string>

namespace vt::posix {

// The hidden option that makes the program the helper.
inline const char* const SmbProbeOption = "--smb-probe";

// A share as SMB names it, and the logon to try on it; texts in UTF-8.
struct SmbRequest {
  std::string server;
  std::string share;
  std::string domain;  // empty: the server's own
  std::string user;
  std::string password;  // empty: no password
  int timeoutMs = 0;
};

// The request as the helper reads it on standard input: fields ended by NUL, so that no
// text of a field can end it early.
std::string EncodeSmbRequest(const SmbRequest& request);
bool DecodeSmbRequest(const std::string& bytes, SmbRequest& request);

// The helper's whole work: reads a request on descriptor 0, answers its errno (0: the
// share lists with that logon) on descriptor 1 as decimal text. EACCES is answered as
// EACCES only when the server refused the logon itself; access refused to the share
// alone (the logon accepted) is EPERM. A server name that does not resolve (no such name, or no
// name server answers) is ENXIO.
int RunSmbProbe();

}  // namespace vt::posix

// A request to the SMB probe (see smb_probe.h): the share, and the logon to try on it.
#pragma once

#include <string>

namespace vt::posix {

// The probe's program, beside the program's own in a build and in
// ../libexec/vodu-tavisto/ of an installation.
inline const char* const SmbProbeProgram = "vodu-tavisto-smb-probe";

// A share as SMB names it, and the logon to try on it; texts in UTF-8.
struct SmbRequest {
  std::string server;
  std::string share;
  std::string domain;  // empty: the server's own
  std::string user;
  std::string password;  // empty: no password
  int timeoutMs = 0;
};

// The request as the probe reads it on standard input: fields ended by NUL, so that no
// text of a field can end it early.
std::string EncodeSmbRequest(const SmbRequest& request);
bool DecodeSmbRequest(const std::string& bytes, SmbRequest& request);

}  // namespace vt::posix

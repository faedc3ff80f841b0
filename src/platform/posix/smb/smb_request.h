// What the program hands its SMB helpers through a pipe, never a command line or a
// file: the share and the logon to use on it. The probe (smb_probe.h) reads one
// request; the file system (smbfs.h) reads one after another for as long as it runs.
#pragma once

#include <cstddef>
#include <string>

namespace vt::posix {

// The helpers, beside the program's own executable in a build and in
// ../libexec/vodu-tavisto/ of an installation.
inline const char* const SmbProbeProgram = "vodu-tavisto-smb-probe";
inline const char* const SmbFsProgram = "vodu-tavisto-smbfs";

// The helpers' client settings, in their HOME (the program's runtime folder): the
// library's own file (.smb/smb.conf, which the probe's first try uses), and the same
// settings requiring every session to be signed, as the file system's sessions are (a
// guest's session cannot be): the probe's second try tells a guest session so. Both
// take the station's own settings in.
inline const char* const ClientSettingsFile = ".smb/smb.conf";
inline const char* const SignedSettingsFile = ".smb/signed.conf";

// The longest request the program hands a helper: far more than any station's logon.
constexpr std::size_t LongestSmbRequest = 4096;

// A share as SMB names it, and the logon to use on it; texts in UTF-8.
struct SmbRequest {
  enum class Kind { Probe, Serve, Drop };
  Kind kind = Kind::Probe;
  std::string server;
  std::string share;
  std::string domain;  // empty: the server's own
  std::string user;
  std::string password;  // empty: no password
  int timeoutMs = 0;     // for each call to the server
};

// "server/share" in lower case: the program and the file system find a share by it,
// its names matched in any letter case as Windows matches them.
std::string ShareKey(const std::string& server, const std::string& share);

// A request is its fields, each ended by NUL, so that no text of a field can end it
// early. The bytes are made in one allocation of their final size, so no copy of the
// password is left behind in memory given back: the caller wipes `bytes`.
void EncodeSmbRequest(const SmbRequest& request, std::string& bytes);

// Reads one request from the start of `bytes` into `request` (its fields assigned in
// place): the number of bytes it took, 0 when `bytes` holds only part of one, -1 when
// they are no request.
std::ptrdiff_t DecodeSmbRequest(const std::string& bytes, SmbRequest& request);

}  // namespace vt::posix

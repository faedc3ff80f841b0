// The connect's verdict on the native host: whether a share takes a logon, asked of
// Samba's client library by a short-lived program of its own (vodu-tavisto-smb-probe),
// so that a server that never answers holds up nothing its deadline cannot kill, and
// the program itself links no SMB code.
#pragma once

#include <cerrno>

namespace vt::posix {

// Verdicts that are no error of the library's, in the errno numbers the library never
// answers: the server gave only a guest session (a wrong password it maps to the
// guest, or a share open to guests only), which the station refuses as Windows refuses
// it; the server refused an NTLM logon, the only kind the station makes (it takes
// Kerberos only).
constexpr int GuestSessionVerdict = EKEYREJECTED;
constexpr int NtlmRefusedVerdict = ENOKEY;

// The probe's whole work: reads a request (smb_request.h) on descriptor 0, answers its
// errno (0: the share lists with that logon, in a signed session) on its answer channel
// as decimal text. EACCES is answered only when the server refused the logon itself;
// access refused to the share alone (the logon accepted) is EPERM. A server name that
// does not resolve (no such name, or no name server answers) is ENXIO; a server that
// speaks only SMB1, which this host's client settings do not allow, is EPROTONOSUPPORT;
// and the two verdicts above.
int RunSmbProbe();

}  // namespace vt::posix

// The connect's verdict on the native host: whether a share takes a logon, asked of
// Samba's client library by a short-lived program of its own (vodu-tavisto-smb-probe),
// so that a server that never answers holds up nothing its deadline cannot kill, no
// library state is shared between threads, and the program itself links no SMB code.
#pragma once

namespace vt::posix {

// The probe's whole work: reads a request (smb_request.h) on descriptor 0, answers its
// errno (0: the share lists with that logon) on descriptor 1 as decimal text. EACCES is
// answered only when the server refused the logon itself; access refused to the share
// alone (the logon accepted) is EPERM. A server name that does not resolve (no such
// name, or no name server answers) is ENXIO; a server that speaks only SMB1, which this
// host's client settings do not allow, is EPROTONOSUPPORT.
int RunSmbProbe();

}  // namespace vt::posix

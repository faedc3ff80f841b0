// The SMB file system of the native host, a program of its own (vodu-tavisto-smbfs)
// that the program starts, one per server: it mounts MOUNT (libfuse3, several threads)
// and serves under it, as MOUNT/share, every share of that server it is handed, through
// Samba's client library, whose every call the process makes on one thread of its own
// (smb_worker.h). The program hands it each share with its logon as a request
// (smb_request.h) on its standard input, and it answers each on its answer channel
// (answer_channel.h: what the program started as its standard output): first one line
// for the mount ("0", or the errno that kept it from mounting), then "0" for each
// request it took. The logons live in its memory only. It unmounts and ends when its
// standard input ends (the program went away) or on SIGTERM, SIGINT or SIGHUP.
#pragma once

namespace vt::posix {

// The program's whole work: `vodu-tavisto-smbfs MOUNT`. Its exit status.
int RunSmbFileSystem(int argc, char** argv);

}  // namespace vt::posix

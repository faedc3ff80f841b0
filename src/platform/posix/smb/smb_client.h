// Samba's client library as the SMB probe and the SMB file system use it: a context for
// one logon, URLs that name any file exactly, and the errno of a failed call. Only these
// two helper programs link the library, and each calls it from one thread only (the
// library keeps state for the whole process); the program itself links no SMB code.
#pragma once

#include <libsmbclient.h>

#include <string>

namespace vt::posix {

// A context whose every call to a server is bounded by `timeoutMs` (the library's own
// timeout), whose logon comes from `logon` (called with `userData` as the context's
// user data), and which never falls back to a guest logon: that would hide a wrong
// password. With `settings`, the library's settings are read from that file first,
// unless it was the last read (they are the process's: the last read hold for every
// context); otherwise they are $HOME/.smb/smb.conf. Null when the library cannot make
// one (errno set).
SMBCCTX* NewSmbContext(int timeoutMs, void* userData, smbc_get_auth_data_with_context_fn logon,
                       const std::string& settings = std::string());
void FreeSmbContext(SMBCCTX* context);

// smb://server/share/path, every byte but letters, digits and "-._~/" written as %XX:
// the library reads "?", "@", ";", ":" and "%" in a URL as syntax, and takes the
// escaped bytes back (UTF-8 names included) as they were.
std::string SmbUrl(const std::string& server, const std::string& share,
                   const std::string& path = std::string());

// A logon field copied into the library's buffer of `size` bytes.
void CopyLogonField(const std::string& from, char* to, int size);

// The errno of a call that failed; EIO where the library set none.
int SmbError();

}  // namespace vt::posix

// Samba's client library as the SMB probe and the SMB file system use it: a context for
// one logon, URLs that name any file exactly, and the errno of a failed call. Only these
// two helper programs link the library; the program itself links no SMB code.
#pragma once

#include <libsmbclient.h>

#include <mutex>
#include <string>

namespace vt::posix {

// A context whose every call to a server is bounded by `timeoutMs` (the library's own
// timeout), whose logon comes from `logon` (called with `userData` as the context's
// user data), and which never falls back to a guest logon: that would hide a wrong
// password. Contexts are made one at a time: the library's set-up is not safe from
// several threads at once. Null when the library cannot make one (errno set).
SMBCCTX* NewSmbContext(int timeoutMs, void* userData, smbc_get_auth_data_with_context_fn logon);
void FreeSmbContext(SMBCCTX* context);

// Makes the library safe on several threads, each with contexts of its own: Samba's
// thread hooks with POSIX threads, as the library's smbc_thread_posix() would install
// them (Debian's build does not export that function; the hooks' own is looked up in
// the library's util library). False where they cannot be had: then no two calls of the
// library may ever run at once: LibraryTurn() is held around each.
bool EnableLibraryThreads();
std::unique_lock<std::mutex> LibraryTurn();

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

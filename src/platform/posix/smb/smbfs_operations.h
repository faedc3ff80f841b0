// The operations of the SMB file system, one function each, as libfuse's high-level
// interface calls them: MOUNT/share/path is smb://server/share/path for every share of
// the server served. Each call to the server runs on the process's one worker, in its
// turn. Each returns -errno: the server's own answer where it gave one
// (ENOENT, EACCES, EEXIST, ENOSPC, ENOTEMPTY, ...), ETIMEDOUT where it gave none within
// the share's timeout, never a blanket EIO where the server said more.
#pragma once

#define FUSE_USE_VERSION 35
#include <fuse.h>

#include "platform/posix/smb/served_shares.h"

namespace vt::posix {

// The operations; their private data (fuse_new's last argument) is the ServedShares.
fuse_operations SmbFsOperations();

}  // namespace vt::posix

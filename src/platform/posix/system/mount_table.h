// The system's mount table as the native host needs it for the mounts it makes: read
// from /proc, so a file system whose process has died is never touched.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vt::posix {

// Whether `folder` (an absolute path without links) is a mount point.
bool IsMounted(const std::string& folder);
// The mount points below `folder` (an absolute path without links), deepest first.
std::vector<std::string> MountPointsBelow(const std::string& folder);

// Unmounts `folder` lazily when it is a mount point: itself where it may (root), or
// through FUSE's own fusermount3 for a mount of this user's, which is ended when the
// monotonic clock reaches `deadline` (ms).
void Unmount(const std::string& folder, std::int64_t deadline);

}  // namespace vt::posix

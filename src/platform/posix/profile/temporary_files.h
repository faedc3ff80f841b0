// The temporary files the atomic writer makes beside a file, and the sweep of those a
// killed process left behind.
#pragma once

#include <string>

namespace vt::posix {

// The mkstemp pattern of a temporary for `path`: ".NAME.XXXXXX" in the same folder. It
// is hidden, and never ends in the file's own extension, so a reader that takes every
// "*.prom" or "*.ini" of the folder never takes one.
std::string TemporaryPattern(const std::string& path);

// Removes the temporaries of `path` that are older than a minute: a writer that is
// alive keeps one for milliseconds, so an older one was left by a process that was
// killed. A folder that cannot be listed is left as it is.
void RemoveLeftoverTemporaries(const std::string& path);

}  // namespace vt::posix

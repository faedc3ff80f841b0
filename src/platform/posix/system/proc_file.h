// A file of /proc read whole, through a descriptor that no child inherits: children are
// started from other threads at any time.
#pragma once

#include <string>

namespace vt::posix {

// Its text; empty when it cannot be read.
std::string ReadProcFile(const std::string& path);

}  // namespace vt::posix

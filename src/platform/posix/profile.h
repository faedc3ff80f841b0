// The profile service on host files: reads open and scan the file anew on every call;
// a write replaces the file atomically, so a reader sees the old file or the new one,
// never a half-written one.
#pragma once

#include <optional>
#include <string>

#include "platform/platform.h"

namespace vt::posix {

// The file's bytes; nothing when it is missing or cannot be read.
std::optional<std::string> ReadWholeFile(const std::string& path);

// Writes `content` to a temporary file in the same folder and renames it over `path`.
// On any failure the old file stays as it was and the result says why.
SystemResult ReplaceFileAtomically(const std::string& path, const std::string& content);

std::optional<std::string> ReadProfileFileValue(const std::string& path, const std::string& section,
                                                const std::string& key);

// Creates the file when its folder exists. A failure says why nothing was written.
SystemResult WriteProfileFileValue(const std::string& path, const std::string& section,
                                   const std::string& key, const std::string& value);

}  // namespace vt::posix

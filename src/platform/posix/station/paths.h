// Windows paths on a POSIX host, laid out as Wine lays them out: drive X: is the folder
// PREFIX/dosdevices/x:, and \\server\share\rest is PREFIX/dosdevices/unc/server/share/rest.
#pragma once

#include <optional>
#include <string>

#include "platform/posix/system/link_target.h"

namespace vt::posix {

// The host path of a Windows path; each component is matched without regard to letter
// case when the exact name does not exist, as Windows would. Nothing for a path that
// is neither a drive path nor a UNC path.
std::optional<std::string> MapWindowsPath(const std::string& prefix, const std::wstring& path);

// A path of this host whose components may be separated by "\" as well as "/", each
// matched without regard to letter case as above: the files of a station checked away
// from it ("stations/a\Parameter\Program.ini").
std::string MapHostPath(const std::wstring& path);

// The Wine prefix: $WINEPREFIX, or ~/.wine.
std::string DefaultWinePrefix();

// The folder that holds a host path ("." when the path names none) and its last
// component.
std::string FolderOf(const std::string& path);
std::string BaseNameOf(const std::string& path);

}  // namespace vt::posix

#include "platform/posix/station/paths.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <vector>

#include "portable/case_fold.h"
#include "portable/codepage.h"

namespace vt::posix {

namespace {

bool Exists(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

// Names on the host are 8-bit; they match as the program matches names everywhere.
bool SameIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && UpperCaseText(DecodeCp1252(a)) == UpperCaseText(DecodeCp1252(b));
}

// `folder/name`, with the name as the folder spells it when only letter case differs.
std::string Child(const std::string& folder, const std::string& name) {
  std::string exact = folder + "/" + name;
  if (Exists(exact)) return exact;
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return exact;
  std::string found = exact;
  while (const dirent* entry = ::readdir(dir)) {
    if (SameIgnoringCase(entry->d_name, name)) {
      found = folder + "/" + entry->d_name;
      break;
    }
  }
  ::closedir(dir);
  return found;
}

// The components of a path after its drive, with "." and ".." resolved as Windows
// resolves them, by the text alone. The first `rootParts` components are the root (a
// share's server and name); nothing when a ".." would climb above it.
std::optional<std::vector<std::string>> Components(const std::string& path, std::size_t rootParts) {
  std::vector<std::string> parts;
  std::string part;
  auto take = [&parts, rootParts](const std::string& name) {
    if (name.empty() || name == ".") return true;
    if (name != "..") {
      parts.push_back(name);
      return true;
    }
    if (parts.size() <= rootParts) return false;
    parts.pop_back();
    return true;
  };
  for (char c : path) {
    if (c != '\\' && c != '/') {
      part.push_back(c);
      continue;
    }
    if (!take(part)) return std::nullopt;
    part.clear();
  }
  if (!take(part)) return std::nullopt;
  return parts;
}

}  // namespace

std::optional<std::string> MapWindowsPath(const std::string& prefix, const std::wstring& path) {
  const std::string bytes = EncodeCp1252(path);
  std::string host = prefix + "/dosdevices";
  std::string rest;
  std::size_t rootParts = 0;
  if (bytes.size() >= 2 && bytes[1] == ':' &&
      ((bytes[0] >= 'A' && bytes[0] <= 'Z') || (bytes[0] >= 'a' && bytes[0] <= 'z'))) {
    // Wine names its drive folders in small letters: "x:".
    host += "/" + std::string(1, static_cast<char>(std::tolower(bytes[0]))) + ":";
    rest = bytes.substr(2);
  } else if (bytes.size() > 2 && bytes[0] == '\\' && bytes[1] == '\\') {
    host = Child(host, "unc");
    rest = bytes.substr(2);
    rootParts = 2;
  } else {
    return std::nullopt;
  }
  const std::optional<std::vector<std::string>> parts = Components(rest, rootParts);
  if (!parts) return std::nullopt;  // never above the drive's root: never out of the prefix
  for (const std::string& part : *parts) host = Child(host, part);
  return host;
}

std::string MapHostPath(const std::wstring& path) {
  const std::string bytes = EncodeCp1252(path);
  // "" stands for the root: Child() puts the "/" before each name.
  std::string host = !bytes.empty() && bytes[0] == '/' ? "" : ".";
  std::string part;
  for (std::size_t i = 0; i <= bytes.size(); ++i) {
    if (i < bytes.size() && bytes[i] != '/' && bytes[i] != '\\') {
      part.push_back(bytes[i]);
    } else if (!part.empty()) {
      host = Child(host, part);
      part.clear();
    }
  }
  if (host.empty()) return "/";
  // A relative path stays relative as it was written, without the "./" of its walk.
  return host.compare(0, 2, "./") == 0 && bytes.compare(0, 2, "./") != 0 ? host.substr(2) : host;
}

std::string DefaultWinePrefix() {
  if (const char* prefix = std::getenv("WINEPREFIX"); prefix != nullptr && *prefix != '\0') {
    return prefix;
  }
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr ? home : ".") + "/.wine";
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace vt::posix

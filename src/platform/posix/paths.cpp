#include "platform/posix/paths.h"

#include <dirent.h>
#include <sys/stat.h>

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

std::vector<std::string> Components(const std::string& path) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : path) {
    if (c == '\\' || c == '/') {
      if (!part.empty() && part != ".") parts.push_back(part);
      part.clear();
    } else {
      part.push_back(c);
    }
  }
  if (!part.empty() && part != ".") parts.push_back(part);
  return parts;
}

}  // namespace

std::optional<std::string> MapWindowsPath(const std::string& prefix, const std::wstring& path) {
  const std::string bytes = EncodeCp1252(path);
  std::string host = prefix + "/dosdevices";
  std::string rest;
  if (bytes.size() >= 2 && bytes[1] == ':' &&
      ((bytes[0] >= 'A' && bytes[0] <= 'Z') || (bytes[0] >= 'a' && bytes[0] <= 'z'))) {
    // Wine names its drive folders in small letters: "x:".
    host += "/" + std::string(1, static_cast<char>(std::tolower(bytes[0]))) + ":";
    rest = bytes.substr(2);
  } else if (bytes.size() > 2 && bytes[0] == '\\' && bytes[1] == '\\') {
    host = Child(host, "unc");
    rest = bytes.substr(2);
  } else {
    return std::nullopt;
  }
  for (const std::string& part : Components(rest)) {
    if (part == "..") return std::nullopt;  // never leave the prefix
    host = Child(host, part);
  }
  return host;
}

std::string DefaultWinePrefix() {
  if (const char* prefix = std::getenv("WINEPREFIX"); prefix != nullptr && *prefix != '\0') {
    return prefix;
  }
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr ? home : ".") + "/.wine";
}

}  // namespace vt::posix

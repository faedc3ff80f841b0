// The platform as a check of a station's files sees it. The loading code of the program
// runs on it unchanged: its profile reads are answered from the files, each read once
// and whole (so the check judges exactly the text the reads gave), and the environment
// is the process's own on the station, or for a folder of station files only VisuDir,
// the folder. Nothing is written, no window is made and no share is reached.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/platform.h"
#include "portable/profile_text.h"

namespace vt {

// A file as the front end found it: its bytes, or why it could not be read.
struct FileContent {
  bool exists = false;
  SystemResult failure;  // set when it exists but could not be read
  std::string bytes;
  std::wstring shownAs;  // the name findings give it (a host path where there is one)
};

// Reads a whole file named by a path the loading code made.
using FileReader = std::function<FileContent(const std::wstring& path)>;

struct StationFile {
  FileContent content;
  ProfileText decoded;
  ProfileDocument document;
};

class CheckPlatform final : public Platform {
 public:
  // `visuDir`: the folder of station files checked; none on the station itself.
  CheckPlatform(Platform& host, FileReader reader, std::optional<std::wstring> visuDir);

  // The file behind `path`, read on first use.
  const StationFile& File(const std::wstring& path);
  // From now on, a read of `key` in `section` answers `value` (so that the loading can
  // go on past a value that would stop the program).
  void Override(const std::wstring& section, const std::wstring& key, const std::wstring& value);

#include "platform/platform_overrides.h"

 private:
  Platform& host_;
  FileReader reader_;
  std::optional<std::wstring> visuDir_;
  std::map<std::wstring, std::unique_ptr<StationFile>> files_;
  std::map<std::pair<std::wstring, std::wstring>, std::wstring> overrides_;
};

}  // namespace vt

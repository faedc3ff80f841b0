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
#include <set>
#include <string>
#include <vector>

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
  std::wstring path;  // as the loading code named it
  FileContent content;
  ProfileText decoded;
  ProfileDocument document;
  // What a read of each key finds, made once from the parsed file so that no read and no
  // finding scans the file again: by upper-case section and key, the line (from 1) and
  // the value of the first key of the name in the first section of the name.
  struct KeyLine {
    std::size_t line = 0;
    std::wstring value;
  };
  std::map<std::pair<std::wstring, std::wstring>, KeyLine> keys;
  const KeyLine* Find(const std::wstring& section, const std::wstring& key) const;
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

  // The keys the loading code has asked for in a section of a file (names matched in
  // any letter case), each once: as it named them in the order it first asked, and in
  // upper case. What it never asks for, it never reads.
  struct KeysAsked {
    std::vector<std::wstring> names;
    std::vector<std::wstring> upper;  // the names, upper-cased, in the same order
    std::set<std::wstring> lookup;    // the same, to look one up
  };
  // Null where it asked for none in `section` of `file`.
  const KeysAsked* KeysRead(const StationFile& file, const std::wstring& section) const;
  // The sections of `file` it asked for a key in, as KeysAsked lists keys; null: none.
  const KeysAsked* SectionsRead(const StationFile& file) const;

#include "platform/platform_overrides.h"

 private:
  Platform& host_;
  FileReader reader_;
  std::optional<std::wstring> visuDir_;
  std::map<std::wstring, std::unique_ptr<StationFile>> files_;
  std::map<std::pair<std::wstring, std::wstring>, std::wstring> overrides_;
  void Record(const std::wstring& file, const std::wstring& section, const std::wstring& key);
  // By upper-case file path, then upper-case section name.
  std::map<std::wstring, std::map<std::wstring, KeysAsked>> asked_;
  std::map<std::wstring, KeysAsked> sectionsAsked_;  // by upper-case file path
};

}  // namespace vt

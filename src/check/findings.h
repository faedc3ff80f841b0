// What a check of a station's files finds, one finding a line in the form compilers
// give and CI problem matchers read: "FILE:LINE: error|warning|note: TEXT".
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace vt {

enum class Severity { Error, Warning, Note };

struct Finding {
  std::wstring file;     // empty: it belongs to no file (the environment, the host)
  std::size_t line = 0;  // 0: no line applies (a missing key, the file as a whole)
  Severity severity = Severity::Note;
  std::wstring text;
};

struct FindingCounts {
  int errors = 0;
  int warnings = 0;
  int notes = 0;
};

// "FILE:LINE: warning: TEXT", or "FILE: warning: TEXT" without a line; a finding that
// belongs to no file has the command's name in the file's place ("vodu-tavisto:
// warning: TEXT"), as compilers write a diagnostic of their own.
std::wstring FindingLine(const Finding& finding, const std::wstring& command);
FindingCounts CountFindings(const std::vector<Finding>& findings);
// "2 errors, 1 warnings, 0 notes"
std::wstring SummaryLine(const FindingCounts& counts);
// 2 with an error, 1 with warnings and no error, 0 otherwise.
int CheckExitStatus(const FindingCounts& counts);

}  // namespace vt

#include "check/findings.h"

namespace vt {

namespace {

const wchar_t* SeverityWord(Severity severity) {
  switch (severity) {
    case Severity::Error:
      return L"error";
    case Severity::Warning:
      return L"warning";
    case Severity::Note:
      return L"note";
  }
  return L"note";
}

}  // namespace

std::wstring FindingLine(const Finding& finding, const std::wstring& command) {
  std::wstring line = finding.file.empty() ? command : finding.file;
  if (finding.line > 0) line += L":" + std::to_wstring(finding.line);
  return line + L": " + SeverityWord(finding.severity) + L": " + finding.text;
}

FindingCounts CountFindings(const std::vector<Finding>& findings) {
  FindingCounts counts;
  for (const Finding& finding : findings) {
    switch (finding.severity) {
      case Severity::Error:
        ++counts.errors;
        break;
      case Severity::Warning:
        ++counts.warnings;
        break;
      case Severity::Note:
        ++counts.notes;
        break;
    }
  }
  return counts;
}

std::wstring SummaryLine(const FindingCounts& counts) {
  // Always the plural, so that a script can match the line whatever the counts.
  return std::to_wstring(counts.errors) + L" errors, " + std::to_wstring(counts.warnings) +
         L" warnings, " + std::to_wstring(counts.notes) + L" notes";
}

int CheckExitStatus(const FindingCounts& counts) {
  if (counts.errors > 0) return 2;
  return counts.warnings > 0 ? 1 : 0;
}

}  // namespace vt

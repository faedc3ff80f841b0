#include "portable/profile_text.h"

#include "portable/case_fold.h"
#include "portable/codepage.h"

#include <vector>

namespace vt {

namespace {

// Names match without regard to letter case, by the same rule as the rest of the
// program's case-blind matching.
bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && UpperCaseText(DecodeCp1252(a)) == UpperCaseText(DecodeCp1252(b));
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string Trimmed(const std::string& text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

// One line of the file: its text without the line ending, and the ending itself.
struct Line {
  std::string text;
  std::string ending;
};

std::vector<Line> SplitLines(const std::string& content) {
  std::vector<Line> lines;
  std::size_t start = 0;
  while (start < content.size()) {
    const std::size_t newline = content.find('\n', start);
    Line line;
    if (newline == std::string::npos) {
      line.text = content.substr(start);
      start = content.size();
    } else {
      line.text = content.substr(start, newline - start);
      line.ending = "\n";
      start = newline + 1;
    }
    if (!line.text.empty() && line.text.back() == '\r') {
      line.text.pop_back();
      line.ending.insert(0, "\r");
    }
    lines.push_back(std::move(line));
  }
  return lines;
}

// The section name when the line opens a section.
std::optional<std::string> SectionName(const std::string& text) {
  const std::string trimmed = Trimmed(text);
  if (trimmed.empty() || trimmed.front() != '[') return std::nullopt;
  const std::size_t close = trimmed.rfind(']');
  if (close == std::string::npos || close == 0) return std::nullopt;
  return Trimmed(trimmed.substr(1, close - 1));
}

struct KeyLine {
  std::string key;
  std::size_t equals;  // position of the first "=" in the line
};

// The key when the line holds one; comment lines never do.
std::optional<KeyLine> KeyOf(const std::string& text) {
  const std::string trimmed = Trimmed(text);
  if (trimmed.empty() || trimmed.front() == ';') return std::nullopt;
  const std::size_t equals = text.find('=');
  if (equals == std::string::npos) return std::nullopt;
  return KeyLine{Trimmed(text.substr(0, equals)), equals};
}

std::string Unquoted(const std::string& value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

// The first line of the first section named `section`, or npos; `end` receives the
// index of the line after the section.
std::size_t FindSection(const std::vector<Line>& lines, const std::string& section,
                        std::size_t& end) {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::optional<std::string> name = SectionName(lines[i].text);
    if (!name || !SameName(*name, section)) continue;
    end = i + 1;
    while (end < lines.size() && !SectionName(lines[end].text)) ++end;
    return i;
  }
  return std::string::npos;
}

bool HasLineBreak(const std::string& text) {
  return text.find('\n') != std::string::npos || text.find('\r') != std::string::npos;
}

// A line that a new line follows must end in a line break; a last line may have none,
// or only a carriage return.
void EndWithLineBreak(Line& line, const std::string& eol) {
  if (line.ending.find('\n') == std::string::npos)
    line.ending = line.ending.empty() ? eol : line.ending + "\n";
}

std::string Joined(const std::vector<Line>& lines) {
  std::string content;
  for (const Line& line : lines) content += line.text + line.ending;
  return content;
}

}  // namespace

std::optional<std::string> FindProfileValue(const std::string& content, const std::string& section,
                                            const std::string& key) {
  const std::vector<Line> lines = SplitLines(content);
  std::size_t end = 0;
  const std::size_t header = FindSection(lines, section, end);
  if (header == std::string::npos) return std::nullopt;
  for (std::size_t i = header + 1; i < end; ++i) {
    const std::optional<KeyLine> line = KeyOf(lines[i].text);
    if (line && SameName(line->key, key)) {
      return Unquoted(Trimmed(lines[i].text.substr(line->equals + 1)));
    }
  }
  return std::nullopt;
}

std::optional<std::string> SetProfileValue(const std::string& content, const std::string& section,
                                           const std::string& key, const std::string& value) {
  if (HasLineBreak(section) || section.find(']') != std::string::npos || HasLineBreak(key) ||
      key.find('=') != std::string::npos || Trimmed(key).empty() || HasLineBreak(value)) {
    return std::nullopt;
  }
  std::vector<Line> lines = SplitLines(content);
  const std::string eol = content.find("\r\n") != std::string::npos ? "\r\n"
                          : content.find('\n') != std::string::npos ? "\n"
                                                                    : "\r\n";
  std::size_t end = 0;
  const std::size_t header = FindSection(lines, section, end);
  if (header == std::string::npos) {
    if (!lines.empty()) EndWithLineBreak(lines.back(), eol);
    lines.push_back({"[" + section + "]", eol});
    lines.push_back({key + "=" + value, eol});
    return Joined(lines);
  }
  std::size_t last = header;  // the last line of the section that is not blank
  for (std::size_t i = header + 1; i < end; ++i) {
    const std::optional<KeyLine> line = KeyOf(lines[i].text);
    if (line && SameName(line->key, key)) {
      lines[i].text = lines[i].text.substr(0, line->equals + 1) + value;
      return Joined(lines);
    }
    if (!Trimmed(lines[i].text).empty()) last = i;
  }
  EndWithLineBreak(lines[last], eol);
  lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(last) + 1, Line{key + "=" + value, eol});
  return Joined(lines);
}

std::int32_t LeadingInteger(const std::string& value) {
  std::size_t i = 0;
  bool negative = false;
  if (i < value.size() && (value[i] == '+' || value[i] == '-')) negative = value[i++] == '-';
  std::uint32_t number = 0;
  while (i < value.size() && value[i] >= '0' && value[i] <= '9') {
    number = number * 10U + static_cast<std::uint32_t>(value[i++] - '0');
  }
  if (negative) number = 0U - number;
  return static_cast<std::int32_t>(number);
}

}  // namespace vt

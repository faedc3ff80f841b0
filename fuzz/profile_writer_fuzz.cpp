// Any bytes as a profile file, any section, key and value: a write followed by a read
// gives the value back where the syntax can hold it, and every line the write did not
// touch is still there byte for byte.
#include <cstdlib>

#include "fuzz_input.h"
#include "portable/profile_text.h"

namespace {

std::vector<std::string> Lines(const std::string& content) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < content.size()) {
    const std::size_t newline = content.find('\n', start);
    const std::size_t end = newline == std::string::npos ? content.size() : newline + 1;
    lines.push_back(content.substr(start, end - start));
    start = end;
  }
  return lines;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

bool Trimmed(const std::string& text) {
  return text.empty() || (!IsBlank(text.front()) && !IsBlank(text.back()));
}

// Whether the syntax can give this section, key and value back as they were written.
bool Representable(const std::string& section, const std::string& key, const std::string& value) {
  if (!Trimmed(section) || !Trimmed(key) || !Trimmed(value)) return false;
  if (key.empty() || key.front() == ';' || key.front() == '[') return false;
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::string> parts = vt::fuzz::Parts(data, size, 4);
  const std::string& section = parts[0];
  const std::string& key = parts[1];
  const std::string& value = parts[2];
  const std::string& content = parts[3];
  const std::optional<std::string> updated = vt::SetProfileValue(content, section, key, value);
  if (!updated) return 0;

  if (Representable(section, key, value) && vt::FindProfileValue(*updated, section, key) != value) {
    std::abort();
  }

  // The old lines are the new lines but for one replaced line, or one or two added
  // lines, and a line ending given to a last line that had none.
  const std::vector<std::string> before = Lines(content);
  const std::vector<std::string> after = Lines(*updated);
  std::size_t prefix = 0;
  while (prefix < before.size() && prefix < after.size() && before[prefix] == after[prefix])
    ++prefix;
  std::size_t suffix = 0;
  while (suffix < before.size() - prefix && suffix < after.size() - prefix &&
         before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix]) {
    ++suffix;
  }
  const std::size_t changedBefore = before.size() - prefix - suffix;
  const std::size_t changedAfter = after.size() - prefix - suffix;
  if (changedBefore > 1 || changedAfter > changedBefore + 2) std::abort();
  if (changedBefore == 1) {
    // The one old line that changed is the key's line or a last line that got an ending;
    // either way its start survives up to its first "=" or whole.
    const std::string& old = before[prefix];
    const std::string& now = after[prefix];
    const std::size_t equals = old.find('=');
    const std::size_t kept = equals == std::string::npos ? old.size() : equals + 1;
    if (now.compare(0, kept, old, 0, kept) != 0) std::abort();
  }
  return 0;
}

#include <unistd.h>

#include "platform/posix/codepage.h"
#include "platform/posix/posix_platform.h"

namespace vt::posix {

namespace {

char Upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 0x20) : c;
}

// The value of the first variable whose name matches without regard to letter case, as
// on Windows; nothing when there is none.
const char* FindVariable(const std::string& name) {
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    const char* text = *entry;
    std::size_t i = 0;
    while (i < name.size() && text[i] != '\0' && Upper(text[i]) == Upper(name[i])) ++i;
    if (i == name.size() && text[i] == '=') return text + i + 1;
  }
  return nullptr;
}

}  // namespace

std::size_t PosixPlatform::EnvironmentVariable(const std::wstring& name, std::wstring& value,
                                               std::size_t capacity) {
  value.clear();
  const char* found = FindVariable(EncodeCp1252(name));
  if (found == nullptr) return 0;
  const std::string bytes(found);
  if (bytes.size() + 1 > capacity) return bytes.size() + 1;
  value = DecodeCp1252(bytes);
  return value.size();
}

}  // namespace vt::posix
